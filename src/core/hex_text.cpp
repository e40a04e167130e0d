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

std::string TextToHex(std::string_view text, int32_t from, int32_t& to, bool spaced) {
  if (to < 0) to = static_cast<int32_t>(text.size());
  const size_t first = static_cast<size_t>(std::max(from, 1)) - 1;
  const size_t last = std::min(static_cast<size_t>(std::max(to, 0)), text.size());
  std::string out;
  for (size_t i = first; i < last; ++i) {
    if (spaced && !out.empty()) out += ' ';
    AppendHexByte(out, static_cast<uint8_t>(text[i]));
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

ByteVector HexToBytes(std::string_view hex, std::string_view text) {
  ByteVector bytes;
  bytes.reserve(hex.size() / 2 + 1 + text.size());
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
  for (char c : text) bytes.push_back(static_cast<uint8_t>(c));
  return bytes;
}

void SplitResponse(std::span<const uint8_t> bytes, size_t count, std::string& data,
                   std::string& status) {
  count = std::min(count, bytes.size());
  data = count >= 3 ? BytesToHex(bytes, count - 2) : std::string();
  status.clear();
  for (size_t i = count >= 2 ? count - 2 : 0; i < count; ++i) AppendHexByte(status, bytes[i]);
}

}  // namespace tarsin
