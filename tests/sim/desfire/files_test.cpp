#include "card_fixture.h"

namespace tarsin::sim::testing {
namespace {

using FilesTest = CardTest;

// Access rights bytes: ReadWrite << 4 | Change, Read << 4 | Write.
Bytes Rights(uint8_t read, uint8_t write, uint8_t readWrite, uint8_t change) {
  return {static_cast<uint8_t>(readWrite << 4 | change), static_cast<uint8_t>(read << 4 | write)};
}

TEST_F(FilesTest, EveryKindReportsItsSettings) {
  EnterApplication();
  const struct {
    uint8_t instruction;
    Bytes create;
    Bytes settings;
  } cases[] = {
      {0xCD, Concat({{0x00, 0x00}, Rights(1, 2, 3, 0), Uint24(32)}), Hex("00 00 30 12 20 00 00")},
      {0xCB, Concat({{0x01, 0x01}, Rights(0xE, 0xE, 0xE, 0xE), Uint24(300)}),
       Hex("01 01 EE EE 2C 01 00")},
      {0xCC, Concat({{0x02, 0x03}, Rights(0, 0, 0, 0), Int32(-100), Int32(100), Int32(0), {0x01}}),
       Hex("02 03 00 00 9C FF FF FF 64 00 00 00 00 00 00 00 01")},
      {0xC1, Concat({{0x03, 0x00}, Rights(0xE, 0xE, 0xE, 0xE), Uint24(16), Uint24(5)}),
       Hex("03 00 EE EE 10 00 00 05 00 00 00 00 00")},
      {0xC0, Concat({{0x04, 0x00}, Rights(0xE, 0xE, 0xE, 0xE), Uint24(8), Uint24(3)}),
       Hex("04 00 EE EE 08 00 00 03 00 00 00 00 00")},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(host.Frame(c.instruction, c.create).sw, kOk) << std::hex << int(c.instruction);
    const Answer settings = host.Frame(0xF5, {c.create[0]});
    EXPECT_EQ(settings.sw, kOk);
    EXPECT_EQ(settings.data, c.settings);
  }
  EXPECT_EQ(host.Frame(0x6F).data, Hex("00 01 02 03 04"));
  EXPECT_EQ(host.Frame(0xF5, {0x05}).sw, 0x91F0);
}

TEST_F(FilesTest, CreationRefusals) {
  EnterApplication();
  ASSERT_EQ(host.Frame(0xCD, Concat({{0x00, 0x00}, Rights(0, 0, 0, 0), Uint24(16)})).sw, kOk);
  const struct {
    const char* what;
    uint8_t instruction;
    Bytes data;
    uint16_t sw;
  } cases[] = {
      {"duplicate", 0xCD, Concat({{0x00, 0x00}, Rights(0, 0, 0, 0), Uint24(16)}), 0x91DE},
      {"file 32", 0xCD, Concat({{0x20, 0x00}, Rights(0, 0, 0, 0), Uint24(16)}), 0x919E},
      {"communication 4", 0xCD, Concat({{0x01, 0x04}, Rights(0, 0, 0, 0), Uint24(16)}), 0x919E},
      {"size 0", 0xCD, Concat({{0x01, 0x00}, Rights(0, 0, 0, 0), Uint24(0)}), 0x919E},
      {"larger than the card", 0xCB, Concat({{0x01, 0x00}, Rights(0, 0, 0, 0), Uint24(2100)}),
       0x910E},
      {"short", 0xCD, Hex("01 00 00 00 10 00"), 0x917E},
      {"limits crossed", 0xCC,
       Concat({{0x01, 0x00}, Rights(0, 0, 0, 0), Int32(10), Int32(-10), Int32(0), {0x00}}), 0x919E},
      {"value outside", 0xCC,
       Concat({{0x01, 0x00}, Rights(0, 0, 0, 0), Int32(0), Int32(10), Int32(11), {0x00}}), 0x919E},
      {"cyclic of one", 0xC0, Concat({{0x01, 0x00}, Rights(0, 0, 0, 0), Uint24(4), Uint24(1)}),
       0x919E},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(host.Authenticate(0, kZeroKey));
    EXPECT_EQ(host.Frame(c.instruction, c.data).sw, c.sw) << c.what;
  }
  host.Select(0);
  EXPECT_EQ(host.Frame(0xCD, Concat({{0x01, 0x00}, Rights(0, 0, 0, 0), Uint24(16)})).sw, 0x919D)
      << "no files at the card level";
}

// Application settings: bit 1 free directory listing, bit 2 free file creation and deletion.
TEST_F(FilesTest, ApplicationSettingsGuardTheFileDirectory) {
  EnterApplication(0x09);
  ASSERT_EQ(host.Frame(0xCD, Concat({{0x00, 0x00}, Rights(0, 0, 0, 0), Uint24(16)})).sw, kOk);
  host.Select(kAid);
  EXPECT_EQ(host.Frame(0x6F).sw, 0x91AE);
  EXPECT_EQ(host.Frame(0xF5, {0x00}).sw, 0x91AE);
  EXPECT_EQ(host.Frame(0xCD, Concat({{0x01, 0x00}, Rights(0, 0, 0, 0), Uint24(16)})).sw, 0x91AE);
  EXPECT_EQ(host.Frame(0xDF, {0x00}).sw, 0x91AE);
  ASSERT_TRUE(host.Authenticate(0, kZeroKey));
  EXPECT_EQ(host.Frame(0xDF, {0x00}).sw, kOk);
  EXPECT_EQ(host.Frame(0xDF, {0x00}).sw, 0x91F0);
}

TEST_F(FilesTest, DeletedFilesKeepTheirMemoryUntilFormat) {
  EnterApplication();
  ASSERT_EQ(host.Frame(0xCD, Concat({{0x00, 0x00}, Rights(0, 0, 0, 0), Uint24(33)})).sw, kOk);
  EXPECT_EQ(host.Frame(0x6E).data, Uint24(4096 - 64));
  ASSERT_EQ(host.Frame(0xDF, {0x00}).sw, kOk);
  EXPECT_EQ(host.Frame(0x6E).data, Uint24(4096 - 64));
}

TEST_F(FilesTest, ChangeFileSettingsFollowsTheChangeRight) {
  EnterApplication();
  ASSERT_EQ(host.Frame(0xCD, Concat({{0x00, 0x00}, Rights(0xE, 0xE, 0xE, 0xE), Uint24(8)})).sw,
            kOk);
  ASSERT_EQ(host.Frame(0xCD, Concat({{0x01, 0x00}, Rights(0xE, 0xE, 0xE, 0x1), Uint24(8)})).sw,
            kOk);
  ASSERT_EQ(host.Frame(0xCD, Concat({{0x02, 0x00}, Rights(0xE, 0xE, 0xE, 0xF), Uint24(8)})).sw,
            kOk);

  // Free change right: plain settings.
  EXPECT_EQ(host.Frame(0x5F, Concat({{0x00, 0x01}, Rights(1, 1, 1, 1)})).sw, kOk);
  EXPECT_EQ(host.Frame(0xF5, {0x00}).data, Hex("00 01 11 11 08 00 00"));
  // Frozen.
  EXPECT_EQ(host.Frame(0x5F, Concat({{0x02, 0x00}, Rights(1, 1, 1, 1)})).sw, 0x919D);

  // Key 1: the plain form is refused (and costs the authentication), the enciphered one needs
  // a session with key 1.
  ASSERT_TRUE(host.Authenticate(1, kZeroKey));
  EXPECT_EQ(host.Frame(0x5F, Concat({{0x01, 0x03}, Rights(2, 2, 2, 2)})).sw, 0x917E);
  Bytes settings = Concat({{0x03}, Rights(2, 2, 2, 2)});
  uint16_t crc = TestHost::Crc(settings);
  settings.insert(settings.end(), {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8)});
  EXPECT_EQ(host.Frame(0x5F, Concat({{0x01}, host.SendCryptogram(settings)})).sw, 0x91AE);
  ASSERT_TRUE(host.Authenticate(1, kZeroKey));
  EXPECT_EQ(host.Frame(0x5F, Concat({{0x01}, host.SendCryptogram(settings)})).sw, kOk);
  EXPECT_EQ(host.Frame(0xF5, {0x01}).data, Hex("00 03 22 22 08 00 00"));
}

}  // namespace
}  // namespace tarsin::sim::testing
