// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "card/bytes.h"

namespace tarsin::sim::desfire {

// CRC_A of ISO/IEC 14443-3 (preset 0x6363), the checksum of the legacy native protocol.
uint16_t CrcA(std::span<const uint8_t> data);
// The CRC appended to data, least significant byte first as the card sends it.
void AppendCrcA(Bytes& data);

// The card's side of the legacy DES/2K3DES secure messaging. The card only ever runs the
// forward (encipher) operation: host cryptograms are built with the inverse one, so the card
// undoes them with the forward one. Every cryptogram starts from a zero vector.
class LegacyCipher {
 public:
  // A 16-byte key whose halves are equal byte for byte works as single DES. Parity bits count:
  // hosts put the key version there, and keep a two-key key's halves apart that way.
  explicit LegacyCipher(std::span<const uint8_t, 16> key);

  bool IsSingleDes() const { return singleDes_; }
  std::array<uint8_t, 8> EncipherBlock(std::span<const uint8_t, 8> block) const;

  // Card to host: CBC with the forward operation. `data` is a whole number of blocks.
  Bytes Encipher(std::span<const uint8_t> data) const;
  // Host to card: block i = E(c_i) XOR c_(i-1). `data` is a whole number of blocks.
  Bytes Decipher(std::span<const uint8_t> data) const;
  // Four bytes of the CBC residue over the data padded with zeros.
  std::array<uint8_t, 4> Mac(std::span<const uint8_t> data) const;

 private:
  std::array<uint8_t, 16> key_{};
  bool singleDes_;
};

// Key halves equal byte for byte, parity bits included.
bool IsSingleDesKey(std::span<const uint8_t, 16> key);

}  // namespace tarsin::sim::desfire
