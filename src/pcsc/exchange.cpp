// SPDX-License-Identifier: Apache-2.0
#include "pcsc/exchange.h"

#include <fmt/format.h>

#include <array>

#include "core/error.h"
#include "core/failure.h"
#include "core/log.h"
#include "crypto/convert_data.h"
#include "pcsc/command_table.h"
#include "pcsc/status_texts.h"
#include "pcsc/winscard.h"

namespace tarsin {
namespace {

const char* ResultWord(sceReturnCode result) {
  switch (result) {
    case scesuccess:
      return "Success";
    case sceError:
      return "Error";
    default:
      return "Canceled";
  }
}

// Blanks and separators removed, upper case, a "0" in front of an odd count: the converter's
// plain-hex form. nullopt when anything but hex digits remains.
std::optional<std::string> NormalisedCommand(const std::string& text) {
  try {
    return conversion::ReadHexText(text, true, "EncoderCommand");
  } catch (...) {
    return std::nullopt;
  }
}

void FailCommand(EncoderState& state, std::string_view errorName, const std::string& retCode) {
  SetError(state, errors::kCommandFailed,
           {.lastDllError = 0,
            .comFunction = "EncoderCommand",
            .rdrCommand = "SCardTransmit:" + std::string(errorName),
            .rdrRetCode = retCode});
}

struct FrameOutcome {
  sceReturnCode result = scesuccess;
  bool more = false;      // the card has a further frame for us
  bool complete = false;  // the answer ends here: the earlier frames' data goes in front
};

// The frame call: sends `frame`, logs it and judges its status word. `answer` gets this frame's
// data and, when one came back, its status word.
FrameOutcome TransmitFrame(EncoderState& state, std::string_view errorName,
                           std::span<const uint8_t> frame, bool followMore, CardAnswer& answer) {
  answer.data.clear();
  // On the stack: no allocation per frame.
  std::array<uint8_t, kReceiveBufferSize> receive{};
  DWORD receiveLength = kReceiveBufferSize;
  state.sendPci = {.dwProtocol = static_cast<uint32_t>(state.Protocol), .cbPciLength = 8};
  const SCARD_IO_REQUEST sendPci{.dwProtocol = static_cast<DWORD>(state.sendPci.dwProtocol),
                                 .cbPciLength = sizeof(SCARD_IO_REQUEST)};

  WriteLog(state, fmt::format("Calling SCardTransmit(hCard:={}, pioSendPci:=[dwProtocol={}, "
                              "cbPciLength={}], pbSendBuffer:= \"{}\", cbSendLength:={}, "
                              "pioRecvPci:=0, pbRecvBuffer, pcbRecvLength:={})",
                              state.hCard, state.sendPci.dwProtocol, state.sendPci.cbPciLength,
                              BytesToHex(frame), frame.size(), receiveLength));
  LONG result;
  try {
    result = WinSCard::Current().Transmit(static_cast<SCARDHANDLE>(state.hCard), &sendPci,
                                          frame.data(), static_cast<DWORD>(frame.size()), nullptr,
                                          receive.data(), &receiveLength);
  } catch (const Failure& failure) {
    WriteLog(state, fmt::format("Error {}: {} [{}]", failure.number(), failure.description(),
                                failure.osError()));
    SetError(state, {.number = static_cast<uint32_t>(failure.number()),
                     .description = failure.description(),
                     .lastDllError = failure.osError(),
                     .comFunction = "EncoderCommand",
                     .rdrCommand = "SCardTransmit:" + std::string(errorName),
                     .rdrRetCode = ""});
    return {sceError};
  }
  const int32_t result32 = PcscResult32(result);
  WriteLog(state, "Function returned: " + SCardErrorText(result32));
  if (result32 != 0) {
    WriteLog(state, "Call failed");
    FailCommand(state, errorName, SCardErrorText(result32));
    return {sceError};
  }
  // Never trust a length the provider reports beyond the buffer it was given.
  const size_t received = std::min<size_t>(receiveLength, receive.size());
  WriteLog(state, fmt::format("Received length ... {}", received));
  WriteLog(state, "Received data ..... " + BytesToHex(receive, received));
  if (received == 0) {
    WriteLog(state, "No status code!");
    return {};
  }
  const std::span<const uint8_t> bytes(receive.data(), received);
  answer.status = StatusWord::Of(bytes);
  if (received > 2) answer.data.assign(bytes.begin(), bytes.end() - 2);
  const std::string status = answer.status.Text();
  WriteLog(state, "Status code=\"" + status + "\" (" + StatusWordText(status) + ")");
  const StatusWord& word = answer.status;
  if (word.Is(0x9000) || word.Is(0x9100) || word.Is(0x9101)) return {scesuccess, false, true};
  if (word.Is(0x91AF)) return {scesuccess, followMore, false};
  FailCommand(state, errorName, status);
  answer.data.clear();
  return {sceError};
}

// The frames of one command: the first, then, while the card says 91AF and the caller asked for
// it, the continuation frames, their data joined.
sceReturnCode Frames(EncoderState& state, std::string errorName, ByteVector frame, bool followMore,
                     CardAnswer& answer) {
  ByteVector joined;
  for (int frameCount = 0;; ++frameCount) {
    if (frameCount == kMaxContinuationFrames) {
      WriteLog(state, "Too many frames, answer abandoned");
      FailCommand(state, errorName, answer.status.Text());
      answer.data.clear();
      return sceError;
    }
    const FrameOutcome outcome = TransmitFrame(state, errorName, frame, followMore, answer);
    if (outcome.complete) answer.data.insert(answer.data.begin(), joined.begin(), joined.end());
    if (!outcome.more) return outcome.result;
    joined.insert(joined.end(), answer.data.begin(), answer.data.end());
    const Command& continuation = FindCommand(ec_ContinueResponse);
    errorName = ErrorName(continuation, {});
    frame = NativeFrame(continuation, {});
  }
}

// The entry and exit lines around one command, and the encoder and card checks before `body`.
template <class Body>
sceReturnCode Logged(EncoderState& state, int32_t code, Body&& body) noexcept {
  sceReturnCode result = sceError;
  try {
    WriteLog(state, "--> EncoderCommand(" + std::string(FindCommand(code).logName) + ")");
    if (state.hContext == 0) {
      WriteLog(state, "Error, hContext = 0, encoder is closed");
      SetError(
          state, errors::kEncoderClosed,
          {.lastDllError = 0, .comFunction = "EncoderCommand", .rdrCommand = "", .rdrRetCode = ""});
    } else if (state.hCard == 0) {
      WriteLog(state, "Error, hCard = 0, no card under antenna");
      SetError(
          state, errors::kNoCard,
          {.lastDllError = 0, .comFunction = "EncoderCommand", .rdrCommand = "", .rdrRetCode = ""});
    } else {
      result = body();
    }
  } catch (...) {
    result = sceError;
  }
  WriteLog(state, std::string("<-- EncoderCommand returns: ") + ResultWord(result));
  return result;
}

}  // namespace

StatusWord StatusWord::Of(std::span<const uint8_t> answer) noexcept {
  StatusWord word;
  if (answer.size() >= 2) {
    word.value_ = static_cast<uint16_t>(answer[answer.size() - 2] << 8 | answer.back());
    word.length_ = 2;
  } else if (answer.size() == 1) {
    word.value_ = answer[0];
    word.length_ = 1;
  }
  return word;
}

std::string StatusWord::Text() const {
  if (length_ == 0) return "FFFF";
  return length_ == 1 ? fmt::format("{:02X}", value_) : fmt::format("{:04X}", value_);
}

std::string StatusWord::Received() const {
  return received() ? Text() : std::string();
}

sceReturnCode ExchangeFrame(EncoderState& state, int32_t code, std::string_view errorName,
                            std::span<const uint8_t> frame, bool followMore,
                            CardAnswer& answer) noexcept {
  answer = {};
  const sceReturnCode result = Logged(state, code, [&] {
    if (frame.empty()) return scesuccess;  // never a zero-length frame
    return Frames(state, std::string(errorName), ByteVector(frame.begin(), frame.end()), followMore,
                  answer);
  });
  if (result != scesuccess) answer.data.clear();
  return result;
}

sceReturnCode EncoderCommand(EncoderState& state, int32_t command, const Variant::Array& params,
                             bool followMore, CardAnswer& answer) noexcept {
  answer = {};
  const sceReturnCode result = Logged(state, command, [&] {
    const Command& row = FindCommand(command);
    const std::string errorName = ErrorName(row, params);
    const std::string commandText = FillTemplate(row, params);
    if (commandText.empty()) return scesuccess;  // nothing to send: never a zero-length frame
    const auto normalised = NormalisedCommand(commandText);
    if (!normalised) {
      // A text that is not hex would go out as guessed bytes: refuse it rather than risk a card.
      WriteLog(state, "Invalid command text, nothing sent: \"" + commandText + "\"");
      FailCommand(state, errorName, "Invalid command text");
      return sceError;
    }
    return Frames(state, errorName, HexToBytes(*normalised), followMore, answer);
  });
  if (result != scesuccess) answer.data.clear();
  return result;
}

sceReturnCode ConfirmedCommand(EncoderState& state, int32_t command, const Variant::Array& params,
                               CardAnswer& answer) noexcept {
  try {
    const sceReturnCode result = EncoderCommand(state, command, params, true, answer);
    if (result != scesuccess || answer.status.received()) return result;
    FailCommand(state, ErrorName(FindCommand(command), params), answer.status.Text());
  } catch (...) {
    // The error record could not be written: the failure still stands.
  }
  answer.data.clear();
  return sceError;
}

}  // namespace tarsin
