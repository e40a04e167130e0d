// SPDX-License-Identifier: Apache-2.0
// Locks between processes on one byte each of a lock file (open-file-description locks on Linux,
// LockFileEx on Windows: either conflicts between two opens in one process as between
// processes, and goes with its descriptor or handle). The readers file keeps a single lock file
// beside it: byte 0 guards the file itself, the other bytes guard the sharing of each reader, so
// nothing else is left in the user's folder however many readers and handles come and go.
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
  FileLock(FileLock&& other) noexcept
      : handle_(std::exchange(other.handle_, kNoHandle)), slot_(other.slot_) {}
  FileLock& operator=(FileLock&& other) noexcept;
  ~FileLock() { Release(); }
  bool held() const { return handle_ != kNoHandle; }

  // Waits for byte `slot` of `file` (created when missing). Throws std::runtime_error when the
  // file cannot be opened or locked.
  static FileLock Wait(const std::filesystem::path& file, std::uint64_t slot, bool exclusive);
  // Without waiting: an empty FileLock when another holder refuses or the file cannot be opened.
  static FileLock Try(const std::filesystem::path& file, std::uint64_t slot, bool exclusive);

 private:
  // A descriptor on Linux, a HANDLE on Windows; -1 is neither.
  using NativeHandle = std::intptr_t;
  static constexpr NativeHandle kNoHandle = -1;

  FileLock(NativeHandle handle, std::uint64_t slot) : handle_(handle), slot_(slot) {}
  // The platform's part (file_lock_linux.cpp, file_lock_windows.cpp).
  static FileLock Take(const std::filesystem::path& file, std::uint64_t slot, bool exclusive,
                       bool wait);
  void Release() noexcept;

  NativeHandle handle_ = kNoHandle;
  std::uint64_t slot_ = 0;
};

}  // namespace tarsin::sim
