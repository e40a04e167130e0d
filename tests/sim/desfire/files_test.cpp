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

// Application settings: bit 1 free directory listing, bit 2 free file creation and deletion.
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
  const Bytes settings = TestHost::WithCrc(Concat({{0x03}, Rights(2, 2, 2, 2)}));
  EXPECT_EQ(host.Frame(0x5F, Concat({{0x01}, host.SendCryptogram(settings)})).sw, 0x91AE);
  ASSERT_TRUE(host.Authenticate(1, kZeroKey));
  EXPECT_EQ(host.Frame(0x5F, Concat({{0x01}, host.SendCryptogram(settings)})).sw, kOk);
  EXPECT_EQ(host.Frame(0xF5, {0x01}).data, Hex("00 03 22 22 08 00 00"));
}

}  // namespace
}  // namespace tarsin::sim::testing
