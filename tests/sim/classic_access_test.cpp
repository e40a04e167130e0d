// Every access-condition combination of a MIFARE Classic sector, checked through the reader
// against the card's published access tables.
#include "card/classic_access.h"

#include <gtest/gtest.h>

#include "card/mifare_classic.h"
#include "reader_fixture.h"

namespace tarsin::sim::testing {
namespace {

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

const char* Name(KeyType key) {
  return key == KeyType::kA ? "A" : "B";
}

class ClassicSector : public ::testing::Test {
 protected:
  // Sector 1 gets the given trailer; block 5 holds the value 100.
  void SetUpSector(const std::string& access_and_gpb) {
    auto card = std::make_unique<MifareClassic>(MifareClassic::Size::k1K, Bytes{1, 2, 3, 4});
    auto saved = card->Save();
    saved["blocks"][5] = ToHex(Block(ValueBlock(100, 5)));
    saved["blocks"][7] = std::string(kKeyA) + access_and_gpb + kKeyB;
    reader_.Insert(MifareClassic::Load(saved));
    ASSERT_EQ(Exchange(reader_, std::string("FF82200006") + kKeyA), "9000");
    ASSERT_EQ(Exchange(reader_, std::string("FF82200106") + kKeyB), "9000");
  }
  static Bytes Block(const MifareClassic::Block& block) {
    return Bytes(block.begin(), block.end());
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

struct DataRow {
  std::uint8_t code;
  const char *read, *write, *increment, *decrement;
};

// Published table of the data blocks (C1 C2 C3: read, write, increment, decrement/transfer).
constexpr DataRow kDataTable[] = {
    {0b000, "AB", "AB", "AB", "AB"}, {0b010, "AB", "-", "-", "-"},  {0b100, "AB", "B", "-", "-"},
    {0b110, "AB", "B", "B", "AB"},   {0b001, "AB", "-", "-", "AB"}, {0b011, "B", "B", "-", "-"},
    {0b101, "B", "-", "-", "-"},     {0b111, "-", "-", "-", "-"},
};

TEST_F(ClassicSector, DataBlockRightsFollowThePublishedTable) {
  const std::string value_block = ToHex(Block(ValueBlock(100, 5)));
  for (const auto& row : kDataTable) {
    for (KeyType key : {KeyType::kA, KeyType::kB}) {
      SCOPED_TRACE(::testing::Message() << "code " << int(row.code) << " key " << Name(key));
      // Trailer code 011 keeps key B secret, so that key B is a real key here.
      SetUpSector(AccessHex({0, row.code, 0, 0b011}) + "00");
      auto read = AfterAuthentication(key, 5, "FFB0000510");
      EXPECT_EQ(read, May(row.read, key) ? value_block + "9000" : "6982");
      // Increment by 0 and decrement by 0 keep the value, so every row starts alike.
      EXPECT_EQ(AfterAuthentication(key, 5, "FFD700050501 00000000"),
                May(row.increment, key) && May(row.decrement, key) ? "9000" : "6300");
      EXPECT_EQ(AfterAuthentication(key, 5, "FFD700050502 00000000"),
                May(row.decrement, key) ? "9000" : "6300");
      EXPECT_EQ(Sw(AfterAuthentication(key, 5, "FFD6000510" + value_block)),
                May(row.write, key) ? "9000" : "6982");
    }
  }
}

struct TrailerRow {
  std::uint8_t code;
  const char *key_a_write, *access_read, *access_write, *key_b_read, *key_b_write;
};

// Published table of the sector trailer; key A is never readable.
constexpr TrailerRow kTrailerTable[] = {
    {0b000, "A", "A", "-", "A", "A"},  {0b010, "-", "A", "-", "A", "-"},
    {0b100, "B", "AB", "-", "-", "B"}, {0b110, "-", "AB", "-", "-", "-"},
    {0b001, "A", "A", "A", "A", "A"},  {0b011, "B", "AB", "B", "-", "B"},
    {0b101, "-", "AB", "B", "-", "-"}, {0b111, "-", "AB", "-", "-", "-"},
};

TEST_F(ClassicSector, TrailerRightsFollowThePublishedTable) {
  for (const auto& row : kTrailerTable) {
    for (KeyType key : {KeyType::kA, KeyType::kB}) {
      SCOPED_TRACE(::testing::Message() << "code " << int(row.code) << " key " << Name(key));
      const std::string access = AccessHex({0, 0, 0, row.code}) + "69";
      SetUpSector(access);
      std::string expected_read =
          "000000000000" + access + (May(row.key_b_read, key) ? kKeyB : "000000000000") + "9000";
      EXPECT_EQ(AfterAuthentication(key, 7, "FFB0000710"),
                May(row.access_read, key) ? expected_read : "6982");

      const std::string new_access = AccessHex({0b100, 0, 0, row.code}) + "42";
      auto written =
          AfterAuthentication(key, 7, "FFD6000710111111111111" + new_access + "222222222222");
      bool any =
          May(row.key_a_write, key) || May(row.access_write, key) || May(row.key_b_write, key);
      EXPECT_EQ(written, any ? "9000" : "6982");
      std::string stored = ToHex(Block(Card().RawBlock(7)));
      EXPECT_EQ(stored.substr(0, 12), May(row.key_a_write, key) ? "111111111111" : kKeyA);
      EXPECT_EQ(stored.substr(12, 8), May(row.access_write, key) ? new_access : access);
      EXPECT_EQ(stored.substr(20), May(row.key_b_write, key) ? "222222222222" : kKeyB);
    }
  }
}

TEST_F(ClassicSector, KeyBThatIsReadableOpensNothing) {
  SetUpSector("FF078069");  // transport: key B is data
  EXPECT_EQ(AfterAuthentication(KeyType::kB, 4, "FFB0000410"), "6982");
  EXPECT_EQ(AfterAuthentication(KeyType::kA, 4, "FFB0000410"), std::string(32, '0') + "9000");
}

TEST_F(ClassicSector, InconsistentAccessBitsLockTheSectorForGood) {
  SetUpSector("FF078069");
  // Inverted copies that do not match: the card stores them and the sector is lost.
  EXPECT_EQ(AfterAuthentication(KeyType::kA, 7,
                                std::string("FFD6000710") + kKeyA + "FF0781" + "69" + kKeyB),
            "9000");
  EXPECT_EQ(Exchange(reader_, "FF86000005010004 6000"), "6300");
  EXPECT_EQ(Exchange(reader_, "FF86000005010004 6101"), "6300");
  // Other sectors are unaffected.
  EXPECT_EQ(Exchange(reader_, "FF82200006FFFFFFFFFFFF"), "9000");
  EXPECT_EQ(AfterAuthentication(KeyType::kA, 8, "FFB0000810"), std::string(32, '0') + "9000");
}

TEST(ClassicAccessBits, KnownEncodings) {
  struct Case {
    const char* bytes;
    std::array<std::uint8_t, 4> codes;
  } cases[] = {
      {"FF0780", {0, 0, 0, 0b001}},
      {"7F0788", {0, 0, 0, 0b011}},
      {"787788", {0b100, 0b100, 0b100, 0b011}},
      {"08778F", {0b110, 0b110, 0b110, 0b011}},
  };
  for (const auto& c : cases) {
    auto bytes = *FromHex(c.bytes);
    EXPECT_EQ(DecodeAccessBits(bytes[0], bytes[1], bytes[2]), c.codes) << c.bytes;
    auto encoded = EncodeAccessBits(c.codes);
    EXPECT_EQ(ToHex(Bytes(encoded.begin(), encoded.end())), c.bytes);
  }
  EXPECT_FALSE(DecodeAccessBits(0xFF, 0x07, 0x81));
}

}  // namespace
}  // namespace tarsin::sim::testing
