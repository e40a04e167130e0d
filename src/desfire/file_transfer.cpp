// SPDX-License-Identifier: Apache-2.0
#include "desfire/file_transfer.h"

#include <algorithm>
#include <optional>

#include "core/error.h"
#include "core/failure.h"
#include "crypto/convert_data.h"

namespace tarsin::desfire {
namespace {

// The file, when it exists and has an accepted type; otherwise its error is recorded.
std::optional<FileCharacteristics> CheckFile(Operation& operation, int32_t fileNo,
                                             const FileRules& rules) {
  FileCharacteristics file;
  try {
    file = GetFileCharacteristics(operation.state(), fileNo);
  } catch (...) {
    const bool missing = LastErrorOf(operation.state()).RdrRetCode == "91F0";
    operation.Refuse(missing ? errors::kFileNotFoundOnCard : errors::kOperationFailed);
    return std::nullopt;
  }
  if (!operation.Require(std::ranges::find(rules.accepted, file.fileType) != rules.accepted.end(),
                         errors::kWrongFileType)) {
    return std::nullopt;
  }
  return file;
}

// As the card decides: a free right (0xE) opens the command in plain, else the file's settings.
Communication CommunicationOf(const FileCharacteristics& file, std::span<const Right> rights) {
  const bool free = std::ranges::any_of(rights, [&](Right right) {
    return ((file.accessRights >> static_cast<int>(right)) & 0xF) == 0xE;
  });
  if (free) return Communication::Plain;
  switch (file.communicationSettings & 0x03) {
    case 0x01:
      return Communication::Maced;
    case 0x03:
      return Communication::Enciphered;
    default:
      return Communication::Plain;
  }
}

}  // namespace

bool SendFileData(Operation& operation, int32_t fileNo, NativeCommand command,
                  const FileRules& rules, NativeAnswer& answer) {
  answer = {};
  const auto file = CheckFile(operation, fileNo, rules);
  if (!file) return false;
  command.inFrames = true;
  command.communication = CommunicationOf(*file, rules.rights);
  answer = Transceive(operation.state(), command);
  return answer.Is(0x9100);
}

bool ReadFileData(Operation& operation, int32_t fileNo, NativeCommand command,
                  const FileRules& rules,
                  const std::function<size_t(const FileCharacteristics&)>& answerLength,
                  std::string& answer) {
  const auto file = CheckFile(operation, fileNo, rules);
  if (!file) return false;
  const Communication communication = CommunicationOf(*file, rules.rights);
  command.macedAnswer = communication == Communication::Maced;
  if (communication == Communication::Enciphered) command.encipheredAnswer = answerLength(*file);
  const NativeAnswer read = Transceive(operation.state(), command);
  if (read.forged || (!read.Is(0x9100) && !read.Is(0x9101))) {
    // An answer that does not verify is no data, whatever it says.
    SetError(operation.state(), read.forged ? errors::kForgedAnswer : errors::kOperationFailed,
             {.comFunction = std::string(operation.name()),
              .rdrRetCode = read.forged ? "9100" : read.status.Received()});
    return false;
  }
  answer = conversion::ToSpacedHex(read.data);
  return true;
}

}  // namespace tarsin::desfire
