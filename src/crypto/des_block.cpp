// SPDX-License-Identifier: Apache-2.0
#include "crypto/des_block.h"

#include <cstddef>

#include "crypto/des_tables.h"

namespace tarsin {
namespace {

using namespace des_tables;

// Picks bits of an `inBits`-wide value in the order of `table` (1 = most significant bit).
template <std::size_t N>
constexpr uint64_t Permute(uint64_t in, int inBits, const std::array<uint8_t, N>& table) {
  uint64_t out = 0;
  for (uint8_t position : table) out = (out << 1) | ((in >> (inBits - position)) & 1);
  return out;
}

// S-box i followed by P, for each 6-bit input: the round function becomes eight lookups.
constexpr std::array<std::array<uint32_t, 64>, 8> BuildSpBoxes() {
  std::array<std::array<uint32_t, 64>, 8> sp{};
  for (int box = 0; box < 8; ++box) {
    for (int six = 0; six < 64; ++six) {
      const int row = ((six >> 4) & 2) | (six & 1);
      const int column = (six >> 1) & 15;
      const uint64_t nibble = kSBoxes[box][row * 16 + column];
      sp[box][six] = static_cast<uint32_t>(Permute(nibble << (28 - 4 * box), 32, kPermutation));
    }
  }
  return sp;
}

constexpr auto kSpBoxes = BuildSpBoxes();

// The expansion E: group i is bits 4i..4i+5 of R with bit 32 in front and bit 1 behind.
constexpr uint64_t Expand(uint32_t r) {
  const uint64_t wrapped = (uint64_t{r & 1} << 33) | (uint64_t{r} << 1) | (r >> 31);
  uint64_t out = 0;
  for (int group = 0; group < 8; ++group) out = (out << 6) | ((wrapped >> (28 - 4 * group)) & 63);
  return out;
}
static_assert(Expand(0x80000001u) == Permute(0x80000001u, 32, kExpansion));
static_assert(Expand(0x12345678u) == Permute(0x12345678u, 32, kExpansion));
static_assert(Expand(0xF0E1D2C3u) == Permute(0xF0E1D2C3u, 32, kExpansion));

constexpr uint32_t RoundFunction(uint32_t r, uint64_t roundKey) {
  const uint64_t mixed = Expand(r) ^ roundKey;
  uint32_t out = 0;
  for (int box = 0; box < 8; ++box) out |= kSpBoxes[box][(mixed >> (42 - 6 * box)) & 63];
  return out;
}

constexpr uint32_t RotateLeft28(uint32_t half, int count) {
  return ((half << count) | (half >> (28 - count))) & 0x0FFFFFFF;
}

}  // namespace

RoundKeys ScheduleRoundKeys(uint64_t key) noexcept {
  const uint64_t permuted = Permute(key, 64, kPermutedChoice1);
  uint32_t c = static_cast<uint32_t>(permuted >> 28);
  uint32_t d = static_cast<uint32_t>(permuted & 0x0FFFFFFF);
  RoundKeys roundKeys{};
  for (std::size_t n = 0; n < roundKeys.size(); ++n) {
    c = RotateLeft28(c, kLeftShifts[n]);
    d = RotateLeft28(d, kLeftShifts[n]);
    roundKeys[n] = Permute((uint64_t{c} << 28) | d, 56, kPermutedChoice2);
  }
  return roundKeys;
}

uint64_t DesPass(uint64_t block, const RoundKeys& roundKeys, bool decipher) noexcept {
  const uint64_t permuted = Permute(block, 64, kInitialPermutation);
  uint32_t left = static_cast<uint32_t>(permuted >> 32);
  uint32_t right = static_cast<uint32_t>(permuted);
  for (int round = 0; round < 16; ++round) {
    const uint64_t roundKey = roundKeys[decipher ? 15 - round : round];
    const uint32_t next = left ^ RoundFunction(right, roundKey);
    left = right;
    right = next;
  }
  // The halves are swapped once more before the final permutation.
  return Permute((uint64_t{right} << 32) | left, 64, kFinalPermutation);
}

}  // namespace tarsin
