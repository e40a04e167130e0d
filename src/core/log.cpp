#include "core/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

namespace tarsin {
namespace {

constexpr std::string_view kEntryArrow = "--> ";
constexpr std::string_view kExitArrow = "<-- ";

std::string LocalTimestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

void AppendLine(const std::string& path, const std::string& line) {
  // The log holds keys in clear: user-only. Folders are deliberately not created.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  // One write per line keeps lines of concurrent writers whole (O_APPEND).
  [[maybe_unused]] ssize_t written = ::write(fd, line.data(), line.size());
  ::close(fd);
}

}  // namespace

std::string DefaultLogPath() {
  std::string folder;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
    folder = data;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    folder = std::string(home) + "/.local/share";
  }
  if (folder.empty()) return "/tmp/Tarsin RF.log";
  if (folder.back() != '/') folder += '/';
  return folder + "Quillon/Nemora/Tarsin RF.log";
}

void WriteLog(EncoderState& state, std::string_view message) noexcept {
  try {
    if (state.log.path.empty()) state.log.path = DefaultLogPath();
    if (message.starts_with(kExitArrow) && state.log.level > 0) --state.log.level;
    std::string line = LocalTimestamp();
    line.append(3, ' ');
    line.append(static_cast<size_t>(state.log.level) * 4, ' ');
    line.append(message);
    line.append("\r\n");
    if (message.starts_with(kEntryArrow)) ++state.log.level;
    AppendLine(state.log.path, line);
  } catch (...) {
    // A line that cannot be built is lost like one that cannot be written.
  }
}

}  // namespace tarsin
