// DESFire files on the virtual EV1 card, whose cipher is OpenSSL's: each kind created, inspected,
// changed and deleted, and every refusal, ours before anything is sent or the card's.
#include <gtest/gtest.h>

#include <limits>

#include "automation/dispatch.h"
#include "core/encoder_access.h"
#include "core/error.h"
#include "core/failure.h"
#include "desfire/desfire.h"
#include "support/virtual_reader.h"

namespace tarsin {
namespace {

constexpr const char* kZeroKey = "0000000000000000";
constexpr const char* kApp = "F11E00";
constexpr int32_t kFree = dfaAllowAll;
constexpr int32_t kDeny = dfaDenyAll;
constexpr int32_t kMaxInt = std::numeric_limits<int32_t>::max();
constexpr int32_t kMinInt = std::numeric_limits<int32_t>::min();

// Frames written with blanks for reading; '*' stands for any digit (a cryptogram).
bool FramesMatch(const std::vector<std::string>& expected, const std::vector<std::string>& sent) {
  if (expected.size() != sent.size()) return false;
  for (size_t i = 0; i < sent.size(); ++i) {
    std::string pattern = expected[i];
    std::erase(pattern, ' ');
    if (pattern.size() != sent[i].size()) return false;
    for (size_t c = 0; c < pattern.size(); ++c) {
      if (pattern[c] != '*' && pattern[c] != sent[i][c]) return false;
    }
  }
  return true;
}

class DesfireFilesTest : public testing::VirtualReaderTest {
 protected:
  void SetUp() override {
    VirtualReaderTest::SetUp();
    readers_.WriteReaders({testing::Reader(
        testing::kReader, {{"type", "mifare-desfire-ev1-4k"}, {"uid", "04112233445566"}})});
    Open(encoder_);
    ASSERT_EQ(encoder_.DESFireSelectRoot(kZeroKey), scesuccess);
    ASSERT_EQ(encoder_.DESFireCreateApplication(kApp, dfkApplDefault, 2), scesuccess);
    Reselect();
  }
  // The card forgets its authentication after every refusal, as a real one does.
  void Reselect(int32_t key = 0) {
    ASSERT_EQ(encoder_.DESFireSelectApplication(kApp, key, kZeroKey), scesuccess);
  }
  // One call as a host makes it, late-bound; args_ keeps what came back by reference.
  bool Call(const char* member, const std::vector<Variant>& values, Encoder* encoder = nullptr) {
    args_.assign(values.begin(), values.end());
    return automation::Invoke(encoder ? *encoder : encoder_, automation::FindMember(member),
                              args_) == Variant(int32_t{scesuccess});
  }
  std::string Settings(int32_t file) {
    EXPECT_TRUE(Call("DESFireGetFileSettings", {file, ""})) << file;
    return args_[1]->asString();
  }
  const CError& Error() { return *encoder_.LastError(); }
  Encoder encoder_;
  automation::Arguments args_;
};

TEST_F(DesfireFilesTest, EachKindIsCreatedWithItsFieldsListedAndDeleted) {
  const struct {
    const char* member;
    std::vector<Variant> args;
    std::string frame;
    std::string settings;  // as the card reports them
  } rows[] = {
      {"DESFireCreateStdDataFile",
       {15, dfcPlain, 1, 2, 3, 0, 32},
       "90CD000007 0F 00 3012 200000 00",
       "00 00 30 12 20 00 00"},
      {"DESFireCreateBackupDataFile",
       {7, dfcPlainMac, kFree, kFree, kFree, kFree, 100},
       "90CB000007 07 01 EEEE 640000 00",
       "01 01 EE EE 64 00 00"},
      {"DESFireCreateValueFile",
       {2, dfcCiphered, 0, 0, 0, 0, -100, 100, 0, true},
       "90CC000011 02 03 0000 9CFFFFFF 64000000 00000000 01 00",
       "02 03 00 00 9C FF FF FF 64 00 00 00 00 00 00 00 01"},
      {"DESFireCreateLinearRecordFile",
       {3, dfcPlain, kFree, kFree, kFree, kFree, 16, 10},
       "90C100000A 03 00 EEEE 100000 0A0000 00",
       "03 00 EE EE 10 00 00 0A 00 00 00 00 00"},
      {"DESFireCreateCyclicRecordFile",
       {0, dfcPlain, 1, 1, 1, 1, 1, 2},
       "90C000000A 00 00 1111 010000 020000 00",
       "04 00 11 11 01 00 00 02 00 00 00 00 00"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.member);
    const size_t from = LogSize();
    ASSERT_TRUE(Call(row.member, row.args));
    EXPECT_TRUE(FramesMatch({row.frame}, SentFrames(from))) << SentFrames(from).at(0);
    EXPECT_EQ(Settings(static_cast<int32_t>(row.args[0].asInt64())), row.settings);
  }
  std::string ids = "unchanged";
  ASSERT_EQ(encoder_.DESFireGetFileIDs(ids), scesuccess);
  EXPECT_EQ(ids, "0,2,3,7,15");
  const size_t from = LogSize();
  ASSERT_EQ(encoder_.DESFireDeleteFile(3), scesuccess);
  EXPECT_EQ(SentFrames(from), std::vector<std::string>{"90DF0000010300"});
  ASSERT_EQ(encoder_.DESFireGetFileIDs(ids), scesuccess);
  EXPECT_EQ(ids, "0,2,7,15");

  // The card's refusals: the operation's name and the status word; a settings read leaves "".
  const struct {
    const char* member;
    std::vector<Variant> args;
    std::string status;
  } refusals[] = {
      {"DESFireDeleteFile", {3}, "91F0"},
      {"DESFireCreateStdDataFile", {15, 0, 0, 0, 0, 0, 1}, "91DE"},
      {"DESFireGetFileSettings", {3, "stale"}, "91F0"},
  };
  for (const auto& row : refusals) {
    SCOPED_TRACE(row.member);
    Reselect();
    EXPECT_FALSE(Call(row.member, row.args));
    EXPECT_EQ(static_cast<uint32_t>(Error().Number), 0x90010E03u);
    EXPECT_EQ(Error().ComFunction, row.member);
    EXPECT_EQ(Error().RdrRetCode, row.status);
  }
  EXPECT_EQ(args_[1]->asString(), "");  // Information of the last row
}

// Every check in its order, refused before anything is sent with only the fields it names.
TEST_F(DesfireFilesTest, ChecksRefuseBeforeSending) {
  const struct {
    const char* member;
    std::vector<Variant> args;
    uint32_t number;
  } rows[] = {
      {"DESFireCreateStdDataFile", {16, 2, 16, 0, 0, 0, 0}, 0x90010E41},  // checked in order
      {"DESFireCreateStdDataFile", {0, 2, 16, 0, 0, 0, 0}, 0x90010E42},
      {"DESFireCreateStdDataFile", {0, 0, 16, 0, 0, 0, 0}, 0x90010E31},
      {"DESFireCreateStdDataFile", {-1, 0, 0, 0, 0, 0, 1}, 0x90010E41},
      {"DESFireCreateBackupDataFile", {8, 0, 0, 0, 0, 0, 1}, 0x90010E41},
      {"DESFireCreateValueFile", {8, 0, 0, 0, 0, 0, 0, 0, 0, false}, 0x90010E41},
      {"DESFireCreateLinearRecordFile", {8, 0, 0, 0, 0, 0, 1, 1}, 0x90010E41},
      {"DESFireCreateCyclicRecordFile", {8, 0, 0, 0, 0, 0, 1, 2}, 0x90010E41},
      {"DESFireDeleteFile", {16}, 0x90010E41},
      {"DESFireGetFileSettings", {-1, ""}, 0x90010E41},
      {"DESFireChangeFileSettings", {16, 0, 0, 0, 0, 0}, 0x90010E41},
      {"DESFireCreateBackupDataFile", {0, 4, 0, 0, 0, 0, 1}, 0x90010E42},
      {"DESFireCreateValueFile", {0, -1, 0, 0, 0, 0, 0, 0, 0, false}, 0x90010E42},
      {"DESFireCreateLinearRecordFile", {0, 2, 0, 0, 0, 0, 1, 1}, 0x90010E42},
      {"DESFireCreateCyclicRecordFile", {0, 255, 0, 0, 0, 0, 1, 2}, 0x90010E42},
      {"DESFireChangeFileSettings", {0, 256, 0, 0, 0, 0}, 0x90010E42},
      {"DESFireChangeFileSettings", {0, -1, 0, 0, 0, 0}, 0x90010E42},
      {"DESFireCreateStdDataFile", {0, 0, 0, -1, 0, 0, 1}, 0x90010E31},
      {"DESFireCreateValueFile", {0, 0, 0, 0, 16, 0, 0, 0, 0, false}, 0x90010E31},
      {"DESFireChangeFileSettings", {0, 0, 0, 0, 0, 16}, 0x90010E31},
      {"DESFireCreateStdDataFile", {0, 0, 0, 0, 0, 0, 0}, 0x90010E43},
      {"DESFireCreateBackupDataFile", {0, 0, 0, 0, 0, 0, 16777216}, 0x90010E43},
      {"DESFireCreateValueFile", {0, 0, 0, 0, 0, 0, 1, 0, 0, false}, 0x90010E44},
      {"DESFireCreateValueFile", {0, 0, 0, 0, 0, 0, -5, 5, 6, false}, 0x90010E45},
      {"DESFireCreateValueFile", {0, 0, 0, 0, 0, 0, -5, 5, -6, false}, 0x90010E45},
      {"DESFireCreateLinearRecordFile", {0, 0, 0, 0, 0, 0, 0, 1}, 0x90010E46},
      {"DESFireCreateCyclicRecordFile", {0, 0, 0, 0, 0, 0, 16777216, 2}, 0x90010E46},
      {"DESFireCreateLinearRecordFile", {0, 0, 0, 0, 0, 0, 1, 16777216}, 0x90010E47},
      {"DESFireCreateCyclicRecordFile", {0, 0, 0, 0, 0, 0, 1, 0}, 0x90010E47},
  };
  // Without a session every operation refuses first, whatever else is wrong.
  Encoder fresh;
  Open(fresh);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.member);
    for (Encoder* encoder : {&fresh, &encoder_}) {
      SetError(StateOf(*encoder), {.rdrCommand = "kept", .rdrRetCode = "kept"});
      const size_t from = LogSize();
      EXPECT_FALSE(Call(row.member, row.args, encoder));
      EXPECT_TRUE(SentFrames(from).empty());
      const CError& error = *encoder->LastError();
      EXPECT_EQ(static_cast<uint32_t>(error.Number), encoder == &fresh ? 0x90010E11 : row.number);
      EXPECT_EQ(error.ComFunction, row.member);
      EXPECT_EQ(std::pair(error.RdrCommand, error.RdrRetCode),
                std::pair(std::string("kept"), std::string("kept")));
    }
  }
  EXPECT_FALSE(Call("DESFireGetFileIDs", {""}, &fresh));
  EXPECT_EQ(static_cast<uint32_t>(fresh.LastError()->Number), 0x90010E11u);
}

// The largest values pass our checks; the card is the judge of them.
TEST_F(DesfireFilesTest, LargestAcceptedValuesReachTheCard) {
  const struct {
    const char* member;
    std::vector<Variant> args;
    std::vector<std::string> frames;
    std::string status;  // "" when the card accepts
  } rows[] = {
      {"DESFireCreateStdDataFile",
       {15, 0, 15, 15, 15, 15, 16777215},
       {"90CD000007 0F 00 FFFF FFFFFF 00"},
       "910E"},  // more than the card's memory
      {"DESFireCreateCyclicRecordFile",
       {7, 3, 0, 0, 0, 0, 16777215, 16777215},
       {"90C000000A 07 03 0000 FFFFFF FFFFFF 00"},
       "910E"},
      {"DESFireCreateValueFile",
       {7, 3, 0, 0, 0, 0, kMinInt, kMaxInt, kMaxInt, false},
       {"90CC000011 07 03 0000 00000080 FFFFFF7F FFFFFF7F 00 00"},
       ""},
      {"DESFireCreateValueFile",
       {6, 0, 0, 0, 0, 0, 5, 5, 5, false},
       {"90CC000011 06 00 0000 05000000 05000000 05000000 00 00"},
       ""},
      {"DESFireCreateStdDataFile",
       {8, 0, 0, 0, 0, kFree, 1},
       {"90CD000007 08 00 0E00 010000 00"},
       ""},
      // Any byte passes our check for a change; the card judges it: 2 it takes, 4 it refuses.
      {"DESFireChangeFileSettings",
       {8, 2, 0, 0, 0, kFree},
       {"90F5000001 08 00", "905F000004 08 02 0E00 00"},
       ""},
      {"DESFireChangeFileSettings",
       {8, 4, 0, 0, 0, kFree},
       {"90F5000001 08 00", "905F000004 08 04 0E00 00"},
       "919E"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.member);
    Reselect();
    SetError(StateOf(encoder_), {.rdrRetCode = ""});
    const size_t from = LogSize();
    EXPECT_EQ(Call(row.member, row.args), row.status.empty());
    EXPECT_TRUE(FramesMatch(row.frames, SentFrames(from))) << SentFrames(from).at(0);
    EXPECT_EQ(Error().RdrRetCode, row.status);  // nothing left by an earlier refusal
  }
}

// The file's change right chooses the form: free sends the settings plain, a key enciphered at
// once; a file whose settings cannot be read gets the plain form, then the enciphered one.
TEST_F(DesfireFilesTest, ChangeFileSettingsSendsTheFormTheChangeRightAsks) {
  for (const auto& [file, change] : {std::pair{1, kFree}, {2, 0}, {3, kDeny}}) {
    ASSERT_TRUE(Call("DESFireCreateStdDataFile", {file, 0, kFree, kFree, kFree, change, 32}));
  }
  const std::string crypto(16, '*');
  const struct {
    std::vector<Variant> args;
    int32_t sessionKey;
    std::vector<std::string> frames;
    std::string status;    // "" when the change is made
    std::string settings;  // after a change
  } rows[] = {
      {{1, dfcPlainMac, 1, 2, 3, kFree},
       0,
       {"90F500000101 00", "905F000004 01 01 3E12 00"},
       "",
       "00 01 3E 12 20 00 00"},
      {{2, dfcCiphered, 1, 2, 3, 0},
       0,
       {"90F500000102 00", "905F000009 02" + crypto + "00"},
       "",
       "00 03 30 12 20 00 00"},
      // Key 1's session may not change what key 0 guards.
      {{2, dfcPlain, 1, 2, 3, 0},
       1,
       {"90F500000102 00", "905F000009 02" + crypto + "00"},
       "91AE",
       ""},
      {{3, dfcPlain, 1, 2, 3, 0},
       0,
       {"90F500000103 00", "905F000004 03 00 3012 00", "905F000009 03" + crypto + "00"},
       "919D",
       ""},
      {{9, dfcPlain, 1, 2, 3, 0},
       0,
       {"90F500000109 00", "905F000004 09 00 3012 00", "905F000009 09" + crypto + "00"},
       "91F0",
       ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args[0].asInt64());
    Reselect(row.sessionKey);
    SetError(StateOf(encoder_), {.number = 7});
    const size_t from = LogSize();
    EXPECT_EQ(Call("DESFireChangeFileSettings", row.args), row.status.empty());
    EXPECT_TRUE(FramesMatch(row.frames, SentFrames(from))) << SentFrames(from).back();
    if (row.status.empty()) {
      EXPECT_EQ(Error().Number, 7);
      EXPECT_EQ(Settings(static_cast<int32_t>(row.args[0].asInt64())), row.settings);
    } else {
      EXPECT_EQ(static_cast<uint32_t>(Error().Number), 0x90010E03u);
      EXPECT_EQ(Error().ComFunction, "DESFireChangeFileSettings");
      EXPECT_EQ(Error().RdrRetCode, row.status);
    }
  }
  // A settings read that fails leaves no trace when the change then succeeds.
  Reselect();
  SetError(StateOf(encoder_), {.number = 7});
  ForceStatusWords(0x91CA);
  const size_t from = LogSize();
  EXPECT_TRUE(Call("DESFireChangeFileSettings", {1, dfcPlain, 0, 0, 0, kFree}));
  EXPECT_EQ(SentFrames(from).size(), 2u);
  EXPECT_EQ(Error().Number, 7);
}

// What the data and value operations build on, and the list's own order.
TEST_F(DesfireFilesTest, CharacteristicsAndIdListForTheOtherOperations) {
  EXPECT_EQ(desfire::FileIdList("040001"), "0,1,4");
  EXPECT_EQ(desfire::FileIdList("1F0F0A"), "10,15,31");
  EXPECT_EQ(desfire::FileIdList(""), "");
  ASSERT_TRUE(Call("DESFireCreateValueFile", {5, dfcCiphered, 0, 0, 0, 0, 0, 10, 0, false}));
  const auto found = desfire::GetFileCharacteristics(StateOf(encoder_), 5);
  EXPECT_EQ(std::pair(found.fileType, found.communicationSettings),
            std::pair(int32_t{dftValue}, int32_t{dfcCiphered}));
  try {
    desfire::GetFileCharacteristics(StateOf(encoder_), 6);
    ADD_FAILURE() << "no failure raised";
  } catch (const Failure& failure) {
    EXPECT_EQ(static_cast<uint32_t>(failure.number()), 0x90010E03u);
    EXPECT_EQ(failure.source(), "DESFireGetFileCharacteristics");
  }
  EXPECT_EQ(std::pair(Error().ComFunction, Error().RdrRetCode),
            std::pair(std::string("DESFireGetFileSettings"), std::string("91F0")));
}

}  // namespace
}  // namespace tarsin
