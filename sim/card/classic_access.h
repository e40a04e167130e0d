// SPDX-License-Identifier: Apache-2.0
// MIFARE Classic access conditions: the three bits C1 C2 C3 per block group in bytes 6-8 of a
// sector trailer, and the rights the card grants for each combination.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "card/card.h"

namespace tarsin::sim {

// Which key may perform an operation.
enum class Rule : std::uint8_t { kNever, kKeyA, kKeyB, kKeyAOrB };

bool RulePermits(Rule rule, KeyType key);

struct DataBlockRights {
  Rule read, write, increment;
  Rule decrement;  // decrement, transfer and restore
};

struct TrailerRights {
  // Key A itself is never readable.
  Rule key_a_write, access_bits_read, access_bits_write, key_b_read, key_b_write;
};

// Access code C1C2C3 as a number 0..7 (C1 most significant).
DataBlockRights DataRightsFor(std::uint8_t code);
TrailerRights TrailerRightsFor(std::uint8_t code);

// Where key B is readable it serves as data: an authentication with it opens nothing.
bool KeyBIsData(std::uint8_t trailer_code);

// The access codes of block groups 0, 1, 2 and the trailer (group 3); nullopt when the
// inverted copies do not match, which leaves the sector unusable.
std::optional<std::array<std::uint8_t, 4>> DecodeAccessBits(std::uint8_t byte6, std::uint8_t byte7,
                                                            std::uint8_t byte8);
std::array<std::uint8_t, 3> EncodeAccessBits(const std::array<std::uint8_t, 4>& codes);

}  // namespace tarsin::sim
