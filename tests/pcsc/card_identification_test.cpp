// SPDX-License-Identifier: Apache-2.0
#include "pcsc/card_identification.h"

#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "registry/mregistry.h"
#include "registry/reg_file_io.h"
#include "registry/temporary_registry.h"

namespace tarsin {
namespace {

using registry::GetRegistryValue;
using registry::GetRegistryValueNames;
using registry::HKEY_LOCAL_MACHINE;
using registry::SetRegistryValue;

constexpr const char* k1KAtr = "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A";
constexpr const char* k4KAtr = "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 02 00 00 00 00 69";

class CardIdentification : public registry::TemporaryRegistry {
 protected:
  void SetUp() override { state_.log.path = (folder_ / "Tarsin RF.log").string(); }

  static void Table(std::initializer_list<std::pair<const char*, Variant>> entries) {
    for (const auto& [name, data] : entries)
      ASSERT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kCardTypesKey, name, data), 0u);
  }

  // The values named "Unknown (yyyy-mm-dd hh:mm:ss)", with the ATR each one holds.
  static std::vector<std::string> RecordedAtrs() {
    static const std::regex kRecordName(
        R"(Unknown \(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\)( #\d+)?)");
    std::vector<std::string> names, atrs;
    GetRegistryValueNames(HKEY_LOCAL_MACHINE, kCardTypesKey, names);
    for (const std::string& name : names)
      if (std::regex_match(name, kRecordName))
        atrs.push_back(GetRegistryValue(HKEY_LOCAL_MACHINE, kCardTypesKey, name, "").asString());
    return atrs;
  }

  void Identify(const std::string& atr) { LetATRString(state_, atr); }

  EncoderState state_;
};

// The type and serial length of the first matching entry, each table in a registry of its own.
TEST_F(CardIdentification, TableLookupTakesTheFirstMatchingEntry) {
  const struct {
    const char* label;
    std::vector<std::string> entries;  // data of values named e0, e1, ... in this order
    const char* atr;
    int32_t cardType;
    int32_t serialNumberLength;
  } cases[] = {
      {"Mifare1K", {"11;3B 8F 80 01;4"}, k1KAtr, 17, 4},
      {"LowerCasePattern", {"11;3b 8f 80 01;4"}, k1KAtr, 17, 4},
      {"PatternInsideTheAtr", {"12;03 06 03 00 02;7"}, k4KAtr, 18, 7},
      {"HexFields", {"31;3B 8F;0A"}, k1KAtr, 49, 10},
      {"EmptyPatternNeverMatches", {"31;;7"}, k1KAtr, 1, -1},
      {"TwoFieldsIgnored", {"11;3B 8F", "12;3B 8F;7"}, k1KAtr, 18, 7},
      {"FourFieldsIgnored", {"11;3B 8F;4;x", "21;3B;7"}, k1KAtr, 33, 7},
      {"FirstFieldWithoutHexDigit", {"X1;3B;4"}, k1KAtr, 0, 4},
      {"LeadingHexDigitsOnly", {"21 (Ultralight);3B;07 bytes"}, k1KAtr, 33, 7},
      {"FirstEnumeratedWins", {"12;80 01;7", "11;3B 8F 80 01;4"}, k1KAtr, 18, 7},
      {"NoMatch", {"11;3B 8F 80 01;4"}, "3B 00", 1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const testing::ScratchFolder fresh("tarsin-reg");
    const testing::ScopedEnvironment registry("TARSIN_RF_REGISTRY_DIR", fresh.path().string());
    for (size_t i = 0; i < c.entries.size(); ++i)
      SetRegistryValue(HKEY_LOCAL_MACHINE, kCardTypesKey, "e" + std::to_string(i), c.entries[i]);
    state_.SerialNumberLength = -1;
    Identify(c.atr);
    EXPECT_EQ(state_.CardType, c.cardType);
    EXPECT_EQ(state_.SerialNumberLength, c.serialNumberLength);
  }
}

// The ATR is trimmed and upper-cased; an empty one forgets the card.
TEST_F(CardIdentification, AnEmptyAtrForgetsTheCardAndWritesNothing) {
  Table({{"Add new cards", int32_t{1}}, {"1K", "11;3B 8F 80 01;4"}});
  Identify("  3b 8f 80 01 6a \t");
  EXPECT_EQ(state_.ATRString, "3B 8F 80 01 6A");
  EXPECT_EQ(state_.CardType, sceMifare1K);
  for (const char* empty : {"", "   "}) {
    Identify(empty);
    EXPECT_EQ(state_.ATRString, "");
    EXPECT_EQ(state_.CardType, sceUnknownType);
    EXPECT_EQ(state_.SerialNumberLength, -1);
  }
  EXPECT_TRUE(RecordedAtrs().empty());
}

// An ATR that no entry, or an entry of type 1, matches is recorded once however often it comes.
TEST_F(CardIdentification, AnUnknownAtrIsRecordedOnceAcrossPresentations) {
  Table({{"Add new cards", "1"}, {"1K", "11;3B 8F 80 01;4"}, {"generic", "1;3B 00;4"}});
  for (int presentation = 0; presentation < 3; ++presentation) {
    Identify("3b 01 11 22");
    EXPECT_EQ(state_.CardType, sceUnknownType);
  }
  Identify("3B 00");
  EXPECT_EQ(state_.SerialNumberLength, 4);
  Identify(k1KAtr);
  EXPECT_EQ(RecordedAtrs(), (std::vector<std::string>{"3B 01 11 22", "3B 00"}));
}

TEST_F(CardIdentification, WithoutAddNewCardsNothingIsWritten) {
  for (const Variant& flag : {Variant(int32_t{0}), Variant("0"), Variant("yes"), Variant()}) {
    const testing::ScratchFolder fresh("tarsin-reg");
    const testing::ScopedEnvironment registry("TARSIN_RF_REGISTRY_DIR", fresh.path().string());
    if (!flag.isEmpty()) Table({{"Add new cards", flag}});
    Identify("3B 00 11 22");
    EXPECT_EQ(state_.CardType, sceUnknownType);
    EXPECT_TRUE(RecordedAtrs().empty());
    EXPECT_EQ(std::filesystem::exists(fresh / "HKEY_LOCAL_MACHINE.db"), !flag.isEmpty());
  }
}

TEST_F(CardIdentification, AReadOnlyHiveStillIdentifiesAndDropsTheRecordSilently) {
  Table({{"Add new cards", int32_t{1}}, {"1K", "11;3B 8F 80 01;4"}});
  std::filesystem::permissions(hiveFile(), std::filesystem::perms::owner_read);
  Identify(k1KAtr);
  EXPECT_EQ(state_.CardType, sceMifare1K);
  Identify("3B 00 11 22");
  EXPECT_EQ(state_.CardType, sceUnknownType);
  EXPECT_EQ(registry::RegistryLastError().number, 5u);
  EXPECT_EQ(state_.lastError, nullptr);  // the component's own error is untouched
  EXPECT_TRUE(RecordedAtrs().empty());
}

// A table that cannot be read (a damaged file, or a folder in its place) is never written over.
TEST_F(CardIdentification, ADamagedOrUnreadableHiveLeavesTheCardUnknownAndTheFileAlone) {
  const std::string garbage(4096, 'x');
  for (const bool folderInstead : {false, true}) {
    std::filesystem::remove_all(hiveFile());
    if (folderInstead)
      std::filesystem::create_directory(hiveFile());
    else
      std::ofstream(hiveFile()) << garbage;
    state_.CardType = sceMifare1K;
    Identify(k1KAtr);
    EXPECT_EQ(state_.CardType, sceUnknownType) << folderInstead;
    EXPECT_EQ(state_.lastError, nullptr);
    EXPECT_EQ(std::filesystem::is_directory(hiveFile()), folderInstead);
    EXPECT_TRUE(folderInstead || testing::FileContent(hiveFile()) == garbage);
  }
}

TEST_F(CardIdentification, TheExampleTableKnowsTheSupportedCards) {
  const std::string content = testing::FileContent(TARSIN_TEST_CARD_TYPES);
  ASSERT_EQ(registry::ImportRegFile(registry::ParseRegFile(content)).status, 0u);
  const std::pair<const char*, std::pair<int32_t, int32_t>> cards[] = {
      {k1KAtr, {sceMifare1K, 4}},
      {k4KAtr, {sceMifare4K, 4}},
      {"3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 03 00 00 00 00 68", {sceMifareUltralight, 7}},
      {"3B 81 80 01 80 80", {sceDESFire, 7}},
      {"3B 86 80 01 06 75 77 81 02 80 00", {sceDESFire, 7}},
  };
  for (const auto& [atr, expected] : cards) {
    Identify(atr);
    EXPECT_EQ(std::pair(state_.CardType, state_.SerialNumberLength), expected) << atr;
  }
  EXPECT_TRUE(RecordedAtrs().empty());
}

// Runs as a child process of the test below; skipped when run on its own.
TEST(CardIdentificationChild, IdentifiesTwoHundredUnknownCards) {
  const char* batch = std::getenv("TARSIN_RF_TEST_ATR_BATCH");
  if (batch == nullptr) GTEST_SKIP() << "only as the child of TwoProcessesLoseNoRecord";
  EncoderState state;
  state.log.path = "/dev/null";
  for (int card = 0; card < 200; ++card)
    LetATRString(state, fmt::format("3B 00 {} {:02X} {:02X}", batch, card / 256, card % 256));
}

TEST_F(CardIdentification, TwoProcessesLoseNoRecord) {
  Table({{"Add new cards", int32_t{1}}});
  const std::string child = "CardIdentificationChild.IdentifiesTwoHundredUnknownCards";
  const pid_t first = registry::StartTestInChild(child, "TARSIN_RF_TEST_ATR_BATCH", "AA");
  const pid_t second = registry::StartTestInChild(child, "TARSIN_RF_TEST_ATR_BATCH", "BB");
  EXPECT_EQ(registry::ChildExitCode(first), 0);
  EXPECT_EQ(registry::ChildExitCode(second), 0);
  const std::vector<std::string> atrs = RecordedAtrs();
  EXPECT_EQ(atrs.size(), 400u);
  EXPECT_EQ(std::set<std::string>(atrs.begin(), atrs.end()).size(), 400u);
}

}  // namespace
}  // namespace tarsin
