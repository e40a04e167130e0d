// SPDX-License-Identifier: Apache-2.0
#include "mifare/value_block.h"

#include <fmt/format.h>

#include "core/hex_text.h"

namespace tarsin::mifare {

std::string ValueBlockDigits(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  std::string value4;
  std::string complement4;
  for (int i = 0; i < 4; ++i) {
    const auto byte = static_cast<uint8_t>(bits >> (8 * i));
    value4 += fmt::format("{:02X}", byte);
    complement4 += fmt::format("{:02X}", static_cast<uint8_t>(byte ^ 0xFF));
  }
  return value4 + complement4 + value4 + "FF00FF00";
}

std::optional<int32_t> ValueOfBlock(const std::string& digits) {
  if (digits.size() != 32) return std::nullopt;
  const ByteVector b = HexToBytes(digits);
  const auto word = [&](size_t at) {
    uint32_t word = 0;
    for (size_t i = 4; i-- > 0;) word = word << 8 | b[at + i];
    return word;
  };
  const uint32_t value = word(0);
  if (word(4) != ~value || word(8) != value || b[12] != (b[13] ^ 0xFF) || b[14] != b[12] ||
      b[15] != b[13]) {
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

}  // namespace tarsin::mifare
