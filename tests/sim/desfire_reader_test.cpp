// The DESFire model in the reader: registered by the card types of the programs, answered GET
// DATA by the reader (UID, ATS), native commands passed on unchanged.
#include <gtest/gtest.h>

#include "card/card_factory.h"
#include "reader_fixture.h"
#include "store/readers_file.h"

namespace tarsin::sim::testing {
namespace {

// The second default reader holds a blank 4K.
TEST(DesfireInTheReader, DefaultCardAnswersGetDataAndNativeCommands) {
  nlohmann::json card = ReadersFile::DefaultContents()["readers"][1]["card"];
  EXPECT_EQ(card["type"], "mifare-desfire-ev1-4k");
  EXPECT_EQ(LoadCard(card)->Uid().size(), 7u);
  card["uid"] = "04A1B2C3D4E5F6";
  VirtualReader reader;
  reader.Insert(LoadCard(card));
  EXPECT_EQ(Exchange(reader, "FFCA000000"), "04A1B2C3D4E5F69000");
  EXPECT_EQ(Exchange(reader, "FFCA010000"), "067577810280" "9000");
  EXPECT_EQ(Exchange(reader, "906E000000"), "0010009100");
  EXPECT_EQ(ToHex(reader.card()->Atr()), "3B8180018080");
}

}  // namespace
}  // namespace tarsin::sim::testing
