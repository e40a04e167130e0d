// SPDX-License-Identifier: Apache-2.0
// ConvertData in every input and output form, its errors, the ANSI code page and CRC16.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cmath>

#include "core/failure.h"
#include "crypto/des.h"

namespace tarsin {

namespace {

using Array = Variant::Array;
using Bytes = Variant::Bytes;

constexpr uint32_t kBadType = 0xA0010002, kBadHex = 0xA0010003;

const Array kNineBits = {true, true, false, false, false, false, false, false, false};

TEST(ConvertData, GivesTheExpectedFormOrItsNumberedFailure) {
  const struct {
    const char* name;
    Variant in;
    int32_t code;
    bool pad;
    Variant out;
    uint32_t failure = 0;  // the numbered failure expected instead of `out`
  } cases[] = {
      {"HostHexToPlain", "a1 B2,c3", 0x0001, false, "A1B2C3"},
      {"AllSeparators", " 0a\t1B,\r\n", 0x0001, false, "0A1B"},
      {"OddDigitsToPlain", "ABC", 0x0001, false, "0ABC"},
      {"StrictHexToBytes", "01fF", 0x0105, false, Bytes{0x01, 0xFF}},
      {"PadShortText", "1", 0x0001, true, "0000000000000001"},
      {"PadKeepsLastDigits", "0123456789ABCDEF0123", 0x0001, true, "456789ABCDEF0123"},
      {"PadNothing", "", 0x0005, true, Bytes(8, 0)},
      {"BooleanBits", Array{true, false, true}, 0x0201, false, "05"},
      {"NineBitsFirstAlone", kNineBits, 0x0201, false, "0180"},
      {"NumericBits", Array{int32_t{7}, 0.0, int16_t{-1}, 0.25, int64_t{0}}, 0x0201, false, "16"},
      {"ByteArrayBits", Bytes{1, 0, 0, 0, 0, 0, 0, 2}, 0x0200, false, "81"},
      {"Numbers", Array{int32_t{1}, int32_t{255}, int32_t{256}}, 0x0501, false, "01FF0100"},
      {"NegativeNumbers", Array{int32_t{-1}, int16_t{-2}}, 0x0501, false, "FFFFFFFFFFFFFFFE"},
      {"HalvesToEven", Array{0.5, 1.5, 2.5, -0.5, -1.5, 2.4999, 2.5001}, 0x0501, false,
       "00020200FFFFFFFE0203"},
      {"NumberKinds", Array{uint8_t{10}, int64_t{0x7FFFFFFF}, true, false}, 0x0501, false,
       "0A7FFFFFFF0100"},
      {"TextToHex", "AB", 0x0601, false, "4142"},
      {"AccentedTextToHex", "\u00E9\u20AC\u0178", 0x0601, false, "E9809F"},
      {"HexToAccentedText", "E9 80 9F", 0x0006, false, "\u00E9\u20AC\u0178"},
      {"UndefinedByteToText", "81", 0x0006, false, "\u0081"},
      {"CharacterOutsideThePage", "A\u0100\U0001F600", 0x0601, false, "413F3F"},
      {"IllFormedUtf8", std::string("\xC3(\xFF"), 0x0601, false, "3F283F"},
      {"HexToBinary", "0F", 0x0004, false, "00001111"},
      {"HexToBits", "0F", 0x0002, false, Bytes{0, 0, 0, 0, 1, 1, 1, 1}},
      {"BinaryWithSeparators", "0000 1111,1", 0x0301, false, "001F"},
      {"StrictBinaryCountsAnyCharacterAsOne", "1 x0\u00E9", 0x0401, false, "1D"},
      {"EmptyToBytes", "", 0x0005, false, Variant()},
      {"EmptyToSpaced", "", 0x0000, false, ""},
      {"EmptyToBits", "", 0x0002, false, Bytes{}},
      {"UnknownOutputForm", "12", 0x0007, false, Variant()},
      {"UnknownInputForm", int32_t{5}, 0x0701, false, ""},
      {"NegativeCode", "12", -1, false, Variant()},
      {"StrictRefusesBlanks", "a1 B2,c3", 0x0101, false, {}, kBadHex},
      {"LetterOutsideHex", "12G4", 0x0001, false, {}, kBadHex},
      {"BadHexEvenForAnUnknownOutput", "0G", 0x0007, false, {}, kBadHex},
      {"NumberForAStringForm", int32_t{5}, 0x0001, false, {}, kBadType},
      {"ArrayForTextForm", Array{}, 0x0601, false, {}, kBadType},
      {"StringForBits", "101", 0x0201, false, {}, kBadType},
      {"EmptyForNumbers", Variant(), 0x0501, false, {}, kBadType},
      {"TextElementInBits", Array{true, "1"}, 0x0201, false, {}, kBadType},
      {"NestedArrayInNumbers", Array{Array{}}, 0x0501, false, {}, kBadType},
      {"NumberAbove32Bits", Array{int64_t{0x80000000}}, 0x0501, false, {}, kBadType},
      {"RoundsAbove32Bits", Array{2147483647.5}, 0x0501, false, {}, kBadType},
      {"NotANumber", Array{std::nan("")}, 0x0501, false, {}, kBadType},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      EXPECT_EQ(DES().ConvertData(c.in, c.code, c.pad), c.out);
      EXPECT_EQ(c.failure, 0u) << "nothing raised";
    } catch (const Failure& failure) {
      EXPECT_EQ(static_cast<uint32_t>(failure.number()), c.failure);
    }
  }
}

// The glibc converter knows Windows-1252 but its five undefined bytes (see UndefinedByteToText).
TEST(AnsiCodePage, AgreesWithIconvOnTheDefinedBytes) {
  iconv_t cd = iconv_open("UTF-8", "CP1252");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  DES des;
  for (int b = 0; b < 256; ++b) {
    if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
    char in[1] = {static_cast<char>(b)};
    char out[8] = {};
    char *inPtr = in, *outPtr = out;
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
  DES des;
  const std::pair<const char*, const char*> cases[] = {
      {"00 00", "A0 1E"},
      {"12 34", "26 CF"},
      {"313233343536373839", "05 BF"},  // "123456789"
      {"", "63 63"},
      {"not hex", "63 63"}};
  for (const auto& [data, crc] : cases) EXPECT_EQ(des.CRC16(data), crc) << data;
}

}  // namespace
}  // namespace tarsin
