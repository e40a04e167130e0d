// SPDX-License-Identifier: Apache-2.0
// The Reg* functions, shaped like the Win32 ones a Windows program calls; each platform has its
// own implementation (here reg_api_linux.cpp, over the SQLite hive files). Names and string data
// are UTF-8 (the "A" entry points of Linux); string types carry their terminating NUL in the data
// exactly as the writer gave it. Handles are process-wide numbers; the three root keys are always
// open. Nothing here throws.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "registry/win32_registry.h"

namespace tarsin::registry {

// There is no remote registry service on this platform: any computer name gives 53.
LSTATUS RegConnectRegistryA(std::string_view machineName, HKEY root, HKEY& result);
LSTATUS RegOpenKeyExA(HKEY key, std::string_view subKey, uint32_t options, REGSAM access,
                      HKEY& result);
LSTATUS RegCreateKeyExA(HKEY key, std::string_view subKey, uint32_t options, REGSAM access,
                        HKEY& result, uint32_t* disposition = nullptr);
LSTATUS RegQueryValueExA(HKEY key, std::string_view valueName, RegValue& value);
LSTATUS RegSetValueExA(HKEY key, std::string_view valueName, uint32_t type,
                       std::span<const uint8_t> data);
// `value` may be null when only the name is wanted.
LSTATUS RegEnumValueA(HKEY key, uint32_t index, std::string& name, RegValue* value = nullptr);
LSTATUS RegEnumKeyExA(HKEY key, uint32_t index, std::string& name);
LSTATUS RegDeleteValueA(HKEY key, std::string_view valueName);
// Deletes the sub-key with everything below it; an empty sub-key empties `key` itself.
LSTATUS RegDeleteTreeA(HKEY key, std::string_view subKey);
LSTATUS RegCloseKey(HKEY key);

// Not in Win32: the access flag that opens a key in the registry's other view (the 32-bit view
// for a 64-bit process, the 64-bit view for a 32-bit one); 0 where there is only one view.
REGSAM OtherRegistryView() noexcept;

// Not in Win32: adds a value without ever replacing one. A taken name gets " #2", " #3"...
// appended; `usedName` receives the name written.
LSTATUS RegAddNewValue(HKEY key, std::string_view baseName, uint32_t type,
                       std::span<const uint8_t> data, std::string& usedName);

// Not in Win32 (where a transaction handle and the *Transacted calls do this): runs `body` as
// one transaction of the hive of `root`. What the Reg* calls inside write to that hive is kept
// only when `body` answers ERROR_SUCCESS and the commit succeeds; other writers wait meanwhile.
// Transactions on several hives nest; each commits when its own call returns.
LSTATUS RegTransaction(HKEY root, const std::function<LSTATUS()>& body) noexcept;

// Closes the handle it holds when it goes out of scope.
class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() { reset(); }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  HKEY& out() {
    reset();
    return key_;
  }
  HKEY get() const { return key_; }
  void reset() {
    if (key_ != 0) RegCloseKey(key_);
    key_ = 0;
  }

 private:
  HKEY key_ = 0;
};

}  // namespace tarsin::registry
