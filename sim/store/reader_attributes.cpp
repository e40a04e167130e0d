// SPDX-License-Identifier: Apache-2.0
#include "store/reader_attributes.h"

#include <algorithm>

namespace tarsin::sim {

namespace {
Bytes TextWithNul(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}
}  // namespace

std::optional<Bytes> ReaderAttribute(const ReaderView& reader, std::uint32_t id) {
  const auto& missing = reader.missing_attributes;
  if (std::find(missing.begin(), missing.end(), id) != missing.end()) return std::nullopt;
  switch (id) {
    case kAttrVendorName:
      return TextWithNul(reader.vendor);
    case kAttrVendorIfdType:
      return TextWithNul(reader.ifd_type);
    case kAttrVendorIfdVersion: {
      // Major, minor, then the build least significant byte first: the order in which hosts
      // read the buffer as major.minor.build, so that "1.0.0" reads back as 1.0.0.
      std::uint32_t v = reader.ifd_version;
      return Bytes{static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                   static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    }
    case kAttrVendorIfdSerialNo:
      return TextWithNul(reader.serial);
    case kAttrDeviceFriendlyName:
    case kAttrDeviceSystemName:
      return TextWithNul(reader.name);
    case kAttrAtrString:
      if (!reader.card_present || reader.card_mute) return std::nullopt;
      return reader.atr;
    default:
      return std::nullopt;
  }
}

}  // namespace tarsin::sim
