// Access bits and value blocks as bytes: the codes of the trailer and the rights they stand for.
#include "mifare/access_bits.h"

#include <gtest/gtest.h>

#include <climits>

#include "mifare/value_block.h"

namespace tarsin::mifare {
namespace {

constexpr std::string_view kCodes[8] = {"000", "001", "010", "011", "100", "101", "110", "111"};

// The code of block i as written in the three bytes, checked against its inverted copy.
std::string CodeOf(const AccessBytes& bytes, int i) {
  const int c1 = (bytes[1] >> (4 + i)) & 1;
  const int c2 = (bytes[2] >> i) & 1;
  const int c3 = (bytes[2] >> (4 + i)) & 1;
  EXPECT_EQ((bytes[0] >> i) & 1, !c1);
  EXPECT_EQ((bytes[0] >> (4 + i)) & 1, !c2);
  EXPECT_EQ((bytes[1] >> i) & 1, !c3);
  return {char('0' + c1), char('0' + c2), char('0' + c3)};
}

TEST(AccessBits, TransportConfigurationIsFF0780) {
  AccessBytes bytes{};
  for (int m : {1, 2, 4}) SetAccessBits("000", m, bytes);
  SetAccessBits("001", 8, bytes);
  EXPECT_EQ(bytes, (AccessBytes{0xFF, 0x07, 0x80}));
}

TEST(AccessBits, EveryCodeInEveryBlockSurvivesTheOthers) {
  for (int i = 0; i < 4; ++i) {
    for (int code = 0; code < 8; ++code) {
      AccessBytes bytes{0xFF, 0x07, 0x80};
      SetAccessBits(kCodes[code], 1 << i, bytes);
      EXPECT_EQ(AccessCode(bytes[1], bytes[2], i), code);
      for (int other = 0; other < 4; ++other) {
        EXPECT_EQ(CodeOf(bytes, other), other == i ? kCodes[code] : (other == 3 ? "001" : "000"));
      }
    }
  }
}

TEST(AccessBits, DecodingTableOfTheEightCodes) {
  struct Row {
    int dataRights;
    int keysUsed;
    int trailerRights;
  };
  constexpr Row kTable[8] = {{15, 1, 1}, {5, 1, 3}, {5, 1, 0},  {12, 2, 12},
                             {13, 2, 4}, {4, 2, 8}, {13, 2, 0}, {0, 2, 0}};
  for (int code = 0; code < 8; ++code) {
    SCOPED_TRACE(kCodes[code]);
    EXPECT_EQ(DataBlockRights(code), kTable[code].dataRights);
    EXPECT_EQ(TrailerKeysUsed(code), kTable[code].keysUsed);
    EXPECT_EQ(TrailerRights(code), kTable[code].trailerRights);
  }
}

// The code a data block gets for each security value, "" when the value is refused.
std::string EncodedBlockCode(const EncoderState& state, int32_t security, uint8_t keysUsed,
                             int32_t block = 4) {
  AccessBytes bytes{0xFF, 0x07, 0x80};
  if (!EncodeBlockAccess(state, security, keysUsed, 1, block, bytes)) {
    EXPECT_EQ(bytes, (AccessBytes{0xFF, 0x07, 0x80})) << "a refused value changed the bytes";
    return "";
  }
  return CodeOf(bytes, 0);
}

TEST(AccessBits, DataBlockCodesForEverySecurityValue) {
  EncoderState state;
  // Index: security value 0 to 15.
  const std::string keyAOnly[16] = {"111", "001", "000", "000", "111", "001", "000", "000",
                                    "111", "001", "000", "000", "111", "001", "000", "000"};
  const std::string keysAB[16] = {"111", "",    "",    "",    "101", "001", "",    "",
                                  "011", "100", "000", "000", "011", "100", "000", "000"};
  for (int32_t security = 0; security < 16; ++security) {
    SCOPED_TRACE(security);
    EXPECT_EQ(EncodedBlockCode(state, security, 1), keyAOnly[security]);
    EXPECT_EQ(EncodedBlockCode(state, security, 2), keysAB[security]);
  }
  EXPECT_EQ(EncodedBlockCode(state, 16, 2), "");
  EXPECT_EQ(EncodedBlockCode(state, -1, 2), "000") << "-1 keeps what the card has";
}

TEST(AccessBits, ValueBlocksAndOverridesChooseEntryEight) {
  EncoderState state;
  EXPECT_EQ(EncodedBlockCode(state, 13, 2, 8), "100") << "no list while the reader is closed";
  state.ValueBlocks.emplace({5, 8});
  EXPECT_EQ(EncodedBlockCode(state, 13, 2, 8), "110");
  EXPECT_EQ(EncodedBlockCode(state, 9, 2, 9), "100");
  state.AccessConditions[7] = "100";
  EXPECT_EQ(EncodedBlockCode(state, 13, 2, 8), "100");
  state.AccessConditions[0] = "010";
  EXPECT_EQ(EncodedBlockCode(state, 0, 1), "010");
}

TEST(AccessBits, TrailerCodes) {
  struct Case {
    int32_t conditions;
    uint8_t keysUsed;
    std::string code;  // "" refused
  };
  const Case cases[] = {{0, 2, "111"}, {4, 2, "100"}, {8, 2, "101"},  {12, 2, "011"}, {1, 2, ""},
                        {6, 2, ""},    {15, 2, ""},   {0, 1, "010"},  {4, 1, "010"},  {1, 1, "000"},
                        {2, 1, "001"}, {3, 1, "001"}, {13, 1, "000"}, {-1, 2, "001"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.conditions << " keys " << int(c.keysUsed));
    AccessBytes bytes{0xFF, 0x07, 0x80};
    const bool valid = EncodeTrailerAccess(c.conditions, c.keysUsed, 8, bytes);
    EXPECT_EQ(valid, !c.code.empty());
    if (valid) {
      EXPECT_EQ(CodeOf(bytes, 3), c.code);
    }
  }
}

TEST(ValueBlock, LayoutOfTypicalAndExtremeValues) {
  const std::pair<int32_t, std::string> cases[] = {
      {1, "01000000FEFFFFFF01000000FF00FF00"},
      {0x12345678, "7856341287A9CBED78563412FF00FF00"},
      {0, "00000000FFFFFFFF00000000FF00FF00"},
      {-1, "FFFFFFFF00000000FFFFFFFFFF00FF00"},
      {INT_MIN, "00000080FFFFFF7F00000080FF00FF00"},
  };
  for (const auto& [value, digits] : cases) EXPECT_EQ(ValueBlockDigits(value), digits) << value;
}

}  // namespace
}  // namespace tarsin::mifare
