// SPDX-License-Identifier: Apache-2.0
#include "registry/mregistry.h"

#include <fmt/format.h>

#include <functional>
#include <limits>

#include "core/ansi_code_page.h"
#include "registry/dword.h"
#include "registry/reg_api.h"

namespace tarsin::registry {
namespace {

constexpr const char* kCannotConnect = "Cannot open Registry for computer ";
constexpr const char* kCannotOpenKey = "Unable to open registry key";
constexpr const char* kCannotRead = "Error while reading value";
constexpr const char* kCannotWrite = "Error while writing data in the Registry";
constexpr const char* kUnstorable = "Unable to save this type of data in the Registry";
constexpr const char* kCannotList = "Unable to read the value names for the Registry";

thread_local RegistryError lastError;

void SetModuleError(uint32_t number, std::string description) {
  lastError.number = number;
  lastError.description = std::move(description);
}

void ClearModuleError() {
  SetModuleError(0, {});
}

uint32_t NormalisedRoot(uint32_t root) {
  return RootKeyName(root) ? root : HKEY_CURRENT_USER;
}

std::string_view WithoutBackslashes(std::string_view computerName) {
  if (computerName.starts_with("\\\\")) computerName.remove_prefix(2);
  return computerName;
}

std::vector<uint8_t> Utf8Bytes(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// The text a value shows when it must be written as text; nullopt for kinds without one.
std::optional<std::string> TextOf(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::Empty:
      return std::string();
    case Variant::Kind::Bool:
      return value.asBool() ? "True" : "False";
    case Variant::Kind::Byte:
    case Variant::Kind::Int16:
    case Variant::Kind::Int32:
    case Variant::Kind::Int64:
      return std::to_string(value.asInt64());
    // Fifteen significant digits, as the automation run-time shows a double.
    case Variant::Kind::Double:
      return fmt::format("{:.15G}", value.asDouble());
    case Variant::Kind::String:
      return value.asString();
    default:
      return std::nullopt;
  }
}

std::optional<uint32_t> DwordOf(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::Bool:
      return value.asBool() ? 1 : 0;
    case Variant::Kind::Byte:
    case Variant::Kind::Int16:
    case Variant::Kind::Int32:
    case Variant::Kind::Int64: {
      const int64_t number = value.asInt64();
      if (number < std::numeric_limits<int32_t>::min() ||
          number > std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
      }
      return static_cast<uint32_t>(number);
    }
    default:
      return std::nullopt;
  }
}

bool IsTextType(uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Type and data of a value written without an explicit type.
std::optional<RegValue> ImplicitValue(const Variant& value) {
  if (auto number = DwordOf(value)) return RegValue{REG_DWORD, DwordBytes(*number)};
  switch (value.kind()) {
    case Variant::Kind::Double:
      return RegValue{REG_SZ, Utf8Bytes(*TextOf(value) + '\0')};
    case Variant::Kind::String: {
      const std::string text = value.asString() + '\0';
      if (IsAnsiText(text)) return RegValue{REG_SZ, Utf8Bytes(text)};
      return RegValue{REG_BINARY, Utf8ToAnsi(text)};
    }
    default:
      return std::nullopt;
  }
}

// With an explicit type the data is the value's text in the code page, cut to the size given;
// no terminating NUL is added.
std::optional<RegValue> ExplicitValue(const Variant& value, uint32_t type,
                                      std::optional<uint32_t> size) {
  if (type == REG_DWORD) {
    auto number = DwordOf(value);
    return number ? std::optional(RegValue{REG_DWORD, DwordBytes(*number)}) : std::nullopt;
  }
  std::vector<uint8_t> bytes;
  if (value.kind() == Variant::Kind::Bytes) {
    bytes = value.asBytes();
  } else if (auto text = TextOf(value)) {
    bytes = Utf8ToAnsi(*text);
  } else {
    return std::nullopt;
  }
  if (size && *size < bytes.size()) bytes.resize(*size);
  if (IsTextType(type)) return RegValue{type, Utf8Bytes(AnsiToUtf8(bytes))};
  return RegValue{type, std::move(bytes)};
}

// The view flag that reaches the key where reads find it: the other view's when only that view
// has it, else none (the own view).
REGSAM ViewOfExistingKey(HKEY root, std::string_view keyPath) {
  const REGSAM other = OtherRegistryView();
  ScopedKey key;
  if (other == 0 || RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.out()) != ERROR_FILE_NOT_FOUND) {
    return 0;
  }
  return RegOpenKeyExA(root, keyPath, 0, KEY_READ | other, key.out()) == ERROR_SUCCESS ? other : 0;
}

// Connects, creates or opens the key for writing, runs `write` and closes everything again.
// `joinExisting` writes into the key that reads find, so that a new key in the own view never
// hides a table that sits in the other view.
uint32_t WriteIntoKey(uint32_t root, std::string_view keyPath, std::string_view computerName,
                      REGSAM access, const std::function<uint32_t(HKEY)>& write,
                      bool joinExisting = false) {
  ClearModuleError();
  HKEY connected = 0;
  if (!ConnectRegistry(NormalisedRoot(root), computerName, connected)) return lastError.number;
  if (joinExisting) access |= ViewOfExistingKey(connected, keyPath);
  ScopedKey key;
  uint32_t status = RegCreateKeyExA(connected, keyPath, 0, access, key.out());
  if (status != ERROR_SUCCESS) {
    SetModuleError(status, kCannotOpenKey);
  } else {
    status = write(key.get());
  }
  key.reset();
  CloseRegistry(connected, computerName);
  return status;
}

// Opens the key for reading in the process's own view of the registry, else, when it is not
// there, in the other view: a 64-bit server then also finds a table that a 32-bit installer
// wrote, and the reverse. When both fail, the own view's answer stands.
LSTATUS OpenForReading(HKEY root, std::string_view keyPath, ScopedKey& key) {
  const LSTATUS own = RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.out());
  const REGSAM other = OtherRegistryView();
  if (own != ERROR_FILE_NOT_FOUND || other == 0) return own;
  return RegOpenKeyExA(root, keyPath, 0, KEY_READ | other, key.out()) == ERROR_SUCCESS
             ? ERROR_SUCCESS
             : own;
}

}  // namespace

bool IsAnsiText(std::string_view text) {
  for (char32_t cp : DecodeUtf8(text)) {
    if (cp != U'?' && CodePointToAnsiByte(cp) == kAnsiReplacementByte) return false;
  }
  return true;
}

const RegistryError& RegistryLastError() noexcept {
  return lastError;
}

bool ConnectRegistry(uint32_t root, std::string_view computerName, HKEY& handle) {
  if (computerName.empty()) {
    handle = root;
    return true;
  }
  const std::string_view bare = WithoutBackslashes(computerName);
  const LSTATUS status = RegConnectRegistryA(std::string("\\\\").append(bare), root, handle);
  if (status == ERROR_SUCCESS) return true;
  SetModuleError(status, std::string(kCannotConnect).append(bare));
  return false;
}

void CloseRegistry(HKEY handle, std::string_view computerName) {
  if (!computerName.empty()) RegCloseKey(handle);
}

Variant GetRegistryValue(uint32_t root, std::string_view keyPath, std::string_view valueName,
                         const Variant& defaultValue, std::string_view computerName) noexcept {
  try {
    ClearModuleError();
    HKEY connected = 0;
    if (!ConnectRegistry(NormalisedRoot(root), computerName, connected)) return defaultValue;
    ScopedKey key;
    Variant result = defaultValue;
    LSTATUS status = OpenForReading(connected, keyPath, key);
    if (status != ERROR_SUCCESS) {
      SetModuleError(status, kCannotOpenKey);
    } else {
      RegValue value;
      status = RegQueryValueExA(key.get(), valueName, value);
      if (status == ERROR_SUCCESS) {
        std::vector<uint8_t>& data = value.data;
        switch (value.type) {
          case REG_SZ:
          case REG_EXPAND_SZ:
            if (!data.empty() && data.back() == 0) data.pop_back();
            result = std::string(data.begin(), data.end());
            break;
          case REG_BINARY:
            result = AnsiToUtf8(data);
            break;
          case REG_DWORD:
            if (data.size() > 4) {
              status = 234;  // ERROR_MORE_DATA: it does not fit the 32-bit buffer
              break;
            }
            result = static_cast<int32_t>(DwordFromBytes(data));
            break;
          default:
            break;
        }
      }
      if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        SetModuleError(status, kCannotRead);
      }
    }
    key.reset();
    CloseRegistry(connected, computerName);
    return result;
  } catch (...) {
    return defaultValue;
  }
}

uint32_t SetRegistryValue(uint32_t root, std::string_view keyPath, std::string_view valueName,
                          const Variant& value, std::string_view computerName,
                          std::optional<uint32_t> registryType, std::optional<uint32_t> dataSize,
                          bool use64BitView) noexcept {
  try {
    const REGSAM access = KEY_WRITE | (use64BitView ? KEY_WOW64_64KEY : 0);
    return WriteIntoKey(root, keyPath, computerName, access, [&](HKEY key) -> uint32_t {
      const std::optional<RegValue> data =
          registryType ? ExplicitValue(value, *registryType, dataSize) : ImplicitValue(value);
      if (!data) {
        SetModuleError(ERROR_INVALID_DATA, kUnstorable);
        return ERROR_INVALID_DATA;
      }
      const LSTATUS status = RegSetValueExA(key, valueName, data->type, data->data);
      if (status != ERROR_SUCCESS) SetModuleError(status, kCannotWrite);
      return status;
    });
  } catch (...) {
    return ERROR_INVALID_DATA;
  }
}

uint32_t AddRegistryText(uint32_t root, std::string_view keyPath, std::string_view valueName,
                         std::string_view text, std::string_view computerName) noexcept {
  try {
    // Finding a free name queries the key's values too.
    return WriteIntoKey(
        root, keyPath, computerName, KEY_WRITE | KEY_READ,
        [&](HKEY key) -> uint32_t {
          std::string usedName;
          const LSTATUS status =
              RegAddNewValue(key, valueName, REG_SZ, Utf8Bytes(std::string(text) + '\0'), usedName);
          if (status != ERROR_SUCCESS) SetModuleError(status, kCannotWrite);
          return status;
        },
        true);
  } catch (...) {
    return ERROR_REGISTRY_IO_FAILED;
  }
}

int32_t GetRegistryValueNames(uint32_t root, std::string_view keyPath,
                              std::vector<std::string>& names,
                              std::string_view computerName) noexcept {
  try {
    ClearModuleError();
    names.assign(1, std::string());
    HKEY connected = 0;
    if (!ConnectRegistry(NormalisedRoot(root), computerName, connected)) return 0;
    ScopedKey key;
    int32_t count = 0;
    if (LSTATUS status = OpenForReading(connected, keyPath, key); status != ERROR_SUCCESS) {
      SetModuleError(status, kCannotOpenKey);
    } else {
      for (uint32_t index = 0;; ++index) {
        std::string name;
        status = RegEnumValueA(key.get(), index, name);
        if (status == ERROR_SUCCESS) {
          names.push_back(std::move(name));
          continue;
        }
        if (status == ERROR_NO_MORE_ITEMS) {
          count = static_cast<int32_t>(names.size() - 1);
        } else {
          SetModuleError(status, kCannotList);
          names.assign(1, std::string());
        }
        break;
      }
    }
    key.reset();
    CloseRegistry(connected, computerName);
    return count;
  } catch (...) {
    names.assign(1, std::string());
    return 0;
  }
}

}  // namespace tarsin::registry
