#include "card_fixture.h"

namespace tarsin::sim::testing {
namespace {

using CardFileTest = CardTest;

TEST_F(CardFileTest, MemorySurvivesSaveAndLoad) {
  EnterApplication();
  ASSERT_EQ(host.Frame(0xCD, Hex("00 00 EE EE 04 00 00")).sw, kOk);
  ASSERT_EQ(host.Frame(0x3D, Hex("00 00 00 00 04 00 00 DE AD BE EF")).sw, kOk);
  ASSERT_EQ(host.Frame(0xC0, Hex("01 00 EE EE 02 00 00 03 00 00")).sw, kOk);
  ASSERT_EQ(host.Frame(0x3B, Hex("01 00 00 00 02 00 00 12 34")).sw, kOk);
  ASSERT_EQ(host.Frame(0xC7).sw, kOk);
  ASSERT_EQ(host.Frame(0xCC, Concat({Hex("02 00 EE EE"), Int32(-5), Int32(5), Int32(-3), {1}})).sw,
            kOk);

  const nlohmann::json saved = card.Save();
  EXPECT_EQ(saved["type"], "mifare-desfire-ev1-4k");
  DesfireCard loaded = DesfireCard::Load(saved);
  EXPECT_EQ(loaded.Save(), saved);

  TestHost other(loaded);
  other.Select(kAid);
  EXPECT_EQ(other.Frame(0xBD, Hex("00 00 00 00 00 00 00")).data, Hex("DE AD BE EF"));
  EXPECT_EQ(other.Frame(0xBB, Hex("01 00 00 00 00 00 00")).data, Hex("12 34"));
  EXPECT_EQ(other.Frame(0x6C, {0x02}).data, Int32(-3));
  EXPECT_EQ(other.Frame(0x6E).data, host.Frame(0x6E).data);
}

TEST_F(CardFileTest, MalformedDocumentsAreRefused) {
  nlohmann::json good = card.Save();
  const std::function<void(nlohmann::json&)> breakages[] = {
      [](auto& j) { j["type"] = "mifare-classic-1k"; },
      [](auto& j) { j["uid"] = "04112233445G66"; },
      [](auto& j) {
        j["applications"] = {{{"aid", "010203"},
                              {"keySettings", 15},
                              {"keys", {"00000000000000000000000000000000"}},
                              {"files", {{{"number", 1}, {"type", 7}}}}}};
      },
  };
  for (const auto& breakage : breakages) {
    nlohmann::json broken = good;
    breakage(broken);
    EXPECT_THROW(DesfireCard::Load(broken), std::invalid_argument) << broken.dump();
  }
}

TEST_F(CardFileTest, RefreshKeepsTheSession) {
  EnterApplication();
  ASSERT_EQ(host.Frame(0xCD, Hex("00 00 00 00 04 00 00")).sw, kOk);  // key 0 only

  // Another process wrote to the file meanwhile.
  DesfireCard elsewhere = DesfireCard::Load(card.Save());
  TestHost otherHost(elsewhere);
  otherHost.Select(kAid);
  ASSERT_TRUE(otherHost.Authenticate(0, kZeroKey));
  ASSERT_EQ(otherHost.Frame(0x3D, Hex("00 00 00 00 04 00 00 01 02 03 04")).sw, kOk);

  ASSERT_TRUE(card.Refresh(elsewhere.Save()));
  EXPECT_EQ(host.Frame(0xBD, Hex("00 00 00 00 00 00 00")).data, Hex("01 02 03 04"))
      << "still authenticated, sees the new contents";
  EXPECT_FALSE(
      card.Refresh(DesfireCard::Blank(DesfireCapacity::k4K, Hex("04 01 01 01 01 01 01")).Save()));
}

}  // namespace
}  // namespace tarsin::sim::testing
