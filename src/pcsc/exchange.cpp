#include "pcsc/exchange.h"

#include <fmt/format.h>

#include <array>

#include "core/error.h"
#include "core/failure.h"
#include "core/hex_text.h"
#include "core/log.h"
#include "crypto/encoder_cipher.h"
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
std::optional<std::string> NormalisedCommand(EncoderState& state, const std::string& text) {
  try {
    return CipherOf(state).ConvertData(Variant(text), cnvInHex + cnvOutHex, false).asString();
  } catch (...) {
    return std::nullopt;
  }
}

struct Frame {
  sceReturnCode result = scesuccess;
  bool more = false;      // the card has a further frame for us
  bool complete = false;  // the answer ends here: the earlier frames' data goes in front
};

void FailCommand(EncoderState& state, const std::string& errorName, const std::string& retCode) {
  SetError(state, errors::kCommandFailed,
           {.lastDllError = 0,
            .comFunction = "EncoderCommand",
            .rdrCommand = "SCardTransmit:" + errorName,
            .rdrRetCode = retCode});
}

// Sends one command text and reads its answer into `response` and `statusCode`.
Frame SendFrame(EncoderState& state, const std::string& commandText, const std::string& errorName,
                bool followMore, std::string& response, std::string& statusCode) {
  Frame frame;
  const auto normalised = NormalisedCommand(state, commandText);
  if (!normalised) {
    // A text that is not hex would go out as guessed bytes: refuse it rather than risk a card.
    WriteLog(state, "Invalid command text, nothing sent: \"" + commandText + "\"");
    FailCommand(state, errorName, "Invalid command text");
    response.clear();
    return {sceError, false};
  }
  const ByteVector send = HexToBytes(*normalised);
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
                              BytesToHex(send), send.size(), receiveLength));
  LONG result;
  try {
    result = WinSCard::Current().Transmit(static_cast<SCARDHANDLE>(state.hCard), &sendPci,
                                          send.data(), static_cast<DWORD>(send.size()), nullptr,
                                          receive.data(), &receiveLength);
  } catch (const Failure& failure) {
    WriteLog(state, fmt::format("Error {}: {} [{}]", failure.number(), failure.description(),
                                failure.osError()));
    SetError(state, {.number = static_cast<uint32_t>(failure.number()),
                     .description = failure.description(),
                     .lastDllError = failure.osError(),
                     .comFunction = "EncoderCommand",
                     .rdrCommand = "SCardTransmit:" + errorName,
                     .rdrRetCode = ""});
    response.clear();
    return {sceError, false};
  }
  const int32_t result32 = PcscResult32(result);
  WriteLog(state, "Function returned: " + SCardErrorText(result32));
  if (result32 != 0) {
    WriteLog(state, "Call failed");
    FailCommand(state, errorName, SCardErrorText(result32));
    response.clear();
    return {sceError, false};
  }
  // Never trust a length the provider reports beyond the buffer it was given.
  const size_t received = std::min<size_t>(receiveLength, receive.size());
  WriteLog(state, fmt::format("Received length ... {}", received));
  WriteLog(state, "Received data ..... " + BytesToHex(receive, received));
  if (received == 0) {
    WriteLog(state, "No status code!");
    response.clear();
    return frame;
  }
  SplitResponse(receive, received, response, statusCode);
  WriteLog(state, "Status code=\"" + statusCode + "\" (" + StatusWordText(statusCode) + ")");
  if (statusCode == "9000" || statusCode == "9100" || statusCode == "9101") {
    return {scesuccess, false, true};
  }
  if (statusCode == "91AF") return {scesuccess, followMore, false};
  FailCommand(state, errorName, statusCode);
  response.clear();
  return {sceError, false};
}

sceReturnCode Exchange(EncoderState& state, int32_t code, const Variant::Array& params,
                       std::string& response, std::string& statusCode, bool followMore) {
  if (state.hContext == 0) {
    WriteLog(state, "Error, hContext = 0, encoder is closed");
    SetError(
        state, errors::kEncoderClosed,
        {.lastDllError = 0, .comFunction = "EncoderCommand", .rdrCommand = "", .rdrRetCode = ""});
    return sceError;
  }
  if (state.hCard == 0) {
    WriteLog(state, "Error, hCard = 0, no card under antenna");
    SetError(
        state, errors::kNoCard,
        {.lastDllError = 0, .comFunction = "EncoderCommand", .rdrCommand = "", .rdrRetCode = ""});
    return sceError;
  }
  std::string accumulated;
  for (int frameCount = 0;; ++frameCount) {
    const Command& command = FindCommand(code);
    const std::string errorName = ErrorName(command, params);
    const std::string commandText = FillTemplate(command, params);
    if (commandText.empty()) return scesuccess;  // nothing to send: never a zero-length frame
    if (frameCount == kMaxContinuationFrames) {
      WriteLog(state, "Too many frames, answer abandoned");
      FailCommand(state, errorName, statusCode);
      response.clear();
      return sceError;
    }
    const Frame frame = SendFrame(state, commandText, errorName, followMore, response, statusCode);
    if (frame.complete) response.insert(0, accumulated);
    if (!frame.more) return frame.result;
    accumulated += response;
    code = ec_ContinueResponse;
  }
}

}  // namespace

sceReturnCode EncoderCommand(EncoderState& state, int32_t command, const Variant& params,
                             std::string& response, std::string& statusCode,
                             int32_t followMore) noexcept {
  sceReturnCode result = sceError;
  try {
    WriteLog(state, "--> EncoderCommand(" + std::string(FindCommand(command).logName) + ")");
    response.clear();
    statusCode = "FFFF";
    const Variant::Array list = params.isArray() ? params.elements() : Variant::Array{};
    result = Exchange(state, command, list, response, statusCode, (followMore & 1) != 0);
  } catch (...) {
    response.clear();
  }
  WriteLog(state, std::string("<-- EncoderCommand returns: ") + ResultWord(result));
  return result;
}

sceReturnCode ConfirmedCommand(EncoderState& state, int32_t command, const Variant::Array& params,
                               std::string& response) noexcept {
  std::string statusCode;
  const sceReturnCode result =
      EncoderCommand(state, command, Variant(params), response, statusCode);
  if (result != scesuccess || statusCode != "FFFF") return result;
  try {
    FailCommand(state, ErrorName(FindCommand(command), params), statusCode);
  } catch (...) {
    // The error record could not be written: the failure still stands.
  }
  response.clear();
  return sceError;
}

}  // namespace tarsin
