#include "core/variant_text.h"
#include "pcsc/command_table.h"

#include <gtest/gtest.h>

namespace tarsin {
namespace {

struct FillCase {
  int32_t code;
  Variant::Array params;
  std::string filled;
};

void PrintTo(const FillCase& c, std::ostream* os) { *os << c.code << " -> " << c.filled; }

class FillTemplateTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillTemplateTest, FillsEveryPlaceholderFromItsElement) {
  const FillCase& c = GetParam();
  EXPECT_EQ(FillTemplate(FindCommand(c.code), c.params), c.filled);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FillTemplateTest,
    ::testing::Values(
        FillCase{ec_GetUID, {}, "FFCA000000"},
        FillCase{ec_LoadKey, {"00", "FFFFFFFFFFFF"}, "FF 82 20 00 06 FFFFFFFFFFFF"},
        // 5 characters / 2 = 2.5, halves to even.
        FillCase{ec_LoadKey, {"00", "ABCDE"}, "FF 82 20 00 02 ABCDE"},
        FillCase{ec_GeneralAuthenticate, {"00", "0004", "60"}, "FF 86 00 00 05 01 0004 60 00"},
        FillCase{ec_MifareClassicRead, {"0004"}, "FF B0 0004 00"},
        FillCase{ec_MifareClassicWrite, {"0004", "unused", "00112233"},
                 "FF D6 0004 10 00112233"},
        FillCase{ec_DesfireCreateApplication, {"010203", 15, 3}, "90CA0000050102030F0300"},
        FillCase{ec_DesfireCreateApplication, {"010203", "15", 2.5}, "90CA0000050102030F0200"},
        // Out of a byte's range: the placeholder stays, so the command cannot be sent as hex.
        FillCase{ec_DesfireCreateApplication, {"010203", 256, 1},
                 "90CA000005010203[KEY_SETTINGS]0100"},
        // C hexadecimal is not a number here either: nothing is guessed into a byte.
        FillCase{ec_DesfireCreateApplication, {"010203", "0x0F", 1},
                 "90CA000005010203[KEY_SETTINGS]0100"},
        FillCase{ec_DesfireCreateApplication, {"010203", "&H0F", "&h3"}, "90CA0000050102030F0300"},
        FillCase{ec_DesfireSelectApplication, {"F0E1D2"}, "905A000003F0E1D200"},
        FillCase{ec_DesfireWriteData, {"ignored", "05", "0102030405"}, "903D0000050102030405"
                                                                        "00"},
        FillCase{ec_DesfireReadData, {"01", "000000", "100000"}, "90BD00000701000000100000"
                                                                 "00"},
        FillCase{ec_DesfireGetKeyVersion, {int32_t{3}}, "9064000001300"},
        FillCase{ec_Escape, {"ff ca-00 00 00"}, "FFCA000000"},
        FillCase{ec_EscapeExt, {"ff,zz;00"}, "FFZZ00"},
        FillCase{ec_DesfireAuthenticate1, {"00", "000000", "a", "b", "c"}, ""},
        FillCase{9999, {"00"}, ""}));

TEST(CommandTable, NamesOfTheLogAndOfErrorsDifferWhereTheTableSaysSo) {
  EXPECT_EQ(FindCommand(ec_DesfireAuthenticate2).logName, "DesfireAuthenticate2");
  EXPECT_EQ(FindCommand(ec_DesfireAuthenticate2).errorName, "DESFireAuthenticate");
  EXPECT_EQ(FindCommand(ec_DesfireAuthenticate3).errorName, "DesfireAuthenticate");
  EXPECT_EQ(FindCommand(ec_ContinueResponse).errorName, "MoreResponse");
  EXPECT_EQ(FindCommand(ec_DesfireGetFileIds).errorName, "DesfireGetFileIDs");
  EXPECT_EQ(FindCommand(1090).logName, "Unknown");
  EXPECT_EQ(FindCommand(1090).errorName, "Unknown");
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
  const Command row{1, "x", "x", "00[key_number][Key_Number]"};
  Command withPlaceholder = row;
  withPlaceholder.placeholders[0] = {"[KEY_NUMBER]", 0};
  EXPECT_EQ(FillTemplate(withPlaceholder, {"0A"}), "000A0A");
}

}  // namespace
}  // namespace tarsin
