// The access bytes a trailer gets for the rights of a blank card.
#include "mifare/access_bits.h"

#include <gtest/gtest.h>

namespace tarsin::mifare {
namespace {

TEST(AccessBits, TransportConfigurationIsFF0780) {
  AccessBytes bytes{};
  for (int m : {1, 2, 4}) SetAccessBits("000", m, bytes);
  SetAccessBits("001", 8, bytes);
  EXPECT_EQ(bytes, (AccessBytes{0xFF, 0x07, 0x80}));
}

}  // namespace
}  // namespace tarsin::mifare
