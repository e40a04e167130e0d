#include "desfire/file_transfer.h"

#include <algorithm>

#include "core/ascii_text.h"
#include "core/error.h"
#include "core/failure.h"
#include "crypto/encoder_cipher.h"
#include "desfire/desfire.h"
#include "pcsc/command_table.h"
#include "pcsc/exchange.h"

namespace tarsin::desfire {
namespace {

constexpr size_t kFirstFrameDigits = 104;         // 52 bytes
constexpr size_t kContinuationFrameDigits = 118;  // 59 bytes

// The file exists and has an accepted type; otherwise its error is recorded.
bool CheckFile(Operation& operation, int32_t fileNo, std::span<const DesfireFileTypes> accepted) {
  FileCharacteristics file;
  try {
    file = GetFileCharacteristics(operation.state(), fileNo);
  } catch (...) {
    const bool missing = LastErrorOf(operation.state()).RdrRetCode == "91F0";
    operation.Refuse(missing ? errors::kFileNotFoundOnCard : errors::kOperationFailed);
    return false;
  }
  return operation.Require(std::ranges::find(accepted, file.fileType) != accepted.end(),
                           errors::kWrongFileType);
}

}  // namespace

bool SendFileData(Operation& operation, int32_t fileNo, const std::string& header,
                  const std::string& data, int32_t command,
                  std::span<const DesfireFileTypes> accepted) {
  if (!CheckFile(operation, fileNo, accepted)) return false;
  std::string payload = header + data;
  std::erase(payload, ' ');
  const std::string name(operation.name());
  bool first = true;
  bool last = false;
  for (;;) {
    size_t take = payload.size();
    if (payload.empty()) {
      last = true;  // the card still wants data: one empty frame
    } else if (first && payload.size() > kFirstFrameDigits) {
      take = kFirstFrameDigits;
    } else if (!first && payload.size() >= kContinuationFrameDigits + 1) {
      take = kContinuationFrameDigits;
    }
    const std::string frame = payload.substr(0, take);
    payload.erase(0, take);
    std::string response;
    std::string statusCode;
    const sceReturnCode result = EncoderCommand(
        operation.state(), first ? command : ec_DesfireSendNextData,
        Variant(Variant::Array{Variant(name), Variant(HexByte(static_cast<int32_t>(take / 2))),
                               Variant(frame)}),
        response, statusCode, 0);
    first = false;
    if (result != scesuccess) return false;
    if (EqualsIgnoringCase(statusCode, "9100")) return true;
    if (!EqualsIgnoringCase(statusCode, "91AF") || last) return false;
  }
}

bool ReadFileData(Operation& operation, int32_t fileNo, int32_t command,
                  const Variant::Array& params, std::span<const DesfireFileTypes> accepted,
                  std::string& answer) {
  if (!CheckFile(operation, fileNo, accepted)) return false;
  std::string response;
  std::string statusCode;
  const sceReturnCode result =
      EncoderCommand(operation.state(), command, Variant(params), response, statusCode, 1);
  if (result != scesuccess ||
      !(EqualsIgnoringCase(statusCode, "9100") || EqualsIgnoringCase(statusCode, "9101"))) {
    SetError(
        operation.state(), errors::kOperationFailed,
        {.comFunction = std::string(operation.name()), .rdrRetCode = ReceivedStatus(statusCode)});
    return false;
  }
  answer = response;
  RunStep([&] {
    answer = CipherOf(operation.state()).ConvertData(Variant(response), cnvInHex).asString();
  });
  return true;
}

}  // namespace tarsin::desfire
