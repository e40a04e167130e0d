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
#pragma once

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>

namespace tarsin::sim {

class ReadersFile {
 public:
  // TARSIN_RF_VIRTUAL_READERS, else Quillon/Nemora/virtual-readers.json in the user's data
  // folder (store/user_files.h).
  static std::filesystem::path DefaultPath();
  // Two readers: a blank MIFARE Classic 1K with transport keys on reader 0, reader 1 empty.
  static nlohmann::json DefaultContents();
  // The one file beside it that holds the locks (sim/store/file_lock.h).
  static std::filesystem::path LockFileOf(const std::filesystem::path& data_path);

  explicit ReadersFile(std::filesystem::path path = DefaultPath()) : path_(std::move(path)) {}
  const std::filesystem::path& path() const { return path_; }

  // Reads the file under a shared lock, creating it with the default contents when missing.
  // Throws std::runtime_error when it cannot be read or is not JSON.
  nlohmann::json Read() const;
  // Reads, lets `change` edit, and writes back (atomic replace) when it returns true, all under
  // one exclusive lock so that concurrent processes lose nothing.
  void Update(const std::function<bool(nlohmann::json&)>& change) const;
  // Replaces the whole file.
  void Write(const nlohmann::json& contents) const;

 private:
  nlohmann::json ReadLocked() const;
  void WriteLocked(const nlohmann::json& contents) const;

  std::filesystem::path path_;
};

}  // namespace tarsin::sim
