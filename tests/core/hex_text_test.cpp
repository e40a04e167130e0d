#include "core/hex_text.h"

#include <gtest/gtest.h>

namespace tarsin {
namespace {

struct IsHexCase {
  std::string text;
  int32_t length;
  std::string rewritten;
  bool result;
};

TEST(HexText, IsHexStringRewritesAndChecks) {
  const IsHexCase cases[] = {
      {"  a0 b1  ", 4, "A0B1", true}, {"  a0 b1  ", 6, "A0B1", false},
      {"", -1, "", true},             {"", 0, "", true},
      {"0g", -1, "0G", false},        {"ff ff ff ff ff ff", 12, "FFFFFFFFFFFF", true},
      {"12\t34", -1, "12\t34", false}, {"12", -5, "12", false},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(IsHexString(text, c.length), c.result) << '"' << c.text << "\" " << c.length;
    EXPECT_EQ(text, c.rewritten);
  }
}

TEST(HexText, HexToBytesReadsPiecesAndThenText) {
  EXPECT_EQ(HexToBytes("0G12"), (ByteVector{0x00, 0x12}));
  EXPECT_EQ(HexToBytes("FFCA000000"), (ByteVector{0xFF, 0xCA, 0x00, 0x00, 0x00}));
  EXPECT_EQ(HexToBytes("ABC"), (ByteVector{0xAB, 0x0C}));  // an odd last digit is read alone
  EXPECT_EQ(HexToBytes("", "AB"), (ByteVector{0x41, 0x42}));
  EXPECT_EQ(HexToBytes("0x", "\xE9"), (ByteVector{0x00, 0xE9}));
  EXPECT_TRUE(HexToBytes("").empty());
}

TEST(HexText, SplitResponseSeparatesDataFromStatus) {
  struct Case {
    ByteVector bytes;
    std::string data, status;
  } cases[] = {
      {{0x04, 0xA1, 0xB2, 0xC3, 0x90, 0x00}, "04A1B2C3", "9000"},
      {{0x90, 0x00}, "", "9000"},
      {{0x6A}, "", "6A"},
      {{}, "", ""},
      {{0x01, 0x91, 0xAF}, "01", "91AF"},
  };
  for (const auto& c : cases) {
    std::string data = "junk", status = "junk";
    SplitResponse(c.bytes, c.bytes.size(), data, status);
    EXPECT_EQ(data, c.data);
    EXPECT_EQ(status, c.status);
  }
}

TEST(HexText, SplitResponseNeverReadsPastTheBuffer) {
  const ByteVector bytes{0x01, 0x90, 0x00};
  std::string data, status;
  SplitResponse(bytes, 4096, data, status);
  EXPECT_EQ(data, "01");
  EXPECT_EQ(status, "9000");
}

TEST(HexText, TextToHexHonoursRangeAndSpacing) {
  const std::string atr("\x3B\x8F\x80\x01\x00", 5);
  int32_t to = -1;
  EXPECT_EQ(TextToHex(atr, 1, to, true), "3B 8F 80 01 00");
  EXPECT_EQ(to, 5);
  to = 3;
  EXPECT_EQ(TextToHex(atr, 2, to, false), "8F80");
  to = 99;
  EXPECT_EQ(TextToHex("AB", 0, to, true), "41 42");
  EXPECT_EQ(TextToHex("", true), "");
  EXPECT_EQ(BytesToHex(ByteVector{0x0A, 0xFF, 0x10}, 2), "0AFF");
}

}  // namespace
}  // namespace tarsin
