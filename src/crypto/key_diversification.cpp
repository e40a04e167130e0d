// SPDX-License-Identifier: Apache-2.0
#include "crypto/key_diversification.h"

#include "crypto/aes_cipher.h"
#include "crypto/cmac.h"
#include "crypto/des_cipher.h"
#include "crypto/des_failure.h"

namespace tarsin {
namespace {

// The note's constants: one per CMAC, each CMAC giving one block of the key.
constexpr uint8_t kAes128 = 0x01;
constexpr uint8_t kTwoKey[] = {0x21, 0x22};
constexpr uint8_t kThreeKey[] = {0x31, 0x32, 0x33};

void RequireInputLength(std::span<const uint8_t> input, size_t longest) {
  if (input.empty() || input.size() > longest) {
    RaiseDesError(errors::kDesInvalidDataLength, "DiversifyKey");
  }
}

// CMAC(constant || M), padded to two blocks when shorter.
std::vector<uint8_t> Diversified(const BlockCipher& cipher, uint8_t constant,
                                 std::span<const uint8_t> input) {
  std::vector<uint8_t> message{constant};
  message.insert(message.end(), input.begin(), input.end());
  return CmacPaddedTo(cipher, message, 2 * cipher.BlockSize());
}

}  // namespace

std::vector<uint8_t> DiversifyAesKey(std::span<const uint8_t> master,
                                     std::span<const uint8_t> input) {
  RequireInputLength(input, kLongestAesDiversificationInput);
  return Diversified(AesCipher(master), kAes128, input);
}

std::vector<uint8_t> DiversifyTripleDesKey(std::span<const uint8_t> master,
                                           std::span<const uint8_t> input) {
  RequireInputLength(input, kLongestTripleDesDiversificationInput);
  if (master.size() != 16 && master.size() != 24) {
    RaiseDesError(errors::kDesInvalidDataLength, "DiversifyKey");
  }
  const DesCipher cipher(master);
  const std::span<const uint8_t> constants =
      master.size() == 16 ? std::span<const uint8_t>(kTwoKey) : kThreeKey;
  std::vector<uint8_t> key;
  for (const uint8_t constant : constants) {
    const std::vector<uint8_t> part = Diversified(cipher, constant, input);
    key.insert(key.end(), part.begin(), part.end());
  }
  for (size_t i = 0; i < 8; ++i) key[i] = static_cast<uint8_t>((key[i] & 0xFE) | (master[i] & 1));
  return key;
}

}  // namespace tarsin
