// SPDX-License-Identifier: Apache-2.0
// MIFARE operations on the virtual cards: frames, answers, saved memory and LastError per path.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>
#include <tuple>

#include "automation/dispatch.h"
#include "support/virtual_reader.h"

namespace tarsin {
namespace {

inline constexpr const char* kTransport = "FFFFFFFFFFFF";
inline constexpr const char* kKeyA = "A0A1A2A3A4A5";
inline constexpr const char* kKeyB = "B0B1B2B3B4B5";
inline constexpr uint8_t kUseKeyA = 1;  // for reads and for writes
inline constexpr uint8_t kReadWithB = 0;
inline constexpr uint8_t kWriteWithB = 2;

struct Rights {
  uint8_t keysUsed = 0;
  SCBS_SecurityLevelEnum security[3] = {};
  SCSS_SecurityLevelEnum conditions = {};
  uint8_t bx = 0;
};

class Mifare : public testing::VirtualReaderTest {
 protected:
  void SetUp() override {
    VirtualReaderTest::SetUp();
    Open(encoder_);
  }

  // Reopens on a card of another kind, in a reader with the `settings` given.
  void UseCard(const nlohmann::json& card,
               const nlohmann::json& settings = nlohmann::json::object()) {
    encoder_.CloseEncoder();
    nlohmann::json reader = testing::Reader(testing::kReader, card);
    reader.update(settings);
    readers_.WriteReaders({reader});
    Open(encoder_);
  }

  // The card's saved memory, read apart from the component ("" while it was never written).
  std::string CardBlock(int block) const {
    const nlohmann::json card = readers_.Read()["readers"][0]["card"];
    return card.contains("blocks") ? card["blocks"][block].get<std::string>() : "";
  }

  Rights ReadRights(int sector, const std::string& key = kKeyA, uint8_t keyType = kUseKeyA) {
    Rights r;
    EXPECT_EQ(encoder_.MifareReadSectorTrailer(sector, key, keyType, r.keysUsed, r.security[0],
                                               r.security[1], r.security[2], r.conditions, r.bx),
              scesuccess)
        << encoder_.LastError()->Description;
    return r;
  }

  // Through the transport key A: new key A `keyA`, key B kKeyB, the rights as numbers.
  sceReturnCode WriteTrailer(int sector, const char* keyA, uint8_t keysUsed,
                             std::array<int32_t, 3> data, int32_t trailer) {
    return encoder_.MifareWriteSectorTrailer(
        sector, kTransport, kUseKeyA, keyA, kKeyB, keysUsed,
        static_cast<SCBS_SecurityLevelEnum>(data[0]), static_cast<SCBS_SecurityLevelEnum>(data[1]),
        static_cast<SCBS_SecurityLevelEnum>(data[2]), static_cast<SCSS_SecurityLevelEnum>(trailer));
  }

  // The code C1C2C3 of block `i` of the trailer saved at `trailerBlock`.
  std::string AccessCodeOfBlock(int trailerBlock, int i) const {
    const std::string trailer = CardBlock(trailerBlock);
    const int byte7 = std::stoi(trailer.substr(14, 2), nullptr, 16);
    const int byte8 = std::stoi(trailer.substr(16, 2), nullptr, 16);
    return {char('0' + ((byte7 >> (4 + i)) & 1)), char('0' + ((byte8 >> i) & 1)),
            char('0' + ((byte8 >> (4 + i)) & 1))};
  }

  void ExpectError(uint32_t number, const std::string& function, const std::string& command,
                   const std::string& retCode) {
    const CError& e = *encoder_.LastError();
    EXPECT_EQ(static_cast<uint32_t>(e.Number), number) << e.Description;
    EXPECT_EQ(e.ComFunction, function);
    EXPECT_EQ(e.RdrCommand, command);
    EXPECT_EQ(e.RdrRetCode, retCode);
  }

  Encoder encoder_;
};

inline std::string Digits(int block) {
  return fmt::format("{:02X}{:030X}", block, 0xC0FFEE);
}

TEST_F(Mifare, SerialNumberAndManufacturerBlock) {
  std::string uid = "old";
  EXPECT_EQ(encoder_.ReadSerialNumber(uid), scesuccess);
  EXPECT_EQ(uid, "04A1B2C3");
  EXPECT_EQ(encoder_.LastError()->ComFunction, "ReadSerialNumber");

  int32_t serial = 1;
  uint8_t check = 1;
  std::string info;
  // Separators in the key are dropped.
  EXPECT_EQ(encoder_.ReadManufacturerCode("ff ff,ff\tff ff ff", kUseKeyA, serial, check, info),
            scesuccess);
  EXPECT_EQ(serial, 0x04A1B2C3);
  EXPECT_EQ(check, 0x04 ^ 0xA1 ^ 0xB2 ^ 0xC3);
  EXPECT_EQ(info, CardBlock(0).substr(10));  // the 11 bytes after the serial and its check
  EXPECT_EQ(encoder_.LastError()->ComFunction, "MifareReadManufacturerCode");

  UseCard(testing::Classic1K("C1020304"));
  EXPECT_EQ(encoder_.MifareReadManufacturerCode(kTransport, kUseKeyA, serial, check, info),
            scesuccess);
  EXPECT_EQ(serial, static_cast<int32_t>(0xC1020304)) << "a first byte of 80 or more is negative";
}

TEST_F(Mifare, TheCommandsSentForOneRead) {
  const size_t start = LogSize();
  std::string contents;
  ASSERT_EQ(encoder_.MifareReadDataBloc(256 + 63, kTransport, kReadWithB, contents), sceError);
  EXPECT_EQ(SentFrames(start),
            (std::vector<std::string>{"FF82200006FFFFFFFFFFFF", "FF8600000501013F6100"}));
}

// Sectors 32 to 39 of a 4K have 16 blocks and their trailer at the end; the trailer operations
// still take block 4 x sector + 3, which there is a data block.
TEST_F(Mifare, Sector32OfA4KIsReachedThroughADataBlock) {
  UseCard({{"type", "mifare-classic-4k"}, {"uid", "04A1B2C3"}});
  const Rights rights = ReadRights(32, kTransport);
  const std::string trailer = CardBlock(143);
  EXPECT_EQ(rights.keysUsed, 1) << "block 131 holds zeros, read as code 000";
  EXPECT_EQ(rights.conditions, scss_A_WriteKeys);
  ASSERT_EQ(WriteTrailer(32, kKeyA, 2, {scbs_B_ReadWrite, scbs_B_ReadWrite, scbs_B_ReadWrite},
                         scss_B_WriteKeysConditions),
            scesuccess);
  EXPECT_EQ(CardBlock(131).substr(0, 12), kKeyA) << "the keys went into a data block";
  EXPECT_EQ(CardBlock(143), trailer) << "the real trailer is unchanged";
  std::string contents;
  EXPECT_EQ(encoder_.MifareReadDataBloc(128, kTransport, kUseKeyA, contents), scesuccess);
}

TEST_F(Mifare, TrailerDecodingOfTheEightCodes) {
  // Per code: the data blocks' rights, the keys used, the trailer's rights.
  const int table[8][3] = {{15, 1, 1}, {5, 1, 3}, {5, 1, 0},  {12, 2, 12},
                           {13, 2, 4}, {4, 2, 8}, {13, 2, 0}, {0, 2, 0}};
  for (int code = 0; code < 8; ++code) {
    // The code in all four blocks of sector 1 + code; key A may always read the access bits.
    const auto nibble = [&](int bit, bool inverted) {
      return ((code >> bit) & 1) != inverted ? 0xF : 0;
    };
    const int byte6 = nibble(1, true) << 4 | nibble(2, true);
    const int byte7 = nibble(2, false) << 4 | nibble(0, true);
    const int byte8 = nibble(0, false) << 4 | nibble(1, false);
    std::string contents =
        fmt::format("{}{:02X}{:02X}{:02X}42{}", kTransport, byte6, byte7, byte8, kKeyB);
    const int sector = 1 + code;
    ASSERT_EQ(encoder_.MifareWriteDataBloc(4 * sector + 3, kTransport, kUseKeyA, contents),
              scesuccess);
    const Rights rights = ReadRights(sector, kTransport);
    SCOPED_TRACE(code);
    const auto& [dataRights, keysUsed, trailerRights] = table[code];
    for (auto security : rights.security) EXPECT_EQ(security, dataRights);
    EXPECT_EQ(rights.keysUsed, keysUsed);
    EXPECT_EQ(rights.conditions, trailerRights);
    EXPECT_EQ(rights.bx, 0x42);
  }
}

TEST_F(Mifare, EveryValidCombinationReadsBackAndIsEnforced) {
  // Every data-block and trailer value valid with each key use; one sector each.
  const std::tuple<uint8_t, std::array<int32_t, 3>, int32_t> combinations[] = {
      {2, {0, 4, 5}, 0},    {2, {8, 12, 9}, 4},   {2, {13, 10, 11}, 8}, {2, {14, 15, 13}, 12},
      {1, {0, 1, 2}, 0},    {1, {3, 4, 5}, 1},    {1, {6, 7, 8}, 2},    {1, {9, 10, 11}, 3},
      {1, {12, 13, 14}, 3}, {1, {15, 15, 15}, 1},
  };
  // The rights each asked value reads back with: the full meaning of the code it gets.
  const auto readBack = [](int32_t security, uint8_t keysUsed) {
    constexpr int kWithKeyA[4] = {0, 5, 15, 15};
    constexpr int kWithKeyB[16] = {0, 1, 2, 3, 4, 5, 6, 7, 12, 13, 15, 15, 12, 13, 15, 15};
    return keysUsed == 1 ? kWithKeyA[security & 3] : kWithKeyB[security];
  };
  const auto ok = [](sceReturnCode result) { return result == scesuccess ? 1 : 0; };
  int sector = 1;
  for (const auto& [keysUsed, security, conditions] : combinations) {
    SCOPED_TRACE(::testing::Message() << "sector " << sector);
    ASSERT_EQ(WriteTrailer(sector, kKeyA, keysUsed, security, conditions), scesuccess)
        << encoder_.LastError()->Description;
    const Rights rights = ReadRights(sector);
    EXPECT_EQ(rights.keysUsed, keysUsed);
    EXPECT_EQ(rights.conditions, keysUsed == 1 && conditions == 2 ? 3 : conditions);
    for (int i = 0; i < 3; ++i) {
      const int32_t block = 4 * sector + i;
      const int expected = readBack(security[i], keysUsed);
      EXPECT_EQ(rights.security[i], expected) << "block " << block;
      std::string data, write = Digits(block);
      // What the card lets each key do, as the rights' bits: key A read 1, write 2; key B 4, 8.
      int actual = ok(encoder_.MifareReadDataBloc(block, kKeyA, kUseKeyA, data));
      actual |= ok(encoder_.MifareWriteDataBloc(block, kKeyA, kUseKeyA, write)) << 1;
      if (keysUsed == 2) {
        actual |= ok(encoder_.MifareReadDataBloc(block, kKeyB, kReadWithB, data)) << 2;
        actual |= ok(encoder_.MifareWriteDataBloc(block, kKeyB, kWriteWithB, write)) << 3;
      }
      EXPECT_EQ(actual, keysUsed == 1 ? expected & 3 : expected) << "block " << block;
    }
    ++sector;
  }
}

TEST_F(Mifare, InvalidCombinationsWriteNothing) {
  using Case = std::tuple<const char*, uint8_t, int32_t, int32_t, std::optional<Variant>, uint32_t>;
  const Case cases[] = {
      {"B0B1B2B3B4B", 2, 15, 12, {}, 0x90010B30},
      {kKeyB, 2, 3, 12, {}, 0x90010B32},
      {kKeyB, 2, 16, 12, {}, 0x90010B32},
      {kKeyB, 2, -2, 12, {}, 0x90010B32},
      {kKeyB, 2, 15, 6, {}, 0x90010B32},
      {kKeyB, 2, 15, 16, {}, 0x90010B32},
      {kKeyB, 2, 15, 12, Variant(int32_t{256}), 0x90010B05},
      {kKeyB, 2, 15, 12, Variant("abc"), 0x90010B05},
  };
  std::string uid;
  ASSERT_EQ(encoder_.ReadSerialNumber(uid), scesuccess);  // the card saves its memory
  const std::string before = CardBlock(7);
  ASSERT_EQ(before.size(), 32u);
  for (const auto& [keyB, keysToUse, security0, conditions, bx, number] : cases) {
    SCOPED_TRACE(number);
    EXPECT_EQ(encoder_.WriteSectorTrailer(1, kTransport, kUseKeyA, kKeyA, keyB, keysToUse,
                                          static_cast<SCBS_SecurityLevelEnum>(security0),
                                          scbs_B_ReadWrite, scbs_B_ReadWrite,
                                          static_cast<SCSS_SecurityLevelEnum>(conditions), bx),
              sceError);
    ExpectError(number, "MifareWriteSectorTrailer", "", "");
    EXPECT_EQ(CardBlock(7), before);
  }
  // The same value is valid when only key A is used.
  EXPECT_EQ(WriteTrailer(1, kKeyA, 1, {3, scbs_A_ReadWrite, scbs_A_ReadWrite},
                         scss_A_WriteKeysConditions),
            scesuccess);
}

TEST_F(Mifare, ValueBlocksAreKeptPerOpening) {
  const std::pair<int32_t, std::string> values[] = {
      {1, "01000000FEFFFFFF01000000FF00FF00"},
      {0x12345678, "7856341287A9CBED78563412FF00FF00"},
      {0, "00000000FFFFFFFF00000000FF00FF00"},
      {-1, "FFFFFFFF00000000FFFFFFFFFF00FF00"},
      {INT_MIN, "00000080FFFFFF7F00000080FF00FF00"},
  };
  for (const auto& [value, digits] : values) {
    ASSERT_EQ(encoder_.WriteValueBloc(4, kTransport, kUseKeyA, value), scesuccess);
    EXPECT_EQ(CardBlock(4), digits);
  }
  const auto writeWithValueRights = [&](const char* key, uint8_t keyType) {
    return encoder_.MifareWriteSectorTrailer(
        1, key, keyType, kTransport, kKeyB, 2, static_cast<SCBS_SecurityLevelEnum>(13),
        static_cast<SCBS_SecurityLevelEnum>(13), scbs_B_ReadWrite, scss_B_WriteKeysConditions);
  };
  ASSERT_EQ(writeWithValueRights(kTransport, kUseKeyA), scesuccess);
  // Block 4 was written as a value block in this opening (code 110), block 5 was not (100).
  EXPECT_EQ(CardBlock(7).substr(12, 6), "2C33CD");

  // Recorded even when the write fails for want of a card, and forgotten at the next opening.
  encoder_.CloseEncoder();
  SetCardPresent(false);
  EXPECT_EQ(encoder_.OpenEncoder(0), scesuccess);
  EXPECT_EQ(encoder_.MifareWriteValueBloc(5, kTransport, kUseKeyA, 7), sceError);
  SetCardPresent(true);
  ASSERT_EQ(writeWithValueRights(kKeyB, kWriteWithB), scesuccess);
  EXPECT_EQ(CardBlock(7).substr(12, 6), "1C33CE");
}

// Failure paths: what LastError says, what the caller's variables hold, what the card keeps.
constexpr uint32_t kCommandFailed = 0x90010F04;
const std::string kAuthenticateTrail =
    "MifareAuthenticate:EncoderCommand:SCardTransmit:GeneralAuthenticate";

TEST_F(Mifare, NoCardInTheField) {
  encoder_.CloseEncoder();
  SetCardPresent(false);
  ASSERT_EQ(encoder_.OpenEncoder(0), scesuccess);
  const std::string noCard = encoder_.LastError()->RdrRetCode;
  ASSERT_FALSE(noCard.empty());

  std::string serial = "kept?";
  EXPECT_EQ(encoder_.ReadSerialNumber(serial), sceError);
  EXPECT_EQ(serial, "");
  ExpectError(0x90010F06, "ReadSerialNumber", "SelectCardInRange:SCardConnect", noCard);

  Rights rights{.keysUsed = 9, .security = {scbs_B_Read}, .bx = 7};
  EXPECT_EQ(encoder_.ReadSectorTrailer(1, kTransport, kUseKeyA, rights.keysUsed, rights.security[0],
                                       rights.security[1], rights.security[2], rights.conditions,
                                       rights.bx),
            sceError);
  EXPECT_EQ(rights.security[0], 0);
  EXPECT_EQ(rights.keysUsed, 9);
  ExpectError(0x90010F06, "MifareReadSectorTrailer",
              "MifareReadDataBloc:SelectCardInRange:SCardConnect", noCard);
}

// Through each wrapper the reader's refusal (6300) comes back with the wrapper's trail.
TEST_F(Mifare, WrongKeyIsRefusedByTheReader) {
  const std::string viaRead = "MifareReadDataBloc:" + kAuthenticateTrail;
  std::string contents;
  int32_t serial = 0;
  uint8_t check = 0;
  EXPECT_EQ(encoder_.MifareReadManufacturerCode(kKeyA, kUseKeyA, serial, check, contents),
            sceError);
  ExpectError(kCommandFailed, "MifareReadManufacturerCode", viaRead, "6300");
  EXPECT_EQ(contents, "");
  EXPECT_EQ(encoder_.MifareWriteValueBloc(4, kKeyA, kUseKeyA, 5), sceError);
  ExpectError(kCommandFailed, "MifareWriteValueBloc", "MifareWriteDataBloc:" + kAuthenticateTrail,
              "6300");
  EXPECT_EQ(encoder_.MifareWriteSectorTrailer(1, kKeyA, kUseKeyA, kKeyA, kKeyB, 2, scbs_B_Read,
                                              scbs_B_Read, scbs_B_Read, scss_B_WriteKeys),
            sceError);
  ExpectError(kCommandFailed, "MifareWriteSectorTrailer", viaRead, "6300");
  EXPECT_EQ(CardBlock(4), std::string(32, '0'));
}

// pcsc-lite answers success with no bytes when the card leaves in mid-command: nothing was
// confirmed, so the operation fails wherever it happens. Blocks without an address send nothing.
TEST_F(Mifare, AnswersWithoutStatusWordAndBlocksWithoutAddressFail) {
  std::string text;
  std::string data = Digits(4);
  const auto read = [&](int32_t block) {
    return encoder_.MifareReadDataBloc(block, kTransport, kUseKeyA, text);
  };
  const auto write = [&](int32_t block) {
    return encoder_.MifareWriteDataBloc(block, kTransport, kUseKeyA, data);
  };
  const std::string transmit = "EncoderCommand:SCardTransmit:";
  // Member, call, block, frames the card answers before it leaves (-1: it stays), trail, code.
  using Case = std::tuple<const char*, std::function<sceReturnCode(int32_t)>, int32_t, int,
                          std::string, std::string>;
  const Case cases[] = {
      {"ReadSerialNumber", [&](int32_t) { return encoder_.ReadSerialNumber(text); }, 0, 0,
       transmit + "GetUID", "FFFF"},
      {"MifareReadDataBloc", read, 4, 0, "MifareAuthenticate:" + transmit + "LoadKey", "FFFF"},
      {"MifareReadDataBloc", read, 4, 1, kAuthenticateTrail, "FFFF"},
      {"MifareReadDataBloc", read, 4, 2, transmit + "MifareClassicRead", "FFFF"},
      {"MifareWriteDataBloc", write, 4, 2, transmit + "MifareClassicWrite", "FFFF"},
      {"MifareReadDataBloc", read, -1, -1, kAuthenticateTrail, "Invalid command text"},
      {"MifareWriteDataBloc", write, 65536, -1, kAuthenticateTrail, "Invalid command text"},
      {"MifareReadDataBloc", read, INT_MAX, -1, kAuthenticateTrail, "Invalid command text"},
  };
  for (const auto& [function, call, block, answered, trail, retCode] : cases) {
    SCOPED_TRACE(::testing::Message() << function << " " << block << " " << answered);
    UseCard(testing::Classic1K());
    if (answered > 0) ForceStatusWords(0x9000, answered);
    if (answered >= 0) RemoveCardDuringNextTransmit();
    const size_t start = LogSize();
    EXPECT_EQ(call(block), sceError);
    ExpectError(kCommandFailed, function, trail, retCode);
    EXPECT_EQ(SentFrames(start).empty(), answered < 0);
  }
  EXPECT_EQ(CardBlock(4), "");
}

TEST_F(Mifare, BlockDataMustBe32HexDigits) {
  const size_t start = LogSize();
  for (std::string bad : {std::string(31, 'A'), std::string(33, 'A'), std::string(31, 'A') + "G"}) {
    EXPECT_EQ(encoder_.MifareWriteDataBloc(4, kTransport, kUseKeyA, bad), sceError);
    ExpectError(0x90010B42, "MifareWriteDataBloc", "", "");
  }
  EXPECT_EQ(LogSize(), start) << "nothing was sent";
  std::string spaced = "00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff";
  EXPECT_EQ(encoder_.WriteDataBloc(4, kTransport, kUseKeyA, spaced), scesuccess);
  EXPECT_EQ(spaced, "00112233445566778899AABBCCDDEEFF");
  EXPECT_EQ(CardBlock(4), spaced);
  std::string read;
  EXPECT_EQ(encoder_.ReadDataBloc(4, kTransport, kUseKeyA, read), scesuccess);
  EXPECT_EQ(read, spaced);
}

TEST_F(Mifare, WriteBytesInBlocRangesAndFitting) {
  const std::string original = "00112233445566778899AABBCCDDEEFF";
  // From, to, data, the block after the write.
  const std::tuple<uint8_t, uint8_t, std::string, std::string> cases[] = {
      {0, 15, "FFEEDDCCBBAA99887766554433221100", "FFEEDDCCBBAA99887766554433221100"},
      {15, 15, "AB", "00112233445566778899AABBCCDDEEAB"},
      {4, 5, "AB", "00112233AB0066778899AABBCCDDEEFF"},      // padded with zeros
      {0, 1, "123456", "12342233445566778899AABBCCDDEEFF"},  // cut to the range
      {2, 3, "", "00110000445566778899AABBCCDDEEFF"},
  };
  for (const auto& [from, to, data, after] : cases) {
    std::string block = original;
    ASSERT_EQ(encoder_.MifareWriteDataBloc(4, kTransport, kUseKeyA, block), scesuccess);
    std::string contents = data;
    EXPECT_EQ(encoder_.WriteBytesInBloc(4, kTransport, kUseKeyA, from, to, contents), scesuccess);
    EXPECT_EQ(contents, after);
    EXPECT_EQ(CardBlock(4), after);
    EXPECT_EQ(encoder_.LastError()->ComFunction, "MifareWriteBytesInBloc");
  }

  std::string block = original;
  ASSERT_EQ(encoder_.MifareWriteDataBloc(4, kTransport, kUseKeyA, block), scesuccess);
  for (auto [from, to] : {std::pair<uint8_t, uint8_t>{3, 2}, {16, 16}, {0, 16}}) {
    std::string contents = "AB";
    EXPECT_EQ(encoder_.MifareWriteBytesInBloc(4, kTransport, kUseKeyA, from, to, contents),
              sceError);
    ExpectError(0x90010B04, "MifareWriteBytesInBloc", "", "");
    EXPECT_EQ(contents, original);
  }
  // Not hex: the block check of the write stands.
  std::string contents = "XY";
  EXPECT_EQ(encoder_.MifareWriteBytesInBloc(4, kTransport, kUseKeyA, 0, 0, contents), sceError);
  ExpectError(0x90010B42, "MifareWriteBytesInBloc", "MifareWriteDataBloc", "");
  EXPECT_EQ(contents, original);
  EXPECT_EQ(CardBlock(4), original);
  // A failed read empties the caller's data.
  contents = "AB";
  EXPECT_EQ(encoder_.MifareWriteBytesInBloc(4, kKeyA, kUseKeyA, 0, 0, contents), sceError);
  ExpectError(kCommandFailed, "MifareWriteBytesInBloc", "MifareReadDataBloc:" + kAuthenticateTrail,
              "6300");
  EXPECT_EQ(contents, "");
}

TEST_F(Mifare, SetAccessConditionAcceptsOnlyCodesOfTheTable) {
  encoder_.SetAccessCondition(8, "100");
  const std::pair<int32_t, const char*> ignored[] = {{0, "110"},  {10, "110"}, {8, "11"},
                                                     {8, "1100"}, {8, "120"},  {8, ""}};
  for (auto [number, code] : ignored) encoder_.MifareSetAccessCondition(number, code);
  ASSERT_EQ(encoder_.MifareWriteValueBloc(4, kTransport, kUseKeyA, 1), scesuccess);
  ASSERT_EQ(WriteTrailer(1, kTransport, 2, {13, scbs_B_ReadWrite, scbs_B_ReadWrite},
                         scss_B_WriteKeysConditions),
            scesuccess);
  EXPECT_EQ(AccessCodeOfBlock(7, 0), "100") << "the override wins over the value-block default";
  // Kept across closing and reopening.
  encoder_.ReOpenEncoder();
  encoder_.MifareSetAccessCondition(9, "011");
  ASSERT_EQ(WriteTrailer(2, kTransport, 2, {9, scbs_B_ReadWrite, scbs_B_ReadWrite},
                         scss_B_WriteKeysConditions),
            scesuccess);
  EXPECT_EQ(AccessCodeOfBlock(11, 0), "100");
}

// Keys used 0 and rights -1 keep all but the keys (the other late-bound rows run end to end).
TEST_F(Mifare, LateBoundBXGivenOrNot) {
  const auto& trailer = automation::FindMember("MifareWriteSectorTrailer");
  automation::Arguments write = {
      Variant(int32_t{1}),          Variant(kTransport),  Variant(int32_t{1}),
      Variant("a0 a1 a2 a3 a4 a5"), Variant(kKeyB),       Variant(int32_t{0}),
      Variant(int32_t{-1}),         Variant(int32_t{-1}), Variant(int32_t{-1}),
      Variant(int32_t{-1}),         Variant("x")};
  EXPECT_EQ(automation::Invoke(encoder_, trailer, write), Variant(int32_t{sceError}));
  EXPECT_EQ(encoder_.LastError()->Number, static_cast<int32_t>(0x90010B05));
  write.resize(10);
  EXPECT_EQ(automation::Invoke(encoder_, trailer, write), Variant(int32_t{scesuccess}));
  EXPECT_EQ(CardBlock(7), std::string(kKeyA) + "FF078069" + kKeyB);
  // Rights given with keys used 0 take the card's key use (key A only here): the transport codes.
  write[1] = Variant(kKeyA);
  for (int i : {6, 7, 8}) write[i] = Variant(int32_t{scbs_A_ReadWrite});
  write[9] = Variant(int32_t{scss_A_WriteKeysConditions});
  write.push_back(Variant(int32_t{0x42}));
  EXPECT_EQ(automation::Invoke(encoder_, trailer, write), Variant(int32_t{scesuccess}));
  EXPECT_EQ(CardBlock(7), std::string(kKeyA) + "FF078042" + kKeyB);
}

// On a MIFARE Ultralight a read brings four pages and a write lands in one. The reader lets the
// key-less card through the authentication step (a refusal there fails as a wrong key does).
TEST_F(Mifare, UltralightReadsFourPagesAndWritesOne) {
  UseCard({{"type", "mifare-ultralight"}, {"uid", "04112233445566"}},
          {{"authenticateKeylessCards", true}});
  const auto page = [this](int n) { return readers_.Read()["readers"][0]["card"]["pages"][n]; };
  EXPECT_EQ(encoder_.CardType(), sceMifareUltralight);
  EXPECT_EQ(encoder_.SerialNumberLength(), 7);
  std::string uid;
  ASSERT_EQ(encoder_.ReadSerialNumber(uid), scesuccess);
  EXPECT_EQ(uid, "04112233445566");

  std::string data = "11223344 55667788 99AABBCC DDEEFF00";
  ASSERT_EQ(encoder_.MifareWriteDataBloc(4, kTransport, kUseKeyA, data), scesuccess)
      << encoder_.LastError()->Description;
  // The 16-byte write is the card's compatibility write: only the first four bytes land.
  EXPECT_EQ(page(4), "11223344");
  EXPECT_EQ(page(5), "00000000");
  std::string read;
  ASSERT_EQ(encoder_.MifareReadDataBloc(4, kTransport, kUseKeyA, read), scesuccess);
  EXPECT_EQ(read, "11223344000000000000000000000000");
}

}  // namespace
}  // namespace tarsin
