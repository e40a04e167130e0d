// SPDX-License-Identifier: Apache-2.0
// The file traffic of the data, record and value operations: the file's characteristics, a
// command whose data may take several frames, and a read whose answer may take several. Both
// travel as the file's communication settings say, unless a right of the command is free.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "core/hex_text.h"
#include "core/operation.h"
#include "desfire/channel.h"
#include "desfire/desfire.h"
#include "tarsin/types.h"

namespace tarsin::desfire {

// An access right's place in FileCharacteristics::accessRights (the shift of its nibble).
enum class Right : uint8_t { Read = 12, Write = 8, ReadWrite = 4 };

// What a file command accepts: the file types, and the rights that open it.
struct FileRules {
  std::span<const DesfireFileTypes> accepted;
  std::span<const Right> rights;
};

// Sends header and data with `command`, in frames of at most 52 bytes first and 59 after.
// False on failure, with only the file errors recorded (missing file, wrong type) under
// `operation`'s name; the caller reports a failed frame, whose answer is in `answer`.
bool SendFileData(Operation& operation, int32_t fileNo, NativeCommand command,
                  const FileRules& rules, NativeAnswer& answer);
// Sends `command` and gives the whole answer as spaced hex; false with the error recorded. An
// enciphered answer holds `answerLength(file)` data bytes.
bool ReadFileData(Operation& operation, int32_t fileNo, NativeCommand command,
                  const FileRules& rules,
                  const std::function<size_t(const FileCharacteristics&)>& answerLength,
                  std::string& answer);

}  // namespace tarsin::desfire
