// Contexts and card handles of the in-process provider, and the sharing rules between them.
// Sharing is enforced with flock on companion files of the readers file, so that it holds
// between processes as between handles of one process.
#pragma once

#include <PCSC/winscard.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "store/reader_bank.h"

namespace tarsin::sim::provider {

// A descriptor holding an flock for as long as it lives.
class SharedLock {
 public:
  SharedLock() = default;
  explicit SharedLock(int fd) : fd_(fd) {}
  SharedLock(const SharedLock&) = delete;
  SharedLock& operator=(const SharedLock&) = delete;
  SharedLock(SharedLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  SharedLock& operator=(SharedLock&& other) noexcept;
  ~SharedLock();
  bool held() const { return fd_ >= 0; }

  // Takes the lock on `path` without waiting; an empty SharedLock when another holder refuses.
  static SharedLock TryTake(const std::string& path, int operation);

 private:
  int fd_ = -1;
};

struct Handle {
  SCARDCONTEXT context = 0;
  std::string reader;
  DWORD share_mode = 0;
  DWORD protocol = SCARD_PROTOCOL_UNDEFINED;
  std::uint32_t insertions = 0;   // the card this handle was connected to
  std::uint64_t resets_seen = 0;  // field resets by other handles make it stale
  int removal_stage = 0;          // card lost in mid-command: then NOT_TRANSACTED, then REMOVED
  SharedLock share_lock;
  SharedLock transaction;
};

struct Context {
  std::shared_ptr<ReaderBank> bank;
};

class Sessions {
 public:
  static Sessions& Instance();

  std::mutex mutex;
  std::map<SCARDCONTEXT, Context> contexts;
  std::map<SCARDHANDLE, Handle> handles;
  // Field resets per readers file and reader, as seen by this process.
  std::map<std::string, std::uint64_t> resets;

  // A fresh random non-zero 31-bit value, as pcsc-lite hands out.
  unsigned long NewHandleValue() const;
  // The bank of the readers file currently named by the environment.
  std::shared_ptr<ReaderBank> CurrentBank();
  static std::string LockPath(const ReaderBank& bank, const std::string& reader, const char* kind);
  std::uint64_t& ResetsOf(const ReaderBank& bank, const std::string& reader);

 private:
  std::map<std::string, std::weak_ptr<ReaderBank>> banks_;
};

}  // namespace tarsin::sim::provider
