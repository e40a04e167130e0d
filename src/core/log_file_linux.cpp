// The log's folder is $XDG_DATA_HOME, else $HOME/.local/share; /tmp/ when neither holds an
// absolute path.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "core/log_file.h"

namespace tarsin {
namespace {

// An absolute path from the environment, or "" (relative values are not to be trusted).
std::string AbsoluteFolderFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return {};
  return value;
}

}  // namespace

std::string ApplicationDataFolder() {
  std::string folder = AbsoluteFolderFromEnvironment("XDG_DATA_HOME");
  if (folder.empty()) {
    folder = AbsoluteFolderFromEnvironment("HOME");
    if (!folder.empty()) folder += "/.local/share";
  }
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

std::string FallbackLogFolder() {
  return "/tmp/";
}

std::string LocalTimestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return "0000-00-00 00:00:00";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

void AppendLogLine(LogState& log, std::string_view line) noexcept {
  const std::string& path = log.path;
  // The log holds keys in clear: created user-only, never through a symbolic link, and only
  // appended to when it is our own regular file (the fall-back folder is shared).
  // O_NONBLOCK keeps a FIFO planted under the name from blocking the caller.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                  0600);
  if (fd < 0) return;  // e.g. the folder does not exist: folders are deliberately not created
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::geteuid()) {
    // A file from before may be readable by others; once per object keeps a line at its open,
    // write and close.
    if (!log.ownerOnly && ((status.st_mode & 0777) == 0600 || ::fchmod(fd, 0600) == 0)) {
      log.ownerOnly = true;
    }
    std::string joined;
    if (log.lineCut) line = joined.append("\r\n").append(line);
    // One write per line keeps the lines of concurrent writers whole (O_APPEND).
    ssize_t written;
    while ((written = ::write(fd, line.data(), line.size())) < 0 && errno == EINTR) {
    }
    if (written == static_cast<ssize_t>(line.size())) {
      log.lineCut = false;
    } else if (written > 0) {
      log.lineCut = true;
    }
  }
  ::close(fd);
}

}  // namespace tarsin
