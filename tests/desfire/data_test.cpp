// SPDX-License-Identifier: Apache-2.0
// DESFire data, records and values on the virtual EV1 card, in plain communication.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include "crypto/convert_data.h"
#include "desfire/desfire_fixture.h"
#include "desfire/file_transfer.h"
#include "pcsc/command_table.h"

namespace tarsin {
namespace {

using testing::kZeroKey;
constexpr int32_t kFree = dfaAllowAll;

std::string Pattern(size_t bytes) {
  std::string hex;
  for (size_t i = 0; i < bytes; ++i) hex += fmt::format("{:02X}", (i * 7 + 3) % 256);
  return hex;
}
std::string Spaced(const std::string& hex) {
  return conversion::ToSpacedHex(HexToBytes(hex));
}

// An application with one file of each kind (ids 0 to 4), every right free.
class DesfireDataTest : public testing::DesfireTest {
 protected:
  void SetUp() override {
    DesfireTest::SetUp();
    Run({{"DESFireSelectRoot", {kZeroKey}, "ok"},
         {"DESFireCreateApplication", {"A1A2A3", dfkApplDefault, 2}, "ok"},
         {"DESFireSelectApplication", {"A1A2A3", 0, kZeroKey}, "ok"},
         {"DESFireCreateStdDataFile", {0, 0, kFree, kFree, kFree, kFree, 1000}, "ok"},
         {"DESFireCreateBackupDataFile", {1, 0, kFree, kFree, kFree, kFree, 64}, "ok"},
         {"DESFireCreateValueFile", {2, 0, kFree, kFree, kFree, kFree, -100, 1000, 10, true}, "ok"},
         {"DESFireCreateLinearRecordFile", {3, 0, kFree, kFree, kFree, kFree, 8, 2}, "ok"},
         {"DESFireCreateCyclicRecordFile", {4, 0, kFree, kFree, kFree, kFree, 4, 3}, "ok"}});
  }
  // The data bytes of each frame sent from log line `from` on.
  std::vector<size_t> FrameSizes(size_t from) const {
    std::vector<size_t> sizes;
    for (const std::string& frame : SentFrames(from))
      if (frame.starts_with("903D") || frame.starts_with("90AF0000"))
        sizes.push_back(std::stoul(frame.substr(8, 2), nullptr, 16));
    return sizes;
  }
  std::string Read(int32_t file, int32_t offset, int32_t length, bool hex = true) {
    std::string data = "unchanged";
    EXPECT_EQ(encoder_.DESFireReadData(file, offset, length, data, hex), scesuccess);
    return data;
  }
};

// 45 bytes fit the first frame with the 7-byte header; then 59-byte frames follow.
TEST_F(DesfireDataTest, DataTravelsInFramesOf52Then59Bytes) {
  const std::pair<size_t, std::vector<size_t>> rows[] = {
      {1, {8}},
      {45, {52}},
      {46, {52, 1}},
      {200, {52, 59, 59, 37}},
      {1000, {52, 59, 59, 59, 59, 59, 59, 59, 59, 59, 59, 59, 59, 59, 59, 59, 59, 11}}};
  for (const auto& [bytes, frames] : rows) {
    const std::string data = Pattern(bytes);
    const size_t from = LogSize();
    ASSERT_EQ(encoder_.DESFireWriteData(0, 0, 0, data, true), scesuccess) << bytes;
    EXPECT_EQ(FrameSizes(from), frames) << bytes;
    EXPECT_EQ(Read(0, 0, static_cast<int32_t>(bytes)), Spaced(data));
  }
  // Length 0 is the whole data; another length pads with zeros or cuts; text goes byte by byte.
  ASSERT_EQ(encoder_.DESFireWriteData(0, 0, 5, "0A0B0C", true), scesuccess);
  EXPECT_EQ(Read(0, 0, 6), "0A 0B 0C 00 00 " + Spaced(Pattern(1000)).substr(15, 2));
  ASSERT_EQ(encoder_.DESFireWriteData(0, 0, 2, "FFFFFF", true), scesuccess);
  EXPECT_EQ(Read(0, 0, 3), "FF FF 0C");
  ASSERT_EQ(encoder_.DESFireWriteData(0, 998, 0, "AB", false), scesuccess);
  EXPECT_EQ(Read(0, 998, 0), "41 42");  // 0 reads to the end
  EXPECT_EQ(Read(0, 998, 2, false), "AB");
}

// A card that still wants data after the last frame gets one empty frame; the header here
// promises 10 bytes and brings 5.
TEST_F(DesfireDataTest, AnEmptyFrameFollowsWhenTheCardWantsMore) {
  Operation operation(StateOf(encoder_), "DESFireWriteData", Operation::Entry::KeepError);
  const size_t from = LogSize();
  const std::array accepted = {dftData};
  const std::array rights = {desfire::Right::Write};
  desfire::NativeAnswer answer;
  EXPECT_FALSE(desfire::SendFileData(operation, 0,
                                     {.code = ec_DesfireWriteData,
                                      .header = HexToBytes("000000000A0000"),
                                      .data = HexToBytes("0102030405")},
                                     {accepted, rights}, answer));
  EXPECT_EQ(FrameSizes(from), (std::vector<size_t>{12, 0}));
  EXPECT_EQ(answer.status.Text(), "917E");
  EXPECT_EQ(Error().RdrCommand, "SCardTransmit:DesfireWriteData");  // the command's own name
}

TEST_F(DesfireDataTest, RecordsAndValuesFollowTheirTransactions) {
  // After a refusal the card wants a new authentication.
  const Step select{"DESFireSelectApplication", {"A1A2A3", 0, kZeroKey}, "ok"},
      commit{"DESFireCommitTransaction", {}, "ok"};
  // clang-format off
  Run({
      // A record is made by each commit; a linear file then refuses a third (91BE).
      {"DESFireWriteRecord", {3, 0, 0, "1111111111111111", true}, "ok"}, commit,
      {"DESFireWriteRecord", {3, 0, 0, "2222222222222222", true}, "ok"}, commit,
      {"DESFireWriteRecord", {3, 0, 0, "33", true}, "90010E03 91BE"}, select,
      {"DESFireReadRecords", {3, 0, 0, "", true}, "ok " + Spaced(std::string(16, '1') + std::string(16, '2'))},
      {"DESFireClearRecordFile", {3}, "ok"}, commit,
      // A cyclic file of three records keeps the two newest, read oldest first.
      {"DESFireWriteRecord", {4, 0, 0, "AAAAAAAA", true}, "ok"}, commit,
      {"DESFireWriteRecord", {4, 0, 0, "BBBBBBBB", true}, "ok"}, commit,
      {"DESFireWriteRecord", {4, 0, 0, "CCCCCCCC", true}, "ok"}, commit,
      {"DESFireReadRecords", {4, 0, 2, "", true}, "ok BB BB BB BB CC CC CC CC"},
      // Values to both limits and not beyond; nothing pending to commit (910C).
      {"DESFireGetValue", {2, 0}, "ok 10"},
      {"DESFireCredit", {2, 990}, "ok"}, commit,
      {"DESFireDebit", {2, 1100}, "ok"}, commit,
      {"DESFireGetValue", {2, 0}, "ok -100"},
      {"DESFireDebit", {2, 1}, "90010E50 91BE"}, select,
      {"DESFireDebit", {0, 1}, "90010E03 91BE"},  // a data file: not the stale 91BE's error
      {"DESFireCommitTransaction", {}, "90010E4F 910C"}, select,
      // An abort restores the value and the backup file.
      {"DESFireWriteData", {1, 0, 4, "01020304", true}, "ok"}, commit,
      {"DESFireWriteData", {1, 0, 4, "FFFFFFFF", true}, "ok"},
      {"DESFireCredit", {2, 50}, "ok"},
      {"DESFireAbortTransaction", {}, "ok"},
      {"DESFireReadData", {1, 0, 4, "", true}, "ok 01 02 03 04"},
      {"DESFireGetValue", {2, 0}, "ok -100"},
      // Limited credit gives back at most what was last debited.
      {"DESFireCredit", {2, 200}, "ok"}, commit,
      {"DESFireDebit", {2, 30}, "ok"}, commit,
      {"DESFireLimitedCredit", {2, 31}, "90010E51 91BE"}, select,
      {"DESFireLimitedCredit", {2, 30}, "ok"}, commit,
      {"DESFireLimitedCredit", {2, 1}, "90010E51 91BE"}, select,  // once per debit
      {"DESFireGetValue", {2, 0}, "ok 100"},
  });
  // clang-format on
}

// The refusals, late-bound one row a line; the range errors send nothing.
TEST_F(DesfireDataTest, RefusalsRecordTheirError) {
  const auto refused = [&](const char* member, automation::Arguments args, uint32_t number) {
    return Refused(member, std::move(args), number).framesSent;
  };
  const auto n = [](int32_t value) { return Variant(value); };
  const Variant data("00"), hex(true);
  const int32_t big = 0x1000000;
  for (const auto& [write, lastFile] :
       {std::pair("DESFireWriteData", 15), std::pair("DESFireWriteRecord", 7)}) {
    EXPECT_EQ(refused(write, {n(lastFile + 1), n(0), n(1), data, hex}, 0x90010E41), 0u);
    EXPECT_EQ(refused(write, {n(0), n(-1), n(1), data, hex}, 0x90010E49), 0u);
    EXPECT_EQ(refused(write, {n(0), n(big), n(1), data, hex}, 0x90010E49), 0u);
    EXPECT_EQ(refused(write, {n(0), n(0), n(-1), data, hex}, 0x90010E4A), 0u);
    EXPECT_EQ(refused(write, {n(0), n(0), n(big), data, hex}, 0x90010E4A), 0u);
  }
  EXPECT_EQ(refused("DESFireReadData", {n(16), n(0), n(0), data, hex}, 0x90010E41), 0u);
  EXPECT_EQ(refused("DESFireReadRecords", {n(3), n(0), n(big), data, hex}, 0x90010E4A), 0u);
  EXPECT_EQ(refused("DESFireGetValue", {n(8), n(0)}, 0x90010E41), 0u);
  EXPECT_EQ(refused("DESFireDebit", {n(2), n(-1)}, 0x90010E4E), 0u);
  refused("DESFireReadData", {n(9), n(0), n(0), data, hex}, 0x90010E4D);
  EXPECT_EQ(Error().RdrRetCode, "91F0");
  ASSERT_EQ(encoder_.DESFireSelectApplication("A1A2A3", 0, kZeroKey), scesuccess);
  refused("DESFireReadData", {n(2), n(0), n(0), data, hex}, 0x90010E48);
  refused("DESFireGetValue", {n(0), n(0)}, 0x90010E48);
  refused("DESFireWriteData", {n(2), n(0), n(1), data, hex}, 0x90010E03);  // type error replaced
  refused("DESFireCredit", {n(0), n(1)}, 0x90010E03);
  ForceStatusWords(0x919E);  // the file's settings cannot be read
  refused("DESFireReadData", {n(0), n(0), n(1), data, hex}, 0x90010E03);
}

}  // namespace
}  // namespace tarsin
