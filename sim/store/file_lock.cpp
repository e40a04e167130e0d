#include "store/file_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace tarsin::sim {

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);
}

FileLock FileLock::Take(const std::filesystem::path& file, std::uint64_t slot, bool exclusive,
                        bool wait) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return FileLock();
  struct flock range {};
  range.l_type = exclusive ? F_WRLCK : F_RDLCK;
  range.l_whence = SEEK_SET;
  range.l_start = static_cast<off_t>(slot);
  range.l_len = 1;
  int result = 0;
  do {
    result = ::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &range);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    ::close(fd);
    return FileLock();
  }
  return FileLock(fd);
}

FileLock FileLock::Wait(const std::filesystem::path& file, std::uint64_t slot, bool exclusive) {
  FileLock lock = Take(file, slot, exclusive, true);
  if (!lock.held()) throw std::runtime_error("cannot lock " + file.string());
  return lock;
}

FileLock FileLock::Try(const std::filesystem::path& file, std::uint64_t slot, bool exclusive) {
  return Take(file, slot, exclusive, false);
}

}  // namespace tarsin::sim
