// SPDX-License-Identifier: Apache-2.0
// The JSON file that describes the virtual readers and holds their cards' memory, shared by
// every process that uses them (the in-process provider, the pcscd driver, the tests).
//
// {"readers": [{"name": "...", "vendor": "...", "ifdType": "...", "ifdVersion": "1.0.0",
//               "serial": "...", "protocols": ["T0", "T1"], "present": true,
//               "authenticateKeylessCards": false,
//               "card": {"type": "mifare-classic-1k", "uid": "...", "blocks": [...]} or null,
//               "cardPresent": true,
//               "faults": {...}}]}
// The faults are described in sim/provider/faults.h.
//
// Writers replace the file by rename under the lock (byte 0 of the lock file), so a reader needs
// no lock: it sees the old file or the new one whole. What a process read stays in memory,
// shared by every ReadersFile of the same path in that process, and is read again only when
// the file changed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace tarsin::sim {

// The bytes of the lock file a reader's own locks take, beside byte 0 of the file itself.
enum class ReaderLock : std::uint64_t {
  kShare = 0,        // the provider's sharing modes
  kTransaction = 1,  // the provider's transactions
  kCommands = 2,     // one command at a time on the reader, between processes as between threads
};

class ReadersFile {
 public:
  // TARSIN_RF_VIRTUAL_READERS, else Quillon/Nemora/virtual-readers.json in the user's data
  // folder (store/user_files.h).
  static std::filesystem::path DefaultPath();
  // Two readers: a blank MIFARE Classic 1K with transport keys on reader 0, reader 1 empty.
  static nlohmann::json DefaultContents();
  // The one file beside it that holds the locks (sim/store/file_lock.h).
  static std::filesystem::path LockFileOf(const std::filesystem::path& data_path);
  // The byte of the lock file for `lock` of `reader`; never 0.
  static std::uint64_t SlotOf(const std::string& reader, ReaderLock lock);

  explicit ReadersFile(std::filesystem::path path = DefaultPath());
  const std::filesystem::path& path() const { return path_; }

  // The entries of the "readers" array. An entry keeps its object for as long as its text in
  // the file stays the same, so that a change to one reader costs the others nothing.
  struct Contents {
    std::vector<std::shared_ptr<const nlohmann::json>> readers;
    // The first entry named `name`, or nullptr.
    std::shared_ptr<const nlohmann::json> Find(const std::string& name) const;
  };
  // The file as it is now, created with the default contents when it is missing; the same
  // object for as long as the file does not change. Throws std::runtime_error when it cannot be
  // read or is not JSON.
  std::shared_ptr<const Contents> Snapshot() const;
  // Lets `change` edit a copy of the entry of reader `name` and, when it returns true, writes
  // the file back (atomic replace) with only that entry's text replaced, all under the exclusive
  // lock so that concurrent processes lose nothing. False when there is no such reader or
  // nothing was written; throws std::runtime_error when the file cannot be read or written.
  bool UpdateReader(const std::string& name,
                    const std::function<bool(nlohmann::json&)>& change) const;
  // Replaces the whole file.
  void Write(const nlohmann::json& contents) const;

  struct Cache;

 private:
  std::filesystem::path path_;
  std::shared_ptr<Cache> cache_;
};

}  // namespace tarsin::sim
