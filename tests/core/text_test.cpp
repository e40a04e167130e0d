// SPDX-License-Identifier: Apache-2.0
// The text helpers: hexadecimal text and bytes, and numbers read from text.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>

#include "core/hex_text.h"
#include "core/numeric_text.h"

namespace tarsin {
namespace {

TEST(HexText, IsHexStringRewritesAndChecks) {
  // The text, the length asked, the text rewritten, the result.
  const std::tuple<std::string, int32_t, std::string, bool> cases[] = {
      {"  a0 b1  ", 4, "A0B1", true},
      {"  a0 b1  ", 6, "A0B1", false},
      {"", -1, "", true},
      {"", 0, "", true},
      {"0g", -1, "0G", false},
      {"ff ff ff ff ff ff", 12, "FFFFFFFFFFFF", true},
      {"12\t34", -1, "12\t34", false},
      {"12", -5, "12", false}};
  for (const auto& [given, length, rewritten, result] : cases) {
    std::string text = given;
    EXPECT_EQ(IsHexString(text, length), result) << '"' << given << "\" " << length;
    EXPECT_EQ(text, rewritten);
  }
}

TEST(HexText, HexToBytesAndBack) {
  EXPECT_EQ(HexToBytes("0G12"), (ByteVector{0x00, 0x12}));
  EXPECT_EQ(HexToBytes("ABC"), (ByteVector{0xAB, 0x0C}));  // an odd last digit is read alone
  EXPECT_EQ(TextToHex(std::string("\x3B\x8F\x00", 3), true), "3B 8F 00");
  EXPECT_EQ(TextToHex("AB", false), "4142");
  EXPECT_EQ(BytesToHex(ByteVector{0x0A, 0xFF, 0x10}, 2), "0AFF");
}

constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(NumericValue, ReadsTheNumberAtTheStartOnly) {
  // No number at the start.
  for (const char* text : {"", "  ", "True", "- 7", "+-1", ".", "e5", "0x10", "& H1", "&H", "&HG1"})
    EXPECT_EQ(NumericValue(text), 0) << '"' << text << '"';
  const std::string zeros(400, '0');
  const std::pair<std::string, double> cases[] = {
      // Decimal, with the reading stopping at the first character that does not fit.
      {"  12abc", 12},
      {"\t3", 3},
      {"-7", -7},
      {"+.5", 0.5},
      {"5.", 5},
      {"1.2.3", 1.2},
      {"1,5", 1},
      {"2 3", 2},
      {"007", 7},
      // Exponent, taken only when it has digits.
      {"25e-1", 2.5},
      {"-2.5E+1", -25},
      {"1e", 1},
      {"1e-x", 1},
      {"1d2", 1},
      // Hexadecimal.
      {" &hff", 255},
      {"&H1F2G", 498},
      {"&HFFFFFFFF", 4294967295.0},
      // Beyond a double: saturated, never undefined.
      {"-1e400", -kInfinity},
      {"1" + zeros, kInfinity},
      {"1e99999999999999999999", kInfinity},
      {"&H" + std::string(300, 'F'), kInfinity},
      {"1e-400", 0},
      {"0." + zeros + "1", 0},
      {"0." + zeros + "1e500", 1e99},
      {zeros + "1", 1},
      {"0e99999", 0}};
  for (const auto& [text, value] : cases)
    EXPECT_EQ(NumericValue(text), value) << '"' << text.substr(0, 30) << '"';
}

// Halves to even: ConvertData's HalvesToEven, which rounds through it.
TEST(RoundToInt32, NothingBeyond32Bits) {
  EXPECT_EQ(RoundToInt32(2147483647.4), 2147483647);
  EXPECT_EQ(RoundToInt32(-2147483648.5), std::numeric_limits<int32_t>::min());
  for (double beyond :
       {2147483647.5, -2147483649.0, kInfinity, std::numeric_limits<double>::quiet_NaN()})
    EXPECT_EQ(RoundToInt32(beyond), std::nullopt) << beyond;
}

}  // namespace
}  // namespace tarsin
