// Legacy authentication and key management: published traces, refusals, key changes and rights.
#include <functional>

#include "host.h"

namespace tarsin::sim::testing {
namespace {

using AuthenticationTest = DesfireTest;

// A real card's trace: key 00x8, RndB CC F5 32 70 57 0A 76 69, RndA A0..A7.
TEST_F(AuthenticationTest, AnswersThePublishedTrace) {
  rndB = {0xCC, 0xF5, 0x32, 0x70, 0x57, 0x0A, 0x76, 0x69};
  EXPECT_EQ(host.Send("0A 00"),
            "DF6AB29AAE46BA27"
            "91AF");
  EXPECT_EQ(host.Send("AF 05EEC31F1E6A0CC3 1FEF8398A6621370"),
            "26ACED3C771EF9A0"
            "9100");
  // The session key A0 A1 A2 A3 CC F5 32 70 is what the card now deciphers with.
  host.SetSessionKey(KeyOf("A0A1A2A3CCF53270 A0A1A2A3CCF53270"));
  EXPECT_EQ(host.Send(0x54, host.Encipher(WithCrc({0x0B}))), "9100");
  EXPECT_EQ(host.Send("45"),
            "0B01"
            "9100");
}

// Cryptogram CB 64 3F D0 30 E6 87 DA carries settings 0x0F under the session key
// 00 01 02 03 F6 B0 33 39 (RndA 00 01 02 03 .., RndB F6 B0 33 39 ..).
TEST_F(AuthenticationTest, ChangeKeySettingsVectorAndTheCrcPreset) {
  rndB = {0xF6, 0xB0, 0x33, 0x39, 0x9A, 0x4B, 0x27, 0xE1};
  const auto authenticate = [&] {
    host.SetSessionKey(kZeroKey);
    ASSERT_EQ(Sw(host.Send("0A 00")), "91AF");
    ASSERT_EQ(Sw(host.Send(0xAF, host.Encipher(Hex("0001020304050607 B033399A4B27E1F6")))), "9100");
  };
  authenticate();
  host.SetSessionKey(KeyOf("00010203F6B03339 00010203F6B03339"));
  EXPECT_EQ(host.Send(0x54, host.Encipher(WithCrc({0x0F}, 0xFFFF))), "911E") << "CRC preset";
  EXPECT_EQ(host.Send("45"),
            "0F01"
            "9100")
      << "settings unchanged after the refusal";
  authenticate();  // the refusal cost the session
  EXPECT_EQ(host.Send("54 CB643FD030E687DA"), "9100");
  EXPECT_EQ(host.Send("45"),
            "0F01"
            "9100");
}

// Each of these ends the authentication: FormatPICC, which needs the card master key, is refused.
TEST_F(AuthenticationTest, RefusalsSelectionAndResetLeaveNoAuthentication) {
  const struct {
    const char* what;
    std::function<std::string()> act;
    std::string answer;
  } cases[] = {
      {"key number absent at card level", [&] { return host.Send("0A 01"); }, "9140"},
      {"AES scheme", [&] { return host.Send("AA 00"); }, "91AE"},
      {"ISO scheme", [&] { return host.Send("1A 00"); }, "91AE"},
      {"length error", [&] { return host.Send("0A"); }, "917E"},
      {"unknown application", [&] { return host.Send("5A 090909"); }, "91A0"},
      {"selection", [&] { return host.Send("5A 000000"); }, "9100"},
      {"reset", [&] { return card.Reset(), std::string("9100"); }, "9100"},
      {"wrong RndB'",
       [&] { return Sw(host.Send("0A 00")) == "91AF" ? host.Send(0xAF, Bytes(16, 0x55)) : ""; },
       "91AE"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(host.Authenticate(0));
    EXPECT_EQ(c.act(), c.answer) << c.what;
    EXPECT_EQ(host.Send("FC"), "91AE") << c.what;
  }
}

TEST_F(AuthenticationTest, TripleDesKeyGivesTheLongSessionKey) {
  EnterApplication();
  const Key16 key = KeyOf("1020304050607080 91A1B1C1D1E1F101");
  ASSERT_EQ(host.Send(0xC4, Cat({{0x00}, host.Encipher(WithCrc(Bytes(key.begin(), key.end())))})),
            "9100");
  ASSERT_TRUE(host.Authenticate(0, key));
  const Key16& session = host.SessionKey();
  EXPECT_FALSE(std::equal(session.begin(), session.begin() + 8, session.begin() + 8));
  // Only the triple-DES session key makes this enciphered command acceptable.
  EXPECT_EQ(host.Send(0x54, host.Encipher(WithCrc({0x0F}))), "9100");
}

// Version 0xA5 in the parity bits of the first eight bytes: 1010 0101.
const Key16 kVersionedKey = KeyOf("1120314050617081 2233445566778899");

// The cryptogram for changing the session's own key: the new key and its CRC.
Bytes SameKey(const Host& host, const Key16& key) {
  return host.Encipher(WithCrc(Bytes(key.begin(), key.end())));
}
// For another key: new XOR old, its CRC, then the new key's CRC.
Bytes OtherKey(const Host& host, const Key16& old_key, const Key16& new_key) {
  Bytes mixed(16);
  for (size_t i = 0; i < 16; ++i) mixed[i] = old_key[i] ^ new_key[i];
  const Bytes new_crc = WithCrc(Bytes(new_key.begin(), new_key.end()));
  return host.Encipher(Cat({WithCrc(mixed), Bytes(new_crc.end() - 2, new_crc.end())}));
}

TEST_F(AuthenticationTest, CardMasterKeyChangesWithItselfAndCarriesItsVersion) {
  ASSERT_TRUE(host.Authenticate(0));
  EXPECT_EQ(host.Send(0xC4, Cat({{0x00}, SameKey(host, kVersionedKey)})), "9100");
  EXPECT_EQ(host.Send("FC"), "91AE") << "changing the session's key ends the session";
  EXPECT_EQ(host.Send("64 00"),
            "A5"
            "9100");
  EXPECT_EQ(host.Send("64 01"), "9140");
  EXPECT_FALSE(host.Authenticate(0));
  EXPECT_TRUE(host.Authenticate(0, kVersionedKey));
}

TEST_F(AuthenticationTest, OtherKeyNeedsTheCurrentValue) {
  EnterApplication();
  EXPECT_EQ(host.Send(0xC4, Cat({{0x02}, OtherKey(host, KeyOf("01"), kVersionedKey)})), "911E");
  ASSERT_TRUE(host.Authenticate(0));
  EXPECT_EQ(host.Send(0xC4, Cat({{0x02}, OtherKey(host, kZeroKey, kVersionedKey)})), "9100");
  EXPECT_EQ(host.Send("64 02"),
            "A5"
            "9100");
  EXPECT_EQ(host.Send("64 03"), "9140") << "three keys: 0 to 2";
  EXPECT_TRUE(host.Authenticate(2, kVersionedKey));
}

// The change-key nibble of the application settings names who may change which key.
TEST_F(AuthenticationTest, ChangeKeyRightDecidesWhoChanges) {
  const struct {
    const char* what;
    uint8_t settings, authenticated, changed;
    std::string answer;
  } cases[] = {
      {"master key changes others", 0x0F, 0, 3, "9100"},
      {"other key cannot with master nibble", 0x0F, 1, 3, "91AE"},
      {"named key changes others", 0x2F, 2, 3, "9100"},
      {"itself only", 0xEF, 3, 3, "9100"},
      {"frozen", 0xFF, 0, 3, "919D"},
      {"master key frozen", 0x0E, 0, 0, "919D"},
      {"master key only by itself", 0x1F, 1, 0, "91AE"},
  };
  for (const auto& c : cases) {
    card = DesfireCard::Blank(DesfireCapacity::k4K);
    EnterApplication(c.settings, 4);
    ASSERT_TRUE(host.Authenticate(c.authenticated));
    const Bytes cryptogram = c.authenticated == c.changed ? SameKey(host, kVersionedKey)
                                                          : OtherKey(host, kZeroKey, kVersionedKey);
    EXPECT_EQ(host.Send(0xC4, Cat({{c.changed}, cryptogram})), c.answer) << c.what;
  }
}

}  // namespace
}  // namespace tarsin::sim::testing
