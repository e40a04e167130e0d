// SPDX-License-Identifier: Apache-2.0
// The ATRs a PC/SC part-3 reader builds for contactless cards, which have no ATR of their own.
#pragma once

#include <cstdint>

#include "card/bytes.h"

namespace tarsin::sim {

// Card names registered for storage cards (bytes 13-14 of the ATR).
enum class StorageCardName : std::uint16_t {
  kMifareClassic1K = 0x0001,
  kMifareClassic4K = 0x0002,
  kMifareUltralight = 0x0003,
};

// 3B 8F 80 01 80 4F 0C A0 00 00 03 06 <standard> <name> 00 00 00 00 TCK, standard 03 being
// ISO/IEC 14443 A part 3.
Bytes StorageCardAtr(StorageCardName name);

// 3B 8n 80 01 <historical bytes of the ATS> TCK, for ISO/IEC 14443-4 cards.
Bytes ProcessorCardAtr(const Bytes& historical_bytes);

// The check byte: XOR of every byte after TS.
std::uint8_t AtrCheckByte(const Bytes& atr_without_tck);

}  // namespace tarsin::sim
