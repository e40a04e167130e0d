// SPDX-License-Identifier: Apache-2.0
// Small text helpers for ASCII names and keywords (member names, literals, parameter keys).
#pragma once

#include <string_view>

namespace tarsin {

constexpr char AsciiLower(char c) noexcept {
  return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace tarsin
