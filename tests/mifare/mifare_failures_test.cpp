// Failure paths of the MIFARE operations: what LastError says, what the caller's variables hold,
// and what the card keeps. Also the late-bound rows.
#include <gtest/gtest.h>

#include "automation/dispatch.h"
#include "mifare/mifare_fixture.h"

namespace tarsin {
namespace {

constexpr uint32_t kCommandFailed = 0x90010F04;
const std::string kAuthenticateTrail =
    "MifareAuthenticate:EncoderCommand:SCardTransmit:GeneralAuthenticate";

TEST_F(Mifare, NoCardInTheField) {
  encoder_->CloseEncoder();
  SetCardPresent(false);
  ASSERT_EQ(encoder_->OpenEncoder(0), scesuccess);
  const std::string noCard = encoder_->LastError()->RdrRetCode;
  ASSERT_FALSE(noCard.empty());

  std::string serial = "kept?";
  EXPECT_EQ(encoder_->ReadSerialNumber(serial), sceError);
  EXPECT_EQ(serial, "");
  ExpectError(0x90010F06, "ReadSerialNumber", "SelectCardInRange:SCardConnect", noCard);

  Rights rights{.keysUsed = 9, .bx = 7};
  rights.security[0] = scbs_B_Read;
  EXPECT_EQ(encoder_->ReadSectorTrailer(1, kTransport, kUseKeyA, rights.keysUsed,
                                        rights.security[0], rights.security[1], rights.security[2],
                                        rights.conditions, rights.bx),
            sceError);
  EXPECT_EQ(rights.security[0], 0);
  EXPECT_EQ(rights.keysUsed, 9);
  ExpectError(0x90010F06, "MifareReadSectorTrailer",
              "MifareReadDataBloc:SelectCardInRange:SCardConnect", noCard);
}

TEST_F(Mifare, WrongKeyIsRefusedByTheReader) {
  struct Case {
    const char* function;
    std::function<sceReturnCode()> call;
    std::string trail;
  };
  std::string contents;
  int32_t serial = 0;
  uint8_t check = 0;
  const Case cases[] = {
      {"MifareReadDataBloc",
       [&] { return encoder_->MifareReadDataBloc(4, kKeyA, kUseKeyA, contents); },
       kAuthenticateTrail},
      {"MifareReadManufacturerCode",
       [&] {
         return encoder_->MifareReadManufacturerCode(kKeyA, kUseKeyA, serial, check, contents);
       },
       "MifareReadDataBloc:" + kAuthenticateTrail},
      {"MifareWriteValueBloc",
       [&] { return encoder_->MifareWriteValueBloc(4, kKeyA, kUseKeyA, 5); },
       "MifareWriteDataBloc:" + kAuthenticateTrail},
      {"MifareWriteSectorTrailer",
       [&] {
         return encoder_->MifareWriteSectorTrailer(1, kKeyA, kUseKeyA, kKeyA, kKeyB, 2, scbs_B_Read,
                                                   scbs_B_Read, scbs_B_Read, scss_B_WriteKeys);
       },
       "MifareReadDataBloc:" + kAuthenticateTrail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.function);
    EXPECT_EQ(c.call(), sceError);
    ExpectError(kCommandFailed, c.function, c.trail, "6300");
  }
  EXPECT_EQ(contents, "");
  EXPECT_EQ(CardBlock(4), std::string(32, '0'));
}

TEST_F(Mifare, BlockDataMustBe32HexDigits) {
  const size_t start = LogSize();
  for (std::string bad : {std::string(31, 'A'), std::string(33, 'A'), std::string(31, 'A') + "G"}) {
    EXPECT_EQ(encoder_->MifareWriteDataBloc(4, kTransport, kUseKeyA, bad), sceError);
    ExpectError(0x90010B42, "MifareWriteDataBloc", "", "");
  }
  EXPECT_EQ(LogSize(), start) << "nothing was sent";
  std::string spaced = "00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff";
  EXPECT_EQ(encoder_->WriteDataBloc(4, kTransport, kUseKeyA, spaced), scesuccess);
  EXPECT_EQ(spaced, "00112233445566778899AABBCCDDEEFF");
  EXPECT_EQ(CardBlock(4), spaced);
}

TEST_F(Mifare, WriteBytesInBlocRangesAndFitting) {
  const std::string original = "00112233445566778899AABBCCDDEEFF";
  struct Case {
    uint8_t from, to;
    std::string data;
    std::string block;  // after the write
  };
  const Case cases[] = {
      {0, 15, "FFEEDDCCBBAA99887766554433221100", "FFEEDDCCBBAA99887766554433221100"},
      {15, 15, "AB", "00112233445566778899AABBCCDDEEAB"},
      {4, 5, "AB", "00112233AB0066778899AABBCCDDEEFF"},      // padded with zeros
      {0, 1, "123456", "12342233445566778899AABBCCDDEEFF"},  // cut to the range
      {2, 3, "", "00110000445566778899AABBCCDDEEFF"},
  };
  for (const Case& c : cases) {
    std::string block = original;
    ASSERT_EQ(encoder_->MifareWriteDataBloc(4, kTransport, kUseKeyA, block), scesuccess);
    std::string contents = c.data;
    EXPECT_EQ(encoder_->WriteBytesInBloc(4, kTransport, kUseKeyA, c.from, c.to, contents),
              scesuccess);
    EXPECT_EQ(contents, c.block);
    EXPECT_EQ(CardBlock(4), c.block);
    EXPECT_EQ(encoder_->LastError()->ComFunction, "MifareWriteBytesInBloc");
  }

  std::string block = original;
  ASSERT_EQ(encoder_->MifareWriteDataBloc(4, kTransport, kUseKeyA, block), scesuccess);
  for (auto [from, to] : {std::pair<uint8_t, uint8_t>{3, 2}, {16, 16}, {0, 16}}) {
    std::string contents = "AB";
    EXPECT_EQ(encoder_->MifareWriteBytesInBloc(4, kTransport, kUseKeyA, from, to, contents),
              sceError);
    ExpectError(0x90010B04, "MifareWriteBytesInBloc", "", "");
    EXPECT_EQ(contents, original);
  }
  // Not hex: the block check of the write stands.
  std::string contents = "XY";
  EXPECT_EQ(encoder_->MifareWriteBytesInBloc(4, kTransport, kUseKeyA, 0, 0, contents), sceError);
  ExpectError(0x90010B42, "MifareWriteBytesInBloc", "MifareWriteDataBloc", "");
  EXPECT_EQ(contents, original);
  EXPECT_EQ(CardBlock(4), original);
  // A failed read empties the caller's data.
  contents = "AB";
  EXPECT_EQ(encoder_->MifareWriteBytesInBloc(4, kKeyA, kUseKeyA, 0, 0, contents), sceError);
  ExpectError(kCommandFailed, "MifareWriteBytesInBloc", "MifareReadDataBloc:" + kAuthenticateTrail,
              "6300");
  EXPECT_EQ(contents, "");
}

TEST_F(Mifare, SetAccessConditionAcceptsOnlyCodesOfTheTable) {
  encoder_->SetAccessCondition(8, "100");
  for (auto [number, code] : {std::pair<int32_t, const char*>{0, "110"},
                              {10, "110"},
                              {8, "11"},
                              {8, "1100"},
                              {8, "120"},
                              {8, ""}}) {
    encoder_->MifareSetAccessCondition(number, code);
  }
  ASSERT_EQ(encoder_->MifareWriteValueBloc(4, kTransport, kUseKeyA, 1), scesuccess);
  ASSERT_EQ(
      encoder_->MifareWriteSectorTrailer(1, kTransport, kUseKeyA, kTransport, kKeyB, 2,
                                         static_cast<SCBS_SecurityLevelEnum>(13), scbs_B_ReadWrite,
                                         scbs_B_ReadWrite, scss_B_WriteKeysConditions),
      scesuccess);
  EXPECT_EQ(AccessCodeOfBlock(7, 0), "100") << "the override wins over the value-block default";
  // Kept across closing and reopening.
  encoder_->ReOpenEncoder();
  encoder_->MifareSetAccessCondition(9, "011");
  ASSERT_EQ(
      encoder_->MifareWriteSectorTrailer(2, kTransport, kUseKeyA, kTransport, kKeyB, 2,
                                         static_cast<SCBS_SecurityLevelEnum>(9), scbs_B_ReadWrite,
                                         scbs_B_ReadWrite, scss_B_WriteKeysConditions),
      scesuccess);
  EXPECT_EQ(AccessCodeOfBlock(11, 0), "100");
}

// The other rows are exercised by the end-to-end test through tarsin-rf run.
TEST_F(Mifare, LateBoundBXGivenOrNot) {
  const auto& trailer = automation::FindMember("MifareWriteSectorTrailer");
  automation::Arguments write = {Variant(int32_t{1}),  Variant(kTransport),  Variant(int32_t{1}),
                           Variant(kKeyA),       Variant(kKeyB),       Variant(int32_t{0}),
                           Variant(int32_t{-1}), Variant(int32_t{-1}), Variant(int32_t{-1}),
                           Variant(int32_t{-1}), Variant("x")};
  EXPECT_EQ(automation::Invoke(*encoder_, trailer, write), Variant(int32_t{sceError}));
  EXPECT_EQ(encoder_->LastError()->Number, static_cast<int32_t>(0x90010B05));
  write.resize(10);
  EXPECT_EQ(automation::Invoke(*encoder_, trailer, write), Variant(int32_t{scesuccess}));
  EXPECT_EQ(CardBlock(7), std::string(kKeyA) + "FF078069" + kKeyB);
}

}  // namespace
}  // namespace tarsin
