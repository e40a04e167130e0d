// ConvertData in every input and output form, its errors, the ANSI code page and CRC16.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cmath>
#include <ostream>

#include "core/failure.h"
#include "crypto/des.h"

namespace tarsin {

void PrintTo(const Variant& v, std::ostream* os) {
  *os << KindName(v.kind());
  if (v.isString()) *os << " \"" << v.asString() << '"';
  if (v.kind() == Variant::Kind::Bytes) {
    for (uint8_t b : v.asBytes()) *os << ' ' << int{b};
  }
}

namespace {

using Array = Variant::Array;
using Bytes = Variant::Bytes;

struct Conversion {
  const char* name;
  Variant in;
  int32_t code;
  bool pad;
  Variant out;
};

class ConvertDataTest : public ::testing::TestWithParam<Conversion> {};

TEST_P(ConvertDataTest, GivesTheExpectedForm) {
  const Conversion& c = GetParam();
  EXPECT_EQ(DES().ConvertData(c.in, c.code, c.pad), c.out);
}

const Array kNineBits = {true, true, false, false, false, false, false, false, false};

INSTANTIATE_TEST_SUITE_P(
    Forms, ConvertDataTest,
    ::testing::Values(
        Conversion{"HostHexToPlain", "a1 B2,c3", 0x0001, false, "A1B2C3"},
        Conversion{"AllSeparators", " 0a\t1B,\r\n", 0x0001, false, "0A1B"},
        Conversion{"OddDigitsToPlain", "ABC", 0x0001, false, "0ABC"},
        Conversion{"OddDigitsToSpaced", "ABC", 0x0000, false, "0A BC"},
        Conversion{"StrictHexToBytes", "01fF", 0x0105, false, Bytes{0x01, 0xFF}},
        Conversion{"PadShortText", "1", 0x0001, true, "0000000000000001"},
        Conversion{"PadKeepsLastDigits", "0123456789ABCDEF0123", 0x0001, true, "456789ABCDEF0123"},
        Conversion{"PadNothing", "", 0x0005, true, Bytes(8, 0)},
        Conversion{"BooleanBits", Array{true, false, true}, 0x0201, false, "05"},
        Conversion{"NineBitsFirstAlone", kNineBits, 0x0201, false, "0180"},
        Conversion{"NumericBits", Array{int32_t{7}, 0.0, int16_t{-1}, 0.25, int64_t{0}}, 0x0201,
                   false, "16"},
        Conversion{"ByteArrayBits", Bytes{1, 0, 0, 0, 0, 0, 0, 2}, 0x0200, false, "81"},
        Conversion{"NoBits", Array{}, 0x0201, false, ""},
        Conversion{"Numbers", Array{int32_t{1}, int32_t{255}, int32_t{256}}, 0x0501, false,
                   "01FF0100"},
        Conversion{"NumbersSpaced", Array{int32_t{1}, int32_t{0x1234}}, 0x0500, false, "01 12 34"},
        Conversion{"NegativeNumbers", Array{int32_t{-1}, int16_t{-2}}, 0x0501, false,
                   "FFFFFFFFFFFFFFFE"},
        Conversion{"HalvesToEven", Array{0.5, 1.5, 2.5, -0.5, -1.5, 2.4999, 2.5001}, 0x0501, false,
                   "00020200FFFFFFFE0203"},
        Conversion{"NumberKinds", Array{uint8_t{10}, int64_t{0x7FFFFFFF}, true, false}, 0x0501,
                   false, "0A7FFFFFFF0100"},
        Conversion{"TextToHex", "AB", 0x0601, false, "4142"},
        Conversion{"HexToText", "4142", 0x0006, false, "AB"},
        Conversion{"AccentedTextToHex", "\u00E9\u20AC\u0178", 0x0601, false, "E9809F"},
        Conversion{"HexToAccentedText", "E9 80 9F", 0x0006, false, "\u00E9\u20AC\u0178"},
        Conversion{"UndefinedByteToText", "81", 0x0006, false, "\u0081"},
        Conversion{"CharacterOutsideThePage", "A\u0100\U0001F600", 0x0601, false, "413F3F"},
        Conversion{"IllFormedUtf8", std::string("\xC3(\xFF"), 0x0601, false, "3F283F"},
        Conversion{"HexToBinary", "0F", 0x0004, false, "00001111"},
        Conversion{"HexToSpacedBinary", "0F F0", 0x0003, false, "00001111 11110000"},
        Conversion{"HexToBits", "0F", 0x0002, false, Bytes{0, 0, 0, 0, 1, 1, 1, 1}},
        Conversion{"BinaryWithSeparators", "0000 1111,1", 0x0301, false, "001F"},
        Conversion{"StrictBinaryCountsAnyCharacterAsOne", "1 x0\u00E9", 0x0401, false, "1D"},
        Conversion{"EmptyToBytes", "", 0x0005, false, Variant()},
        Conversion{"EmptyToPlain", "", 0x0001, false, ""},
        Conversion{"EmptyToSpaced", "", 0x0000, false, ""},
        Conversion{"EmptyToBits", "", 0x0002, false, Bytes{}},
        Conversion{"UnknownOutputForm", "12", 0x0007, false, Variant()},
        Conversion{"UnknownInputForm", int32_t{5}, 0x0701, false, ""},
        Conversion{"NegativeCode", "12", -1, false, Variant()}),
    [](const auto& info) { return std::string(info.param.name); });

struct Refusal {
  const char* name;
  Variant in;
  int32_t code;
  uint32_t number;
};

class ConvertDataRefusalTest : public ::testing::TestWithParam<Refusal> {};

TEST_P(ConvertDataRefusalTest, RaisesTheNumberedFailure) {
  try {
    DES().ConvertData(GetParam().in, GetParam().code, false);
    FAIL() << "nothing raised";
  } catch (const Failure& failure) {
    EXPECT_EQ(static_cast<uint32_t>(failure.number()), GetParam().number);
  }
}

constexpr uint32_t kBadType = 0xA0010002;
constexpr uint32_t kBadHex = 0xA0010003;

INSTANTIATE_TEST_SUITE_P(
    Refusals, ConvertDataRefusalTest,
    ::testing::Values(Refusal{"StrictRefusesBlanks", "a1 B2,c3", 0x0101, kBadHex},
                      Refusal{"LetterOutsideHex", "12G4", 0x0001, kBadHex},
                      Refusal{"NonAsciiInHex", "12\u00E9", 0x0000, kBadHex},
                      Refusal{"BadHexEvenForAnUnknownOutput", "0G", 0x0007, kBadHex},
                      Refusal{"NumberForAStringForm", int32_t{5}, 0x0001, kBadType},
                      Refusal{"ArrayForTextForm", Array{}, 0x0601, kBadType},
                      Refusal{"StringForBits", "101", 0x0201, kBadType},
                      Refusal{"EmptyForNumbers", Variant(), 0x0501, kBadType},
                      Refusal{"TextElementInBits", Array{true, "1"}, 0x0201, kBadType},
                      Refusal{"NullElementInBits", Array{Variant::Null{}}, 0x0201, kBadType},
                      Refusal{"NestedArrayInNumbers", Array{Array{}}, 0x0501, kBadType},
                      Refusal{"NumberAbove32Bits", Array{int64_t{0x80000000}}, 0x0501, kBadType},
                      Refusal{"RoundsAbove32Bits", Array{2147483647.5}, 0x0501, kBadType},
                      Refusal{"NotANumber", Array{std::nan("")}, 0x0501, kBadType}),
    [](const auto& info) { return std::string(info.param.name); });

std::string AllBytesAsHex() {
  std::string hex;
  for (int b = 0; b < 256; ++b)
    hex += "0123456789ABCDEF"[b >> 4], hex += "0123456789ABCDEF"[b & 15];
  return hex;
}

TEST(AnsiCodePage, EveryByteComesBackThroughText) {
  const std::string hex = AllBytesAsHex();
  DES des;
  const Variant text = des.ConvertData(hex, cnvInHex + cnvOutText);
  EXPECT_EQ(des.ConvertData(text, cnvInText + cnvOutHex), hex);
}

// The glibc converter knows Windows-1252 except for its five undefined bytes.
TEST(AnsiCodePage, AgreesWithIconvOnTheDefinedBytes) {
  iconv_t cd = iconv_open("UTF-8", "CP1252");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  DES des;
  for (int b = 0; b < 256; ++b) {
    if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
    char in[1] = {static_cast<char>(b)};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    size_t inLeft = 1, outLeft = sizeof out;
    ASSERT_NE(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1)) << b;
    const std::string hex = {"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15]};
    EXPECT_EQ(des.ConvertData(hex, cnvInHex + cnvOutText),
              Variant(std::string(out, sizeof out - outLeft)))
        << b;
  }
  iconv_close(cd);
}

TEST(Crc16, ComputesCrcA) {
  struct Check {
    const char* data;
    const char* crc;
  };
  DES des;
  for (const auto& [data, crc] : {
           Check{"00 00", "A0 1E"},
           Check{"12 34", "26 CF"},
           Check{"1234", "26 CF"},
           Check{"313233343536373839", "05 BF"},  // ASCII "123456789"
           Check{"", "63 63"},
           Check{"not hex", "63 63"},
       }) {
    EXPECT_EQ(des.CRC16(data), crc) << data;
  }
}

}  // namespace
}  // namespace tarsin
