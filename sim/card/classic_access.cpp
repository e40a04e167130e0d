// SPDX-License-Identifier: Apache-2.0
#include "card/classic_access.h"

namespace tarsin::sim {

namespace {
constexpr Rule N = Rule::kNever;
constexpr Rule A = Rule::kKeyA;
constexpr Rule B = Rule::kKeyB;
constexpr Rule AB = Rule::kKeyAOrB;

// Indexed by C1C2C3.
constexpr std::array<DataBlockRights, 8> kDataRights{{
    {AB, AB, AB, AB},  // 000 transport configuration
    {AB, N, N, AB},    // 001 value block, decrement only
    {AB, N, N, N},     // 010 read only
    {B, B, N, N},      // 011
    {AB, B, N, N},     // 100
    {B, N, N, N},      // 101
    {AB, B, B, AB},    // 110 value block
    {N, N, N, N},      // 111 frozen
}};

constexpr std::array<TrailerRights, 8> kTrailerRights{{
    {A, A, N, A, A},   // 000
    {A, A, A, A, A},   // 001 transport configuration
    {N, A, N, A, N},   // 010
    {B, AB, B, N, B},  // 011
    {B, AB, N, N, B},  // 100
    {N, AB, B, N, N},  // 101
    {N, AB, N, N, N},  // 110
    {N, AB, N, N, N},  // 111
}};

int Bit(std::uint8_t byte, int bit) {
  return (byte >> bit) & 1;
}
}  // namespace

bool RulePermits(Rule rule, KeyType key) {
  switch (rule) {
    case Rule::kKeyAOrB:
      return true;
    case Rule::kKeyA:
      return key == KeyType::kA;
    case Rule::kKeyB:
      return key == KeyType::kB;
    case Rule::kNever:
      break;
  }
  return false;
}

DataBlockRights DataRightsFor(std::uint8_t code) {
  return kDataRights[code & 7];
}
TrailerRights TrailerRightsFor(std::uint8_t code) {
  return kTrailerRights[code & 7];
}

bool KeyBIsData(std::uint8_t trailer_code) {
  return kTrailerRights[trailer_code & 7].key_b_read != Rule::kNever;
}

std::optional<std::array<std::uint8_t, 4>> DecodeAccessBits(std::uint8_t byte6, std::uint8_t byte7,
                                                            std::uint8_t byte8) {
  // byte 6: ~C2 (high nibble) ~C1 (low); byte 7: C1 (high) ~C3 (low); byte 8: C3 (high) C2 (low).
  if ((byte6 & 0x0F) != (~byte7 >> 4 & 0x0F) || (byte6 >> 4) != (~byte8 & 0x0F) ||
      (byte7 & 0x0F) != (~byte8 >> 4 & 0x0F)) {
    return std::nullopt;
  }
  std::array<std::uint8_t, 4> codes{};
  for (int group = 0; group < 4; ++group) {
    codes[group] = static_cast<std::uint8_t>(Bit(byte7, 4 + group) << 2 | Bit(byte8, group) << 1 |
                                             Bit(byte8, 4 + group));
  }
  return codes;
}

std::array<std::uint8_t, 3> EncodeAccessBits(const std::array<std::uint8_t, 4>& codes) {
  std::uint8_t c1 = 0, c2 = 0, c3 = 0;
  for (int group = 0; group < 4; ++group) {
    c1 |= static_cast<std::uint8_t>((codes[group] >> 2 & 1) << group);
    c2 |= static_cast<std::uint8_t>((codes[group] >> 1 & 1) << group);
    c3 |= static_cast<std::uint8_t>((codes[group] & 1) << group);
  }
  return {static_cast<std::uint8_t>((~c2 & 0x0F) << 4 | (~c1 & 0x0F)),
          static_cast<std::uint8_t>(c1 << 4 | (~c3 & 0x0F)),
          static_cast<std::uint8_t>(c3 << 4 | c2)};
}

}  // namespace tarsin::sim
