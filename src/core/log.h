// The diagnostic log: one line per call, appended with its own open and close.
#pragma once

#include <string>
#include <string_view>

#include "core/state.h"

namespace tarsin {

// Never fails: a line that cannot be written is lost, the indentation still follows it.
void WriteLog(EncoderState& state, std::string_view message) noexcept;

// Where this user's log lives: $XDG_DATA_HOME, else $HOME/.local/share, then
// "Quillon/Nemora/Tarsin RF.log"; "/tmp/Tarsin RF.log" when neither variable holds an absolute
// path. Read once per encoder, on its first line.
std::string DefaultLogPath();

}  // namespace tarsin
