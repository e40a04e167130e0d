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

  // 8: the text of a PC/SC return code or card status word, given as text.
  std::string GetResponseText(const std::string& sErrorCode,
                              const std::optional<std::string>& sErrorCaller = {}) noexcept;

  // 11: appends one line to the diagnostic log.
  void WriteLog(const std::string& sMessage) noexcept;

  // 12: "Nemora|Tarsin RF|major.minor.revision|<card families>".
  std::string GetInformation() noexcept;

  // Internal state, for the component's own subsystems and the late-bound dispatch.
  EncoderState& state() noexcept { return *state_; }

 private:
  std::unique_ptr<EncoderState> state_;
};

}  // namespace tarsin
