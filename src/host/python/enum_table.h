// SPDX-License-Identifier: Apache-2.0
// The public enumerations as data: enums_from_header.py writes them from the headers into
// enum_table.inc (kEnums, and kEnumUses: which member's result or parameter has which), which a
// host includes after this header, with these two types in scope.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace tarsin::host {

struct EnumTable {
  const char* name;
  std::vector<std::pair<const char*, int32_t>> items;
};
// A member's result ("") or parameter and its enumeration.
struct EnumUse {
  const char* member;
  const char* parameter;
  const char* enumeration;
};

}  // namespace tarsin::host
