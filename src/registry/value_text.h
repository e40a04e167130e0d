// SPDX-License-Identifier: Apache-2.0
// Values as reg.exe shows and takes them on its command line: the type names, data shown on
// one line, and data typed by a person turned into the stored form.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "registry/win32_registry.h"

namespace tarsin::registry {

// "REG_SZ" for 1 and so on; "REG_NONE" style names for the five types handled, the number
// otherwise.
std::string TypeName(uint32_t type);
std::optional<uint32_t> TypeFromName(std::string_view name);

// Text without its NUL, DWORD as 0x..., REG_MULTI_SZ parts joined by "\0", the rest as hex.
std::string DisplayData(const RegValue& value);

// nullopt when the data does not fit the type (a DWORD that is not a number, odd hex...).
// REG_MULTI_SZ parts are split at `separator`.
std::optional<RegValue> ValueFromText(uint32_t type, std::string_view data,
                                      std::string_view separator = "\\0");

}  // namespace tarsin::registry
