#include "card_fixture.h"

namespace tarsin::sim::testing {
namespace {

using AuthenticationTest = CardTest;

// A real card's trace: key 00x8, RndB CC F5 32 70 57 0A 76 69, RndA A0..A7.
TEST_F(AuthenticationTest, AnswersThePublishedTrace) {
  rndB = {0xCC, 0xF5, 0x32, 0x70, 0x57, 0x0A, 0x76, 0x69};
  EXPECT_EQ(card.Transmit(Hex("90 0A 00 00 01 00 00")), Hex("DF 6A B2 9A AE 46 BA 27 91 AF"));
  EXPECT_EQ(card.Transmit(Hex("90 AF 00 00 10 05 EE C3 1F 1E 6A 0C C3 1F EF 83 98 A6 62 13 70 00")),
            Hex("26 AC ED 3C 77 1E F9 A0 91 00"));

  // The session key A0 A1 A2 A3 CC F5 32 70 is what the card now deciphers with.
  host.SetSessionKey(Key16{0xA0, 0xA1, 0xA2, 0xA3, 0xCC, 0xF5, 0x32, 0x70, 0xA0, 0xA1, 0xA2, 0xA3,
                           0xCC, 0xF5, 0x32, 0x70});
  EXPECT_EQ(host.Frame(0x54, host.SendCryptogram(TestHost::WithCrc({0x0B}))).sw, kOk);
  EXPECT_EQ(host.Frame(0x45).data, Hex("0B 01"));
}

// Cryptogram CB 64 3F D0 30 E6 87 DA carries settings 0x0F under the session key
// 00 01 02 03 F6 B0 33 39 (RndA 00 01 02 03 .., RndB F6 B0 33 39 ..).
TEST_F(AuthenticationTest, ChangeKeySettingsChecksTheCrcPreset) {
  rndB = {0xF6, 0xB0, 0x33, 0x39, 0x9A, 0x4B, 0x27, 0xE1};
  const Bytes challenge = card.Transmit(Hex("90 0A 00 00 01 00 00"));
  ASSERT_EQ(challenge.size(), 10u);
  host.SetSessionKey(kZeroKey);
  const Bytes rndA{0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
  Bytes plain = Concat({rndA, {0xB0, 0x33, 0x39, 0x9A, 0x4B, 0x27, 0xE1, 0xF6}});
  ASSERT_EQ(host.Frame(0xAF, host.SendCryptogram(plain)).sw, kOk);

  host.SetSessionKey(Key16{0x00, 0x01, 0x02, 0x03, 0xF6, 0xB0, 0x33, 0x39, 0x00, 0x01, 0x02, 0x03,
                           0xF6, 0xB0, 0x33, 0x39});
  EXPECT_EQ(host.Frame(0x54, host.SendCryptogram(TestHost::WithCrc({0x0F}, 0xFFFF))).sw, 0x911E);
  EXPECT_EQ(host.Frame(0x45).data, Hex("0F 01")) << "settings unchanged after the refusal";

  // The refusal cost the authentication; the published cryptogram needs the same session again.
  ASSERT_EQ(card.Transmit(Hex("90 0A 00 00 01 00 00")).size(), 10u);
  host.SetSessionKey(kZeroKey);
  ASSERT_EQ(host.Frame(0xAF, host.SendCryptogram(plain)).sw, kOk);
  EXPECT_EQ(host.Frame(0x54, Hex("CB 64 3F D0 30 E6 87 DA")).sw, kOk);
  EXPECT_EQ(host.Frame(0x45).data, Hex("0F 01"));
}

TEST_F(AuthenticationTest, TripleDesKeyGivesTheLongSessionKey) {
  EnterApplication();
  const Key16 key{0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80,
                  0x91, 0xA1, 0xB1, 0xC1, 0xD1, 0xE1, 0xF1, 0x01};
  const Bytes plain = TestHost::WithCrc(Bytes(key.begin(), key.end()));
  ASSERT_EQ(host.Frame(0xC4, Concat({{0x00}, host.SendCryptogram(plain)})).sw, kOk);

  ASSERT_TRUE(host.Authenticate(0, key));
  const Key16& session = host.SessionKey();
  EXPECT_FALSE(std::equal(session.begin(), session.begin() + 8, session.begin() + 8));
  // Only the triple-DES session key makes this enciphered command acceptable.
  EXPECT_EQ(host.Frame(0x54, host.SendCryptogram(TestHost::WithCrc({0x0F}))).sw, kOk);
}

struct Refusal {
  const char* name;
  Bytes firstPass;
  uint16_t sw;
};

class AuthenticationRefusalTest : public CardTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(AuthenticationRefusalTest, RefusesAndLeavesTheCardUnauthenticated) {
  ASSERT_TRUE(host.Authenticate(0, kZeroKey));
  EXPECT_EQ(host.Frame(GetParam().firstPass[0],
                       Bytes(GetParam().firstPass.begin() + 1, GetParam().firstPass.end()))
                .sw,
            GetParam().sw);
  // FormatPICC needs the card master key: refused once the authentication is gone.
  EXPECT_EQ(host.Frame(0xFC).sw, 0x91AE);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AuthenticationRefusalTest,
    ::testing::Values(Refusal{"KeyNumberAbsentAtCardLevel", {0x0A, 0x01}, 0x9140},
                      Refusal{"AesScheme", {0xAA, 0x00}, 0x91AE},
                      Refusal{"IsoScheme", {0x1A, 0x00}, 0x91AE},
                      Refusal{"LengthError", {0x0A}, 0x917E},
                      Refusal{"UnknownApplication", {0x5A, 0x09, 0x09, 0x09}, 0x91A0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AuthenticationTest, WrongRndBSelectionAndResetLeaveNoAuthentication) {
  ASSERT_EQ(host.Frame(0x0A, {0x00}).sw, 0x91AF);
  EXPECT_EQ(host.Frame(0xAF, Bytes(16, 0x55)).sw, 0x91AE);
  EXPECT_EQ(host.Frame(0xFC).sw, 0x91AE);

  ASSERT_TRUE(host.Authenticate(0, kZeroKey));
  host.Select(0);
  EXPECT_EQ(host.Frame(0xFC).sw, 0x91AE);

  ASSERT_TRUE(host.Authenticate(0, kZeroKey));
  card.Reset();
  EXPECT_EQ(host.Frame(0xFC).sw, 0x91AE);
}

}  // namespace
}  // namespace tarsin::sim::testing
