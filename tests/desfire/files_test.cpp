// SPDX-License-Identifier: Apache-2.0
// DESFire files of each kind created, inspected, changed, deleted; refused by us or by the card.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <limits>
#include <regex>
#include <tuple>

#include "desfire/desfire.h"
#include "desfire/desfire_fixture.h"

namespace tarsin {
namespace {

constexpr const char *kStd = "DESFireCreateStdDataFile", *kBackup = "DESFireCreateBackupDataFile",
                     *kValue = "DESFireCreateValueFile", *kLinear = "DESFireCreateLinearRecordFile",
                     *kCyclic = "DESFireCreateCyclicRecordFile",
                     *kChange = "DESFireChangeFileSettings", *kDelete = "DESFireDeleteFile",
                     *kSettings = "DESFireGetFileSettings";
constexpr int32_t kE = dfaAllowAll, kMax = 16777215, kMaxInt = std::numeric_limits<int32_t>::max();

// One call and what the card makes of it: the frames sent (blanks for reading, ".{16}" for a
// cryptogram) and the outcome: "" accepted, a status word ("91..") refused, or else accepted
// with the file's settings record read back.
struct CardRow {
  const char* member;
  std::vector<Variant> args;
  std::string frames;
  std::string outcome;
  int32_t sessionKey = 0;  // -1: the session as it is
};

class DesfireFilesTest : public testing::DesfireTest {
 protected:
  void SetUp() override {
    DesfireTest::SetUp();
    ASSERT_EQ(encoder_.DESFireSelectRoot("0"), scesuccess);
    ASSERT_EQ(encoder_.DESFireCreateApplication("F11E00", dfkApplDefault, 2), scesuccess);
  }
  void Select(int32_t key = 0) {
    ASSERT_EQ(encoder_.DESFireSelectApplication("F11E00", key, "0"), scesuccess);
  }
  // One call as a host makes it, late-bound; args_ keeps what came back by reference.
  bool Call(const char* member, const std::vector<Variant>& values, Encoder* encoder = nullptr) {
    args_.assign(values.begin(), values.end());
    return automation::Invoke(encoder ? *encoder : encoder_, automation::FindMember(member),
                              args_) == Variant(int32_t{scesuccess});
  }
  // Selected again each time: the card forgets its authentication after a refusal. A success
  // leaves LastError alone; a refusal names the operation and the status word.
  void Expect(const CardRow& row) {
    SCOPED_TRACE(::testing::Message() << row.member << " " << row.args[0].asInt64());
    if (row.sessionKey >= 0) Select(row.sessionKey);
    SetError(StateOf(encoder_), {.number = 7, .comFunction = "", .rdrRetCode = ""});
    const size_t from = LogSize();
    const bool refused = row.outcome.starts_with("91");
    EXPECT_EQ(Call(row.member, row.args), !refused);
    std::string pattern = row.frames;
    std::erase(pattern, ' ');
    const std::string sent = fmt::format("{}", fmt::join(SentFrames(from), ","));
    EXPECT_TRUE(std::regex_match(sent, std::regex(pattern))) << sent;
    const CError& error = *encoder_.LastError();
    EXPECT_EQ(static_cast<uint32_t>(error.Number), refused ? 0x90010E03u : 7u);
    EXPECT_EQ(error.ComFunction + error.RdrRetCode, refused ? row.member + row.outcome : "");
    if (refused || row.outcome.empty()) return;
    EXPECT_TRUE(Call(kSettings, {row.args[0], ""}));
    EXPECT_EQ(args_[1]->asString(), row.outcome);
  }
  automation::Arguments args_;
};

TEST_F(DesfireFilesTest, FilesOfEachKindAreCreatedInspectedAndDeleted) {
  // clang-format off
  const CardRow rows[] = {
      {kStd, {15, dfcPlain, 1, 2, 3, 0, 32}, "90CD000007 0F 00 3012 200000 00", "00 00 30 12 20 00 00"},
      {kBackup, {7, dfcPlainMac, kE, kE, kE, kE, 100}, "90CB000007 07 01 EEEE 640000 00", "01 01 EE EE 64 00 00"},
      {kValue, {2, dfcCiphered, 0, 0, 0, 0, -100, 100, 0, true}, "90CC000011 02 03 0000 9CFFFFFF 64000000 00000000 01 00", "02 03 00 00 9C FF FF FF 64 00 00 00 00 00 00 00 01"},
      {kLinear, {3, dfcPlain, kE, kE, kE, kE, 16, 10}, "90C100000A 03 00 EEEE 100000 0A0000 00", "03 00 EE EE 10 00 00 0A 00 00 00 00 00"},
      {kCyclic, {0, dfcPlain, 1, 1, 1, 1, 1, 2}, "90C000000A 00 00 1111 010000 020000 00", "04 00 11 11 01 00 00 02 00 00 00 00 00"},
      // The largest values pass our checks; the card is their judge (910E: not enough memory).
      {kStd, {14, 0, 15, 15, 15, 15, kMax}, "90CD000007 0E 00 FFFF FFFFFF 00", "910E"},
      {kCyclic, {6, 3, 0, 0, 0, 0, kMax, kMax}, "90C000000A 06 03 0000 FFFFFF FFFFFF 00", "910E"},
      {kValue, {5, 3, 0, 0, 0, 0, -kMaxInt - 1, kMaxInt, kMaxInt, false}, "90CC000011 05 03 0000 00000080 FFFFFF7F FFFFFF7F 00 00", ""},
      {kValue, {4, 0, 0, 0, 0, 0, 5, 5, 5, false}, "90CC000011 04 00 0000 05000000 05000000 05000000 00 00", ""},
      {kStd, {8, 0, 0, 0, 0, kE, 1}, "90CD000007 08 00 0E00 010000 00", ""},
      {kStd, {15, 0, 0, 0, 0, 0, 1}, "90CD000007 0F 00 0000 010000 00", "91DE"},
      {kDelete, {3}, "90DF000001 03 00", ""},
      {kDelete, {3}, "90DF000001 03 00", "91F0"},
      {kSettings, {3, "stale"}, "90F5000001 03 00", "91F0"},
  };
  // clang-format on
  for (const CardRow& row : rows) Expect(row);
  EXPECT_EQ(args_[1]->asString(), "");  // no settings after a failed read
  std::string ids = "unchanged";
  ASSERT_EQ(encoder_.DESFireGetFileIDs(ids), scesuccess);
  EXPECT_EQ(ids, "0,2,4,5,7,8,15");
  EXPECT_EQ(desfire::FileIdList(HexToBytes("1F0F0A00")), "0,10,15,31");  // in any order listed
}

// Every check in its order, refused before anything is sent, with only the fields it names;
// without a session every operation refuses first, whatever else is wrong.
TEST_F(DesfireFilesTest, ChecksRefuseBeforeSending) {
  const std::tuple<const char*, std::vector<Variant>, uint32_t> rows[] = {
      {kStd, {16, 2, 16, 0, 0, 0, 0}, 0x90010E41},
      {kStd, {0, 2, 16, 0, 0, 0, 0}, 0x90010E42},
      {kStd, {0, 0, 16, 0, 0, 0, 0}, 0x90010E31},
      {kStd, {-1, 0, 0, 0, 0, 0, 1}, 0x90010E41},
      {kBackup, {8, 0, 0, 0, 0, 0, 1}, 0x90010E41},
      {kValue, {8, 0, 0, 0, 0, 0, 0, 0, 0, false}, 0x90010E41},
      {kLinear, {8, 0, 0, 0, 0, 0, 1, 1}, 0x90010E41},
      {kCyclic, {8, 0, 0, 0, 0, 0, 1, 2}, 0x90010E41},
      {kDelete, {16}, 0x90010E41},
      {kSettings, {-1, ""}, 0x90010E41},
      {kChange, {16, 0, 0, 0, 0, 0}, 0x90010E41},
      {kBackup, {0, 4, 0, 0, 0, 0, 1}, 0x90010E42},
      {kValue, {0, -1, 0, 0, 0, 0, 0, 0, 0, false}, 0x90010E42},
      {kLinear, {0, 2, 0, 0, 0, 0, 1, 1}, 0x90010E42},
      {kCyclic, {0, 255, 0, 0, 0, 0, 1, 2}, 0x90010E42},
      {kChange, {0, 256, 0, 0, 0, 0}, 0x90010E42},
      {kChange, {0, -1, 0, 0, 0, 0}, 0x90010E42},
      {kStd, {0, 0, 0, -1, 0, 0, 1}, 0x90010E31},
      {kValue, {0, 0, 0, 0, 16, 0, 0, 0, 0, false}, 0x90010E31},
      {kChange, {0, 0, 0, 0, 0, 16}, 0x90010E31},
      {kStd, {0, 0, 0, 0, 0, 0, 0}, 0x90010E43},
      {kBackup, {0, 0, 0, 0, 0, 0, kMax + 1}, 0x90010E43},
      {kValue, {0, 0, 0, 0, 0, 0, 1, 0, 0, false}, 0x90010E44},
      {kValue, {0, 0, 0, 0, 0, 0, -5, 5, 6, false}, 0x90010E45},
      {kValue, {0, 0, 0, 0, 0, 0, -5, 5, -6, false}, 0x90010E45},
      {kLinear, {0, 0, 0, 0, 0, 0, 0, 1}, 0x90010E46},
      {kCyclic, {0, 0, 0, 0, 0, 0, kMax + 1, 2}, 0x90010E46},
      {kLinear, {0, 0, 0, 0, 0, 0, 1, kMax + 1}, 0x90010E47},
      {kCyclic, {0, 0, 0, 0, 0, 0, 1, 0}, 0x90010E47},
      // Only the session to check.
      {"DESFireGetFileIDs", {""}, 0x90010E11},
      {"DESFireCommitTransaction", {}, 0x90010E11},
      {"DESFireAbortTransaction", {}, 0x90010E11},
  };
  Encoder fresh;
  Open(fresh);
  Select();
  for (const auto& [member, args, number] : rows)
    for (Encoder* encoder : {&fresh, &encoder_}) {
      SCOPED_TRACE(::testing::Message() << member << (encoder == &fresh ? " no session" : ""));
      SetError(StateOf(*encoder), {.rdrCommand = "kept", .rdrRetCode = "kept"});
      const size_t from = LogSize();
      const bool passed = Call(member, args, encoder);
      if (number == 0x90010E11 && encoder == &encoder_) continue;
      const CError& error = *encoder->LastError();
      EXPECT_FALSE(passed || !SentFrames(from).empty());
      EXPECT_EQ(static_cast<uint32_t>(error.Number), encoder == &fresh ? 0x90010E11 : number);
      EXPECT_EQ(error.ComFunction + error.RdrCommand + error.RdrRetCode,
                std::string(member) + "keptkept");
    }
}

// The file's change right chooses the form: free sends the settings plain, a key enciphered at
// once; when the settings cannot be read, or forbid changes, the plain form goes first.
TEST_F(DesfireFilesTest, ChangeFileSettingsSendsTheFormTheChangeRightAsks) {
  Select();
  for (const auto& [file, change] : {std::pair{1, kE}, {2, 0}, {3, dfaDenyAll}})
    ASSERT_TRUE(Call(kStd, {file, 0, kE, kE, kE, change, 32}));
  // clang-format off
  const CardRow rows[] = {
      {kChange, {1, 1, 1, 2, 3, kE}, "90F500000101 00, 905F000004 01 01 3E12 00", "00 01 3E 12 20 00 00"},
      // Any byte passes our check; the card takes 2 and refuses 4.
      {kChange, {1, 2, 1, 2, 3, kE}, "90F500000101 00, 905F000004 01 02 3E12 00", "00 02 3E 12 20 00 00"},
      {kChange, {1, 4, 1, 2, 3, kE}, "90F500000101 00, 905F000004 01 04 3E12 00", "919E"},
      {kChange, {2, 3, 1, 2, 3, 0}, "90F500000102 00, 905F000009 02 .{16} 00", "00 03 30 12 20 00 00"},
      // Key 1's session may not change what key 0 guards.
      {kChange, {2, 0, 1, 2, 3, 0}, "90F500000102 00, 905F000009 02 .{16} 00", "91AE", 1},
      {kChange, {3, 0, 1, 2, 3, 0}, "90F500000103 00, 905F000004 03 00 3012 00, 905F000009 03 .{16} 00", "919D"},
      {kChange, {9, 0, 1, 2, 3, 0}, "90F500000109 00, 905F000004 09 00 3012 00, 905F000009 09 .{16} 00", "91F0"},
  };
  // clang-format on
  for (const CardRow& row : rows) Expect(row);
  // A failed settings read leaves no trace when the change then succeeds.
  Select();
  ForceStatusWords(0x91CA);
  Expect({kChange, {1, 0, 0, 0, 0, kE}, "90F500000101 00, 905F000004 01 00 0E00 00", "", -1});
}

}  // namespace
}  // namespace tarsin
