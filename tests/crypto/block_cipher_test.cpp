// SPDX-License-Identifier: Apache-2.0
// The byte-level ciphers, CMAC and CRCs against published vectors (FIPS 197, RFC 4493, NIST SP
// 800-38B, the CRC catalogue); no OpenSSL, so that the Windows build runs them on its own AES too.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/hex_text.h"
#include "crypto/aes_cipher.h"
#include "crypto/cmac.h"
#include "crypto/crc.h"
#include "crypto/des_cipher.h"

namespace tarsin {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(BlockCipher, AesMatchesFips197) {
  const AesCipher aes(HexToBytes("000102030405060708090A0B0C0D0E0F"));
  Bytes block = HexToBytes("00112233445566778899AABBCCDDEEFF");
  aes.Encipher(block);
  EXPECT_EQ(BytesToHex(block), "69C4E0D86A7B0430D8CDB78070B4C55A");
  aes.Decipher(block);
  EXPECT_EQ(BytesToHex(block), "00112233445566778899AABBCCDDEEFF");
  EXPECT_ANY_THROW(AesCipher(Bytes(24)));
  EXPECT_ANY_THROW(DesCipher(Bytes(12)));
}

TEST(Cmac, PublishedVectors) {
  const Bytes message = HexToBytes(
      "6BC1BEE22E409F96E93D7E117393172AAE2D8A571E03AC9C9EB76FAC45AF8E51"
      "30C81C46A35CE411E5FBC1191A0A52EFF69F2445DF4F9B17AD2B417BE66C3710");
  const AesCipher aes(HexToBytes("2B7E151628AED2A6ABF7158809CF4F3C"));
  const DesCipher threeKeys(HexToBytes("8AA83BF8CBDA10620BC1BF19FBB6CD58BC313D4A371CA8B5"));
  const std::tuple<const BlockCipher&, size_t, const char*> rows[] = {
      {aes, 0, "BB1D6929E95937287FA37D129B756746"},  // RFC 4493
      {aes, 16, "070A16B46B4D4144F79BDD9DD04A287C"},
      {aes, 40, "DFA66747DE9AE63030CA32611497C827"},
      {aes, 64, "51F0BEBF7E3B9D92FC49741779363CFE"},
      {threeKeys, 0, "B7A688E122FFAF95"},  // SP 800-38B, three-key TDEA
      {threeKeys, 8, "8E8F293136283797"},
      {threeKeys, 20, "743DDBE0CE2DC2ED"},
      {threeKeys, 32, "33E6B1092400EAE5"},
  };
  for (const auto& [cipher, length, mac] : rows)
    EXPECT_EQ(BytesToHex(Cmac(cipher, std::span(message).first(length))), mac) << length;
}

TEST(Crc, CheckValuesOfTheCatalogue) {
  const std::string check = "123456789";
  const Bytes bytes(check.begin(), check.end());
  EXPECT_EQ(Crc32(bytes), 0x340BC6D9u);  // CRC-32/JAMCRC: IEEE 802.3 without the final inversion
  EXPECT_EQ(BytesToHex(Crc32Bytes(bytes)), "D9C60B34");
}

}  // namespace
}  // namespace tarsin
