// SPDX-License-Identifier: Apache-2.0
// The file traffic of the data, record and value operations: the file's characteristics, a
// command whose data may take several frames, and a read whose answer may take several.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/hex_text.h"
#include "core/operation.h"
#include "desfire/channel.h"
#include "tarsin/types.h"

namespace tarsin::desfire {

// Sends header and data with `command`, in frames of at most 52 bytes first and 59 after.
// False on failure, with only the file errors recorded (missing file, wrong type) under
// `operation`'s name; the caller reports a failed frame, whose answer is in `answer`.
bool SendFileData(Operation& operation, int32_t fileNo, NativeCommand command,
                  std::span<const DesfireFileTypes> accepted, NativeAnswer& answer);
// Sends `command` and gives the whole answer as spaced hex; false with the error recorded.
bool ReadFileData(Operation& operation, int32_t fileNo, const NativeCommand& command,
                  std::span<const DesfireFileTypes> accepted, std::string& answer);

}  // namespace tarsin::desfire
