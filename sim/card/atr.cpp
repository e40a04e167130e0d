// SPDX-License-Identifier: Apache-2.0
#include "card/atr.h"

namespace tarsin::sim {

std::uint8_t AtrCheckByte(const Bytes& atr_without_tck) {
  std::uint8_t tck = 0;
  for (std::size_t i = 1; i < atr_without_tck.size(); ++i) tck ^= atr_without_tck[i];
  return tck;
}

namespace {
Bytes WithCheckByte(Bytes atr) {
  atr.push_back(AtrCheckByte(atr));
  return atr;
}
}  // namespace

Bytes StorageCardAtr(StorageCardName name) {
  constexpr std::uint8_t kIso14443APart3 = 0x03;
  auto code = static_cast<std::uint16_t>(name);
  return WithCheckByte({0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00, 0x03, 0x06,
                        kIso14443APart3, static_cast<std::uint8_t>(code >> 8),
                        static_cast<std::uint8_t>(code & 0xFF), 0x00, 0x00, 0x00, 0x00});
}

Bytes ProcessorCardAtr(const Bytes& historical_bytes) {
  // At most 15 historical bytes fit the T0 nibble; a longer ATS is cut, as readers do.
  std::size_t count = historical_bytes.size() < 15 ? historical_bytes.size() : 15;
  Bytes atr{0x3B, static_cast<std::uint8_t>(0x80 | count), 0x80, 0x01};
  atr.insert(atr.end(), historical_bytes.begin(), historical_bytes.begin() + count);
  return WithCheckByte(std::move(atr));
}

}  // namespace tarsin::sim
