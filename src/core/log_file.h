// SPDX-License-Identifier: Apache-2.0
// The platform's side of the diagnostic log: the user's application-data folder, the local time
// and appending one line to the file.
#pragma once

#include <string>
#include <string_view>

#include "core/state.h"

namespace tarsin {

// The folder of this user's log, ending with the platform's separator: Quillon/Nemora/ in the
// user's application-data folder, or the platform's fall-back folder when there is none.
std::string LogFolder();
// "YYYY-MM-DD hh:mm:ss", local time; valid until this thread's next call.
std::string_view LocalTimestamp();
// Appends `line` in one write, creating the file readable by its owner only and narrowing an
// older one the first time `log` writes to it; never creates a folder and never fails (a line
// that cannot be written is lost; after a short one the next begins on a line of its own).
void AppendLogLine(LogState& log, std::string_view line) noexcept;

}  // namespace tarsin
