// SPDX-License-Identifier: Apache-2.0
// The reader's status words for MIFARE Classic and Ultralight, and the published access tables.
#include <gtest/gtest.h>

#include <tuple>

#include "card/card_factory.h"
#include "card/classic_access.h"
#include "card/mifare_classic.h"
#include "reader/virtual_reader.h"

namespace tarsin::sim::testing {
namespace {

std::string Exchange(VirtualReader& reader, const std::string& apdu_hex) {
  return ToHex(reader.Transmit(FromHex(apdu_hex).value()));
}

Bytes Block(const MifareClassic::Block& block) {
  return Bytes(block.begin(), block.end());
}

const std::string kData = "00112233445566778899AABBCCDDEEFF";
const std::string kUltralightHeader = "041122BF3344556644480000";  // UID, BCC0, BCC1, lock bytes

// On a fresh card (type and UID), commands in turn, each followed by the answer it gets.
const std::pair<std::string, std::vector<std::string>> kSessions[] = {
    // Le short and long, no ATS, bad P1/P2/Lc, unknown INS and CLA; reads never or elsewhere
    // authenticated, a refusal costs the session; manufacturer block, wrong key, no block 64,
    // unknown key type and an empty key slot.
    {"mifare-classic-1k 04A1B2C3",
     {"FFCA000002 6C04", "FFCA000008 04A1B2C36282", "FFCA010000 6A81", "FFCA000100 6B00",
      "FF82800006FFFFFFFFFFFF 6982", "FF82200206FFFFFFFFFFFF 6988", "FF82200005FFFFFFFFFF 6989",
      "FF12000000 6D00", "00A4040000 6E00", "FFCA00 6700", "FFB0000410 6982"}},
    {"mifare-classic-1k 04A1B2C3",
     {"FF82200006FFFFFFFFFFFF 9000", "FF860000050100046000 9000", "FFD6000410" + kData + " 9000",
      "FFB0000400 " + kData + "9000", "FFB0000810 6982", "FFB0000410 6982",
      "FF860000050100046000 9000", "FFB0000411 6C10", "FF860000050100046000 9000",
      "FFD600041000112233 6700"}},
    {"mifare-classic-1k 04A1B2C3",
     {"FF82200006FFFFFFFFFFFF 9000", "FF860000050100086000 9000", "FFB0000410 6982",
      "FF860000050100006000 9000", "FFD6000010" + kData + " 6982", "FFB0004010 6A82",
      "FF82200006FFFFFFFFFFFE 9000", "FF860000050100086000 6300", "FFB0000810 6982",
      "FF860000050100406000 6581", "FF860000050100046200 6986", "FF860000050100046001 6984"}},
    // Value block 1000 (value, inverse, value, address twice) + 24 - 1012, restore 4 to 5; block 6
    // holds no value; below zero is a value too.
    {"mifare-classic-1k 04A1B2C3",
     {"FF82200006FFFFFFFFFFFF 9000", "FF860000050100046000 9000", "FFD700040500000003E8 9000",
      "FFB0000410 E803000017FCFFFFE803000004FB04FB9000", "FFD70004050100000018 9000",
      "FFD700040502000003F4 9000", "FFB1000404 0000000C9000", "FFD70004020305 9000",
      "FFB1000504 0000000C9000", "FFD70006050100000001 6300", "FF860000050100046000 9000",
      "FFD70004050200000010 9000", "FFB1000404 FFFFFFFC9000"}},
    // Sector 32 of a 4K (blocks 128-143): group 1 = blocks 133-137 read-only (010); 255 is 39's.
    {"mifare-classic-4k 04A1B2C3",
     {"FF82200006FFFFFFFFFFFF 9000", "FF8600000501008F6000 9000",
      "FFD6008F10FFFFFFFFFFFFDF078269FFFFFFFFFFFF 9000", "FF860000050100846000 9000",
      "FFD6008410" + kData + " 9000", "FF860000050100856000 9000", "FFD6008510" + kData + " 6982",
      "FF860000050100896000 9000", "FFD6008910" + kData + " 6982", "FF8600000501008A6000 9000",
      "FFD6008A10" + kData + " 9000", "FF8600000501008F6000 9000",
      "FFB0008F10 000000000000DF078269FFFFFFFFFFFF9000", "FFB000FF10 6982"}},
    // Reads wrap to page 0; serial pages refused; OTP bits add up; lock page 4, freeze the lock
    // bits of pages 4-9 (L5 then ignored). Reads, writes, refused authentication: the component's.
    {"mifare-ultralight 04112233445566",
     {"FFB0000F10 00000000" + kUltralightHeader + "9000", "FFB0001010 6A82",
      "FFD6000010" + kData + " 6982", "FFD600030401000000 9000", "FFD600030402000000 9000",
      "FFB0000304 030000009000", "FFD6000204FFFF1000 9000", "FFB0000204 444810009000",
      "FFD6000410" + kData + " 6982", "FFD600020400000200 9000", "FFD600020400002000 9000",
      "FFD600050411223344 9000", "FFB0000204 444812009000"}},
};

TEST(Reader, AnswersInTurn) {
  for (const auto& [card, steps] : kSessions) {
    VirtualReader reader;
    const size_t space = card.find(' ');
    reader.Insert(LoadCard({{"type", card.substr(0, space)}, {"uid", card.substr(space + 1)}}));
    for (const std::string& step : steps) {
      const size_t answer = step.rfind(' ');
      EXPECT_EQ(Exchange(reader, step.substr(0, answer)), step.substr(answer + 1))
          << card << ": " << step;
    }
  }
}

TEST(CardFactory, ManufacturerBlockForBothUidSizesAndMalformedCardsRefused) {
  MifareClassic four(MifareClassic::Size::k1K, {0x04, 0xA1, 0xB2, 0xC3});
  // UID, BCC, SAK, ATQA
  EXPECT_EQ(ToHex(Block(four.RawBlock(0))).substr(0, 16), "04A1B2C3D4080400");
  MifareClassic seven(MifareClassic::Size::k4K, {0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
  EXPECT_EQ(ToHex(Block(seven.RawBlock(0))).substr(0, 20), "04112233445566184200");
  EXPECT_THROW(MifareClassic(MifareClassic::Size::k1K, Bytes{1, 2, 3}), std::invalid_argument);
  for (const char* bad :
       {R"({"type":"mifare-classic-1k"})", R"({"type":"no-such-card","uid":"01020304"})",
        R"({"type":"mifare-classic-1k","uid":"0102030G"})",
        R"({"type":"mifare-classic-1k","uid":"01020304","blocks":["00"]})",
        R"({"type":"mifare-ultralight","uid":"01020304"})", R"([1,2])", R"({"type":7})"})
    EXPECT_THROW(LoadCard(nlohmann::json::parse(bad)), std::invalid_argument) << bad;
}

constexpr char kKeyA[] = "A0A1A2A3A4A5";
constexpr char kKeyB[] = "B0B1B2B3B4B5";

std::string AccessHex(std::array<std::uint8_t, 4> codes) {
  auto bytes = EncodeAccessBits(codes);
  return ToHex(Bytes(bytes.begin(), bytes.end()));
}

// "A", "B", "AB" or "-": who may, as the datasheet tables write it.
bool May(const std::string& who, KeyType key) {
  return who == "AB" || (who == "A" && key == KeyType::kA) || (who == "B" && key == KeyType::kB);
}

class ClassicSector : public ::testing::Test {
 protected:
  // Sector 1 gets the given trailer; block 5 holds the value 100.
  void SetUpSector(const std::string& access_and_gpb) {
    auto saved = MifareClassic(MifareClassic::Size::k1K, Bytes{1, 2, 3, 4}).Save();
    saved["blocks"][5] = ToHex(Block(ValueBlock(100, 5)));
    saved["blocks"][7] = std::string(kKeyA) + access_and_gpb + kKeyB;
    reader_.Insert(MifareClassic::Load(saved));
    ASSERT_EQ(Exchange(reader_, std::string("FF82200006") + kKeyA), "9000");
    ASSERT_EQ(Exchange(reader_, std::string("FF82200106") + kKeyB), "9000");
  }
  // Authenticates block `block` with key A (slot 0) or B (slot 1), then sends `apdu`.
  std::string AfterAuthentication(KeyType key, unsigned block, const std::string& apdu) {
    char auth[32];
    std::snprintf(auth, sizeof auth, "FF860000050100%02X%s", block,
                  key == KeyType::kA ? "6000" : "6101");
    EXPECT_EQ(Exchange(reader_, auth), "9000");
    return Exchange(reader_, apdu);
  }
  const MifareClassic& Card() { return *static_cast<const MifareClassic*>(reader_.card()); }

  VirtualReader reader_;
};

// Published table of the data blocks (C1 C2 C3: read, write, increment, decrement/transfer).
constexpr std::tuple<std::uint8_t, const char*, const char*, const char*, const char*>
    kDataTable[] = {
        {0b000, "AB", "AB", "AB", "AB"}, {0b010, "AB", "-", "-", "-"},
        {0b100, "AB", "B", "-", "-"},    {0b110, "AB", "B", "B", "AB"},
        {0b001, "AB", "-", "-", "AB"},   {0b011, "B", "B", "-", "-"},
        {0b101, "B", "-", "-", "-"},     {0b111, "-", "-", "-", "-"},
};

TEST_F(ClassicSector, DataBlockRightsFollowThePublishedTable) {
  const std::string value_block = ToHex(Block(ValueBlock(100, 5)));
  for (const auto& [code, read, write, increment, decrement] : kDataTable)
    for (KeyType key : {KeyType::kA, KeyType::kB}) {
      SCOPED_TRACE(::testing::Message()
                   << "code " << int(code) << (key == KeyType::kA ? " key A" : " key B"));
      // Trailer code 011 keeps key B secret, so that key B is a real key here.
      SetUpSector(AccessHex({0, code, 0, 0b011}) + "00");
      EXPECT_EQ(AfterAuthentication(key, 5, "FFB0000510"),
                May(read, key) ? value_block + "9000" : "6982");
      // Increment by 0 and decrement by 0 keep the value, so every row starts alike.
      EXPECT_EQ(AfterAuthentication(key, 5, "FFD700050501 00000000"),
                May(increment, key) && May(decrement, key) ? "9000" : "6300");
      EXPECT_EQ(AfterAuthentication(key, 5, "FFD700050502 00000000"),
                May(decrement, key) ? "9000" : "6300");
      EXPECT_EQ(AfterAuthentication(key, 5, "FFD6000510" + value_block),
                May(write, key) ? "9000" : "6982");
    }
}

// Published table of the sector trailer: key A write, access bits read and write, key B read and
// write; key A is never readable.
constexpr std::tuple<std::uint8_t, const char*, const char*, const char*, const char*, const char*>
    kTrailerTable[] = {
        {0b000, "A", "A", "-", "A", "A"},  {0b010, "-", "A", "-", "A", "-"},
        {0b100, "B", "AB", "-", "-", "B"}, {0b110, "-", "AB", "-", "-", "-"},
        {0b001, "A", "A", "A", "A", "A"},  {0b011, "B", "AB", "B", "-", "B"},
        {0b101, "-", "AB", "B", "-", "-"}, {0b111, "-", "AB", "-", "-", "-"},
};

TEST_F(ClassicSector, TrailerRightsFollowThePublishedTable) {
  for (const auto& [code, key_a_write, access_read, access_write, key_b_read, key_b_write] :
       kTrailerTable)
    for (KeyType key : {KeyType::kA, KeyType::kB}) {
      SCOPED_TRACE(::testing::Message()
                   << "code " << int(code) << (key == KeyType::kA ? " key A" : " key B"));
      const std::string access = AccessHex({0, 0, 0, code}) + "69";
      SetUpSector(access);
      std::string expected_read =
          "000000000000" + access + (May(key_b_read, key) ? kKeyB : "000000000000") + "9000";
      EXPECT_EQ(AfterAuthentication(key, 7, "FFB0000710"),
                May(access_read, key) ? expected_read : "6982");

      const std::string new_access = AccessHex({0b100, 0, 0, code}) + "42";
      auto written =
          AfterAuthentication(key, 7, "FFD6000710111111111111" + new_access + "222222222222");
      bool any = May(key_a_write, key) || May(access_write, key) || May(key_b_write, key);
      EXPECT_EQ(written, any ? "9000" : "6982");
      std::string stored = ToHex(Block(Card().RawBlock(7)));
      EXPECT_EQ(stored.substr(0, 12), May(key_a_write, key) ? "111111111111" : kKeyA);
      EXPECT_EQ(stored.substr(12, 8), May(access_write, key) ? new_access : access);
      EXPECT_EQ(stored.substr(20), May(key_b_write, key) ? "222222222222" : kKeyB);
    }
}

// Readable key B opens nothing; mismatched inverted access bits lose the sector for good.
TEST_F(ClassicSector, ReadableKeyBAndInconsistentAccessBits) {
  SetUpSector("FF078069");
  EXPECT_EQ(AfterAuthentication(KeyType::kB, 4, "FFB0000410"), "6982");
  EXPECT_EQ(AfterAuthentication(KeyType::kA, 4, "FFB0000410"), std::string(32, '0') + "9000");
  EXPECT_EQ(AfterAuthentication(KeyType::kA, 7,
                                std::string("FFD6000710") + kKeyA + "FF0781" + "69" + kKeyB),
            "9000");
  EXPECT_EQ(Exchange(reader_, "FF86000005010004 6000"), "6300");
  EXPECT_EQ(Exchange(reader_, "FF86000005010004 6101"), "6300");
  EXPECT_EQ(Exchange(reader_, "FF82200006FFFFFFFFFFFF"), "9000");
  EXPECT_EQ(AfterAuthentication(KeyType::kA, 8, "FFB0000810"), std::string(32, '0') + "9000");
}

// Published encodings, both ways: the tables above build their trailers with the encoder.
TEST(ClassicAccessBits, KnownEncodings) {
  const std::pair<const char*, std::array<std::uint8_t, 4>> cases[] = {
      {"FF0780", {0, 0, 0, 0b001}},
      {"7F0788", {0, 0, 0, 0b011}},
      {"787788", {0b100, 0b100, 0b100, 0b011}},
      {"08778F", {0b110, 0b110, 0b110, 0b011}},
  };
  for (const auto& [hex, codes] : cases) {
    auto bytes = *FromHex(hex);
    EXPECT_EQ(DecodeAccessBits(bytes[0], bytes[1], bytes[2]), codes) << hex;
    EXPECT_EQ(AccessHex(codes), hex);
  }
  EXPECT_FALSE(DecodeAccessBits(0xFF, 0x07, 0x81));
}

}  // namespace
}  // namespace tarsin::sim::testing
