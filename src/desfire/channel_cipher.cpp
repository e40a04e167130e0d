// SPDX-License-Identifier: Apache-2.0
#include "desfire/channel_cipher.h"

#include "crypto/aes_cipher.h"
#include "crypto/des_cipher.h"

namespace tarsin::desfire {

std::unique_ptr<BlockCipher> CipherFor(DesfireKeyType type, std::span<const uint8_t> key) {
  if (type == DesfireKeyType::Aes) return std::make_unique<AesCipher>(key);
  return std::make_unique<DesCipher>(key);
}

}  // namespace tarsin::desfire
