#include <random>

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

// Whatever arrives, the card answers with a status word and at most one frame of data.
TEST(DesfireApdu, RandomCommandsGetStatusWords) {
  DesfireCard card = DesfireCard::Blank(DesfireCapacity::k2K);
  TestHost host(card);
  ASSERT_TRUE(host.Authenticate(0, Key16{}));
  ASSERT_EQ(host.Frame(0xCA, Hex("01 00 00 0F 02")).sw, kOk);
  std::mt19937 random(7);
  for (int i = 0; i < 20000; ++i) {
    Bytes apdu{0x90, static_cast<uint8_t>(random()), 0x00, 0x00};
    const size_t length = random() % 64;
    apdu.push_back(static_cast<uint8_t>(length));
    for (size_t n = 0; n < length; ++n)
      apdu.push_back(static_cast<uint8_t>(random() % 4 ? random() % 8 : random()));
    apdu.push_back(0x00);
    const Bytes answer = card.Transmit(apdu);
    ASSERT_GE(answer.size(), 2u);
    ASSERT_LE(answer.size(), 61u);
    if (i % 500 == 0) card.Reset();
  }
}

}  // namespace
}  // namespace tarsin::sim::testing
