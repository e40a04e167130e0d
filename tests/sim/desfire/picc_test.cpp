#include "card_fixture.h"

namespace tarsin::sim::testing {
namespace {

using PiccTest = CardTest;

TEST_F(PiccTest, GetVersionComesInThreeFrames) {
  EXPECT_EQ(card.Transmit(Hex("90 60 00 00 00")), Hex("04 01 01 01 00 18 05 91 AF"));
  EXPECT_EQ(card.Transmit(Hex("90 AF 00 00 00")), Hex("04 01 01 01 04 18 05 91 AF"));
  const Answer production = host.Frame(0xAF);
  EXPECT_EQ(production.sw, kOk);
  EXPECT_EQ(production.data, Concat({card.Uid(), Hex("BA 34 49 20 50 20 12")}));
  EXPECT_EQ(host.Frame(0xAF).sw, 0x911C) << "nothing left to fetch";
}

TEST_F(PiccTest, TwentyEightApplicationsListedNineteenPerFrame) {
  ASSERT_TRUE(host.Authenticate(0, kZeroKey));
  for (uint32_t i = 1; i <= 28; ++i) {
    ASSERT_EQ(host.Frame(0xCA, Concat({Uint24(i), {0x0F, 0x01}})).sw, kOk) << i;
  }
  EXPECT_EQ(host.Frame(0xCA, Concat({Uint24(29), {0x0F, 0x01}})).sw, 0x91CE);

  const Answer first = host.Frame(0x6A);
  EXPECT_EQ(first.sw, 0x91AF);
  EXPECT_EQ(first.data.size(), 57u);
  EXPECT_EQ(host.Frame(0xAF).data.size(), 27u);
}

// Card master key settings decide who may list, create and delete applications.
struct SettingsCase {
  const char* name;
  uint8_t settings;
  bool authenticated;
  uint16_t listSw, createSw, deleteSw;
};

class PiccSettingsTest : public CardTest, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(PiccSettingsTest, GuardsTheDirectory) {
  const SettingsCase& c = GetParam();
  ASSERT_TRUE(host.Authenticate(0, kZeroKey));
  ASSERT_EQ(host.Frame(0xCA, Concat({Uint24(0x42), {0x0F, 1}})).sw, kOk);
  ASSERT_EQ(host.Frame(0x54, host.SendCryptogram(TestHost::WithCrc({c.settings}))).sw, kOk);

  const auto prepare = [&] {
    if (c.authenticated) {
      ASSERT_TRUE(host.Authenticate(0, kZeroKey));
    } else {
      host.Select(0);
    }
  };
  prepare();
  EXPECT_EQ(host.Frame(0x6A).sw, c.listSw);
  prepare();
  EXPECT_EQ(host.Frame(0xCA, Concat({Uint24(0x43), {0x0F, 1}})).sw, c.createSw);
  prepare();
  EXPECT_EQ(host.Frame(0xDA, Uint24(0x42)).sw, c.deleteSw);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PiccSettingsTest,
    ::testing::Values(SettingsCase{"DefaultWithoutKey", 0x0F, false, kOk, kOk, 0x91AE},
                      SettingsCase{"ClosedWithoutKey", 0x09, false, 0x91AE, 0x91AE, 0x91AE},
                      SettingsCase{"ClosedWithKey", 0x09, true, kOk, kOk, kOk}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PiccTest, DeletingTheSelectedApplicationReturnsToTheCardLevel) {
  EnterApplication();
  EXPECT_EQ(host.Frame(0xDA, Uint24(kAid)).sw, kOk);
  EXPECT_EQ(host.Frame(0x6A).sw, kOk) << "card level selected again";
  EXPECT_EQ(host.Frame(0x5A, Uint24(kAid)).sw, 0x91A0);
}

TEST_F(PiccTest, FormatEmptiesTheCardAndGivesTheMemoryBack) {
  EnterApplication();
  ASSERT_EQ(host.Frame(0xCD, Concat({{0x01, 0x00, 0xEE, 0xEE}, Uint24(1000)})).sw, kOk);
  EXPECT_EQ(host.Frame(0x6E).data, Uint24(4096 - 1024));
  EXPECT_EQ(host.Frame(0xFC).sw, 0x919D) << "only at the card level";
  host.Select(0);
  EXPECT_EQ(host.Frame(0xFC).sw, 0x91AE);
  ASSERT_TRUE(host.Authenticate(0, kZeroKey));
  EXPECT_EQ(host.Frame(0xFC).sw, kOk);
  EXPECT_TRUE(host.Frame(0x6A).data.empty());
  EXPECT_EQ(host.Frame(0x6E).data, Uint24(4096));
}

}  // namespace
}  // namespace tarsin::sim::testing
