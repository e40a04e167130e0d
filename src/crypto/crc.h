// SPDX-License-Identifier: Apache-2.0
// The CRCs a DESFire card checks: CRC_A of ISO/IEC 14443-3 in legacy sessions, and the
// IEEE 802.3 CRC32 without its final inversion in EV1 sessions. Both travel least significant
// byte first.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tarsin {

uint16_t Crc16(std::span<const uint8_t> bytes) noexcept;
uint32_t Crc32(std::span<const uint8_t> bytes) noexcept;

// The CRC as the card reads it.
std::array<uint8_t, 2> Crc16Bytes(std::span<const uint8_t> bytes) noexcept;
std::array<uint8_t, 4> Crc32Bytes(std::span<const uint8_t> bytes) noexcept;

}  // namespace tarsin
