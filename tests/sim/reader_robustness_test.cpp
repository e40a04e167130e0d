// Whatever bytes a client sends, the reader answers with a status word and the card stays sound.
#include <gtest/gtest.h>

#include <random>

#include "card/card_factory.h"
#include "reader/virtual_reader.h"

namespace tarsin::sim::testing {
namespace {

TEST(ReaderRobustness, RandomCommandsAlwaysGetAStatusWord) {
  std::mt19937 random(20261206);
  for (const char* type : {"mifare-classic-1k", "mifare-classic-4k", "mifare-ultralight"}) {
    VirtualReader reader;
    reader.Insert(LoadCard({{"type", type}, {"uid", "04112233445566"}}));
    for (int round = 0; round < 20000; ++round) {
      // Mostly class FF with the instructions the reader knows, so that the checks get reached.
      Bytes apdu(random() % 24);
      for (auto& byte : apdu) byte = static_cast<std::uint8_t>(random());
      constexpr std::uint8_t kInstructions[] = {0xCA, 0x82, 0x86, 0xB0, 0xD6, 0xD7, 0xB1};
      if (apdu.size() > 1 && random() % 4) {
        apdu[0] = 0xFF;
        apdu[1] = kInstructions[random() % sizeof kInstructions];
      }
      Bytes answer = reader.Transmit(apdu);
      ASSERT_GE(answer.size(), 2u) << type;
      ASSERT_LE(answer.size(), 18u) << type;
    }
    // The card's state still saves and loads.
    EXPECT_NO_THROW(LoadCard(reader.card()->Save())) << type;
  }
}

}  // namespace
}  // namespace tarsin::sim::testing
