// SPDX-License-Identifier: Apache-2.0
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "store/file_lock.h"

namespace tarsin::sim {

void FileLock::Release() noexcept {
  // Closing the descriptor lets go of its open-file-description lock.
  if (handle_ != kNoHandle) ::close(static_cast<int>(std::exchange(handle_, kNoHandle)));
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
  return FileLock(fd, slot);
}

}  // namespace tarsin::sim
