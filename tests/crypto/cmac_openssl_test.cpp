// SPDX-License-Identifier: Apache-2.0
// CMAC against OpenSSL's on random keys and messages for each cipher, and the key diversification
// built on it redone from OpenSSL's pieces (published examples: desfire/diversification_test.cpp).
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>

#include <random>
#include <tuple>
#include <vector>

#include "crypto/aes_cipher.h"
#include "crypto/cmac.h"
#include "crypto/des_cipher.h"
#include "crypto/key_diversification.h"

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

// `data` through OpenSSL's cipher in CBC from a zero vector, without padding.
Bytes OpenSslCbc(const char* name, const Bytes& key, const Bytes& data, bool encipher) {
  EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, name, nullptr);
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  Bytes out(data.size() + 16), iv(16, 0);
  int length = 0;
  EXPECT_TRUE(
      EVP_CipherInit_ex2(context, cipher, key.data(), iv.data(), encipher, nullptr) &&
      EVP_CIPHER_CTX_set_padding(context, 0) &&
      EVP_CipherUpdate(context, out.data(), &length, data.data(), static_cast<int>(data.size())));
  EVP_CIPHER_CTX_free(context);
  EVP_CIPHER_free(cipher);
  out.resize(static_cast<size_t>(length));
  return out;
}

// One block of a diversified key from OpenSSL alone: constant || M, padded (80 00...) to two blocks
// when shorter, its last block XORed with CMAC's subkey, then CBC; the key is the last block. The
// subkey read back from OpenSSL's CMAC: of one zero block it is E(K1), of nothing E(80 00.. ^ K2).
Bytes OpenSslDiversified(const char* name, const Bytes& key, uint8_t constant, const Bytes& m) {
  const size_t block = name[0] == 'A' ? 16 : 8;
  Bytes data{constant};
  data.insert(data.end(), m.begin(), m.end());
  const bool padded = data.size() < 2 * block;
  Bytes subkey =
      OpenSslCbc(name, key, OpenSslCmac(name, key, padded ? Bytes{} : Bytes(block, 0)), false);
  if (padded) {
    subkey[0] ^= 0x80;
    data.push_back(0x80);
    data.resize(2 * block, 0);
  }
  for (size_t i = 0; i < block; ++i) data[block + i] ^= subkey[i];
  const Bytes out = OpenSslCbc(name, key, data, true);
  return {out.end() - static_cast<std::ptrdiff_t>(block), out.end()};
}

// Single DES against OpenSSL's two-key triple DES with both halves equal.
TEST(Cmac, MatchesOpenSslOnRandomMessages) {
  std::mt19937 random(11);
  const std::pair<const char*, size_t> ciphers[] = {
      {"AES-128-CBC", 16}, {"DES-EDE3-CBC", 24}, {"DES-EDE-CBC", 16}, {"DES-EDE-CBC", 8}};
  for (const auto& [name, keySize] : ciphers)
    for (size_t length = 0; length <= 40; ++length) {
      const Bytes key = Random(random, keySize);
      const Bytes message = Random(random, length);
      const bool aes = name[0] == 'A';
      const Bytes ours = aes ? Cmac(AesCipher(key), message) : Cmac(DesCipher(key), message);
      Bytes theirs = key;
      if (key.size() == 8) theirs.insert(theirs.end(), key.begin(), key.end());
      EXPECT_EQ(ours, OpenSslCmac(name, theirs, message)) << keySize << " " << length;
    }
}

// M of each length that pads or fills the two blocks differently. A triple-DES key's first 8
// parity bits carry the master's version; the rest of the key is compared whole.
TEST(KeyDiversification, MatchesOpenSslPaddedAndWhole) {
  std::mt19937 random(27);
  const std::tuple<const char*, size_t, Bytes, std::vector<size_t>> ciphers[] = {
      {"AES-128-CBC", 16, {0x01}, {1, 15, 16, 31}},
      {"DES-EDE-CBC", 16, {0x21, 0x22}, {1, 7, 8, 15}},
      {"DES-EDE3-CBC", 24, {0x31, 0x32, 0x33}, {1, 7, 8, 15}}};
  for (const auto& [name, keySize, constants, lengths] : ciphers)
    for (const size_t length : lengths) {
      const Bytes key = Random(random, keySize);
      const Bytes m = Random(random, length);
      Bytes theirs;
      for (const uint8_t constant : constants) {
        const Bytes part = OpenSslDiversified(name, key, constant, m);
        theirs.insert(theirs.end(), part.begin(), part.end());
      }
      const bool aes = constants.size() == 1;
      Bytes ours = aes ? DiversifyAesKey(key, m) : DiversifyTripleDesKey(key, m);
      for (size_t i = 0; !aes && i < 8; ++i) {
        EXPECT_EQ(ours[i] & 1, key[i] & 1) << name << " " << length;
        ours[i] ^= (ours[i] ^ theirs[i]) & 1;
      }
      EXPECT_EQ(ours, theirs) << name << " " << length;
    }
}

}  // namespace
}  // namespace tarsin
