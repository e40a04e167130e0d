// SPDX-License-Identifier: Apache-2.0
#include "store/file_lock.h"

#include <stdexcept>

namespace tarsin::sim {

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = std::exchange(other.handle_, kNoHandle);
    slot_ = other.slot_;
  }
  return *this;
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
