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

// A permutation one input byte at a time: for each byte position and value, the output bits that
// byte gives (each output bit is one input bit, so the parts are ORed). Eight lookups instead of
// one step per bit; the key schedule and every block use them.
class BytePermutation {
 public:
  template <std::size_t N>
  constexpr BytePermutation(int inBits, const std::array<uint8_t, N>& table)
      : bytes_((inBits + 7) / 8) {
    for (int part = 0; part < bytes_; ++part) {
      for (uint64_t value = 0; value < 256; ++value) {
        parts_[part][value] = Permute(value << Shift(part), inBits, table);
      }
    }
  }

  constexpr uint64_t operator()(uint64_t in) const {
    uint64_t out = 0;
    for (int part = 0; part < bytes_; ++part) out |= parts_[part][(in >> Shift(part)) & 0xFF];
    return out;
  }

 private:
  constexpr int Shift(int part) const { return 8 * (bytes_ - 1 - part); }

  int bytes_;
  std::array<std::array<uint64_t, 256>, 8> parts_{};
};

constexpr BytePermutation kPc1(64, kPermutedChoice1);
constexpr BytePermutation kPc2(56, kPermutedChoice2);
constexpr BytePermutation kIp(64, kInitialPermutation);
constexpr BytePermutation kFp(64, kFinalPermutation);
static_assert(kPc1(0x133457799BBCDFF1u) == Permute(0x133457799BBCDFF1u, 64, kPermutedChoice1));
static_assert(kPc2(0xE19955FAAACCF1Eu) == Permute(0xE19955FAAACCF1Eu, 56, kPermutedChoice2));
static_assert(kIp(0x0123456789ABCDEFu) == Permute(0x0123456789ABCDEFu, 64, kInitialPermutation));
static_assert(kFp(0x0123456789ABCDEFu) == Permute(0x0123456789ABCDEFu, 64, kFinalPermutation));

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
  const uint64_t permuted = kPc1(key);
  uint32_t c = static_cast<uint32_t>(permuted >> 28);
  uint32_t d = static_cast<uint32_t>(permuted & 0x0FFFFFFF);
  RoundKeys roundKeys{};
  for (std::size_t n = 0; n < roundKeys.size(); ++n) {
    c = RotateLeft28(c, kLeftShifts[n]);
    d = RotateLeft28(d, kLeftShifts[n]);
    roundKeys[n] = kPc2((uint64_t{c} << 28) | d);
  }
  return roundKeys;
}

uint64_t DesPass(uint64_t block, const RoundKeys& roundKeys, bool decipher) noexcept {
  const uint64_t permuted = kIp(block);
  uint32_t left = static_cast<uint32_t>(permuted >> 32);
  uint32_t right = static_cast<uint32_t>(permuted);
  for (int round = 0; round < 16; ++round) {
    const uint64_t roundKey = roundKeys[decipher ? 15 - round : round];
    const uint32_t next = left ^ RoundFunction(right, roundKey);
    left = right;
    right = next;
  }
  // The halves are swapped once more before the final permutation.
  return kFp((uint64_t{right} << 32) | left);
}

}  // namespace tarsin
