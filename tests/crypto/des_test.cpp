// SPDX-License-Identifier: Apache-2.0
// DES: published answers, a DESFire legacy authentication, flags, padding, keys and errors.
#include "crypto/des.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core/failure.h"

namespace tarsin {
namespace {

constexpr char kKey[] = "133457799BBCDFF1";
constexpr char kPlain[] = "01 23 45 67 89 AB CD EF";
constexpr char kCipher[] = "85 E8 13 54 0F 0A B4 05";
constexpr char k15Bytes[] = "000102030405060708090A0B0C0D0E";
constexpr char k12Bytes[] = "0011223344556677 8899AABB";
constexpr int32_t kBadPadding = 0x200;

DES WithKey() {
  DES des;
  des.Keys(1, kKey);
  return des;
}

// Checked in this order: key index, text, algorithm, padding (when needed), chaining, length.
TEST(DesFlags, EachFaultRaisesItsNumberedFailureInOrder) {
  const std::tuple<const char*, void (*)(DES&), uint32_t> cases[] = {
      {"KeyIndexBeforeText", [](DES& d) { d.Keys(4, "XYZ"); }, 0xA0010001},
      {"KeyIndexZero", [](DES& d) { d.Keys(0, kKey); }, 0xA0010001},
      {"KeyNotHex", [](DES& d) { d.Keys(1, "12G4"); }, 0xA0010003},
      {"VectorNotHex", [](DES& d) { d.InitVector("00-11"); }, 0xA0010003},
      {"AlgorithmBeforeAll", [](DES& d) { d.Encrypt("ZZ", 0x02 + kBadPadding + 0x3000); },
       0xA0010004},
      {"AlgorithmWithNoData", [](DES& d) { d.Decrypt("", 0x05); }, 0xA0010004},
      {"AllFlagBitsSet", [](DES& d) { d.Decrypt(kPlain, -1); }, 0xA0010004},
      {"HexBeforePadding", [](DES& d) { d.Encrypt("0G", kBadPadding); }, 0xA0010003},
      {"PaddingBeforeChaining", [](DES& d) { d.Decrypt(k15Bytes, kBadPadding + 0x3000); },
       0xA0010006},
      {"ChainingCodeThree", [](DES& d) { d.Encrypt(kPlain, kBadPadding + 0x3000); }, 0xA0010005},
      {"ChainingInTheHighBits", [](DES& d) { d.Decrypt(kPlain, static_cast<int32_t>(0x80001000)); },
       0xA0010005},
      {"BlockwisePadsItsLastPiece",
       [](DES& d) { d.Decrypt(k12Bytes, desChainCBCBlockwise + kBadPadding); }, 0xA0010006},
      {"SendNeedsWholeBlocks", [](DES& d) { d.Decrypt(k12Bytes, desChainSend); }, 0xA0010007},
  };
  for (const auto& [name, call, number] : cases) {
    SCOPED_TRACE(name);
    DES des = WithKey();
    try {
      call(des);
      ADD_FAILURE() << "nothing raised";
    } catch (const Failure& failure) {
      EXPECT_EQ(static_cast<uint32_t>(failure.number()), number);
    }
  }
}

TEST(DesFlags, NoDataGivesNoTextWhateverThePaddingAndChaining) {
  DES des = WithKey();
  for (const int32_t chaining : {0x0000, 0x1000, 0x2000, 0x3000, 0x4000, 0x8000})
    for (const int32_t padding : {0x000, 0x100, 0xF00})
      for (const char* empty : {"", " , \t\r\n"}) {
        EXPECT_EQ(des.Encrypt(empty, desTripleDES + padding + chaining), "");
        EXPECT_EQ(des.Decrypt(empty, desSingleDES + padding + chaining), "");
      }
}

TEST(DesFlags, ShortLastPieceIsPadded) {
  DES des = WithKey();
  // A bad padding code does no harm while no padding is needed.
  EXPECT_EQ(des.Encrypt(kPlain, kBadPadding), kCipher);
  const std::string nine = "0123456789ABCDEF 42";
  const std::string byBlocks = des.Encrypt(kPlain, desChainNone);
  EXPECT_EQ(des.Encrypt(nine, desPadSpace),
            byBlocks + " " + des.Encrypt("42 20 20 20 20 20 20 20", desChainNone));
  EXPECT_EQ(des.Encrypt(nine, desPadZero),
            byBlocks + " " + des.Encrypt("42 00 00 00 00 00 00 00", desChainNone));
  // Padding added by Encrypt stays in what Decrypt gives back.
  EXPECT_EQ(des.Decrypt(des.Encrypt(nine, desPadSpace + desChainCBC), desChainCBC),
            "01 23 45 67 89 AB CD EF 42 20 20 20 20 20 20 20");
  // The DESFire modes fill with zeros whatever the padding code.
  for (const int32_t chaining : {desChainSend, desChainCBCBlockwise})
    EXPECT_EQ(des.Encrypt("0011223344556677 8899AA", chaining + kBadPadding),
              des.Encrypt("0011223344556677 8899AA0000000000", chaining));
  EXPECT_EQ(des.Decrypt(k12Bytes, desChainCBCBlockwise),
            des.Decrypt("0011223344556677 8899AABB00000000", desChainCBCBlockwise));
}

TEST(DesKeys, KeyTextIsFittedToSixteenDigits) {
  const std::pair<const char*, const char*> keys[] = {
      {"3457799BBCDFF1", "003457799BBCDFF1"},
      {"AB133457799BBCDFF1", "133457799BBCDFF1"},
      {"13 34 57 79 9b bc df f1", "133457799BBCDFF1"},
      {"", "0000000000000000"}};
  for (const auto& [given, used] : keys) {
    DES fitted, reference;
    fitted.Keys(2, given);
    reference.Keys(2, used);
    // Key 2 deciphers inside triple DES; keys 1 and 3 stay zero in both objects.
    EXPECT_EQ(fitted.Encrypt(kPlain, desTripleDES), reference.Encrypt(kPlain, desTripleDES))
        << given;
  }
}

TEST(DesKeys, FailedCallsChangeNothing) {
  DES des = WithKey();
  des.InitVector("1122334455667788");
  const std::string before = des.Encrypt(kPlain, desChainCBC);
  EXPECT_THROW(des.Keys(1, "12G4"), Failure);
  EXPECT_THROW(des.Keys(0, "0000000000000000"), Failure);
  EXPECT_THROW(des.InitVector("not hex"), Failure);
  EXPECT_THROW(des.Encrypt(k15Bytes, kBadPadding), Failure);
  EXPECT_EQ(des.Encrypt(kPlain, desChainCBC), before);
}

// "Now is the time for all " with the FIPS 81 key and vector.
constexpr char kNowIsTheTime[] =
    "4E 6F 77 20 69 73 20 74 68 65 20 74 69 6D 65 20 66 6F 72 20 61 6C 6C 20";

TEST(DesKnownAnswers, EnciphersAndDeciphersThePublishedVectors) {
  // Keys: 16 digits for single DES, 48 for keys 1 to 3 of triple DES.
  using Vector =
      std::tuple<const char*, std::string, const char*, int32_t, const char*, const char*>;
  const Vector vectors[] = {
      {"Fips46Worked", "133457799BBCDFF1", "", desChainNone, "01 23 45 67 89 AB CD EF",
       "85 E8 13 54 0F 0A B4 05"},
      {"Sp80017Sbox1", "7CA110454A1A6E57", "", desChainNone, "01 A1 D6 D0 39 77 67 42",
       "69 0F 5B 0D 9A 26 93 9B"},
      {"Sp80017Sbox4", "3849674C2602319E", "", desChainNone, "51 45 4B 58 2D DF 44 0A",
       "71 78 87 6E 01 F1 9B 2A"},
      {"ZeroCiphertext", "0E329232EA6D0D73", "", desChainNone, "87 87 87 87 87 87 87 87",
       "00 00 00 00 00 00 00 00"},
      {"Fips81Ecb", "0123456789ABCDEF", "", desChainNone, kNowIsTheTime,
       "3F A4 0E 8A 98 4D 48 15 6A 27 17 87 AB 88 83 F9 89 3D 51 EC 4B 56 3B 53"},
      {"Fips81Cbc", "0123456789ABCDEF", "1234567890ABCDEF", desChainCBC, kNowIsTheTime,
       "E5 C7 CD DE 87 2B F2 7C 43 E9 34 00 8C 38 9C 0F 68 37 88 49 9A 7C 05 F6"},
      {"Sp80067TripleDes", "0123456789ABCDEF23456789ABCDEF01456789ABCDEF0123", "", desChainNone,
       "54 68 65 20 71 75 66 63 6B 20 62 72 6F 77 6E 20 66 6F 78 20 6A 75 6D 70",
       "A8 26 FD 8C E5 3B 85 5F CC E2 1C 81 12 25 6F E6 68 D5 C0 5D D9 B6 B9 00"},
  };
  for (const auto& [name, keys, vector, chaining, plain, cipher] : vectors) {
    SCOPED_TRACE(name);
    DES des;
    for (std::size_t i = 0; i < keys.size() / 16; ++i)
      des.Keys(static_cast<int32_t>(i + 1), keys.substr(i * 16, 16));
    des.InitVector(vector);
    const int32_t flags = (keys.size() > 16 ? desTripleDES : desSingleDES) + chaining;
    EXPECT_EQ(des.Encrypt(plain, flags), cipher);
    EXPECT_EQ(des.Decrypt(cipher, flags), plain);
  }
}

// A legacy DESFire authentication, RndB CC F5 32 70 57 0A 76 69 and RndA A0..A7, under a key that
// is not weak (a weak key enciphers as it deciphers, hiding a mixed-up direction); the answers are
// OpenSSL's. Then a cryptogram under the session key of a recorded authentication.
TEST(DesfireTrace, LegacyAuthentication) {
  DES des;
  for (int index = 1; index <= 3; ++index) des.Keys(index, "0123456789ABCDEF");
  des.InitVector("0000000000000000");

  const std::string rndB = des.Decrypt("97 BF D6 E5 9C 3B 76 81", desSingleDES + desChainCBC);
  EXPECT_EQ(rndB, "CC F5 32 70 57 0A 76 69");
  // Triple DES with three equal keys is what the reader runs for a single-DES key.
  EXPECT_EQ(des.Decrypt("97BFD6E59C3B7681", desTripleDES + desChainCBC), rndB);

  // RndA followed by RndB rotated left by one byte.
  const std::string token = "A0A1A2A3A4A5A6A7 F53270570A7669CC";
  const std::string expected = "A5 B6 D7 91 C0 6F 9B 0B 0D B4 52 1F 34 46 4C 3D";
  EXPECT_EQ(des.Decrypt(token, desSingleDES + desChainSend), expected);
  EXPECT_EQ(des.Decrypt(token, desTripleDES + desChainSend), expected);

  des.Keys(1, "00010203F6B03339");
  EXPECT_EQ(des.Decrypt("0F 09 A9 00 00 00 00 00", desSingleDES + desChainSend),
            "CB 64 3F D0 30 E6 87 DA");
}

}  // namespace
}  // namespace tarsin
