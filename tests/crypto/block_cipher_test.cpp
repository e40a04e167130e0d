// The byte-level ciphers, chaining modes, CMAC and CRCs: published vectors (FIPS 197, RFC 4493,
// NIST SP 800-38B, the CRC catalogue's check values) and OpenSSL on random data.
#include <gtest/gtest.h>

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/core_names.h>
#include <openssl/des.h>
#include <openssl/evp.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/hex_text.h"
#include "crypto/aes_cipher.h"
#include "crypto/block_modes.h"
#include "crypto/cmac.h"
#include "crypto/crc.h"
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

TEST(BlockCipher, AesMatchesFips197) {
  const AesCipher aes(HexToBytes("000102030405060708090A0B0C0D0E0F"));
  Bytes block = HexToBytes("00112233445566778899AABBCCDDEEFF");
  aes.Encipher(block);
  EXPECT_EQ(BytesToHex(block), "69C4E0D86A7B0430D8CDB78070B4C55A");
  aes.Decipher(block);
  EXPECT_EQ(BytesToHex(block), "00112233445566778899AABBCCDDEEFF");
  EXPECT_ANY_THROW(AesCipher(Bytes(24)));
}

TEST(Cmac, PublishedVectors) {
  const Bytes message = HexToBytes(
      "6BC1BEE22E409F96E93D7E117393172AAE2D8A571E03AC9C9EB76FAC45AF8E51"
      "30C81C46A35CE411E5FBC1191A0A52EFF69F2445DF4F9B17AD2B417BE66C3710");
  const AesCipher aes(HexToBytes("2B7E151628AED2A6ABF7158809CF4F3C"));
  const DesCipher threeKeys(HexToBytes("8AA83BF8CBDA10620BC1BF19FBB6CD58BC313D4A371CA8B5"));
  const DesCipher twoKeys(HexToBytes("4CF15134A2850DD58A3D10BA80570D38"));
  const struct {
    const BlockCipher& cipher;
    size_t length;
    const char* mac;
  } rows[] = {
      {aes, 0, "BB1D6929E95937287FA37D129B756746"},  // RFC 4493
      {aes, 16, "070A16B46B4D4144F79BDD9DD04A287C"},
      {aes, 40, "DFA66747DE9AE63030CA32611497C827"},
      {aes, 64, "51F0BEBF7E3B9D92FC49741779363CFE"},
      {threeKeys, 0, "B7A688E122FFAF95"},  // SP 800-38B, three-key TDEA
      {threeKeys, 8, "8E8F293136283797"},
      {threeKeys, 20, "743DDBE0CE2DC2ED"},
      {threeKeys, 32, "33E6B1092400EAE5"},
      {twoKeys, 0, "BD2EBF9A3BA00361"},  // two-key TDEA
      {twoKeys, 8, "4FF2AB813C53CE83"},
      {twoKeys, 20, "62DD1B471902BD4E"},
      {twoKeys, 32, "31B1E431DABC4EB8"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(BytesToHex(Cmac(row.cipher, std::span(message).first(row.length))), row.mac)
        << row.length;
  }
}

TEST(Cmac, MatchesOpenSslOnRandomMessages) {
  std::mt19937 random(11);
  const struct {
    const char* name;
    size_t keySize;
    bool aes;
  } ciphers[] = {
      {"AES-128-CBC", 16, true}, {"DES-EDE3-CBC", 24, false}, {"DES-EDE-CBC", 16, false}};
  for (const auto& cipher : ciphers) {
    for (size_t length = 0; length <= 40; ++length) {
      const Bytes key = Random(random, cipher.keySize);
      const Bytes message = Random(random, length);
      const Bytes ours = cipher.aes ? Cmac(AesCipher(key), message) : Cmac(DesCipher(key), message);
      EXPECT_EQ(ours, OpenSslCmac(cipher.name, key, message)) << cipher.name << " " << length;
    }
  }
}

TEST(Crc, CheckValuesOfTheCatalogue) {
  const std::string check = "123456789";
  const Bytes bytes(check.begin(), check.end());
  EXPECT_EQ(Crc32(bytes), 0x340BC6D9u);  // CRC-32/JAMCRC: IEEE 802.3 without the final inversion
  EXPECT_EQ(BytesToHex(Crc32Bytes(bytes)), "D9C60B34");
}

}  // namespace
}  // namespace tarsin
