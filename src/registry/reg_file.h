// SPDX-License-Identifier: Apache-2.0
// The .reg text format that Windows administrators exchange: a header line, [key] sections,
// "name"=data lines with @ for the unnamed value, "-" to delete, [-key] to delete a key, and
// hex lists continued over lines with a trailing backslash.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "registry/win32_registry.h"

namespace tarsin::registry {

struct RegFileValue {
  std::string name;               // "" is the unnamed value (@)
  std::optional<RegValue> value;  // nullopt deletes the value
};

struct RegFileKey {
  std::string name;  // full key name, root included, as written between the brackets
  bool remove = false;
  std::vector<RegFileValue> values;
};

struct RegFile {
  std::vector<RegFileKey> keys;
};

class RegFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a file as Windows writes it (UTF-16LE with a byte-order mark, or UTF-8) or in the older
// "REGEDIT4" form (ANSI). Throws RegFileError naming the line at fault.
RegFile ParseRegFile(std::string_view content);

// The version 5.00 form as reg.exe writes it: UTF-16LE after a byte-order mark, CR LF line
// ends. Text types that a quoted string cannot carry exactly (line breaks, inner NULs, no
// terminating NUL) are written as hex(1), so that reading the file back gives the same data.
// Names and text that are not UTF-8 have U+FFFD in place of each faulty byte.
std::string FormatRegFile(const RegFile& file);

}  // namespace tarsin::registry
