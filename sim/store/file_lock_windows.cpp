// SPDX-License-Identifier: Apache-2.0
#include <windows.h>

#include "store/file_lock.h"

namespace tarsin::sim {

namespace {

OVERLAPPED AtSlot(std::uint64_t slot) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(slot);
  at.OffsetHigh = static_cast<DWORD>(slot >> 32);
  return at;
}

}  // namespace

void FileLock::Release() noexcept {
  if (handle_ == kNoHandle) return;
  // Closing the handle frees its locks only "eventually": unlock first, so that the next holder
  // never waits on a lock nobody holds.
  auto* handle = reinterpret_cast<HANDLE>(std::exchange(handle_, kNoHandle));
  OVERLAPPED at = AtSlot(slot_);
  ::UnlockFileEx(handle, 0, 1, 0, &at);
  ::CloseHandle(handle);
}

FileLock FileLock::Take(const std::filesystem::path& file, std::uint64_t slot, bool exclusive,
                        bool wait) {
  // Every process opens the file for reading and writing, sharing it with all others; the
  // locked bytes are never read or written, so Windows' mandatory locks stop nobody.
  HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FileLock();
  DWORD flags = (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  OVERLAPPED at = AtSlot(slot);
  if (!::LockFileEx(handle, flags, 0, 1, 0, &at)) {
    ::CloseHandle(handle);
    return FileLock();
  }
  return FileLock(reinterpret_cast<NativeHandle>(handle), slot);
}

}  // namespace tarsin::sim
