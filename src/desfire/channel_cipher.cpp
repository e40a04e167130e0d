// SPDX-License-Identifier: Apache-2.0
#include "desfire/channel_cipher.h"

#include "crypto/aes_cipher.h"
#include "crypto/des_cipher.h"

namespace tarsin::desfire {

std::unique_ptr<BlockCipher> CipherFor(DesfireKeyType type, std::span<const uint8_t> key) {
  if (type == DesfireKeyType::Aes) return std::make_unique<AesCipher>(key);
  return std::make_unique<DesCipher>(key);
}

const BlockCipher& SessionCipher(const DesfireSession& session) {
  DesfireSession::KeyedCipher& kept = session.keyedCipher;
  if (!kept.cipher || kept.type != session.KeyType || kept.key != session.SessionKey) {
    // Forgotten first: a key the cipher refuses leaves no cipher of an older key behind.
    kept = {};
    kept.cipher = CipherFor(session.KeyType, session.SessionKey);
    kept.type = session.KeyType;
    kept.key = session.SessionKey;
  }
  return *kept.cipher;
}

}  // namespace tarsin::desfire
