// SPDX-License-Identifier: Apache-2.0
#include "crypto/convert_data.h"
#include "crypto/crc.h"
#include "crypto/des.h"

namespace tarsin {

std::string DES::CRC16(const std::string& sourceData) const noexcept {
  std::vector<uint8_t> bytes;
  try {
    bytes = conversion::HexToByteVector(conversion::ReadHexText(sourceData, true, "CRC16"));
  } catch (...) {
    bytes.clear();  // not hex: the CRC of no bytes
  }
  return conversion::ToSpacedHex(Crc16Bytes(bytes));
}

}  // namespace tarsin
