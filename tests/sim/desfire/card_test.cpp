// The card level and the directory: wrapping, versions, applications, file settings, the saved
// card, and random commands.
#include <random>

#include "host.h"

namespace tarsin::sim::testing {
namespace {

using CardTest = DesfireTest;

TEST_F(CardTest, WrappingAndIsoSelect) {
  const struct {
    const char *what, *apdu, *answer;
  } cases[] = {
      {"free memory", "90 6E 00 00 00", "001000 9100"},
      {"without Le", "90 6E 00 00", "001000 9100"},
      {"select the card level, Le absent", "90 5A 00 00 03 00 00 00", "9100"},
      {"Lc beyond the data", "90 5A 00 00 05 00 00 00 00", "6700"},
      {"too short", "90 6E 00", "6700"},
      {"P1 not zero", "90 6E 01 00 00", "6A86"},
      {"another class", "80 6E 00 00 00", "6E00"},
      {"unknown native command", "90 99 00 00 00", "911C"},
      {"ISO select of the card DF name", "00 A4 04 00 07 D2 76 00 00 85 01 00 00", "9000"},
      {"ISO select of the master file", "00 A4 00 0C 02 3F 00", "9000"},
      {"ISO select of another name", "00 A4 04 00 07 A0 00 00 00 03 10 10 00", "6A82"},
  };
  for (const auto& c : cases) EXPECT_EQ(card.Transmit(Hex(c.apdu)), Hex(c.answer)) << c.what;
}

// Whatever arrives, the card answers with a status word and at most one frame of data.
TEST_F(CardTest, RandomCommandsGetStatusWords) {
  EnterApplication(0x0F, 2);
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

TEST_F(CardTest, GetVersionComesInThreeFrames) {
  EXPECT_EQ(host.Send("60"),
            "04010101001805"
            "91AF");
  EXPECT_EQ(host.Send("AF"),
            "04010101041805"
            "91AF");
  EXPECT_EQ(host.Send("AF"), ToHex(card.Uid()) +
                                 "BA344920502012"
                                 "9100");
  EXPECT_EQ(host.Send("AF"), "911C") << "nothing left to fetch";
}

TEST_F(CardTest, TwentyEightApplicationsListedNineteenPerFrame) {
  ASSERT_TRUE(host.Authenticate(0));
  for (uint32_t i = 1; i <= 28; ++i) ASSERT_EQ(host.Send(0xCA, Cat({Le(i, 3), {0x0F, 1}})), "9100");
  EXPECT_EQ(host.Send(0xCA, Cat({Le(29, 3), {0x0F, 1}})), "91CE");
  const std::string first = host.Send("6A");
  EXPECT_EQ(Sw(first), "91AF");
  EXPECT_EQ(DataOf(first).size(), 57u);
  EXPECT_EQ(DataOf(host.Send("AF")).size(), 27u);
}

// Card master key settings decide who may list, create and delete applications.
TEST_F(CardTest, CardSettingsGuardTheDirectory) {
  const struct {
    const char* what;
    uint8_t settings;
    bool authenticated;
    const char *list, *create, *remove;
  } cases[] = {
      {"default without key", 0x0F, false, "9100", "9100", "91AE"},
      {"closed without key", 0x09, false, "91AE", "91AE", "91AE"},
      {"closed with key", 0x09, true, "9100", "9100", "9100"},
  };
  for (const auto& c : cases) {
    card = DesfireCard::Blank(DesfireCapacity::k4K);
    ASSERT_TRUE(host.Authenticate(0));
    ASSERT_EQ(host.Send("CA 420000 0F01"), "9100");
    ASSERT_EQ(host.Send(0x54, host.Encipher(WithCrc({c.settings}))), "9100");
    const auto as = [&](const char* command) {
      EXPECT_TRUE(c.authenticated ? host.Authenticate(0) : host.Send("5A 000000") == "9100");
      return host.Send(command);
    };
    EXPECT_EQ(Sw(as("6A")), c.list) << c.what;
    EXPECT_EQ(as("CA 430000 0F01"), c.create) << c.what;
    EXPECT_EQ(as("DA 420000"), c.remove) << c.what;
  }
}

TEST_F(CardTest, DeletingTheSelectedApplicationReturnsToTheCardLevel) {
  EnterApplication();
  EXPECT_EQ(host.Send("DA 030201"), "9100");
  EXPECT_EQ(host.Send("6A"), "9100") << "card level selected again";
  EXPECT_EQ(host.Send("5A 030201"), "91A0");
}

TEST_F(CardTest, FormatEmptiesTheCardAndGivesTheMemoryBack) {
  EnterApplication();
  ASSERT_EQ(host.Send("CD 0100EEEE E80300"), "9100");
  EXPECT_EQ(host.Send("6E"), ToHex(Le(4096 - 1024, 3)) + "9100");
  EXPECT_EQ(host.Send("FC"), "919D") << "only at the card level";
  EXPECT_EQ(host.Send("5A 000000"), "9100");
  EXPECT_EQ(host.Send("FC"), "91AE");
  ASSERT_TRUE(host.Authenticate(0));
  EXPECT_EQ(host.Send("FC"), "9100");
  EXPECT_EQ(host.Send("6A"), "9100");
  EXPECT_EQ(host.Send("6E"),
            "001000"
            "9100");
}

// Creation data (number, communication, rights ReadWrite|Change Read|Write, sizes) and the
// settings the card reports, for each kind.
TEST_F(CardTest, EveryKindReportsItsSettings) {
  EnterApplication();
  const struct {
    const char *create, *settings;
  } cases[] = {
      {"CD 00 00 3012 200000", "00 00 3012 200000"},
      {"CB 01 01 EEEE 2C0100", "01 01 EEEE 2C0100"},
      {"CC 02 03 0000 9CFFFFFF 64000000 00000000 01", "02 03 0000 9CFFFFFF 64000000 00000000 01"},
      {"C1 03 00 EEEE 100000 050000", "03 00 EEEE 100000 050000 000000"},
      {"C0 04 00 EEEE 080000 030000", "04 00 EEEE 080000 030000 000000"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(host.Send(c.create), "9100") << c.create;
    EXPECT_EQ(host.Send(0xF5, {Hex(c.create)[1]}), ToHex(Hex(c.settings)) + "9100") << c.create;
  }
  EXPECT_EQ(host.Send("F5 05"), "91F0");
}

TEST_F(CardTest, ChangeFileSettingsFollowsTheChangeRight) {
  EnterApplication();
  ASSERT_EQ(host.Send("CD 00 00 EEEE 080000"), "9100");  // change: free
  ASSERT_EQ(host.Send("CD 01 00 E1EE 080000"), "9100");  // change: key 1
  ASSERT_EQ(host.Send("CD 02 00 EFEE 080000"), "9100");  // change: never
  EXPECT_EQ(host.Send("5F 00 01 1111"), "9100");
  EXPECT_EQ(host.Send("F5 00"),
            "00011111080000"
            "9100");
  EXPECT_EQ(host.Send("5F 02 00 1111"), "919D");
  // Key 1: the plain form is refused (and costs the authentication), the enciphered one needs
  // a session with key 1.
  ASSERT_TRUE(host.Authenticate(1));
  EXPECT_EQ(host.Send("5F 01 03 2222"), "917E");
  const Bytes settings = WithCrc(Hex("03 2222"));
  EXPECT_EQ(host.Send(0x5F, Cat({{0x01}, host.Encipher(settings)})), "91AE");
  ASSERT_TRUE(host.Authenticate(1));
  EXPECT_EQ(host.Send(0x5F, Cat({{0x01}, host.Encipher(settings)})), "9100");
  EXPECT_EQ(host.Send("F5 01"),
            "00032222080000"
            "9100");
}

TEST_F(CardTest, MemorySurvivesSaveAndLoad) {
  EnterApplication();
  for (const char* command :
       {"CD 00 00 EEEE 040000", "3D 00 000000 040000 DEADBEEF", "C0 01 00 EEEE 020000 030000",
        "3B 01 000000 020000 1234", "C7", "CC 02 00 EEEE FBFFFFFF 05000000 FDFFFFFF 01"}) {
    ASSERT_EQ(host.Send(command), "9100") << command;
  }
  const nlohmann::json saved = card.Save();
  EXPECT_EQ(saved["type"], "mifare-desfire-ev1-4k");
  DesfireCard loaded = DesfireCard::Load(saved);
  EXPECT_EQ(loaded.Save(), saved);
  Host other(loaded);
  EXPECT_EQ(other.Send("5A 030201"), "9100");
  EXPECT_EQ(other.Send("BD 00 000000 000000"),
            "DEADBEEF"
            "9100");
  EXPECT_EQ(other.Send("BB 01 000000 000000"),
            "1234"
            "9100");
  EXPECT_EQ(other.Send("6C 02"),
            "FDFFFFFF"
            "9100");
  EXPECT_EQ(other.Send("6E"), host.Send("6E"));
}

TEST_F(CardTest, MalformedDocumentsAreRefused) {
  for (
      const char* patch :
      {R"({"type": "mifare-classic-1k"})", R"({"uid": "04112233445G66"})",
       R"({"applications": [{"aid": "010203", "keySettings": 15, "files": [{"number": 1, "type": 7}],
                              "keys": ["00000000000000000000000000000000"]}]})"}) {
    nlohmann::json broken = card.Save();
    broken.merge_patch(nlohmann::json::parse(patch));
    EXPECT_THROW(DesfireCard::Load(broken), std::invalid_argument) << patch;
  }
}

TEST_F(CardTest, RefreshKeepsTheSession) {
  EnterApplication();
  ASSERT_EQ(host.Send("CD 00 00 0000 040000"), "9100");  // key 0 only
  // Another process wrote to the file meanwhile.
  DesfireCard elsewhere = DesfireCard::Load(card.Save());
  Host other(elsewhere);
  ASSERT_EQ(other.Send("5A 030201"), "9100");
  ASSERT_TRUE(other.Authenticate(0));
  ASSERT_EQ(other.Send("3D 00 000000 040000 01020304"), "9100");
  ASSERT_TRUE(card.Refresh(elsewhere.Save()));
  EXPECT_EQ(host.Send("BD 00 000000 000000"),
            "01020304"
            "9100")
      << "still authenticated, sees the new contents";
  EXPECT_FALSE(
      card.Refresh(DesfireCard::Blank(DesfireCapacity::k4K, Hex("04010101010101")).Save()));
}

}  // namespace
}  // namespace tarsin::sim::testing
