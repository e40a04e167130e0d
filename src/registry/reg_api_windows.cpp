// SPDX-License-Identifier: Apache-2.0
// The Reg* functions over Windows' own registry (advapi32). Names and string data are UTF-8 here
// and UTF-16 there, through the wide entry points, so that no character is lost to the ANSI code
// page; everything else is passed through as Windows answers it.
#include "registry/win32_names_windows.h"
// The line above first: it takes Windows' macros out of the way of the names below.
#include <mutex>

#include "core/wide_text_windows.h"
#include "registry/handle_table.h"
#include "registry/reg_api.h"
#include "registry/utf16.h"

namespace tarsin::registry {
namespace {

// Windows' handles are pointers; ours are 32-bit numbers, the root keys' values included.
HandleTable<::HKEY>& Handles() {
  static HandleTable<::HKEY> table;
  return table;
}

::HKEY FindKey(HKEY key) {
  switch (key) {
    case HKEY_CLASSES_ROOT:
      return ((::HKEY)(ULONG_PTR)((LONG)0x80000000));
    case HKEY_CURRENT_USER:
      return ((::HKEY)(ULONG_PTR)((LONG)0x80000001));
    case HKEY_LOCAL_MACHINE:
      return ((::HKEY)(ULONG_PTR)((LONG)0x80000002));
    default:
      return Handles().Find(key).value_or(nullptr);
  }
}

bool IsText(uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Resolves `key` and runs `action(windowsKey)`; nothing thrown gets out.
template <class Action>
LSTATUS OnKey(HKEY key, Action&& action) noexcept {
  try {
    ::HKEY found = FindKey(key);
    if (found == nullptr) return ERROR_INVALID_HANDLE;
    return static_cast<LSTATUS>(action(found));
  } catch (...) {
    return ERROR_NO_SYSTEM_RESOURCES;
  }
}

// A null name for "", the key's default value or the key itself.
const wchar_t* NameOrNull(const std::wstring& name) {
  return name.empty() ? nullptr : name.c_str();
}

LSTATUS ReadValue(::HKEY key, const std::wstring& name, RegValue& value) {
  for (;;) {
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, NameOrNull(name), nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) return status;
    std::vector<uint8_t> data(size);
    status = RegQueryValueExW(key, NameOrNull(name), nullptr, &type, data.data(), &size);
    if (status == ERROR_MORE_DATA) continue;  // another writer made it longer meanwhile
    if (status != ERROR_SUCCESS) return status;
    data.resize(size);
    value.type = type;
    if (IsText(type)) {
      const std::string text = Utf16LeToUtf8(data.data(), data.size());
      value.data.assign(text.begin(), text.end());
    } else {
      value.data = std::move(data);
    }
    return ERROR_SUCCESS;
  }
}

LSTATUS WriteValue(::HKEY key, const std::wstring& name, uint32_t type,
                   std::span<const uint8_t> data) {
  std::vector<uint8_t> stored(data.begin(), data.end());
  if (IsText(type)) {
    stored =
        Utf8ToUtf16Le(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
  }
  const auto size = static_cast<DWORD>(stored.size());
  // Windows counts a NUL found just past a text's end as the text's own: a mark that is not NUL
  // keeps the data exactly as the writer gave it.
  stored.insert(stored.end(), {0xFF, 0xFF});
  return RegSetValueExW(key, NameOrNull(name), 0, type, stored.data(), size);
}

std::recursive_mutex& TransactionMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

}  // namespace

LSTATUS RegConnectRegistryA(std::string_view machineName, HKEY root, HKEY& result) {
  return OnKey(root, [&](::HKEY found) {
    const std::wstring machine = WideFromUtf8(machineName);
    ::HKEY connected = nullptr;
    const LSTATUS status = RegConnectRegistryW(NameOrNull(machine), found, &connected);
    if (status == ERROR_SUCCESS) result = Handles().Add(connected);
    return status;
  });
}

LSTATUS RegOpenKeyExA(HKEY key, std::string_view subKey, uint32_t options, REGSAM access,
                      HKEY& result) {
  return OnKey(key, [&](::HKEY found) {
    ::HKEY opened = nullptr;
    const LSTATUS status =
        RegOpenKeyExW(found, WideFromUtf8(subKey).c_str(), options, access, &opened);
    if (status == ERROR_SUCCESS) result = Handles().Add(opened);
    return status;
  });
}

LSTATUS RegCreateKeyExA(HKEY key, std::string_view subKey, uint32_t options, REGSAM access,
                        HKEY& result, uint32_t* disposition) {
  return OnKey(key, [&](::HKEY found) {
    ::HKEY created = nullptr;
    DWORD how = 0;
    const LSTATUS status = RegCreateKeyExW(found, WideFromUtf8(subKey).c_str(), 0, nullptr, options,
                                           access, nullptr, &created, &how);
    if (status != ERROR_SUCCESS) return status;
    result = Handles().Add(created);
    if (disposition) *disposition = how;
    return status;
  });
}

LSTATUS RegQueryValueExA(HKEY key, std::string_view valueName, RegValue& value) {
  return OnKey(key, [&](::HKEY found) { return ReadValue(found, WideFromUtf8(valueName), value); });
}

LSTATUS RegSetValueExA(HKEY key, std::string_view valueName, uint32_t type,
                       std::span<const uint8_t> data) {
  return OnKey(
      key, [&](::HKEY found) { return WriteValue(found, WideFromUtf8(valueName), type, data); });
}

LSTATUS RegAddNewValue(HKEY key, std::string_view baseName, uint32_t type,
                       std::span<const uint8_t> data, std::string& usedName) {
  return OnKey(key, [&](::HKEY found) {
    // Writers of this process take their turns; Windows has no "create only" for values.
    std::lock_guard lock(TransactionMutex());
    std::string name(baseName);
    for (int suffix = 2;; ++suffix) {
      const std::wstring wide = WideFromUtf8(name);
      const LSTATUS status =
          RegQueryValueExW(found, NameOrNull(wide), nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_FILE_NOT_FOUND) {
        const LSTATUS written = WriteValue(found, wide, type, data);
        if (written == ERROR_SUCCESS) usedName = name;
        return written;
      }
      if (status != ERROR_SUCCESS) return status;
      name = std::string(baseName) + " #" + std::to_string(suffix);
    }
  });
}

LSTATUS RegEnumValueA(HKEY key, uint32_t index, std::string& name, RegValue* value) {
  return OnKey(key, [&](::HKEY found) {
    // Value names are at most 16,383 characters.
    std::wstring buffer(16384, L'\0');
    DWORD length = static_cast<DWORD>(buffer.size());
    const LSTATUS status =
        RegEnumValueW(found, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    buffer.resize(length);
    name = Utf8FromWide(buffer);
    return value ? ReadValue(found, buffer, *value) : ERROR_SUCCESS;
  });
}

LSTATUS RegEnumKeyExA(HKEY key, uint32_t index, std::string& name) {
  return OnKey(key, [&](::HKEY found) {
    // Key names are at most 255 characters.
    std::wstring buffer(256, L'\0');
    DWORD length = static_cast<DWORD>(buffer.size());
    const LSTATUS status =
        RegEnumKeyExW(found, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    buffer.resize(length);
    name = Utf8FromWide(buffer);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegDeleteValueA(HKEY key, std::string_view valueName) {
  return OnKey(key, [&](::HKEY found) {
    const std::wstring name = WideFromUtf8(valueName);
    return RegDeleteValueW(found, NameOrNull(name));
  });
}

LSTATUS RegDeleteTreeA(HKEY key, std::string_view subKey) {
  return OnKey(key, [&](::HKEY found) {
    const std::wstring name = WideFromUtf8(subKey);
    return RegDeleteTreeW(found, NameOrNull(name));
  });
}

// Windows' transacted registry calls are not used (kernel transactions are deprecated and Wine
// has none): the body runs with the other writers of this process held back, and what it wrote
// before a failure stays written.
LSTATUS RegTransaction(HKEY root, const std::function<LSTATUS()>& body) noexcept {
  try {
    if (FindKey(root) == nullptr) return ERROR_INVALID_HANDLE;
    std::lock_guard lock(TransactionMutex());
    return body();
  } catch (...) {
    return ERROR_REGISTRY_IO_FAILED;
  }
}

LSTATUS RegCloseKey(HKEY key) {
  if (RootKeyName(key) != nullptr) return ERROR_SUCCESS;
  try {
    ::HKEY found = Handles().Remove(key).value_or(nullptr);
    return found == nullptr ? ERROR_INVALID_HANDLE : static_cast<LSTATUS>(::RegCloseKey(found));
  } catch (...) {
    return ERROR_INVALID_HANDLE;
  }
}

REGSAM OtherRegistryView() noexcept {
  return sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

}  // namespace tarsin::registry
