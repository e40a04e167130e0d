// SPDX-License-Identifier: Apache-2.0
// EV1 sessions on the virtual card, whose AES, CMAC and CRC32 are its own and OpenSSL's.
#include <gtest/gtest.h>

#include "desfire/desfire_fixture.h"

namespace tarsin {
namespace {

using testing::kZeroKey;
const std::string kAesZero = "AES:" + std::string(32, '0');
const std::string kThreeKeyZero = "3K3DES:" + std::string(48, '0');
constexpr int32_t kFree = dfaAllowAll;

using Ev1Test = testing::DesfireTest;

TEST_F(Ev1Test, ApplicationsOfEveryKeyTypeWorkInTheirSessions) {
  Run({{"DESFireSelectRoot", {kZeroKey}, "ok"},
       {"DESFireCreateApplication", {"A1A1A1", dfkApplDefault, 0x82}, "ok"},
       {"DESFireCreateApplication", {"B2B2B2", dfkApplDefault, 0x42}, "ok"},
       {"DESFireSelectApplication", {"A1A1A1", 0, kAesZero}, "ok"},
       {"DESFireGetKeySettings", {0, 0}, "ok 15 130"},
       // Data in two frames under the CMAC: ProtectedDataTest, in each session.
       {"DESFireGetCardUID", {""}, "ok 04112233445566"},
       {"DESFireSelectApplication", {"B2B2B2", 1, kThreeKeyZero}, "ok"},
       {"DESFireGetFileIds", {""}, "ok "},
       {"DESFireSelectRoot", {" iso: " + std::string(kZeroKey)}, "ok"},
       {"DESFireGetApplications", {""}, "ok A1A1A1,B2B2B2"},
       {"DESFireGetCardUID", {""}, "ok 04112233445566"},
       {"DESFireSelectRoot", {kZeroKey}, "ok"},
       {"DESFireGetCardUID", {""}, "ok 04112233445566"},
       {"DESFireFreeMemory", {0}, "ok 4864"}});
}

TEST_F(Ev1Test, KeysChangeInEv1FormAndKeepTheirAesVersion) {
  const std::string one = std::string(32, '1'), two = "00112233445566778899AABBCCDDEEFF";
  Run({{"DESFireSelectRoot", {kZeroKey}, "ok"},
       {"DESFireCreateApplication", {"A1A1A1", dfkApplDefault, 0x82}, "ok"},
       {"DESFireSelectApplication", {"A1A1A1", 0, kAesZero}, "ok"},
       {"DESFireChangeKey", {1, kAesZero, "AES:" + one + "/2A"}, "ok"},
       {"DESFireGetKeyVersion", {1, 0}, "ok 42"},
       {"DESFireSelectApplication", {"A1A1A1", 1, "aes:" + one}, "ok"},
       {"DESFireSelectApplication", {"A1A1A1", 0, kAesZero}, "ok"},
       {"DESFireChangeKey", {0, kAesZero, "AES:" + two + "/07"}, "ok"},
       {"DESFireSelectApplication", {"A1A1A1", 0, "AES:" + two}, "ok"},
       {"DESFireGetKeyVersion", {0, 0}, "ok 7"},
       // The card master key becomes AES, its type flag in the key number byte.
       {"DESFireSelectRoot", {"ISO:" + std::string(kZeroKey)}, "ok"},
       {"DESFireChangeKey", {0, kZeroKey, "AES:" + one}, "ok"},
       {"DESFireSelectRoot", {"AES:" + one}, "ok"},
       {"DESFireGetKeySettings", {0, 0}, "ok 15 129"},
       {"DESFireSelectRoot", {kZeroKey}, "90010F04 91AE"}});
}

// Enciphered settings changes and a three-key key change, each checked by what the card then does.
TEST_F(Ev1Test, SettingsAndThreeKeyKeysChangeEnciphered) {
  const std::string three =
      "3K3DES:" + std::string(16, '1') + std::string(16, '2') + std::string(16, '3');
  Run({{"DESFireSelectRoot", {kZeroKey}, "ok"},
       {"DESFireCreateApplication", {"A1A1A1", dfkApplDefault, 0x82}, "ok"},
       {"DESFireCreateApplication", {"B2B2B2", dfkApplDefault, 0x42}, "ok"},
       {"DESFireSelectApplication", {"A1A1A1", 0, kAesZero}, "ok"},
       {"DESFireCreateStdDataFile", {1, 0, kFree, kFree, kFree, 0, 32}, "ok"},
       {"DESFireChangeFileSettings", {1, 0, 1, 2, 3, 0}, "ok"},
       {"DESFireGetFileSettings", {1, ""}, "ok 00 00 30 12 20 00 00"},
       {"DESFireChangeKeySettings", {0x0B}, "ok"},
       {"DESFireGetKeySettings", {0, 0}, "ok 11 130"},
       {"DESFireSelectApplication", {"B2B2B2", 0, kThreeKeyZero}, "ok"},
       {"DESFireChangeKey", {1, kThreeKeyZero, three}, "ok"},
       {"DESFireSelectApplication", {"B2B2B2", 1, three}, "ok"},
       {"DESFireSelectApplication", {"B2B2B2", 1, kThreeKeyZero}, "90010F04 91AE"}});
}

TEST_F(Ev1Test, RefusalsKeepTheDescribedErrors) {
  Run({{"DESFireSelectRoot", {kZeroKey}, "ok"},
       {"DESFireCreateApplication", {"A1A1A1", dfkApplDefault, 0x82}, "ok"},
       {"DESFireCreateApplication", {"A2A2A2", dfkApplDefault, 0xC2}, "90010E40"},
       {"DESFireSelectApplication", {"A1A1A1", 0, "AES:00"}, "90010E32"},
       {"DESFireSelectRoot", {"ISO:" + std::string(20, '0')}, "90010E32"},
       {"DESFireChangeKey", {0, kZeroKey, "AES:" + std::string(30, '0')}, "90010E32"},
       {"DESFireSelectRoot", {"AES:" + std::string(32, '0') + "/1"}, "90010E33"},
       {"DESFireChangeKey", {0, kZeroKey, "DES:" + std::string(kZeroKey)}, "90010E32"},
       {"DESFireSelectApplication", {"A1A1A1", 0, "AES:" + std::string(32, '1')}, "90010F04 91AE"},
       // The card dropped the authentication.
       {"DESFireChangeKeySettings", {0x0F}, "90010E03 91AE"}});
}

TEST_F(Ev1Test, AnAnswerWhoseCmacDoesNotVerifyIsAnErrorNotData) {
  ASSERT_EQ(encoder_.DESFireSelectRoot("ISO:" + std::string(kZeroKey)), scesuccess);
  FlipNextAnswer();
  std::string applications = "unchanged";
  EXPECT_EQ(encoder_.DESFireGetApplications(applications), sceError);
  EXPECT_EQ(applications, "unchanged");
  EXPECT_EQ(static_cast<uint32_t>(Error().Number), 0x90010E52u);
  EXPECT_EQ(Error().Description, "Answer authentication failed");
  EXPECT_EQ(Error().ComFunction, "DESFireGetApplications");
}

}  // namespace
}  // namespace tarsin
