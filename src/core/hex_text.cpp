// SPDX-License-Identifier: Apache-2.0
#include "core/hex_text.h"

#include <algorithm>

#include "core/numeric_text.h"

namespace tarsin {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, uint8_t byte) {
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace

bool IsHexString(std::string& text, int32_t length) {
  std::string cleaned;
  cleaned.reserve(text.size());
  for (char c : text) {
    if (c == ' ') continue;
    cleaned += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  text = std::move(cleaned);
  if (length != -1 && text.size() != static_cast<size_t>(std::max(length, 0))) return false;
  if (length < -1) return false;
  return std::all_of(text.begin(), text.end(), [](char c) { return HexDigitValue(c) >= 0; });
}

std::string TextToHex(std::string_view text, bool spaced) {
  std::string out;
  for (const char c : text) {
    if (spaced && !out.empty()) out += ' ';
    AppendHexByte(out, static_cast<uint8_t>(c));
  }
  return out;
}

std::string BytesToHex(std::span<const uint8_t> bytes, size_t count) {
  count = std::min(count, bytes.size());
  std::string out;
  out.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) AppendHexByte(out, bytes[i]);
  return out;
}

ByteVector HexToBytes(std::string_view hex) {
  ByteVector bytes;
  bytes.reserve(hex.size() / 2 + 1);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const std::string_view piece = hex.substr(i, 2);
    int value = 0;
    for (char c : piece) {
      const int digit = HexDigitValue(c);
      if (digit < 0) {
        value = 0;
        break;
      }
      value = value * 16 + digit;
    }
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return bytes;
}

}  // namespace tarsin
