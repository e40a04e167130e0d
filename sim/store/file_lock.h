// Locks between processes on one byte each of a lock file (open-file-description locks: they
// conflict between descriptors of one process as between processes, and go with the
// descriptor). The readers file keeps a single lock file beside it: byte 0 guards the file
// itself, the other bytes guard the sharing of each reader, so nothing else is left in the
// user's folder however many readers and handles come and go.
#pragma once

#include <cstdint>
#include <filesystem>
#include <utility>

namespace tarsin::sim {

class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileLock& operator=(FileLock&& other) noexcept;
  ~FileLock();
  bool held() const { return fd_ >= 0; }

  // Waits for byte `slot` of `file` (created when missing). Throws std::runtime_error when the
  // file cannot be opened or locked.
  static FileLock Wait(const std::filesystem::path& file, std::uint64_t slot, bool exclusive);
  // Without waiting: an empty FileLock when another holder refuses or the file cannot be opened.
  static FileLock Try(const std::filesystem::path& file, std::uint64_t slot, bool exclusive);

 private:
  explicit FileLock(int fd) : fd_(fd) {}
  static FileLock Take(const std::filesystem::path& file, std::uint64_t slot, bool exclusive,
                       bool wait);

  int fd_ = -1;
};

}  // namespace tarsin::sim
