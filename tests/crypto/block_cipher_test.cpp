// The byte-level ciphers and chaining modes against OpenSSL on random data.
#include <gtest/gtest.h>

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/hex_text.h"
#include "crypto/block_modes.h"
#include "crypto/des_cipher.h"

namespace tarsin {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Random(std::mt19937& random, size_t count) {
  Bytes bytes(count);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

// OpenSSL's triple DES in CBC (EDE with K3 = K1 for two keys, all three equal for DES).
Bytes OpenSslDesCbc(const Bytes& key, Bytes iv, const Bytes& in, bool encipher) {
  DES_key_schedule schedules[3];
  for (size_t i = 0; i < 3; ++i) {
    DES_cblock block;
    const size_t start = key.size() == 24 ? 8 * i : (key.size() == 16 && i == 1 ? 8 : 0);
    std::memcpy(block, key.data() + start, 8);
    DES_set_key_unchecked(&block, &schedules[i]);
  }
  Bytes out(in.size());
  DES_ede3_cbc_encrypt(in.data(), out.data(), static_cast<long>(in.size()), &schedules[0],
                       &schedules[1], &schedules[2], reinterpret_cast<DES_cblock*>(iv.data()),
                       encipher ? DES_ENCRYPT : DES_DECRYPT);
  return out;
}

TEST(BlockCipher, DesFamilyChainsAsOpenSslDoes) {
  std::mt19937 random(7);
  for (const size_t keySize : {8u, 16u, 24u}) {
    for (int round = 0; round < 20; ++round) {
      const Bytes key = Random(random, keySize);
      const Bytes iv = Random(random, 8);
      const Bytes plain = Random(random, 8 * (1 + round % 4));
      const DesCipher cipher(key);
      Bytes data = plain;
      Bytes chaining = iv;
      CbcEncipher(cipher, chaining, data);
      EXPECT_EQ(data, OpenSslDesCbc(key, iv, plain, true)) << keySize;
      EXPECT_EQ(chaining, Bytes(data.end() - 8, data.end()));
      chaining = iv;
      CbcDecipher(cipher, chaining, data);
      EXPECT_EQ(data, plain);
    }
  }
  EXPECT_ANY_THROW(DesCipher(Bytes(12)));
}

}  // namespace
}  // namespace tarsin
