// The cipher's flags, padding, key fitting, error numbers and the order in which they are checked.
#include <gtest/gtest.h>

#include "core/failure.h"
#include "crypto/des.h"

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

struct ErrorCase {
  const char* name;
  void (*call)(DES&);
  uint32_t number;
  const char* description;
};

class DesErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(DesErrorTest, RaisesTheNumberedFailure) {
  DES des = WithKey();
  try {
    GetParam().call(des);
    FAIL() << "nothing raised";
  } catch (const Failure& failure) {
    EXPECT_EQ(static_cast<uint32_t>(failure.number()), GetParam().number);
    EXPECT_EQ(failure.description(), GetParam().description);
  }
}

constexpr char kBadIndex[] = "Bad key index";
constexpr char kBadHex[] = "Invalid hexadecimal string";
constexpr char kBadAlgorithm[] = "Invalid cipher algorithm";
constexpr char kBadPaddingText[] = "Bad padding mode";

// Checked in this order: key index, text, algorithm, padding (when needed), chaining, length.
INSTANTIATE_TEST_SUITE_P(
    Cases, DesErrorTest,
    ::testing::Values(
        ErrorCase{"KeyIndexBeforeText", [](DES& d) { d.Keys(4, "XYZ"); }, 0xA0010001, kBadIndex},
        ErrorCase{"KeyIndexZero", [](DES& d) { d.Keys(0, kKey); }, 0xA0010001, kBadIndex},
        ErrorCase{"KeyNotHex", [](DES& d) { d.Keys(1, "12G4"); }, 0xA0010003, kBadHex},
        ErrorCase{"VectorNotHex", [](DES& d) { d.InitVector("00-11"); }, 0xA0010003, kBadHex},
        ErrorCase{"AlgorithmBeforeAll",
                  [](DES& d) { d.Encrypt("ZZ", 0x02 + kBadPadding + 0x3000); }, 0xA0010004,
                  kBadAlgorithm},
        ErrorCase{"AlgorithmWithNoData", [](DES& d) { d.Decrypt("", 0x05); }, 0xA0010004,
                  kBadAlgorithm},
        ErrorCase{"AllFlagBitsSet", [](DES& d) { d.Decrypt(kPlain, -1); }, 0xA0010004,
                  kBadAlgorithm},
        ErrorCase{"HexBeforePadding", [](DES& d) { d.Encrypt("0G", kBadPadding); }, 0xA0010003,
                  kBadHex},
        ErrorCase{"PaddingBeforeChaining",
                  [](DES& d) { d.Decrypt(k15Bytes, kBadPadding + 0x3000); }, 0xA0010006,
                  kBadPaddingText},
        ErrorCase{"ChainingCodeThree", [](DES& d) { d.Encrypt(kPlain, kBadPadding + 0x3000); },
                  0xA0010005, "Invalid chaining mode"},
        ErrorCase{"ChainingInTheHighBits",
                  [](DES& d) { d.Decrypt(kPlain, static_cast<int32_t>(0x80001000)); }, 0xA0010005,
                  "Invalid chaining mode"},
        ErrorCase{"BlockwisePadsItsLastPiece",
                  [](DES& d) { d.Decrypt(k12Bytes, desChainCBCBlockwise + kBadPadding); },
                  0xA0010006, kBadPaddingText},
        ErrorCase{"SendNeedsWholeBlocks", [](DES& d) { d.Decrypt(k12Bytes, desChainSend); },
                  0xA0010007, "Invalid data length"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DesFlags, NoDataGivesNoTextWhateverThePaddingAndChaining) {
  DES des = WithKey();
  for (const int32_t chaining : {0x0000, 0x1000, 0x2000, 0x3000, 0x4000, 0x8000}) {
    for (const int32_t padding : {0x000, 0x100, 0xF00}) {
      for (const char* empty : {"", " , \t\r\n"}) {
        EXPECT_EQ(des.Encrypt(empty, desTripleDES + padding + chaining), "");
        EXPECT_EQ(des.Decrypt(empty, desSingleDES + padding + chaining), "");
      }
    }
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
  for (const int32_t chaining : {desChainSend, desChainCBCBlockwise}) {
    EXPECT_EQ(des.Encrypt("0011223344556677 8899AA", chaining + kBadPadding),
              des.Encrypt("0011223344556677 8899AA0000000000", chaining));
  }
  const std::string twelve = des.Decrypt(k12Bytes, desChainCBCBlockwise);
  EXPECT_EQ(twelve, des.Decrypt("0011223344556677 8899AABB00000000", desChainCBCBlockwise));
  EXPECT_EQ(twelve.size(), 16u * 3 - 1);
}

TEST(DesKeys, KeyTextIsFittedToSixteenDigits) {
  for (const auto& [given, used] : {
           std::pair{"3457799BBCDFF1", "003457799BBCDFF1"},
           std::pair{"AB133457799BBCDFF1", "133457799BBCDFF1"},
           std::pair{"13 34 57 79 9b bc df f1", "133457799BBCDFF1"},
           std::pair{"", "0000000000000000"},
       }) {
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

}  // namespace
}  // namespace tarsin
