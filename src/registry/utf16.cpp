// SPDX-License-Identifier: Apache-2.0
#include "registry/utf16.h"

#include "core/ansi_code_page.h"

namespace tarsin::registry {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUnit(std::vector<uint8_t>& out, char32_t unit) {
  out.push_back(static_cast<uint8_t>(unit & 0xFF));
  out.push_back(static_cast<uint8_t>(unit >> 8));
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
    return;
  }
  const int trailing = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
  constexpr uint8_t kLeads[] = {0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLeads[trailing] | (cp >> (6 * trailing)));
  for (int shift = 6 * (trailing - 1); shift >= 0; shift -= 6) {
    out += static_cast<char>(0x80 | ((cp >> shift) & 0x3F));
  }
}

}  // namespace

std::vector<uint8_t> Utf8ToUtf16Le(std::string_view text) {
  std::vector<uint8_t> out;
  out.reserve(text.size() * 2);
  for (char32_t cp : DecodeUtf8(text)) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      AppendUnit(out, 0xD800 | (cp >> 10));
      AppendUnit(out, 0xDC00 | (cp & 0x3FF));
    } else {
      AppendUnit(out, cp);
    }
  }
  return out;
}

std::string Utf16LeToUtf8(const uint8_t* data, size_t size) {
  std::string out;
  out.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) {
    char32_t unit = data[i] | static_cast<char32_t>(data[i + 1]) << 8;
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < size) {
      const char32_t low = data[i + 2] | static_cast<char32_t>(data[i + 3]) << 8;
      if (low >= 0xDC00 && low < 0xE000) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? kReplacement : unit);
  }
  return out;
}

}  // namespace tarsin::registry
