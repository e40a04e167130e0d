// SPDX-License-Identifier: Apache-2.0
#include "core/log.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/log_file.h"

namespace tarsin {
namespace {

constexpr std::string_view kEntryArrow = "--> ";
constexpr std::string_view kExitArrow = "<-- ";
constexpr std::string_view kLogName = "Tarsin RF.log";
constexpr size_t kKeptLineRoom = 4096;

}  // namespace

std::string DefaultLogPath() {
  return LogFolder().append(kLogName);
}

void WriteLog(EncoderState& state, std::string_view message) noexcept {
  // The level follows the arrows even when the line itself is lost.
  int32_t& level = state.log.level;
  if (message.starts_with(kExitArrow) && level > 0) --level;
  const size_t indentation = static_cast<size_t>(level) * 4;
  if (message.starts_with(kEntryArrow) && level < INT32_MAX) ++level;
  try {
    if (state.log.path.empty()) state.log.path = DefaultLogPath();
    // A line is built in room of the thread's own, kept from line to line: a line costs no
    // allocation (a frame writes a dozen). The room has no destructor, so an Encoder destroyed at
    // the end of the process (a static one) still writes its last lines. A longer line is built
    // apart.
    thread_local char room[kKeptLineRoom];
    const std::string_view stamp = LocalTimestamp();
    const size_t length = stamp.size() + 3 + indentation + message.size() + 2;
    if (length <= sizeof room) {
      char* end = std::copy(stamp.begin(), stamp.end(), room);
      end = std::fill_n(end, 3 + indentation, ' ');
      end = std::copy(message.begin(), message.end(), end);
      *end++ = '\r';
      *end = '\n';
      AppendLogLine(state.log, std::string_view(room, length));
      return;
    }
    std::string line(stamp);
    line.append(3 + indentation, ' ');
    line.append(message);
    line.append("\r\n");
    AppendLogLine(state.log, line);
  } catch (...) {
    // A line that cannot be built is lost like one that cannot be written.
  }
}

}  // namespace tarsin
