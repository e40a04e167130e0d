// SPDX-License-Identifier: Apache-2.0
// The card's CMAC and CRC32 against published vectors: RFC 4493 (AES), NIST SP 800-38B appendix D
// (three- and two-key TDEA), and the CRC catalogue's check value of JAMCRC, which is this CRC32.
#include "desfire/ev1_cipher.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tarsin::sim::desfire {
namespace {

const std::string kMessage =
    "6BC1BEE22E409F96E93D7E117393172AAE2D8A571E03AC9C9EB76FAC45AF8E51"
    "30C81C46A35CE411E5FBC1191A0A52EFF69F2445DF4F9B17AD2B417BE66C3710";

TEST(Ev1Cipher, CmacMatchesPublishedVectors) {
  const char* aes = "2B7E151628AED2A6ABF7158809CF4F3C";
  const char* three = "8AA83BF8CBDA10620BC1BF19FBB6CD58BC313D4A371CA8B5";
  const char* two = "4CF15134A2850DD58A3D10BA80570D38";
  const std::tuple<CipherKind, const char*, size_t, const char*> vectors[] = {
      {CipherKind::kAes, aes, 0, "BB1D6929E95937287FA37D129B756746"},
      {CipherKind::kAes, aes, 16, "070A16B46B4D4144F79BDD9DD04A287C"},
      {CipherKind::kAes, aes, 40, "DFA66747DE9AE63030CA32611497C827"},
      {CipherKind::kAes, aes, 64, "51F0BEBF7E3B9D92FC49741779363CFE"},
      {CipherKind::k3K3Des, three, 0, "B7A688E122FFAF95"},
      {CipherKind::k3K3Des, three, 8, "8E8F293136283797"},
      {CipherKind::k3K3Des, three, 20, "743DDBE0CE2DC2ED"},
      {CipherKind::k3K3Des, three, 32, "33E6B1092400EAE5"},
      {CipherKind::k2K3Des, two, 8, "4FF2AB813C53CE83"},
      {CipherKind::k2K3Des, two, 20, "62DD1B471902BD4E"},
  };
  for (const auto& [kind, key, length, cmac] : vectors) {
    const Ev1Cipher cipher(kind, *FromHex(key));
    Bytes iv(cipher.BlockSize(), 0);
    EXPECT_EQ(ToHex(cipher.Cmac(*FromHex(kMessage.substr(0, 2 * length)), iv)), cmac)
        << key << length;
    EXPECT_EQ(ToHex(iv), cmac) << "the vector goes on from the CMAC";
  }
}

TEST(Ev1Cipher, Crc32CheckValue) {
  const std::string check = "123456789";
  EXPECT_EQ(Crc32(Bytes(check.begin(), check.end())), 0x340BC6D9u);
}

}  // namespace
}  // namespace tarsin::sim::desfire
