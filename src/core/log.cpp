// SPDX-License-Identifier: Apache-2.0
#include "core/log.h"

#include <cstdint>

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
    // One buffer per thread, kept from line to line: a line costs no allocation (a frame writes
    // a dozen). An unusually long line does not keep its room.
    thread_local std::string line;
    if (line.capacity() > kKeptLineRoom) std::string().swap(line);
    line.assign(LocalTimestamp());
    line.append(3 + indentation, ' ');
    line.append(message);
    line.append("\r\n");
    AppendLogLine(state.log, line);
  } catch (...) {
    // A line that cannot be built is lost like one that cannot be written.
  }
}

}  // namespace tarsin
