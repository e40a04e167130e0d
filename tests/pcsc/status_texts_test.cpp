#include "pcsc/status_texts.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "pcsc/status_text_tables.h"

namespace tarsin {
namespace {

using status_texts::kAnyOtherSW2;
using status_texts::kSCardErrors;
using status_texts::kStatusWords;

// Typed out apart from the tables, with the typographic characters as escapes.
const std::string kLeftQuote = "\u2018";
const std::string kRightQuote = "\u2019";

struct TextCase {
  std::string statusWord;
  std::string text;
};
void PrintTo(const TextCase& c, std::ostream* os) {
  *os << '"' << c.statusWord << '"';
}

class StatusWordTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(StatusWordTextTest, GivesTheExpectedSentence) {
  EXPECT_EQ(StatusWordText(GetParam().statusWord), GetParam().text) << GetParam().statusWord;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StatusWordTextTest,
    ::testing::Values(
        TextCase{"9000", "[OK]  Command successfully executed."},
        TextCase{"9100", "[OK]  DESFire, successful operation."},
        TextCase{"6282",
                 "[Warning]  Fewer bytes than specified by the Le parameter could be read, "
                 "since the end of the file was encountered first."},
        TextCase{"62FF", "[Warning]  State of non-volatile memory not changed."},
        TextCase{"6400", "[Error]  State of non-volatile memory not changed."},
        TextCase{"6581", "[Error]  Memory error (e.g. during a write operation)."},
        TextCase{"6A86", "[Aborted]  Incorrect P1or P2 parameter."},
        TextCase{"6F00",
                 "[Aborted]  Command aborted \u2013 more exact diagnosis not possible "
                 "(e.g., operating system error)."},
        TextCase{"6F01", "[Aborted]  Check error."},
        TextCase{"910C",
                 "[Warning]  DESFire, No changes done to the backup files, "
                 "CommitTransaction / AbortTransaction not necessary."},
        TextCase{"91AE",
                 "[Error]  DESFire, current authentication status doesn't allow the "
                 "requested command. Authenticate first."},
        TextCase{"91f1",
                 "[Error]  DESFire, unrecoverable error within file, file will be disabled."},
        TextCase{"9408", "[Aborted]  Selected file type does not match command."},
        TextCase{"9850",
                 "[Aborted]  INCREASE or DECREASE could not be executed because a limit "
                 "has been reached."}));

INSTANTIATE_TEST_SUITE_P(
    Patterns, StatusWordTextTest,
    ::testing::Values(
        TextCase{"6110", "[OK]  Command successfully executed; " + kLeftQuote + "0x010" +
                             kRightQuote +
                             " bytes of data are available and can be requested using GET "
                             "RESPONSE."},
        TextCase{"9F10",
                 "[OK]  Command successfully executed, 16 bytes of data are available "
                 "and can be requested using GET RESPONSE."},
        TextCase{"6C1A", "[Aborted]  Bad length value in Le; " + kLeftQuote + "0x01A" +
                             kRightQuote + " is the correct length."},
        TextCase{"6c1a", "[Aborted]  Bad length value in Le; " + kLeftQuote + "0x01a" +
                             kRightQuote + " is the correct length."},
        TextCase{"63C2", "[Warning]  The counter has reached the value " + kLeftQuote + "x" +
                             kRightQuote +
                             " (0 = x = 15) (the exact significance depends on the command)."},
        TextCase{"63c2", "[Warning]  The counter has reached the value " + kLeftQuote + "x" +
                             kRightQuote +
                             " (0 = x = 15) (the exact significance depends on the command)."},
        TextCase{"6300", "[Warning]  State of non-volatile memory changed."},
        TextCase{"6381", "[Warning]  State of non-volatile memory changed."},
        TextCase{"6A84", "[Aborted]  Insufficient memory."},
        TextCase{"9210", "[Aborted]  Insufficient memory."},
        TextCase{"9203", "[OK]  Writing to EEPROM successful after 3 attempts."},
        TextCase{"920F", "[OK]  Writing to EEPROM successful after 15 attempts."},
        TextCase{"6A90", "[Aborted]  Check error."},
        TextCase{"6a82", "[Aborted]  File not found."}));

INSTANTIATE_TEST_SUITE_P(Unknown, StatusWordTextTest,
                         ::testing::Values(TextCase{"9211", "[Unknown]  Unknown retcode '9211'."},
                                           TextCase{"9199", "[Unknown]  Unknown retcode '9199'."},
                                           TextCase{"abcd", "[Unknown]  Unknown retcode 'ABCD'."},
                                           TextCase{"", "[Unknown]  Unknown retcode ''."},
                                           TextCase{"90001", "[Unknown]  Unknown retcode '90001'."},
                                           TextCase{"91000", "[Unknown]  Unknown retcode '91000'."},
                                           TextCase{"6G00", "[Unknown]  Unknown retcode '6G00'."},
                                           TextCase{"OK", "[Unknown]  Unknown retcode 'OK'."}));

bool IsStatusWordPattern(int sw1, int sw2) {
  return sw1 == 0x61 || sw1 == 0x63 || sw1 == 0x6C || sw1 == 0x9F || (sw1 == 0x92 && sw2 <= 0x0F);
}

// Every row of the table, read back through StatusWordText in both cases of hexadecimal.
TEST(StatusWordTable, EveryRowIsWellFormedAndReachable) {
  std::set<std::pair<int, int>> seen;
  for (const auto& row : kStatusWords) {
    SCOPED_TRACE(fmt::format("{:02X} {}", row.sw1, row.sw2));
    EXPECT_TRUE(seen.insert({row.sw1, row.sw2}).second) << "duplicate row";
    EXPECT_TRUE(row.text.starts_with("[OK]  ") || row.text.starts_with("[Warning]  ") ||
                row.text.starts_with("[Error]  ") || row.text.starts_with("[Aborted]  "));
    EXPECT_EQ(row.text.find("   "), std::string_view::npos);
    EXPECT_TRUE(row.text.ends_with("."));
    EXPECT_TRUE(row.sw2 == kAnyOtherSW2 || (row.sw2 >= 0 && row.sw2 <= 0xFF));
    if (row.sw2 == kAnyOtherSW2) continue;
    EXPECT_FALSE(IsStatusWordPattern(row.sw1, row.sw2));
    EXPECT_EQ(StatusWordText(fmt::format("{:02X}{:02X}", row.sw1, row.sw2)), row.text);
    EXPECT_EQ(StatusWordText(fmt::format("{:02x}{:02x}", row.sw1, row.sw2)), row.text);
  }
  EXPECT_EQ(seen.size(), 75u);  // 64 status words, 11 rows for "any other SW2"
}

// The SW1 values that have texts, and whether any SW2 under them has one.
TEST(StatusWordTable, OnlyKnownFamiliesHaveTexts) {
  const std::set<int> withDefault = {0x61, 0x62, 0x63, 0x64, 0x65, 0x67, 0x68, 0x69,
                                     0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F, 0x9F};
  const std::set<int> withoutDefault = {0x91, 0x92, 0x94, 0x98};
  for (int sw1 = 0; sw1 <= 0xFF; ++sw1) {
    for (int sw2 = 0; sw2 <= 0xFF; ++sw2) {
      const std::string word = fmt::format("{:02X}{:02X}", sw1, sw2);
      if (word == "9000" || word == "9100") continue;
      const bool unknown = StatusWordText(word).starts_with("[Unknown]  ");
      if (withDefault.contains(sw1)) {
        EXPECT_FALSE(unknown) << word;
      } else if (!withoutDefault.contains(sw1)) {
        EXPECT_TRUE(unknown) << word;
      }
    }
  }
}

struct SCardCase {
  uint32_t code;
  std::string text;
};
void PrintTo(const SCardCase& c, std::ostream* os) {
  *os << fmt::format("0x{:X}", c.code);
}

class SCardErrorTextTest : public ::testing::TestWithParam<SCardCase> {};

TEST_P(SCardErrorTextTest, GivesTheExpectedSentence) {
  EXPECT_EQ(SCardErrorText(static_cast<int32_t>(GetParam().code)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    All, SCardErrorTextTest,
    ::testing::Values(
        SCardCase{0, "OK (SCARD_S_SUCCESS)"},
        SCardCase{0x8010000B,
                  "The smart card cannot be accessed because of other connections "
                  "outstanding (SCARD_E_SHARING_VIOLATION)."},
        SCardCase{0x8010000C, "No Smart Card is currently in the device (SCARD_E_NO_SMARTCARD)."},
        SCardCase{0x8010001D,
                  "The Smart card resource manager is not running (SCARD_E_NO_SERVICE)."},
        SCardCase{0x80100069,
                  "The smart card has been removed, so that further communication "
                  "is not possible (SCARD_W_REMOVED_CARD)."},
        SCardCase{0x80100008, "Unexpected error 0x80100008"},
        SCardCase{0x80100003, "Unexpected error 0x80100003"},
        SCardCase{0x80100016, "Unexpected error 0x80100016"}, SCardCase{6, "Unexpected error 0x6"},
        SCardCase{0xFFFFFFFF, "Unexpected error 0xFFFFFFFF"},
        SCardCase{0x8010006A, "Unexpected error 0x8010006A"}));

TEST(SCardErrorTable, EveryRowIsWellFormedAndReachable) {
  std::set<uint32_t> seen;
  for (const auto& row : kSCardErrors) {
    SCOPED_TRACE(fmt::format("{:08X}", row.code));
    EXPECT_TRUE(seen.insert(row.code).second) << "duplicate row";
    EXPECT_TRUE(row.code == 0 || (row.code & 0xFFFFFF00) == 0x80100000);
    const size_t open = row.text.rfind(" (SCARD_");
    ASSERT_NE(open, std::string_view::npos);
    EXPECT_TRUE(row.text.ends_with(")") || row.text.ends_with(")."));
    EXPECT_EQ(SCardErrorText(static_cast<int32_t>(row.code)), row.text);
  }
  EXPECT_EQ(seen.size(), 22u);
}

}  // namespace
}  // namespace tarsin
