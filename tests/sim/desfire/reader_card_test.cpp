#include <gtest/gtest.h>

#include "card/card_factory.h"
#include "reader/virtual_reader.h"
#include "store/readers_file.h"
#include "test_host.h"

namespace tarsin::sim::testing {
namespace {

// The second default reader holds a blank 4K; the reader answers GetData itself (UID, ATS) and
// passes native commands on.
TEST(DesfireInTheReader, DefaultCardAnswersGetDataAndNativeCommands) {
  nlohmann::json card = ReadersFile::DefaultContents()["readers"][1]["card"];
  EXPECT_EQ(card["type"], "mifare-desfire-ev1-4k");
  EXPECT_EQ(LoadCard(card)->Uid().size(), 7u);
  card["uid"] = "04A1B2C3D4E5F6";
  VirtualReader reader;
  reader.Insert(LoadCard(card));
  EXPECT_EQ(reader.Transmit(Hex("FF CA 00 00 00")), Hex("04 A1 B2 C3 D4 E5 F6 90 00"));
  EXPECT_EQ(reader.Transmit(Hex("FF CA 01 00 00")), Hex("06 75 77 81 02 80 90 00"));
  EXPECT_EQ(reader.Transmit(Hex("90 6E 00 00 00")), Hex("00 10 00 91 00"));
  EXPECT_EQ(reader.card()->Atr(), Hex("3B 81 80 01 80 80"));
}

}  // namespace
}  // namespace tarsin::sim::testing
