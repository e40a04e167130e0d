#include "crypto/convert_data.h"
#include "crypto/des.h"

namespace tarsin {
namespace {

// CRC_A: x^16 + x^12 + x^5 + 1 taken least significant bit first, register preset to 0x6363.
uint16_t CrcA(const std::vector<uint8_t>& bytes) {
  uint16_t crc = 0x6363;
  for (uint8_t b : bytes) {
    uint8_t ch = static_cast<uint8_t>(b ^ (crc & 0xFF));
    ch = static_cast<uint8_t>(ch ^ (ch << 4));
    crc = static_cast<uint16_t>((crc >> 8) ^ (ch << 8) ^ (ch << 3) ^ (ch >> 4));
  }
  return crc;
}

}  // namespace

std::string DES::CRC16(const std::string& sourceData) const noexcept {
  std::vector<uint8_t> bytes;
  try {
    bytes = conversion::HexToByteVector(conversion::ReadHexText(sourceData, true, "CRC16"));
  } catch (...) {
    bytes.clear();  // not hex: the CRC of no bytes
  }
  const uint16_t crc = CrcA(bytes);
  // Least significant byte first, as the CRC travels on the card's interface.
  const uint8_t lsbFirst[] = {static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)};
  return conversion::ToSpacedHex(lsbFirst);
}

}  // namespace tarsin
