// SPDX-License-Identifier: Apache-2.0
// The bare DES block cipher on 64-bit integers (first byte in the most significant bits).
#pragma once

#include <array>
#include <cstdint>

namespace tarsin {

// Round keys 1 to 16 of one key, 48 bits each in the low bits.
using RoundKeys = std::array<uint64_t, 16>;

// The key schedule; the eight parity bits of the key are ignored.
RoundKeys ScheduleRoundKeys(uint64_t key) noexcept;

// One DES pass over one block: round keys 1..16 to encipher, 16..1 to decipher.
uint64_t DesPass(uint64_t block, const RoundKeys& roundKeys, bool decipher) noexcept;

}  // namespace tarsin
