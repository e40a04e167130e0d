#pragma once

#include <gtest/gtest.h>

#include "test_host.h"

namespace tarsin::sim::testing {

inline constexpr Key16 kZeroKey{};

// A blank 4K card, a host talking to it, and a card RndB the test may fix.
class CardTest : public ::testing::Test {
 protected:
  CardTest() {
    card.SetRandomSource([this](std::span<uint8_t> out) {
      std::copy_n(rndB.begin(), std::min(out.size(), rndB.size()), out.begin());
    });
  }

  // Application 0x010203 with `keys` keys and the given settings, selected and authenticated
  // with key 0.
  void EnterApplication(uint8_t settings = 0x0F, uint8_t keys = 3) {
    ASSERT_TRUE(host.Authenticate(0, kZeroKey));
    ASSERT_EQ(host.Frame(0xCA, Concat({Uint24(kAid), {settings, keys}})).sw, kOk);
    host.Select(kAid);
    ASSERT_TRUE(host.Authenticate(0, kZeroKey));
  }

  static constexpr uint32_t kAid = 0x010203;
  std::array<uint8_t, 8> rndB{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  DesfireCard card = DesfireCard::Blank(DesfireCapacity::k4K);
  TestHost host{card};
};

}  // namespace tarsin::sim::testing
