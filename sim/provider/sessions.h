// SPDX-License-Identifier: Apache-2.0
// Contexts and card handles of the in-process provider, and the sharing rules between them.
// Sharing is enforced with locks on bytes of the readers file's lock file, so that it holds
// between processes as between handles of one process.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "pcsc_platform.h"
#include "store/file_lock.h"
#include "store/reader_bank.h"

namespace tarsin::sim::provider {

// Held for as long as it lives: the sharing of a reader between handles and processes.
using SharedLock = FileLock;

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
  // Counts SCardCancel calls: a status-change wait ends when it moves.
  std::uint64_t cancels = 0;
};

class Sessions {
 public:
  static Sessions& Instance();

  std::mutex mutex;
  // Wakes the status-change waits of this process at once (a cancel, a released context); card
  // events from other processes are found by looking at the readers file again.
  std::condition_variable wake;
  std::map<SCARDCONTEXT, Context> contexts;
  std::map<SCARDHANDLE, Handle> handles;
  // Field resets per readers file and reader, as seen by this process.
  std::map<std::string, std::uint64_t> resets;

  // A fresh random non-zero 31-bit value, as pcsc-lite hands out.
  unsigned long NewHandleValue() const;
  // The bank of the readers file currently named by the environment.
  std::shared_ptr<ReaderBank> CurrentBank();
  // Takes the `kind` ("share" or "transaction") lock of `reader` without waiting; an empty lock
  // when another holder refuses.
  static SharedLock TryLock(const ReaderBank& bank, const std::string& reader, const char* kind,
                            bool exclusive);
  std::uint64_t& ResetsOf(const ReaderBank& bank, const std::string& reader);

 private:
  std::map<std::string, std::weak_ptr<ReaderBank>> banks_;
};

}  // namespace tarsin::sim::provider
