// Tarsin RF: the contactless-card encoder component.
//
// One Encoder talks to one PC/SC reader. Every card operation returns a sceReturnCode and leaves
// the details of a failure in LastError(); no member lets an exception escape, except
// ReaderType() while the encoder is closed (it throws tarsin::ComError).
//
// Members are declared in the order of the component's interface.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "tarsin/types.h"
#include "tarsin/variant.h"

namespace tarsin {

struct EncoderState;
using EncoderData = EncoderState;

class Encoder {
 public:
  Encoder();
  ~Encoder();
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  // 0, 1: the parameter text ("device", "protocol", "force_reconnect", "open_mode").
  void Parameters(const std::string& text) noexcept;
  std::string Parameters() noexcept;

  // 2: the live error object; the same object for the encoder's whole life.
  std::shared_ptr<CError> LastError() noexcept;

  // 3: sceClosed, sceOpened (no card) or sceReady; connects to a card in the field.
  sceEncoderState EncoderState() noexcept;
  // 4: the reader's description from its attributes, or Device while no card is connected.
  // Throws ComError 0x90010F01 "Encoder is closed" while the encoder is closed.
  std::string ReaderType();
  // 5 to 7: the identification of the card at the last connection.
  std::string ATRString() noexcept;
  sceCardTypes CardType() noexcept;
  int32_t SerialNumberLength() noexcept;

  // 8: the text of a PC/SC return code or card status word, given as text.
  std::string GetResponseText(const std::string& sErrorCode,
                              const std::optional<std::string>& sErrorCaller = {}) noexcept;

  // 11: appends one line to the diagnostic log.
  void WriteLog(const std::string& sMessage) noexcept;

  // 12: "Nemora|Tarsin RF|major.minor.revision|<card families>".
  std::string GetInformation() noexcept;

  // 14 to 16: the reader session. `Handle` is only written to the log.
  void ReOpenEncoder() noexcept;
  sceReturnCode OpenEncoder(int32_t Handle) noexcept;
  sceReturnCode CloseEncoder() noexcept;

  // 18, 19: the host's own APDU (hex text; blanks and punctuation are dropped). EscapeExt gives
  // the answer's data and status word as spaced hex ("90 00"), or the four-digit status word on
  // failure.
  sceReturnCode Escape(const std::string& Request, std::string& Response) noexcept;
  sceReturnCode EscapeExt(const std::string& Request, std::string& Response,
                          std::string& RetCode) noexcept;

  // Internal state, for the component's own subsystems and the late-bound dispatch.
  EncoderData& state() noexcept { return *state_; }

 private:
  std::unique_ptr<EncoderData> state_;
};

}  // namespace tarsin
