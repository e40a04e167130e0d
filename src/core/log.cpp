#include "core/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace tarsin {
namespace {

constexpr std::string_view kEntryArrow = "--> ";
constexpr std::string_view kExitArrow = "<-- ";
constexpr std::string_view kLogName = "Tarsin RF.log";

std::string LocalTimestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return "0000-00-00 00:00:00";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// An absolute path from the environment, or "" (relative values are not to be trusted).
std::string AbsoluteFolderFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return {};
  return value;
}

void AppendLine(const std::string& path, std::string_view line) {
  // The log holds keys in clear: created user-only, never through a symbolic link, and only
  // appended to when it is our own regular file (the fall-back folder is shared).
  // O_NONBLOCK keeps a FIFO planted under the name from blocking the caller.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                  0600);
  if (fd < 0) return;  // e.g. the folder does not exist: folders are deliberately not created
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::geteuid()) {
    // One write per line keeps the lines of concurrent writers whole (O_APPEND).
    while (::write(fd, line.data(), line.size()) < 0 && errno == EINTR) {
    }
  }
  ::close(fd);
}

}  // namespace

std::string DefaultLogPath() {
  std::string folder = AbsoluteFolderFromEnvironment("XDG_DATA_HOME");
  if (folder.empty()) {
    folder = AbsoluteFolderFromEnvironment("HOME");
    if (!folder.empty()) folder += "/.local/share";
  }
  if (folder.empty()) return std::string("/tmp/").append(kLogName);
  if (folder.back() != '/') folder += '/';
  return folder.append("Quillon/Nemora/").append(kLogName);
}

void WriteLog(EncoderState& state, std::string_view message) noexcept {
  // The level follows the arrows even when the line itself is lost.
  int32_t& level = state.log.level;
  if (message.starts_with(kExitArrow) && level > 0) --level;
  const size_t indentation = static_cast<size_t>(level) * 4;
  if (message.starts_with(kEntryArrow) && level < INT32_MAX) ++level;
  try {
    if (state.log.path.empty()) state.log.path = DefaultLogPath();
    std::string line = LocalTimestamp();
    line.append(3 + indentation, ' ');
    line.append(message);
    line.append("\r\n");
    AppendLine(state.log.path, line);
  } catch (...) {
    // A line that cannot be built is lost like one that cannot be written.
  }
}

}  // namespace tarsin
