// SPDX-License-Identifier: Apache-2.0
#include "desfire/file_transfer.h"

#include <algorithm>

#include "core/error.h"
#include "core/failure.h"
#include "crypto/convert_data.h"
#include "desfire/desfire.h"

namespace tarsin::desfire {
namespace {

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

bool SendFileData(Operation& operation, int32_t fileNo, NativeCommand command,
                  std::span<const DesfireFileTypes> accepted, NativeAnswer& answer) {
  answer = {};
  if (!CheckFile(operation, fileNo, accepted)) return false;
  command.inFrames = true;
  answer = Transceive(operation.state(), command);
  return answer.Is(0x9100);
}

bool ReadFileData(Operation& operation, int32_t fileNo, const NativeCommand& command,
                  std::span<const DesfireFileTypes> accepted, std::string& answer) {
  if (!CheckFile(operation, fileNo, accepted)) return false;
  const NativeAnswer read = Transceive(operation.state(), command);
  if (!read.Is(0x9100) && !read.Is(0x9101)) {
    SetError(operation.state(), errors::kOperationFailed,
             {.comFunction = std::string(operation.name()), .rdrRetCode = read.status.Received()});
    return false;
  }
  answer = conversion::ToSpacedHex(read.data);
  return true;
}

}  // namespace tarsin::desfire
