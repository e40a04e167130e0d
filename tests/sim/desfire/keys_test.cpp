#include "card_fixture.h"

namespace tarsin::sim::testing {
namespace {

using KeysTest = CardTest;

Bytes KeyBytes(const Key16& key) {
  return Bytes(key.begin(), key.end());
}

// The cryptogram for changing the session's own key.
Bytes SameKeyCryptogram(const TestHost& host, const Key16& newKey) {
  return host.SendCryptogram(TestHost::WithCrc(KeyBytes(newKey)));
}

// The cryptogram for changing another key: new XOR old, its CRC, the new key's CRC.
Bytes OtherKeyCryptogram(const TestHost& host, const Key16& oldKey, const Key16& newKey) {
  Bytes mixed(16);
  for (size_t i = 0; i < 16; ++i) mixed[i] = oldKey[i] ^ newKey[i];
  const uint16_t newKeyCrc = TestHost::Crc(KeyBytes(newKey));
  Bytes plain = TestHost::WithCrc(mixed);
  plain.insert(plain.end(),
               {static_cast<uint8_t>(newKeyCrc), static_cast<uint8_t>(newKeyCrc >> 8)});
  return host.SendCryptogram(plain);
}

// Version 0xA5 in the parity bits of the first eight bytes: 1010 0101.
constexpr Key16 kVersionedKey{0x11, 0x20, 0x31, 0x40, 0x50, 0x61, 0x70, 0x81,
                              0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99};

TEST_F(KeysTest, CardMasterKeyChangesWithItselfAndCarriesItsVersion) {
  ASSERT_TRUE(host.Authenticate(0, kZeroKey));
  EXPECT_EQ(host.Frame(0xC4, Concat({{0x00}, SameKeyCryptogram(host, kVersionedKey)})).sw, kOk);
  EXPECT_EQ(host.Frame(0xFC).sw, 0x91AE) << "changing the session's key ends the session";
  EXPECT_EQ(host.Frame(0x64, {0x00}).data, Bytes{0xA5});
  EXPECT_EQ(host.Frame(0x64, {0x01}).sw, 0x9140);
  EXPECT_FALSE(host.Authenticate(0, kZeroKey));
  EXPECT_TRUE(host.Authenticate(0, kVersionedKey));
}

TEST_F(KeysTest, OtherKeyNeedsTheCurrentValue) {
  EnterApplication();
  const Key16 wrongOld{0x01};
  EXPECT_EQ(
      host.Frame(0xC4, Concat({{0x02}, OtherKeyCryptogram(host, wrongOld, kVersionedKey)})).sw,
      0x911E);
  ASSERT_TRUE(host.Authenticate(0, kZeroKey));
  EXPECT_EQ(
      host.Frame(0xC4, Concat({{0x02}, OtherKeyCryptogram(host, kZeroKey, kVersionedKey)})).sw,
      kOk);
  EXPECT_EQ(host.Frame(0x64, {0x02}).data, Bytes{0xA5});
  EXPECT_EQ(host.Frame(0x64, {0x03}).sw, 0x9140) << "three keys: 0 to 2";
  EXPECT_TRUE(host.Authenticate(2, kVersionedKey));
}

// The change-key nibble of the application settings names who may change keys 1 and up.
struct ChangeRightCase {
  const char* name;
  uint8_t settings;
  uint8_t authenticatedKey;
  uint8_t changedKey;
  uint16_t sw;
};

class ChangeKeyRightTest : public CardTest,
                           public ::testing::WithParamInterface<ChangeRightCase> {};

TEST_P(ChangeKeyRightTest, DecidesWhoChanges) {
  const ChangeRightCase& c = GetParam();
  EnterApplication(c.settings, 4);
  ASSERT_TRUE(host.Authenticate(c.authenticatedKey, kZeroKey));
  const Bytes cryptogram = c.authenticatedKey == c.changedKey
                               ? SameKeyCryptogram(host, kVersionedKey)
                               : OtherKeyCryptogram(host, kZeroKey, kVersionedKey);
  EXPECT_EQ(host.Frame(0xC4, Concat({{c.changedKey}, cryptogram})).sw, c.sw);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChangeKeyRightTest,
    ::testing::Values(ChangeRightCase{"MasterKeyChangesOthers", 0x0F, 0, 3, kOk},
                      ChangeRightCase{"OtherKeyCannotWithMasterNibble", 0x0F, 1, 3, 0x91AE},
                      ChangeRightCase{"NamedKeyChangesOthers", 0x2F, 2, 3, kOk},
                      ChangeRightCase{"ItselfOnly", 0xEF, 3, 3, kOk},
                      ChangeRightCase{"Frozen", 0xFF, 0, 3, 0x919D},
                      ChangeRightCase{"MasterKeyFrozen", 0x0E, 0, 0, 0x919D},
                      ChangeRightCase{"MasterKeyOnlyByItself", 0x1F, 1, 0, 0x91AE}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarsin::sim::testing
