// SPDX-License-Identifier: Apache-2.0
// The diagnostic log: one line per call, appended with its own open and close.
#pragma once

#include <string>
#include <string_view>

#include "core/state.h"

namespace tarsin {

// Never fails: a line that cannot be written is lost, the indentation still follows it.
void WriteLog(EncoderState& state, std::string_view message) noexcept;

// Where this user's log lives: "Quillon/Nemora/Tarsin RF.log" in the application-data folder,
// or "Tarsin RF.log" in the fall-back folder when there is none (core/log_file.h). Read once per
// encoder, on its first line.
std::string DefaultLogPath();

}  // namespace tarsin
