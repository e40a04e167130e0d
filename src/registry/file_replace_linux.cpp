// SPDX-License-Identifier: Apache-2.0
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

#include "registry/file_replace.h"

namespace tarsin::registry {
namespace {

std::error_code LastError() {
  return {errno, std::generic_category()};
}

std::error_code WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return LastError();
    content.remove_prefix(static_cast<size_t>(written));
  }
  return {};
}

// Creates a file of a name that no one else uses, beside `target`, with the mode a new file
// gets from open(2) (the umask applies).
int CreateTemporary(const std::filesystem::path& target, std::string& name) {
  static std::atomic<unsigned> counter{0};
  for (;;) {
    name = (target.parent_path() / ("." + target.filename().string() + ".tmp" +
                                    std::to_string(::getpid()) + "-" + std::to_string(counter++)))
               .string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
}

}  // namespace

std::error_code ReplaceFileContent(const std::string& path, std::string_view content) noexcept {
  try {
    // A device or a pipe (/dev/stdout) cannot be replaced: it is written as it is.
    if (struct stat existing{};
        ::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
      const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
      if (fd < 0) return LastError();
      std::error_code error = WriteAll(fd, content);
      if (::close(fd) != 0 && !error) error = LastError();
      return error;
    }
    std::error_code error;
    std::filesystem::path target = path;
    if (std::filesystem::is_symlink(target, error)) {
      target = std::filesystem::weakly_canonical(target, error);
      if (error) return error;
    }
    error.clear();  // a target that does not exist yet is no fault
    std::string temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0) return LastError();
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0) {
      error = LastError();
    }
    if (!error) error = WriteAll(fd, content);
    // The content must be on disk before the name points to it, or a crash could leave an
    // empty file where the old one was.
    if (!error && ::fsync(fd) != 0) error = LastError();
    if (::close(fd) != 0 && !error) error = LastError();
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0) error = LastError();
    if (error) {
      ::unlink(temporary.c_str());
      return error;
    }
    // The rename itself lasts once the folder is on disk; a folder that cannot be opened for
    // that still holds the complete file.
    const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
    return {};
  } catch (...) {
    return std::make_error_code(std::errc::not_enough_memory);
  }
}

}  // namespace tarsin::registry
