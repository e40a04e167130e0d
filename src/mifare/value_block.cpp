#include "mifare/value_block.h"

#include <fmt/format.h>

namespace tarsin::mifare {

std::string ValueBlockDigits(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  std::string value4;
  std::string complement4;
  for (int i = 0; i < 4; ++i) {
    const auto byte = static_cast<uint8_t>(bits >> (8 * i));
    value4 += fmt::format("{:02X}", byte);
    complement4 += fmt::format("{:02X}", static_cast<uint8_t>(byte ^ 0xFF));
  }
  return value4 + complement4 + value4 + "FF00FF00";
}

}  // namespace tarsin::mifare
