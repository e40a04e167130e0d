// SPDX-License-Identifier: Apache-2.0
// The status texts of the card and of the platform, and the command table.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>

#include "core/variant_text.h"
#include "pcsc/command_table.h"
#include "pcsc/status_text_tables.h"
#include "pcsc/status_texts.h"

namespace tarsin {
namespace {

using status_texts::kAnyOtherSW2;
using status_texts::kStatusWords;

// Expected texts typed out apart from the code, the typographic characters as escapes: the
// patterns, a fallback, and a table row with a dash. The other rows are read back below.
TEST(StatusWordText, PatternsFallbacksAndTheUnknown) {
  const std::string counted =
      "\u2018x\u2019 (0 = x = 15) (the exact significance depends on the command).";
  const std::pair<std::string, std::string> cases[] = {
      {"62FF", "[Warning]  State of non-volatile memory not changed."},
      {"6F00",
       "[Aborted]  Command aborted \u2013 more exact diagnosis not possible (e.g., "
       "operating system error)."},
      {"6A90", "[Aborted]  Check error."},
      {"6110",
       "[OK]  Command successfully executed; \u20180x010\u2019 bytes of data are "
       "available and can be requested using GET RESPONSE."},
      {"9F10",
       "[OK]  Command successfully executed, 16 bytes of data are available and can be "
       "requested using GET RESPONSE."},
      {"6C1A", "[Aborted]  Bad length value in Le; \u20180x01A\u2019 is the correct length."},
      {"6c1a", "[Aborted]  Bad length value in Le; \u20180x01a\u2019 is the correct length."},
      {"63C2", "[Warning]  The counter has reached the value " + counted},
      {"63c2", "[Warning]  The counter has reached the value " + counted},
      {"6381", "[Warning]  State of non-volatile memory changed."},
      {"920F", "[OK]  Writing to EEPROM successful after 15 attempts."},
      {"9211", "[Unknown]  Unknown retcode '9211'."},
      {"9199", "[Unknown]  Unknown retcode '9199'."},
      {"abcd", "[Unknown]  Unknown retcode 'ABCD'."},
      {"", "[Unknown]  Unknown retcode ''."},
      {"90001", "[Unknown]  Unknown retcode '90001'."},
      {"6G00", "[Unknown]  Unknown retcode '6G00'."}};
  for (const auto& [statusWord, text] : cases)
    EXPECT_EQ(StatusWordText(statusWord), text) << statusWord;
}

// The pattern rules run before the table: a row they would shadow, or a second row for the same
// status word, reads back another text.
TEST(StatusWordText, EveryRowIsReachable) {
  for (const auto& row : kStatusWords) {
    if (row.sw2 == kAnyOtherSW2) continue;
    EXPECT_EQ(StatusWordText(fmt::format("{:02X}{:02X}", row.sw1, row.sw2)), row.text);
  }
}

TEST(SCardErrorText, SuccessAndTheUnexpectedForm) {
  const std::pair<uint32_t, std::string> cases[] = {{0, "OK (SCARD_S_SUCCESS)"},
                                                    {0x80100008, "Unexpected error 0x80100008"},
                                                    {6, "Unexpected error 0x6"},
                                                    {0xFFFFFFFF, "Unexpected error 0xFFFFFFFF"}};
  for (const auto& [code, text] : cases)
    EXPECT_EQ(SCardErrorText(static_cast<int32_t>(code)), text);
}

// Every placeholder filled from its element; what cannot become hex text leaves the placeholder.
// (Plain templates are checked by the frames the card tests see and the cards accept.)
TEST(CommandTable, FillsEveryPlaceholderFromItsElement) {
  const std::tuple<int32_t, Variant::Array, std::string> cases[] = {
      // 5 characters / 2 = 2.5, halves to even.
      {ec_LoadKey, {"00", "ABCDE"}, "FF 82 20 00 02 ABCDE"},
      {ec_MifareClassicWrite, {"0004", "unused", "00112233"}, "FF D6 0004 10 00112233"},
      {ec_DesfireCreateApplication, {"010203", "15", 2.5}, "90CA0000050102030F0200"},
      // Out of a byte's range: the placeholder stays, so the command cannot be sent as hex.
      {ec_DesfireCreateApplication, {"010203", 256, 1}, "90CA000005010203[KEY_SETTINGS]0100"},
      // C hexadecimal is not a number here either: nothing is guessed into a byte.
      {ec_DesfireCreateApplication, {"010203", "0x0F", 1}, "90CA000005010203[KEY_SETTINGS]0100"},
      {ec_DesfireCreateApplication, {"010203", "&H0F", "&h3"}, "90CA0000050102030F0300"},
      {ec_DesfireWriteData, {"ignored", "05", "0102030405"}, "903D000005010203040500"},
      {ec_DesfireGetKeyVersion, {int32_t{3}}, "9064000001300"},
      {ec_EscapeExt, {"ff ca-00,zz;00"}, "FFCA00ZZ00"},
      {ec_DesfireAuthenticate1, {"00", "000000", "a", "b", "c"}, ""},
      {9999, {"00"}, ""},
  };
  for (const auto& [code, params, filled] : cases)
    EXPECT_EQ(FillTemplate(FindCommand(code), params), filled) << code << " " << filled;
}

TEST(CommandTable, UnknownCodesAndTheErrorNameOfAFollowingFrame) {
  EXPECT_EQ(FindCommand(1100).logName, "Unknown");
  EXPECT_EQ(FindCommand(1100).errorName, "Unknown");
  EXPECT_EQ(ErrorName(FindCommand(ec_DesfireSendNextData), {"DesfireWriteData", "3B", "00"}),
            "DesfireWriteData");
}

TEST(CommandTable, ElementsBecomeText) {
  EXPECT_EQ(ElementText(Variant(int32_t{42})), "42");
  EXPECT_EQ(ElementText(Variant(true)), "True");
  EXPECT_EQ(ElementText(Variant()), "");
  EXPECT_EQ(ElementText(Variant(2.5)), "2.5");
  EXPECT_EQ(ElementText(Variant(Variant::Array{})), std::nullopt);
}

TEST(CommandTable, PlaceholdersMatchWithoutRegardToCase) {
  Command row{1, "x", "x", "00[key_number][Key_Number]"};
  row.placeholders[0] = {"[KEY_NUMBER]", 0};
  EXPECT_EQ(FillTemplate(row, {"0A"}), "000A0A");
}

}  // namespace
}  // namespace tarsin
