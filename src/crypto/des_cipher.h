// SPDX-License-Identifier: Apache-2.0
// DES and triple DES over bytes: 8 key bytes give DES, 16 two-key triple DES (K1 K2 K1), 24
// three-key triple DES. The parity bits are ignored, as the key schedule ignores them.
#pragma once

#include <array>
#include <span>

#include "crypto/block_cipher.h"
#include "crypto/des_block.h"

namespace tarsin {

class DesCipher final : public BlockCipher {
 public:
  // Raises Failure "Invalid data length" for a key of another length.
  explicit DesCipher(std::span<const uint8_t> key);

  size_t BlockSize() const noexcept override { return 8; }
  void Encipher(std::span<uint8_t> block) const override;
  void Decipher(std::span<uint8_t> block) const override;

 private:
  std::array<RoundKeys, 3> roundKeys_{};
  bool triple_ = false;
};

}  // namespace tarsin
