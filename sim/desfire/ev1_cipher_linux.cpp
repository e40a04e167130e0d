// SPDX-License-Identifier: Apache-2.0
// The block operations from OpenSSL (the legacy cipher's too), which the component does not use,
// so that the card checks the component's cipher instead of sharing it.
#include <algorithm>

#include "desfire/ev1_cipher.h"

// The low-level API keeps single DES usable without loading OpenSSL 3's legacy provider.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <openssl/aes.h>
#include <openssl/des.h>

namespace tarsin::sim::desfire {

Bytes Ev1Cipher::Block(std::span<const uint8_t> block, bool encipher) const {
  Bytes out(block.size());
  if (kind_ == CipherKind::kAes) {
    AES_KEY schedule;
    if (encipher) {
      AES_set_encrypt_key(key_.data(), 128, &schedule);
      AES_encrypt(block.data(), out.data(), &schedule);
    } else {
      AES_set_decrypt_key(key_.data(), 128, &schedule);
      AES_decrypt(block.data(), out.data(), &schedule);
    }
    return out;
  }
  // K1 K1 K1 for DES, K1 K2 K1 for two keys, K1 K2 K3 for three.
  DES_cblock keys[3], in, result;
  for (size_t i = 0; i < 3; ++i) {
    const size_t from =
        kind_ == CipherKind::kDes ? 0 : (i == 2 && kind_ == CipherKind::k2K3Des ? 0 : 8 * i);
    std::copy_n(key_.begin() + static_cast<long>(from), 8, keys[i]);
  }
  DES_key_schedule s1, s2, s3;
  DES_set_key_unchecked(&keys[0], &s1);
  DES_set_key_unchecked(&keys[1], &s2);
  DES_set_key_unchecked(&keys[2], &s3);
  std::copy_n(block.begin(), 8, in);
  DES_ecb3_encrypt(&in, &result, &s1, &s2, &s3, encipher ? DES_ENCRYPT : DES_DECRYPT);
  std::copy_n(result, 8, out.begin());
  return out;
}

}  // namespace tarsin::sim::desfire

#pragma GCC diagnostic pop
