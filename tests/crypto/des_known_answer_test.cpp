// Published DES / triple-DES answers and a DESFire legacy authentication recorded from a card.
#include <gtest/gtest.h>

#include "crypto/des.h"

namespace tarsin {
namespace {

struct KnownAnswer {
  const char* name;
  const char* keys;  // 16 digits: single DES; 48 digits: keys 1 to 3 of triple DES
  const char* vector;
  int32_t chaining;
  const char* plain;
  const char* cipher;
};

class DesKnownAnswerTest : public ::testing::TestWithParam<KnownAnswer> {};

TEST_P(DesKnownAnswerTest, EnciphersAndDeciphers) {
  const KnownAnswer& v = GetParam();
  const std::string keys = v.keys;
  DES des;
  for (std::size_t i = 0; i < keys.size() / 16; ++i)
    des.Keys(static_cast<int32_t>(i + 1), keys.substr(i * 16, 16));
  des.InitVector(v.vector);
  const int32_t flags = (keys.size() > 16 ? desTripleDES : desSingleDES) + v.chaining;
  EXPECT_EQ(des.Encrypt(v.plain, flags), v.cipher);
  EXPECT_EQ(des.Decrypt(v.cipher, flags), v.plain);
}

// "Now is the time for all " with the FIPS 81 key and vector.
constexpr char kNowIsTheTime[] =
    "4E 6F 77 20 69 73 20 74 68 65 20 74 69 6D 65 20 66 6F 72 20 61 6C 6C 20";

INSTANTIATE_TEST_SUITE_P(
    Published, DesKnownAnswerTest,
    ::testing::Values(
        KnownAnswer{"Fips46Worked", "133457799BBCDFF1", "", desChainNone, "01 23 45 67 89 AB CD EF",
                    "85 E8 13 54 0F 0A B4 05"},
        KnownAnswer{"Sp80017Sbox1", "7CA110454A1A6E57", "", desChainNone, "01 A1 D6 D0 39 77 67 42",
                    "69 0F 5B 0D 9A 26 93 9B"},
        KnownAnswer{"Sp80017Sbox4", "3849674C2602319E", "", desChainNone, "51 45 4B 58 2D DF 44 0A",
                    "71 78 87 6E 01 F1 9B 2A"},
        KnownAnswer{"ZeroCiphertext", "0E329232EA6D0D73", "", desChainNone,
                    "87 87 87 87 87 87 87 87", "00 00 00 00 00 00 00 00"},
        KnownAnswer{"Fips81Ecb", "0123456789ABCDEF", "", desChainNone, kNowIsTheTime,
                    "3F A4 0E 8A 98 4D 48 15 6A 27 17 87 AB 88 83 F9 89 3D 51 EC 4B 56 3B 53"},
        KnownAnswer{"Fips81Cbc", "0123456789ABCDEF", "1234567890ABCDEF", desChainCBC, kNowIsTheTime,
                    "E5 C7 CD DE 87 2B F2 7C 43 E9 34 00 8C 38 9C 0F 68 37 88 49 9A 7C 05 F6"},
        KnownAnswer{"Sp80067TripleDes", "0123456789ABCDEF23456789ABCDEF01456789ABCDEF0123", "",
                    desChainNone,
                    "54 68 65 20 71 75 66 63 6B 20 62 72 6F 77 6E 20 66 6F 78 20 6A 75 6D 70",
                    "A8 26 FD 8C E5 3B 85 5F CC E2 1C 81 12 25 6F E6 68 D5 C0 5D D9 B6 B9 00"}),
    [](const auto& info) { return std::string(info.param.name); });

// A legacy DESFire authentication with the all-zero key, as a card answered it, and a
// cryptogram under the session key of another such authentication.
TEST(DesfireTrace, LegacyAuthenticationWithTheZeroKey) {
  DES des;
  for (int index = 1; index <= 3; ++index) des.Keys(index, "0000000000000000");
  des.InitVector("0000000000000000");

  const std::string rndB = des.Decrypt("DF 6A B2 9A AE 46 BA 27", desSingleDES + desChainCBC);
  EXPECT_EQ(rndB, "CC F5 32 70 57 0A 76 69");
  // Triple DES with three equal keys is what the reader runs for a single-DES key.
  EXPECT_EQ(des.Decrypt("DF6AB29AAE46BA27", desTripleDES + desChainCBC), rndB);

  // RndA followed by RndB rotated left by one byte.
  const std::string token = "A0A1A2A3A4A5A6A7 F53270570A7669CC";
  const std::string expected = "05 EE C3 1F 1E 6A 0C C3 1F EF 83 98 A6 62 13 70";
  EXPECT_EQ(des.Decrypt(token, desSingleDES + desChainSend), expected);
  EXPECT_EQ(des.Decrypt(token, desTripleDES + desChainSend), expected);

  des.Keys(1, "00010203F6B03339");
  EXPECT_EQ(des.Decrypt("0F 09 A9 00 00 00 00 00", desSingleDES + desChainSend),
            "CB 64 3F D0 30 E6 87 DA");
}

}  // namespace
}  // namespace tarsin
