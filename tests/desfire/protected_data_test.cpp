// SPDX-License-Identifier: Apache-2.0
// MACed and enciphered file data in every kind of session on the virtual card (its MACs, CRCs
// and ciphers its own and OpenSSL's): data passes only when protected as the card does.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include "desfire/desfire_fixture.h"

namespace tarsin {
namespace {

using testing::kZeroKey;
const std::string kTwoKey = "00112233445566778899AABBCCDDEEFF";

struct Session {
  const char* name;
  int32_t keyCount;  // with the key-type bits
  std::string key;   // key 0 of the application, once changed
};
const Session kSessions[] = {{"legacy DES", 1, kZeroKey},
                             {"legacy 2K3DES", 1, kTwoKey},
                             {"ISO 3K3DES", 0x41, "3K3DES:" + std::string(48, '0')},
                             {"AES", 0x81, "AES:" + std::string(32, '0')}};
constexpr std::pair<const char*, int32_t> kModes[] = {
    {"plain", 0}, {"MACed", 1}, {"enciphered", 3}};

class ProtectedDataTest : public testing::DesfireTest {
 protected:
  // A blank card, an application of the session's key type, key 0 the session's, authenticated.
  void Personalise(const Session& session) {
    readers_.WriteReaders({testing::Reader(
        testing::kReader, {{"type", "mifare-desfire-ev1-4k"}, {"uid", "04112233445566"}})});
    Run({{"DESFireSelectRoot", {kZeroKey}, "ok"},
         {"DESFireCreateApplication", {"A1A2A3", dfkApplDefault, session.keyCount}, "ok"}});
    const std::string initial = session.keyCount == 1 ? std::string(kZeroKey) : session.key;
    Run({{"DESFireSelectApplication", {"A1A2A3", 0, initial}, "ok"}});
    if (initial != session.key)
      Run({{"DESFireChangeKey", {0, initial, session.key}, "ok"},
           {"DESFireSelectApplication", {"A1A2A3", 0, session.key}, "ok"}});
  }
};

TEST_F(ProtectedDataTest, EveryModeWorksInEverySession) {
  const std::string data = fmt::format("{:0>140}", "1234567890ABCDEF");  // 70 bytes: two frames
  std::string whole;  // the file of 80 bytes, spaced
  for (size_t i = 0; i < 160; i += 2) whole += " " + (i < 140 ? data.substr(i, 2) : "00");
  for (const Session& session : kSessions)
    for (const auto& [mode, m] : kModes) {
      SCOPED_TRACE(fmt::format("{}, {}", session.name, mode));
      Personalise(session);
      // File 4 may be read by anyone: its reads travel plain whatever its settings.
      Run({{"DESFireCreateStdDataFile", {1, m, 0, 0, 0, 0, 80}, "ok"},
           {"DESFireCreateValueFile", {2, m, 0, 0, 0, 0, -100, 1000, 10, true}, "ok"},
           {"DESFireCreateLinearRecordFile", {3, m, 0, 0, 0, 0, 5, 3}, "ok"},
           {"DESFireCreateStdDataFile", {4, m, dfaAllowAll, 0, 0, 0, 8}, "ok"},
           {"DESFireWriteData", {1, 0, 70, data, true}, "ok"},
           {"DESFireReadData", {1, 62, 8, "", true}, "ok" + whole.substr(3 * 62, 3 * 8)},
           {"DESFireReadData", {1, 0, 0, "", true}, "ok" + whole},
           {"DESFireCredit", {2, 500}, "ok"},
           {"DESFireDebit", {2, 20}, "ok"},
           {"DESFireCommitTransaction", {}, "ok"},
           {"DESFireGetValue", {2, 0}, "ok 490"},
           {"DESFireLimitedCredit", {2, 20}, "ok"},
           {"DESFireWriteRecord", {3, 1, 3, "ABCDEF", true}, "ok"},
           {"DESFireWriteRecord", {3, 0, 1, "99", true}, "ok"},
           {"DESFireCommitTransaction", {}, "ok"},
           {"DESFireReadRecords", {3, 0, 0, "", true}, "ok 99 AB CD EF 00"},
           {"DESFireWriteData", {4, 0, 3, "414243", true}, "ok"},
           {"DESFireReadData", {4, 0, 3, "", false}, "ok ABC"}});
    }
}

// One byte of a protected answer changed: the member fails and gives nothing. EV1 answers carry
// their CMAC whatever the file's settings, so a write's and a credit's answers are checked too.
TEST_F(ProtectedDataTest, ATamperedAnswerIsAnErrorNotData) {
  const std::tuple<const Session&, int32_t, std::string_view> cases[] = {
      {kSessions[0], 1, "DESFireReadData"},  {kSessions[0], 3, "DESFireReadData"},
      {kSessions[3], 1, "DESFireReadData"},  {kSessions[3], 3, "DESFireReadData"},
      {kSessions[3], 3, "DESFireWriteData"}, {kSessions[3], 0, "DESFireCredit"}};
  for (const auto& [session, settings, member] : cases) {
    SCOPED_TRACE(fmt::format("{}, {}, {}", session.name, settings, member));
    Personalise(session);
    Run({{"DESFireCreateStdDataFile", {1, settings, 0, 0, 0, 0, 16}, "ok"},
         {"DESFireCreateValueFile", {2, settings, 0, 0, 0, 0, 0, 1000, 10, false}, "ok"}});
    FlipNextAnswer(1);  // the file's settings pass
    std::string data = "unchanged";
    const sceReturnCode result =
        member == "DESFireReadData"    ? encoder_.DESFireReadData(1, 0, 0, data, true)
        : member == "DESFireWriteData" ? encoder_.DESFireWriteData(1, 0, 2, "AABB", true)
                                       : encoder_.DESFireCredit(2, 5);
    EXPECT_EQ(result, sceError);
    EXPECT_EQ(data, "unchanged");
    EXPECT_EQ(static_cast<uint32_t>(Error().Number), 0x90010E52u);
    EXPECT_EQ(Error().ComFunction, member);
  }
}

}  // namespace
}  // namespace tarsin
