// SPDX-License-Identifier: Apache-2.0
// CMAC against OpenSSL's on random keys and messages, for each cipher.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>

#include <random>
#include <vector>

#include "crypto/aes_cipher.h"
#include "crypto/cmac.h"
#include "crypto/des_cipher.h"

namespace tarsin {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Random(std::mt19937& random, size_t count) {
  Bytes bytes(count);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

Bytes OpenSslCmac(const char* cipher, const Bytes& key, const Bytes& message) {
  EVP_MAC* mac = EVP_MAC_fetch(nullptr, "CMAC", nullptr);
  EVP_MAC_CTX* context = EVP_MAC_CTX_new(mac);
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_CIPHER, const_cast<char*>(cipher), 0),
      OSSL_PARAM_construct_end()};
  Bytes out(16);
  size_t length = 0;
  const bool ok = EVP_MAC_init(context, key.data(), key.size(), params) == 1 &&
                  EVP_MAC_update(context, message.data(), message.size()) == 1 &&
                  EVP_MAC_final(context, out.data(), &length, out.size()) == 1;
  EVP_MAC_CTX_free(context);
  EVP_MAC_free(mac);
  EXPECT_TRUE(ok) << cipher;
  out.resize(length);
  return out;
}

// Single DES against OpenSSL's two-key triple DES with both halves equal.
TEST(Cmac, MatchesOpenSslOnRandomMessages) {
  std::mt19937 random(11);
  const struct {
    const char* name;
    size_t keySize;
  } ciphers[] = {
      {"AES-128-CBC", 16}, {"DES-EDE3-CBC", 24}, {"DES-EDE-CBC", 16}, {"DES-EDE-CBC", 8}};
  for (const auto& cipher : ciphers) {
    for (size_t length = 0; length <= 40; ++length) {
      const Bytes key = Random(random, cipher.keySize);
      const Bytes message = Random(random, length);
      const bool aes = cipher.name[0] == 'A';
      const Bytes ours = aes ? Cmac(AesCipher(key), message) : Cmac(DesCipher(key), message);
      Bytes theirs = key;
      if (key.size() == 8) theirs.insert(theirs.end(), key.begin(), key.end());
      EXPECT_EQ(ours, OpenSslCmac(cipher.name, theirs, message)) << cipher.keySize << " " << length;
    }
  }
}

}  // namespace
}  // namespace tarsin
