// SPDX-License-Identifier: Apache-2.0
// This platform's registry store, behind the Reg* functions (registry/reg_api.h).
// One hive file: keys and values in SQLite, in WAL mode with a busy timeout so that several
// processes can write at once without losing a row. Names are UTF-8 and compared without regard
// to ASCII case; values keep their insertion order, and replacing one keeps its place.
// Every function answers with a Win32 error code and never throws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "registry/hive_files.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tarsin::registry {

using KeyId = int64_t;
inline constexpr KeyId kRootKeyId = 0;

// Where the last enumeration step of a key handle stopped, so that the next index continues
// from there instead of counting from the first value again.
struct ValueCursor {
  uint32_t index = UINT32_MAX;  // one before the first: index 0 continues from row 0
  int64_t rowId = 0;
};

// The same for the sub-keys of a key, which come in the order of their folded names.
struct SubKeyCursor {
  uint32_t index = UINT32_MAX;
  std::string folded;
};

class HiveDatabase {
 public:
  // A missing file gives a null database and success when `forWrite` is false (it reads as
  // empty); for writing, the file and its folder are created. A file the caller may not write,
  // or one without any write permission bit, opens read-only; asked for writing it gives 5.
  static std::shared_ptr<HiveDatabase> Open(Hive hive, bool forWrite, LSTATUS& status);

  HiveDatabase(const HiveDatabase&) = delete;
  HiveDatabase& operator=(const HiveDatabase&) = delete;
  ~HiveDatabase();

  bool readOnly() const noexcept { return readOnly_; }

  LSTATUS FindKey(KeyId parent, const std::vector<std::string>& path, KeyId& id);
  LSTATUS CreateKey(KeyId parent, const std::vector<std::string>& path, KeyId& id, bool& created);
  LSTATUS GetValue(KeyId key, std::string_view name, RegValue& value);
  LSTATUS SetValue(KeyId key, std::string_view name, const RegValue& value);
  // Adds a value under `baseName`, or "baseName #2", "#3"... when that name is taken, in one
  // transaction, so two writers never replace each other's value.
  LSTATUS AddNewValue(KeyId key, std::string_view baseName, const RegValue& value,
                      std::string& usedName);
  LSTATUS ValueAt(KeyId key, uint32_t index, std::string& name, RegValue* value,
                  ValueCursor* cursor = nullptr);
  LSTATUS SubKeyAt(KeyId key, uint32_t index, std::string& name, SubKeyCursor* cursor = nullptr);
  LSTATUS DeleteValue(KeyId key, std::string_view name);
  // Removes the key's values and sub-keys, and the key itself unless it is the root.
  LSTATUS DeleteTree(KeyId key);
  // Runs `body` holding the hive's write lock: what it writes through this object is kept only
  // when it answers ERROR_SUCCESS and the commit succeeds. The writes inside are each atomic on
  // their own too, so a failed one leaves the others as they are. Other threads wait.
  LSTATUS Transaction(const std::function<LSTATUS()>& body);

 private:
  class Statement;
  HiveDatabase(sqlite3* db, bool readOnly) : db_(db), readOnly_(readOnly) {}

  sqlite3_stmt* Prepare(const char* sql);
  LSTATUS Execute(const char* sql);
  LSTATUS KeyExists(KeyId key);
  LSTATUS InsertValue(KeyId key, std::string_view name, const RegValue& value);
  LSTATUS WriteTransaction(const auto& body);

  sqlite3* db_;
  bool readOnly_;
  std::recursive_mutex mutex_;
  int transactionDepth_ = 0;  // under mutex_
  std::unordered_map<const char*, sqlite3_stmt*> statements_;
};

}  // namespace tarsin::registry
