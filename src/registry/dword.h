// SPDX-License-Identifier: Apache-2.0
// REG_DWORD data: four bytes, least significant first.
#pragma once

#include <cstdint>
#include <vector>

namespace tarsin::registry {

inline std::vector<uint8_t> DwordBytes(uint32_t number) {
  return {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
          static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
}

// Reads up to four bytes; missing high bytes count as zero.
inline uint32_t DwordFromBytes(const std::vector<uint8_t>& data) {
  uint32_t number = 0;
  for (size_t i = 0; i < data.size() && i < 4; ++i) number |= uint32_t{data[i]} << (8 * i);
  return number;
}

}  // namespace tarsin::registry
