// SPDX-License-Identifier: Apache-2.0
#include "host/cli/card_names.h"

#include "tarsin/types.h"

namespace tarsin::cli {

std::string CardTypeName(int32_t cardType) {
  switch (cardType) {
    case sceMifare1K:
      return "MIFARE Classic 1K";
    case sceMifare4K:
      return "MIFARE Classic 4K";
    case sceMifareUltralight:
      return "MIFARE Ultralight";
    case sceDESFire:
      return "MIFARE DESFire";
    case sceRfid125KHz:
      return "125 kHz RFID";
    case scePicoPass2KS:
      return "PicoPass 2KS";
    case sceUnknownType:
      return "unknown card";
    default:
      return "unhandled card";
  }
}

}  // namespace tarsin::cli
