// SPDX-License-Identifier: Apache-2.0
#include "crypto/crc.h"

namespace tarsin {

uint16_t Crc16(std::span<const uint8_t> bytes) noexcept {
  // x^16 + x^12 + x^5 + 1 taken least significant bit first, register preset to 0x6363.
  uint16_t crc = 0x6363;
  for (const uint8_t b : bytes) {
    auto ch = static_cast<uint8_t>(b ^ (crc & 0xFF));
    ch = static_cast<uint8_t>(ch ^ (ch << 4));
    crc = static_cast<uint16_t>((crc >> 8) ^ (ch << 8) ^ (ch << 3) ^ (ch >> 4));
  }
  return crc;
}

uint32_t Crc32(std::span<const uint8_t> bytes) noexcept {
  // Reflected polynomial 0x04C11DB7, preset to all ones; the card leaves out the final inversion.
  uint32_t crc = 0xFFFFFFFF;
  for (const uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc;
}

std::array<uint8_t, 2> Crc16Bytes(std::span<const uint8_t> bytes) noexcept {
  const uint16_t crc = Crc16(bytes);
  return {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8)};
}

std::array<uint8_t, 4> Crc32Bytes(std::span<const uint8_t> bytes) noexcept {
  const uint32_t crc = Crc32(bytes);
  return {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8),
          static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 24)};
}

}  // namespace tarsin
