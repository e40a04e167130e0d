// SPDX-License-Identifier: Apache-2.0
// The registry's vocabulary as a Windows program knows it: root keys, value types, access
// masks and the Win32 error codes that come back from the Reg* functions.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tarsin::registry {

using HKEY = uint32_t;
using REGSAM = uint32_t;
using LSTATUS = uint32_t;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;

inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_MULTI_SZ = 7;

inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x200;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;

inline constexpr uint32_t REG_OPTION_NON_VOLATILE = 0;
inline constexpr uint32_t REG_CREATED_NEW_KEY = 1;
inline constexpr uint32_t REG_OPENED_EXISTING_KEY = 2;

inline constexpr LSTATUS ERROR_SUCCESS = 0;
inline constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
inline constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
inline constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
inline constexpr LSTATUS ERROR_INVALID_DATA = 13;
inline constexpr LSTATUS ERROR_BAD_NETPATH = 53;
inline constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
inline constexpr LSTATUS ERROR_DISK_FULL = 112;
inline constexpr LSTATUS ERROR_BUSY = 170;
inline constexpr LSTATUS ERROR_NO_MORE_ITEMS = 259;
inline constexpr LSTATUS ERROR_REGISTRY_CORRUPT = 1015;
inline constexpr LSTATUS ERROR_REGISTRY_IO_FAILED = 1016;
inline constexpr LSTATUS ERROR_KEY_DELETED = 1018;
inline constexpr LSTATUS ERROR_NO_SYSTEM_RESOURCES = 1450;

// The text Windows gives for each code above, as its tools print it; "" for any other code.
constexpr std::string_view SystemMessage(LSTATUS code) noexcept {
  constexpr struct {
    LSTATUS code;
    std::string_view text;
  } kMessages[] = {
      {ERROR_SUCCESS, "The operation completed successfully."},
      {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
      {ERROR_ACCESS_DENIED, "Access is denied."},
      {ERROR_INVALID_HANDLE, "The handle is invalid."},
      {ERROR_INVALID_DATA, "The data is invalid."},
      {ERROR_BAD_NETPATH, "The network path was not found."},
      {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
      {ERROR_DISK_FULL, "There is not enough space on the disk."},
      {ERROR_BUSY, "The requested resource is in use."},
      {ERROR_NO_MORE_ITEMS, "No more data is available."},
      {ERROR_REGISTRY_CORRUPT,
       "The registry is corrupted. The structure of one of the files containing registry data is "
       "corrupted, or the system's memory image of the file is corrupted, or the file could not "
       "be recovered because the alternate copy or log was absent or corrupted."},
      {ERROR_REGISTRY_IO_FAILED,
       "An I/O operation initiated by the registry failed unrecoverably. The registry could not "
       "read in, or write out, or flush, one of the files that contain the system's image of the "
       "registry."},
      {ERROR_KEY_DELETED,
       "Illegal operation attempted on a registry key that has been marked for deletion."},
      {ERROR_NO_SYSTEM_RESOURCES,
       "Insufficient system resources exist to complete the requested service."},
  };
  for (const auto& message : kMessages) {
    if (message.code == code) return message.text;
  }
  return {};
}

// A value as stored: its type and its bytes.
struct RegValue {
  uint32_t type = REG_NONE;
  std::vector<uint8_t> data;  // string types hold UTF-8
  bool operator==(const RegValue&) const = default;
};

// The full name of a root key ("HKEY_LOCAL_MACHINE"); nullptr for any other handle.
constexpr const char* RootKeyName(HKEY key) noexcept {
  switch (key) {
    case HKEY_CLASSES_ROOT:
      return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
      return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE:
      return "HKEY_LOCAL_MACHINE";
    default:
      return nullptr;
  }
}

}  // namespace tarsin::registry
