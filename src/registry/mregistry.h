// SPDX-License-Identifier: Apache-2.0
// MRegistry: read one value with a default, write one value (creating its key), list the value
// names of a key; on this computer or, by name, on another one. Every call opens what it needs
// and closes it again. Nothing is thrown: failures come back as the default, an error code or a
// count of 0, with the module's last error set.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/win32_registry.h"
#include "tarsin/variant.h"

namespace tarsin::registry {

struct RegistryError {
  uint32_t number = 0;
  std::string description;
};

// The outcome of the last MRegistry call on this thread.
const RegistryError& RegistryLastError() noexcept;

Variant GetRegistryValue(uint32_t root, std::string_view keyPath, std::string_view valueName,
                         const Variant& defaultValue, std::string_view computerName = {}) noexcept;

uint32_t SetRegistryValue(uint32_t root, std::string_view keyPath, std::string_view valueName,
                          const Variant& value, std::string_view computerName = {},
                          std::optional<uint32_t> registryType = std::nullopt,
                          std::optional<uint32_t> dataSize = std::nullopt,
                          bool use64BitView = false) noexcept;

// names[0] is "", names[1..result] the value names in the registry's order.
int32_t GetRegistryValueNames(uint32_t root, std::string_view keyPath,
                              std::vector<std::string>& names,
                              std::string_view computerName = {}) noexcept;

// Adds a text value (REG_SZ) that never replaces another one: when `valueName` is taken,
// " #2", " #3"... is appended. For records that several processes add at the same moment. The
// record joins the key where the reads find it (the other registry view's when only that has it).
uint32_t AddRegistryText(uint32_t root, std::string_view keyPath, std::string_view valueName,
                         std::string_view text, std::string_view computerName = {}) noexcept;

// True when every character has a byte in the ANSI code page; "" is ANSI.
bool IsAnsiText(std::string_view text);

// With an empty computer name the handle is the root itself.
bool ConnectRegistry(uint32_t root, std::string_view computerName, HKEY& handle);
// Closes only what ConnectRegistry opened for a computer name.
void CloseRegistry(HKEY handle, std::string_view computerName);

}  // namespace tarsin::registry
