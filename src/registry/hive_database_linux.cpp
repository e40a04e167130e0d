// SPDX-License-Identifier: Apache-2.0
#include <fmt/format.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "registry/hive_database.h"

namespace tarsin::registry {
namespace {

// Long enough for a burst of writers from several processes; a lock held longer is a fault.
// TARSIN_RF_REGISTRY_BUSY_TIMEOUT_MS shortens it (tests that hold a hive on purpose).
int BusyTimeoutMs() {
  static const int timeout = [] {
    constexpr int kDefault = 30000;
    const char* text = std::getenv("TARSIN_RF_REGISTRY_BUSY_TIMEOUT_MS");
    if (text == nullptr || *text == '\0') return kDefault;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == '\0' && value >= 0 && value <= kDefault ? static_cast<int>(value) : kDefault;
  }();
  return timeout;
}

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL,"
    " name TEXT NOT NULL, folded TEXT NOT NULL, UNIQUE(parent, folded));"
    "CREATE TABLE IF NOT EXISTS vals(id INTEGER PRIMARY KEY, key INTEGER NOT NULL,"
    " name TEXT NOT NULL, folded TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,"
    " UNIQUE(key, folded));"
    "CREATE INDEX IF NOT EXISTS vals_in_order ON vals(key, id);";

LSTATUS StatusOf(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return ERROR_SUCCESS;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN:
      return ERROR_ACCESS_DENIED;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ERROR_BUSY;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return ERROR_REGISTRY_CORRUPT;
    case SQLITE_FULL:
      return ERROR_DISK_FULL;
    default:
      return ERROR_REGISTRY_IO_FAILED;
  }
}

// Registry names ignore case; ASCII folding is all that the stand-in promises.
std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

bool IsTextType(uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

bool MayWrite(const std::string& path, const struct stat& info) {
  // Root passes access(2) on any file; a file without write bits is read-only for everybody.
  return (info.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

LSTATUS CreateFolderOf(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  if (!error) return ERROR_SUCCESS;
  return error == std::errc::permission_denied || error == std::errc::read_only_file_system
             ? ERROR_ACCESS_DENIED
             : ERROR_REGISTRY_IO_FAILED;
}

std::string CacheKey(const std::string& path, const struct stat& info, bool writable) {
  return fmt::format("{}|{}:{}|{}", path, info.st_dev, info.st_ino, writable ? "rw" : "ro");
}

// "file:" URIs reserve these characters.
std::string UriPath(const std::string& path) {
  std::string uri;
  for (char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      uri += fmt::format("%{:02X}", static_cast<unsigned char>(c));
    } else {
      uri += c;
    }
  }
  return uri;
}

int OpenConnection(const std::string& path, bool writable, sqlite3*& db) {
  const int flags = (writable ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY) |
                    SQLITE_OPEN_FULLMUTEX;
  int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_busy_timeout(db, BusyTimeoutMs());
  if (rc != SQLITE_OK) return rc;
  if (writable) {
    // The WAL's companion files outlive the last writer, so that users who may not write the
    // folder can still read the hive through them.
    int persist = 1;
    sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr,
                      nullptr);
    return rc == SQLITE_OK ? sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) : rc;
  }
  rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) return rc;
  // Without those files and without the right to create them, the file is read as it stands.
  sqlite3_close(db);
  db = nullptr;
  return sqlite3_open_v2(("file:" + UriPath(path) + "?immutable=1").c_str(), &db,
                         SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX, nullptr);
}

}  // namespace

// A cached statement, reset for the next use when it goes out of scope.
class HiveDatabase::Statement {
 public:
  Statement(HiveDatabase& db, const char* sql) : stmt_(db.Prepare(sql)) {}
  ~Statement() {
    if (stmt_ != nullptr) {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  Statement& Bind(int index, int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
  }
  Statement& Bind(int index, std::string_view text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Bind(int index, const RegValue& value) {
    // An empty vector has no data pointer, and a null pointer would bind NULL.
    static const uint8_t kNothing = 0;
    const uint8_t* data = value.data.empty() ? &kNothing : value.data.data();
    const auto size = static_cast<int>(value.data.size());
    if (IsTextType(value.type)) {
      sqlite3_bind_text(stmt_, index, reinterpret_cast<const char*>(data), size, SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_blob(stmt_, index, data, size, SQLITE_TRANSIENT);
    }
    return *this;
  }
  int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
  int64_t Integer(int column) { return sqlite3_column_int64(stmt_, column); }
  std::string Text(int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                : std::string();
  }
  std::vector<uint8_t> Blob(int column) {
    const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    return data ? std::vector<uint8_t>(data, data + sqlite3_column_bytes(stmt_, column))
                : std::vector<uint8_t>();
  }

 private:
  sqlite3_stmt* stmt_;
};

std::shared_ptr<HiveDatabase> HiveDatabase::Open(Hive hive, bool forWrite, LSTATUS& status) {
  status = ERROR_SUCCESS;
  try {
    const std::string path = HiveFilePath(hive);
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (!exists && !forWrite) return nullptr;
    const bool writable = !exists || MayWrite(path, info);
    if (forWrite && !writable) {
      status = ERROR_ACCESS_DENIED;
      return nullptr;
    }

    // Connections are kept per file (and per identity of the file, so a replaced file is
    // reopened): an identification reads the same hive hundreds of times in a row.
    static std::mutex cacheMutex;
    static std::map<std::string, std::shared_ptr<HiveDatabase>> cache;
    std::lock_guard lock(cacheMutex);
    if (exists) {
      if (auto hit = cache.find(CacheKey(path, info, writable)); hit != cache.end()) {
        return hit->second;
      }
    } else if (status = CreateFolderOf(path); status != ERROR_SUCCESS) {
      return nullptr;
    }
    sqlite3* db = nullptr;
    const int rc = OpenConnection(path, writable, db);
    std::shared_ptr<HiveDatabase> opened(new HiveDatabase(db, !writable));
    if (rc != SQLITE_OK) {
      status = StatusOf(rc);
      return nullptr;
    }
    if (!exists && ::stat(path.c_str(), &info) != 0) return opened;
    if (cache.size() >= 16) cache.clear();
    return cache[CacheKey(path, info, writable)] = opened;
  } catch (...) {
    status = ERROR_REGISTRY_IO_FAILED;
    return nullptr;
  }
}

HiveDatabase::~HiveDatabase() {
  for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
  sqlite3_close(db_);
}

sqlite3_stmt* HiveDatabase::Prepare(const char* sql) {
  if (auto hit = statements_.find(sql); hit != statements_.end()) return hit->second;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
    return nullptr;
  }
  return statements_[sql] = stmt;
}

LSTATUS HiveDatabase::Execute(const char* sql) {
  Statement statement(*this, sql);
  return statement.ok() ? StatusOf(statement.Step()) : ERROR_REGISTRY_IO_FAILED;
}

LSTATUS HiveDatabase::WriteTransaction(const auto& body) {
  if (readOnly_) return ERROR_ACCESS_DENIED;
  std::lock_guard lock(mutex_);
  // IMMEDIATE takes the write lock up front, where the busy timeout applies. Inside a
  // transaction, a savepoint makes the write atomic on its own.
  const bool outermost = transactionDepth_ == 0;
  if (LSTATUS status = Execute(outermost ? "BEGIN IMMEDIATE" : "SAVEPOINT write");
      status != ERROR_SUCCESS) {
    return status;
  }
  ++transactionDepth_;
  LSTATUS status = ERROR_REGISTRY_IO_FAILED;
  try {
    status = body();
  } catch (...) {
  }
  --transactionDepth_;
  if (status == ERROR_SUCCESS) status = Execute(outermost ? "COMMIT" : "RELEASE write");
  if (status != ERROR_SUCCESS) {
    if (outermost) {
      Execute("ROLLBACK");
    } else {
      Execute("ROLLBACK TO write");
      Execute("RELEASE write");
    }
  }
  return status;
}

LSTATUS HiveDatabase::Transaction(const std::function<LSTATUS()>& body) {
  return WriteTransaction(body);
}

LSTATUS HiveDatabase::FindKey(KeyId parent, const std::vector<std::string>& path, KeyId& id) {
  std::lock_guard lock(mutex_);
  id = parent;
  for (const std::string& name : path) {
    Statement find(*this, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2");
    find.Bind(1, id).Bind(2, Folded(name));
    const int rc = find.Step();
    if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
    if (rc != SQLITE_ROW) return StatusOf(rc);
    id = find.Integer(0);
  }
  return ERROR_SUCCESS;
}

LSTATUS HiveDatabase::CreateKey(KeyId parent, const std::vector<std::string>& path, KeyId& id,
                                bool& created) {
  created = false;
  if (readOnly_) {
    // Opening an existing key of a read-only hive still works; creating one does not.
    LSTATUS status = FindKey(parent, path, id);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : status;
  }
  return WriteTransaction([&] {
    if (LSTATUS status = KeyExists(parent); status != ERROR_SUCCESS) return status;
    id = parent;
    for (const std::string& name : path) {
      Statement find(*this, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2");
      find.Bind(1, id).Bind(2, Folded(name));
      int rc = find.Step();
      if (rc == SQLITE_ROW) {
        id = find.Integer(0);
        continue;
      }
      if (rc != SQLITE_DONE) return StatusOf(rc);
      Statement insert(*this, "INSERT INTO keys(parent, name, folded) VALUES(?1, ?2, ?3)");
      insert.Bind(1, id).Bind(2, name).Bind(3, Folded(name));
      if (rc = insert.Step(); rc != SQLITE_DONE) return StatusOf(rc);
      id = sqlite3_last_insert_rowid(db_);
      created = true;
    }
    return ERROR_SUCCESS;
  });
}

LSTATUS HiveDatabase::KeyExists(KeyId key) {
  if (key == kRootKeyId) return ERROR_SUCCESS;
  Statement find(*this, "SELECT 1 FROM keys WHERE id = ?1");
  find.Bind(1, key);
  const int rc = find.Step();
  if (rc == SQLITE_DONE) return ERROR_KEY_DELETED;
  return rc == SQLITE_ROW ? ERROR_SUCCESS : StatusOf(rc);
}

LSTATUS HiveDatabase::GetValue(KeyId key, std::string_view name, RegValue& value) {
  std::lock_guard lock(mutex_);
  Statement find(*this, "SELECT type, data FROM vals WHERE key = ?1 AND folded = ?2");
  find.Bind(1, key).Bind(2, Folded(name));
  const int rc = find.Step();
  if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
  if (rc != SQLITE_ROW) return StatusOf(rc);
  value.type = static_cast<uint32_t>(find.Integer(0));
  value.data = find.Blob(1);
  return ERROR_SUCCESS;
}

LSTATUS HiveDatabase::InsertValue(KeyId key, std::string_view name, const RegValue& value) {
  // Replacing keeps the row, so the value keeps its place in the enumeration.
  Statement upsert(*this,
                   "INSERT INTO vals(key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
                   " ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type,"
                   " data = excluded.data");
  upsert.Bind(1, key).Bind(2, name).Bind(3, Folded(name));
  upsert.Bind(4, static_cast<int64_t>(value.type)).Bind(5, value);
  return StatusOf(upsert.Step());
}

LSTATUS HiveDatabase::SetValue(KeyId key, std::string_view name, const RegValue& value) {
  return WriteTransaction([&] {
    LSTATUS status = KeyExists(key);
    return status == ERROR_SUCCESS ? InsertValue(key, name, value) : status;
  });
}

LSTATUS HiveDatabase::AddNewValue(KeyId key, std::string_view baseName, const RegValue& value,
                                  std::string& usedName) {
  return WriteTransaction([&] {
    if (LSTATUS status = KeyExists(key); status != ERROR_SUCCESS) return status;
    usedName = baseName;
    for (int suffix = 2;; ++suffix) {
      Statement find(*this, "SELECT 1 FROM vals WHERE key = ?1 AND folded = ?2");
      find.Bind(1, key).Bind(2, Folded(usedName));
      const int rc = find.Step();
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) return StatusOf(rc);
      usedName = std::string(baseName) + " #" + std::to_string(suffix);
    }
    return InsertValue(key, usedName, value);
  });
}

LSTATUS HiveDatabase::ValueAt(KeyId key, uint32_t index, std::string& name, RegValue* value,
                              ValueCursor* cursor) {
  std::lock_guard lock(mutex_);
  const bool continues = cursor != nullptr && cursor->index + 1 == index;
  Statement at(*this, continues ? "SELECT name, type, data, id FROM vals WHERE key = ?1"
                                  " AND id > ?2 ORDER BY id LIMIT 1"
                                : "SELECT name, type, data, id FROM vals WHERE key = ?1"
                                  " ORDER BY id LIMIT 1 OFFSET ?2");
  at.Bind(1, key).Bind(2, continues ? cursor->rowId : static_cast<int64_t>(index));
  const int rc = at.Step();
  if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
  if (rc != SQLITE_ROW) return StatusOf(rc);
  name = at.Text(0);
  if (value != nullptr) {
    value->type = static_cast<uint32_t>(at.Integer(1));
    value->data = at.Blob(2);
  }
  if (cursor != nullptr) *cursor = ValueCursor{index, at.Integer(3)};
  return ERROR_SUCCESS;
}

LSTATUS HiveDatabase::SubKeyAt(KeyId key, uint32_t index, std::string& name, SubKeyCursor* cursor) {
  std::lock_guard lock(mutex_);
  const bool continues = cursor != nullptr && cursor->index + 1 == index;
  Statement at(*this, continues ? "SELECT name, folded FROM keys WHERE parent = ?1"
                                  " AND folded > ?2 ORDER BY folded LIMIT 1"
                                : "SELECT name, folded FROM keys WHERE parent = ?1"
                                  " ORDER BY folded LIMIT 1 OFFSET ?2");
  at.Bind(1, key);
  continues ? at.Bind(2, cursor->folded) : at.Bind(2, static_cast<int64_t>(index));
  const int rc = at.Step();
  if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
  if (rc != SQLITE_ROW) return StatusOf(rc);
  name = at.Text(0);
  if (cursor != nullptr) *cursor = SubKeyCursor{index, at.Text(1)};
  return ERROR_SUCCESS;
}

LSTATUS HiveDatabase::DeleteValue(KeyId key, std::string_view name) {
  return WriteTransaction([&] {
    Statement remove(*this, "DELETE FROM vals WHERE key = ?1 AND folded = ?2");
    remove.Bind(1, key).Bind(2, Folded(name));
    if (LSTATUS status = StatusOf(remove.Step()); status != ERROR_SUCCESS) return status;
    return sqlite3_changes(db_) > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LSTATUS HiveDatabase::DeleteTree(KeyId key) {
  return WriteTransaction([&] {
    if (LSTATUS status = KeyExists(key); status != ERROR_SUCCESS) return status;
    Statement values(*this,
                     "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys"
                     " JOIN tree ON keys.parent = tree.id) DELETE FROM vals WHERE key IN tree");
    values.Bind(1, key);
    if (LSTATUS status = StatusOf(values.Step()); status != ERROR_SUCCESS) return status;
    Statement keys(*this,
                   "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys"
                   " JOIN tree ON keys.parent = tree.id) DELETE FROM keys WHERE id IN tree");
    keys.Bind(1, key);
    return StatusOf(keys.Step());
  });
}

}  // namespace tarsin::registry
