// SPDX-License-Identifier: Apache-2.0
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

std::string LogFolder() {
  std::string folder = AbsoluteFolderFromEnvironment("XDG_DATA_HOME");
  if (folder.empty()) {
    folder = AbsoluteFolderFromEnvironment("HOME");
    if (!folder.empty()) folder += "/.local/share";
  }
  if (folder.empty()) return "/tmp/";
  if (folder.back() != '/') folder += '/';
  return folder + "Quillon/Nemora/";
}

std::string_view LocalTimestamp() {
  // A frame writes a dozen lines within one second: the text is made once per second and zone
  // (tzset() changes the offset; a change of daylight saving falls on a new second).
  thread_local std::time_t madeFor = -1;
  thread_local long madeInZone = 0;
  thread_local char text[32] = "";
  const std::time_t now = std::time(nullptr);
  if (now != madeFor || ::timezone != madeInZone) {
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return "0000-00-00 00:00:00";
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    madeFor = now;
    madeInZone = ::timezone;
  }
  return text;
}

namespace {

// Only this user (or root) can add, remove or rename entries of the folder holding `path`: a file
// found to be ours there stays ours.
bool FolderIsPrivate(const std::string& path, uid_t user) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return false;
  const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
  struct stat status {};
  return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == user &&
         (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

void AppendLogLine(LogState& log, std::string_view line) noexcept {
  const std::string& path = log.path;
  // The log holds keys in clear: created user-only, never through a symbolic link, and only
  // appended to when it is our own regular file (the fall-back folder is shared).
  // O_NONBLOCK keeps a FIFO planted under the name from blocking the caller.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                  0600);
  if (fd < 0) return;  // e.g. the folder does not exist: folders are deliberately not created
  if (!log.settled) {
    // Checked at every line until the file is known to be ours, narrowed, in a folder nobody
    // else can plant a file in; a line then costs its open, write and close only. In a shared
    // folder (the fall-back) every line is checked.
    static const uid_t user = ::geteuid();
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != user) {
      ::close(fd);
      return;
    }
    // A file from before may be readable by others: narrowed once per object, and its folder
    // looked at then.
    if (!log.ownerOnly && ((status.st_mode & 0777) == 0600 || ::fchmod(fd, 0600) == 0)) {
      log.ownerOnly = true;
      log.settled = FolderIsPrivate(path, user);
    }
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
  ::close(fd);
}

}  // namespace tarsin
