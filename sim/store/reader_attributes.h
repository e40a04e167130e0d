// SPDX-License-Identifier: Apache-2.0
// The reader attributes a virtual reader reports, by PC/SC attribute identifier.
#pragma once

#include <cstdint>
#include <optional>

#include "card/bytes.h"
#include "store/reader_bank.h"

namespace tarsin::sim {

constexpr std::uint32_t kAttrVendorName = 0x00010100;
constexpr std::uint32_t kAttrVendorIfdType = 0x00010101;
constexpr std::uint32_t kAttrVendorIfdVersion = 0x00010102;
constexpr std::uint32_t kAttrVendorIfdSerialNo = 0x00010103;
constexpr std::uint32_t kAttrAtrString = 0x00090303;
constexpr std::uint32_t kAttrDeviceFriendlyName = 0x7FFF0003;
constexpr std::uint32_t kAttrDeviceSystemName = 0x7FFF0004;

// The attribute's bytes: texts end with their NUL as drivers give them, the version is a
// little-endian 32-bit 0xMMmmbbbb. nullopt when the reader does not have it (unknown, hidden
// by a fault, or the ATR without a card).
std::optional<Bytes> ReaderAttribute(const ReaderView& reader, std::uint32_t id);

}  // namespace tarsin::sim
