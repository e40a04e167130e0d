// SPDX-License-Identifier: Apache-2.0
#include <map>
#include <mutex>
#include <optional>

#include "registry/handle_table.h"
#include "registry/hive_database.h"
#include "registry/key_names.h"
#include "registry/reg_api.h"

namespace tarsin::registry {
namespace {

struct OpenKey {
  Hive hive = Hive::LocalMachine;
  KeyId id = kRootKeyId;
  REGSAM access = 0;
  size_t depth = 0;  // levels below the root
  ValueCursor cursor;
  SubKeyCursor subKeyCursor;
};

HandleTable<OpenKey>& Handles() {
  static HandleTable<OpenKey> table;
  return table;
}

// The root keys are always open.
std::optional<OpenKey> FindKey(HKEY key) {
  if (auto hive = HiveOf(key)) return OpenKey{*hive, kRootKeyId, KEY_ALL_ACCESS};
  return Handles().Find(key);
}

// The hives that this thread holds in a RegTransaction, so that the calls inside it write
// through the same connection.
thread_local std::map<Hive, std::shared_ptr<HiveDatabase>> transactionHives;

// Resolves `key` and opens its hive; `database` stays null for a hive without a file.
LSTATUS Resolve(HKEY key, bool forWrite, OpenKey& open, std::shared_ptr<HiveDatabase>& database) {
  auto found = FindKey(key);
  if (!found) return ERROR_INVALID_HANDLE;
  open = *found;
  if (forWrite && (open.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (auto held = transactionHives.find(open.hive); held != transactionHives.end()) {
    database = held->second;
    return ERROR_SUCCESS;
  }
  LSTATUS status = ERROR_SUCCESS;
  database = HiveDatabase::Open(open.hive, forWrite, status);
  return status;
}

RegValue MakeValue(uint32_t type, std::span<const uint8_t> data) {
  return RegValue{type, std::vector<uint8_t>(data.begin(), data.end())};
}

// Resolves `key` and runs `action(open, database)`, where `database` is null for a hive
// without a file (only when reading). A fault of the store comes back as an I/O failure.
template <class Action>
LSTATUS OnKey(HKEY key, bool forWrite, Action&& action) noexcept {
  try {
    OpenKey open;
    std::shared_ptr<HiveDatabase> database;
    if (LSTATUS status = Resolve(key, forWrite, open, database); status != ERROR_SUCCESS) {
      return status;
    }
    return action(open, database.get());
  } catch (...) {
    return ERROR_REGISTRY_IO_FAILED;
  }
}

}  // namespace

LSTATUS RegConnectRegistryA(std::string_view machineName, HKEY root, HKEY& result) {
  if (!machineName.empty()) return ERROR_BAD_NETPATH;
  if (!HiveOf(root)) return ERROR_INVALID_HANDLE;
  result = root;
  return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyExA(HKEY key, std::string_view subKey, uint32_t /*options*/, REGSAM access,
                      HKEY& result) {
  return OnKey(key, false, [&](const OpenKey& open, HiveDatabase* database) {
    const std::vector<std::string> path = KeyPathNames(subKey);
    KeyId id = open.id;
    if (database == nullptr) {
      if (!path.empty()) return ERROR_FILE_NOT_FOUND;
    } else if (LSTATUS status = database->FindKey(open.id, path, id); status != ERROR_SUCCESS) {
      return status;
    }
    result = Handles().Add({open.hive, id, access, open.depth + path.size()});
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCreateKeyExA(HKEY key, std::string_view subKey, uint32_t /*options*/, REGSAM access,
                        HKEY& result, uint32_t* disposition) {
  return OnKey(key, true, [&](const OpenKey& open, HiveDatabase* database) {
    const std::vector<std::string> path = KeyPathNames(subKey);
    if (LSTATUS status = KeyLimitStatus(path, open.depth); status != ERROR_SUCCESS) return status;
    KeyId id = kRootKeyId;
    bool created = false;
    if (LSTATUS status = database->CreateKey(open.id, path, id, created); status != ERROR_SUCCESS) {
      return status;
    }
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    result = Handles().Add({open.hive, id, access, open.depth + path.size()});
    return ERROR_SUCCESS;
  });
}

LSTATUS RegQueryValueExA(HKEY key, std::string_view valueName, RegValue& value) {
  return OnKey(key, false, [&](const OpenKey& open, HiveDatabase* database) {
    return database ? database->GetValue(open.id, valueName, value) : ERROR_FILE_NOT_FOUND;
  });
}

LSTATUS RegSetValueExA(HKEY key, std::string_view valueName, uint32_t type,
                       std::span<const uint8_t> data) {
  return OnKey(key, true, [&](const OpenKey& open, HiveDatabase* database) {
    return database->SetValue(open.id, valueName, MakeValue(type, data));
  });
}

LSTATUS RegAddNewValue(HKEY key, std::string_view baseName, uint32_t type,
                       std::span<const uint8_t> data, std::string& usedName) {
  return OnKey(key, true, [&](const OpenKey& open, HiveDatabase* database) {
    return database->AddNewValue(open.id, baseName, MakeValue(type, data), usedName);
  });
}

LSTATUS RegEnumValueA(HKEY key, uint32_t index, std::string& name, RegValue* value) {
  return OnKey(key, false, [&](const OpenKey& open, HiveDatabase* database) {
    if (database == nullptr) return ERROR_NO_MORE_ITEMS;
    ValueCursor cursor = open.cursor;
    const LSTATUS status = database->ValueAt(open.id, index, name, value, &cursor);
    if (status == ERROR_SUCCESS) {
      Handles().Update(key, [&](OpenKey& kept) { kept.cursor = cursor; });
    }
    return status;
  });
}

LSTATUS RegEnumKeyExA(HKEY key, uint32_t index, std::string& name) {
  return OnKey(key, false, [&](const OpenKey& open, HiveDatabase* database) {
    if (database == nullptr) return ERROR_NO_MORE_ITEMS;
    SubKeyCursor cursor = open.subKeyCursor;
    const LSTATUS status = database->SubKeyAt(open.id, index, name, &cursor);
    if (status == ERROR_SUCCESS) {
      Handles().Update(key, [&](OpenKey& kept) { kept.subKeyCursor = std::move(cursor); });
    }
    return status;
  });
}

LSTATUS RegDeleteValueA(HKEY key, std::string_view valueName) {
  return OnKey(key, false, [&](const OpenKey& open, HiveDatabase* database) {
    if (database == nullptr) return ERROR_FILE_NOT_FOUND;
    if ((open.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    return database->DeleteValue(open.id, valueName);
  });
}

LSTATUS RegDeleteTreeA(HKEY key, std::string_view subKey) {
  return OnKey(key, false, [&](const OpenKey& open, HiveDatabase* database) {
    if (database == nullptr) return ERROR_FILE_NOT_FOUND;
    KeyId id = open.id;
    LSTATUS status = database->FindKey(open.id, KeyPathNames(subKey), id);
    return status == ERROR_SUCCESS ? database->DeleteTree(id) : status;
  });
}

LSTATUS RegTransaction(HKEY root, const std::function<LSTATUS()>& body) noexcept {
  try {
    const std::optional<Hive> hive = HiveOf(root);
    if (!hive) return ERROR_INVALID_HANDLE;
    if (transactionHives.contains(*hive)) return body();
    LSTATUS status = ERROR_SUCCESS;
    const std::shared_ptr<HiveDatabase> database = HiveDatabase::Open(*hive, true, status);
    if (status != ERROR_SUCCESS) return status;
    transactionHives.emplace(*hive, database);
    status = ERROR_REGISTRY_IO_FAILED;
    try {
      status = database->Transaction(body);
    } catch (...) {
    }
    transactionHives.erase(*hive);
    return status;
  } catch (...) {
    return ERROR_REGISTRY_IO_FAILED;
  }
}

LSTATUS RegCloseKey(HKEY key) {
  if (HiveOf(key)) return ERROR_SUCCESS;
  try {
    return Handles().Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
  } catch (...) {
    return ERROR_INVALID_HANDLE;
  }
}

REGSAM OtherRegistryView() noexcept {
  return 0;
}

}  // namespace tarsin::registry
