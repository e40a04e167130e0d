// SPDX-License-Identifier: Apache-2.0
#include "crypto/block_modes.h"

#include <algorithm>
#include <vector>

#include "crypto/des_failure.h"

namespace tarsin {
namespace {

void CheckLengths(const BlockCipher& cipher, std::span<const uint8_t> chaining,
                  std::span<const uint8_t> data) {
  const size_t size = cipher.BlockSize();
  if (chaining.size() != size || data.size() % size != 0) {
    RaiseDesError(errors::kDesInvalidDataLength, "BlockModes");
  }
}

void Xor(std::span<uint8_t> target, std::span<const uint8_t> with) {
  for (size_t i = 0; i < target.size(); ++i) target[i] ^= with[i];
}

// Both modes chain on the output: Y(i) = pass(X(i) ^ Y(i-1)).
void ChainedOnOutput(const BlockCipher& cipher, std::span<uint8_t> chaining,
                     std::span<uint8_t> data, void (BlockCipher::*pass)(std::span<uint8_t>) const) {
  CheckLengths(cipher, chaining, data);
  const size_t size = cipher.BlockSize();
  for (size_t at = 0; at < data.size(); at += size) {
    const std::span<uint8_t> block = data.subspan(at, size);
    Xor(block, chaining);
    (cipher.*pass)(block);
    std::ranges::copy(block, chaining.begin());
  }
}

}  // namespace

void CbcEncipher(const BlockCipher& cipher, std::span<uint8_t> chaining, std::span<uint8_t> data) {
  ChainedOnOutput(cipher, chaining, data, &BlockCipher::Encipher);
}

void CbcDecipher(const BlockCipher& cipher, std::span<uint8_t> chaining, std::span<uint8_t> data) {
  CheckLengths(cipher, chaining, data);
  const size_t size = cipher.BlockSize();
  std::vector<uint8_t> ciphertext(size);
  for (size_t at = 0; at < data.size(); at += size) {
    const std::span<uint8_t> block = data.subspan(at, size);
    std::ranges::copy(block, ciphertext.begin());
    cipher.Decipher(block);
    Xor(block, chaining);
    std::ranges::copy(ciphertext, chaining.begin());
  }
}

void SendModeDecipher(const BlockCipher& cipher, std::span<uint8_t> chaining,
                      std::span<uint8_t> data) {
  ChainedOnOutput(cipher, chaining, data, &BlockCipher::Decipher);
}

}  // namespace tarsin
