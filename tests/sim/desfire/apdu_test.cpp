#include "card_fixture.h"

namespace tarsin::sim::testing {
namespace {

TEST(DesfireApdu, WrappingAndIsoSelect) {
  DesfireCard card = DesfireCard::Blank(DesfireCapacity::k2K);
  const struct {
    const char* what;
    const char* apdu;
    const char* answer;
  } cases[] = {
      {"free memory", "90 6E 00 00 00", "00 08 00 91 00"},
      {"without Le", "90 6E 00 00", "00 08 00 91 00"},
      {"select the card level, Le absent", "90 5A 00 00 03 00 00 00", "91 00"},
      {"Lc beyond the data", "90 5A 00 00 05 00 00 00 00", "67 00"},
      {"too short", "90 6E 00", "67 00"},
      {"P1 not zero", "90 6E 01 00 00", "6A 86"},
      {"another class", "80 6E 00 00 00", "6E 00"},
      {"unknown native command", "90 99 00 00 00", "91 1C"},
      {"ISO select of the card DF name", "00 A4 04 00 07 D2 76 00 00 85 01 00 00", "90 00"},
      {"ISO select of the master file", "00 A4 00 0C 02 3F 00", "90 00"},
      {"ISO select of another name", "00 A4 04 00 07 A0 00 00 00 03 10 10 00", "6A 82"},
  };
  for (const auto& c : cases) EXPECT_EQ(card.Transmit(Hex(c.apdu)), Hex(c.answer)) << c.what;
}

TEST(DesfireApdu, AtrAndUid) {
  DesfireCard card = DesfireCard::Blank(DesfireCapacity::k4K, Hex("04 A1 B2 C3 D4 E5 F6"));
  EXPECT_EQ(card.Atr(), Hex("3B 81 80 01 80 80"));
  EXPECT_EQ(card.Uid(), Hex("04 A1 B2 C3 D4 E5 F6"));
}

}  // namespace
}  // namespace tarsin::sim::testing
