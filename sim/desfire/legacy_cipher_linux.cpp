// SPDX-License-Identifier: Apache-2.0
// The block operation from OpenSSL, which the component does not use: the card checks the
// component's own DES instead of sharing it.
#include <algorithm>

#include "desfire/legacy_cipher.h"

// The low-level DES API keeps single DES usable without loading OpenSSL 3's legacy provider.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <openssl/des.h>

namespace tarsin::sim::desfire {

std::array<uint8_t, 8> LegacyCipher::EncipherBlock(std::span<const uint8_t, 8> block) const {
  DES_cblock k1, k2, in, out;
  std::copy_n(key_.begin(), 8, k1);
  std::copy_n(key_.begin() + 8, 8, k2);
  std::copy(block.begin(), block.end(), in);
  DES_key_schedule s1, s2;
  DES_set_key_unchecked(&k1, &s1);
  DES_set_key_unchecked(&k2, &s2);
  // With equal halves E-D-E collapses to single DES, which is how the card treats such keys.
  DES_ecb3_encrypt(&in, &out, &s1, &s2, &s1, DES_ENCRYPT);
  std::array<uint8_t, 8> result{};
  std::copy_n(out, 8, result.begin());
  return result;
}

}  // namespace tarsin::sim::desfire

#pragma GCC diagnostic pop
