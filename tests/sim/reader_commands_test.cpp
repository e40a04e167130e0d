// The PC/SC part-3 reader's answers for MIFARE Classic, Ultralight and DESFire cards: the status
// words and edge cases the component's MIFARE tests do not reach.
#include <gtest/gtest.h>

#include <random>

#include "card/card_factory.h"
#include "card/mifare_classic.h"
#include "card/mifare_ultralight.h"
#include "reader_fixture.h"

namespace tarsin::sim::testing {
namespace {

const Bytes kUid4{0x04, 0xA1, 0xB2, 0xC3};
const Bytes kUid7{0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};

TEST(Atr, StorageCardAtrsCarryTheirCheckByte) {
  EXPECT_EQ(ToHex(MifareClassic(MifareClassic::Size::k1K, kUid4).Atr()),
            "3B8F8001804F0CA000000306030001000000006A");
  EXPECT_EQ(ToHex(MifareClassic(MifareClassic::Size::k4K, kUid4).Atr()),
            "3B8F8001804F0CA0000003060300020000000069");
  EXPECT_EQ(ToHex(MifareUltralight(kUid7).Atr()), "3B8F8001804F0CA0000003060300030000000068");
  // As readers give for DESFire: historical byte 80 of the ATS.
  EXPECT_EQ(ToHex(LoadCard({{"type", "mifare-desfire-ev1-2k"}, {"uid", "04112233445566"}})->Atr()),
            "3B8180018080");
}

const std::string kAuthenticate4 = "FF860000050100046000";
const std::string kData = "00112233445566778899AABBCCDDEEFF";
const std::string kUltralightHeader = "041122BF3344556644480000";  // UID, BCC0, BCC1, lock bytes

// Commands in turn on a fresh card, each with the answer it gets (and why, where not obvious).
const struct {
  const char *card, *uid;
  std::vector<std::pair<std::string, std::string>> steps;
} kSessions[] = {
    {"mifare-classic-1k",
     "04A1B2C3",
     {
         {"FFCA000002", "6C04"},
         {"FFCA000008", "04A1B2C36282"},
         {"FFCA010000", "6A81"},  // no ATS on a memory card
         {"FFCA000100", "6B00"},
         {"FF82800006FFFFFFFFFFFF", "6982"},
         {"FF82200206FFFFFFFFFFFF", "6988"},
         {"FF82200005FFFFFFFFFF", "6989"},
         {"FF12000000", "6D00"},
         {"00A4040000", "6E00"},
         {"FFCA00", "6700"},
         {"FFB0000410", "6982"},  // never authenticated
         {"FF82200006FFFFFFFFFFFF", "9000"},
         {kAuthenticate4, "9000"},
         {"FFD6000410" + kData, "9000"},
         {"FFB0000400", kData + "9000"},
         {"FFB0000810", "6982"},  // other sector
         {"FFB0000410", "6982"},  // the refusal cost the session
         {kAuthenticate4, "9000"},
         {"FFB0000411", "6C10"},
         {kAuthenticate4, "9000"},
         {"FFD600041000112233", "6700"},  // Lc disagrees with the data
         {"FF860000050100086000", "9000"},
         {"FFB0000410", "6982"},  // another sector's authentication
         {"FF860000050100006000", "9000"},
         {"FFD6000010" + kData, "6982"},  // manufacturer block
         {"FFB0004010", "6A82"},
         {"FF82200006FFFFFFFFFFFE", "9000"},
         {"FF860000050100086000", "6300"},  // wrong key
         {"FFB0000810", "6982"},
         {"FF860000050100406000", "6581"},  // no block 64 on a 1K
         {"FF860000050100046200", "6986"},
         {"FF860000050100046001", "6984"},  // slot 1 never loaded
     }},
    {"mifare-classic-1k",
     "04A1B2C3",
     {
         {"FF82200006FFFFFFFFFFFF", "9000"},
         {kAuthenticate4, "9000"},
         {"FFD700040500000003E8", "9000"},  // store 1000
         // value, its inverse, value, address and its inverse twice
         {"FFB0000410", "E803000017FCFFFFE803000004FB04FB9000"},
         {"FFD70004050100000018", "9000"},  // + 24
         {"FFD700040502000003F4", "9000"},  // - 1012: -> 12
         {"FFB1000404", "0000000C9000"},
         {"FFD70004020305", "9000"},  // restore 4, transfer to 5
         {"FFB1000504", "0000000C9000"},
         {"FFD70006050100000001", "6300"},  // block 6 holds no value
         {kAuthenticate4, "9000"},
         {"FFD70004050200000010", "9000"},  // below zero is a value too
         {"FFB1000404", "FFFFFFFC9000"},
     }},
    // Reads, the 16-byte write and the reader's refused authentication: the component's tests.
    {"mifare-ultralight",
     "04112233445566",
     {
         {"FFB0000F10", "00000000" + kUltralightHeader + "9000"},  // wraps to page 0
         {"FFB0001010", "6A82"},
         {"FFD6000010" + kData, "6982"},  // serial number pages
         {"FFD600030401000000", "9000"},
         {"FFD600030402000000", "9000"},
         {"FFB0000304", "030000009000"},  // OTP bits add up
         {"FFD6000204FFFF1000", "9000"},  // lock page 4
         {"FFB0000204", "444810009000"},
         {"FFD6000410" + kData, "6982"},
         {"FFD600020400000200", "9000"},  // freeze lock bits of pages 4-9
         {"FFD600020400002000", "9000"},  // L5: ignored now
         {"FFD600050411223344", "9000"},
         {"FFB0000204", "444812009000"},
     }},
};

TEST(Reader, AnswersInTurn) {
  for (const auto& session : kSessions) {
    VirtualReader reader;
    reader.Insert(LoadCard({{"type", session.card}, {"uid", session.uid}}));
    for (const auto& [apdu, answer] : session.steps) {
      EXPECT_EQ(Exchange(reader, apdu), answer) << session.card << ": " << apdu;
    }
  }
}

TEST(ClassicReader, ManufacturerBlockForBothUidSizes) {
  MifareClassic four(MifareClassic::Size::k1K, kUid4);
  // UID, BCC, SAK, ATQA
  EXPECT_EQ(ToHex(Bytes(four.RawBlock(0).begin(), four.RawBlock(0).end())).substr(0, 16),
            "04A1B2C3D4080400");
  MifareClassic seven(MifareClassic::Size::k4K, kUid7);
  EXPECT_EQ(ToHex(Bytes(seven.RawBlock(0).begin(), seven.RawBlock(0).end())).substr(0, 20),
            "04112233445566184200");
  EXPECT_THROW(MifareClassic(MifareClassic::Size::k1K, Bytes{1, 2, 3}), std::invalid_argument);
}

TEST(ClassicReader, LargeSectorsOf4KGroupBlocksByFive) {
  auto saved = MifareClassic(MifareClassic::Size::k4K, kUid4).Save();
  // Sector 32 (blocks 128-143): group 1 = blocks 133-137 read-only (010).
  saved["blocks"][143] = "FFFFFFFFFFFFDF078269FFFFFFFFFFFF";
  VirtualReader reader;
  reader.Insert(LoadCard(saved));
  ASSERT_EQ(Exchange(reader, "FF82200006FFFFFFFFFFFF"), "9000");
  for (auto [block, writable] :
       {std::pair{"84", true}, {"85", false}, {"89", false}, {"8A", true}}) {
    ASSERT_EQ(Exchange(reader, std::string("FF860000050100") + block + "6000"), "9000");
    EXPECT_EQ(Exchange(reader, std::string("FFD600") + block + "10" + kData),
              writable ? "9000" : "6982")
        << block;
  }
  ASSERT_EQ(Exchange(reader, "FF8600000501008F6000"), "9000");  // trailer of sector 32
  EXPECT_EQ(Exchange(reader, "FFB0008F10"), "000000000000DF078269FFFFFFFFFFFF9000");
  EXPECT_EQ(Exchange(reader, "FFB000FF10"), "6982");  // block 255: sector 39
}

TEST(CardFactory, RebuildsSavedCardsAndRefusesMalformedOnes) {
  for (const auto& card :
       {MifareClassic(MifareClassic::Size::k4K, kUid7).Save(), MifareUltralight(kUid7).Save()}) {
    EXPECT_EQ(LoadCard(card)->Save(), card);
  }
  auto blank = LoadCard({{"type", "mifare-classic-1k"}, {"uid", "04A1B2C3"}});
  EXPECT_EQ(blank->Save()["blocks"][3], "FFFFFFFFFFFFFF078069FFFFFFFFFFFF");
  for (const char* bad :
       {R"({"type":"mifare-classic-1k"})", R"({"type":"no-such-card","uid":"01020304"})",
        R"({"type":"mifare-classic-1k","uid":"0102030G"})",
        R"({"type":"mifare-classic-1k","uid":"01020304","blocks":["00"]})",
        R"({"type":"mifare-ultralight","uid":"01020304"})", R"([1,2])", R"({"type":7})"}) {
    EXPECT_THROW(LoadCard(nlohmann::json::parse(bad)), std::invalid_argument) << bad;
  }
}

// Whatever bytes a client sends, the reader answers with a status word and the card stays sound.
TEST(ReaderRobustness, RandomCommandsAlwaysGetAStatusWord) {
  std::mt19937 random(20261206);
  for (const char* type : {"mifare-classic-1k", "mifare-classic-4k", "mifare-ultralight"}) {
    VirtualReader reader;
    reader.Insert(LoadCard({{"type", type}, {"uid", "04112233445566"}}));
    for (int round = 0; round < 20000; ++round) {
      // Mostly class FF with the instructions the reader knows, so that the checks get reached.
      Bytes apdu(random() % 24);
      for (auto& byte : apdu) byte = static_cast<std::uint8_t>(random());
      constexpr std::uint8_t kInstructions[] = {0xCA, 0x82, 0x86, 0xB0, 0xD6, 0xD7, 0xB1};
      if (apdu.size() > 1 && random() % 4) {
        apdu[0] = 0xFF;
        apdu[1] = kInstructions[random() % sizeof kInstructions];
      }
      Bytes answer = reader.Transmit(apdu);
      ASSERT_GE(answer.size(), 2u) << type;
      ASSERT_LE(answer.size(), 18u) << type;
    }
    EXPECT_NO_THROW(LoadCard(reader.card()->Save())) << type;  // the state still saves and loads
  }
}

}  // namespace
}  // namespace tarsin::sim::testing
