// SPDX-License-Identifier: Apache-2.0
// ReaderGetAttr: one attribute of the reader or of the connected card, formatted into a text.
#pragma once

#include <cstdint>
#include <string>

#include "core/state.h"

namespace tarsin {

inline constexpr uint32_t kAttrDeviceFriendlyName = 0x7FFF0003;
inline constexpr uint32_t kAttrVendorName = 0x00010100;
inline constexpr uint32_t kAttrVendorIfdType = 0x00010101;
inline constexpr uint32_t kAttrVendorIfdVersion = 0x00010102;
inline constexpr uint32_t kAttrVendorIfdSerialNo = 0x00010103;
inline constexpr uint32_t kAttrAtrString = 0x00090303;

enum AttributeDecoding : int32_t {
  kDecodeVersion = 0,
  kDecodeText = 1,
  kDecode32Bytes = 2,
  kDecodeRaw = 3,  // and any other value
};

// `format` with every "%1" replaced by the decoded attribute. Never fails: an attribute the
// reader does not have reads as empty (0.0.0 for a version).
std::string ReaderGetAttr(EncoderState& state, const std::string& format, uint32_t attrId,
                          int32_t decoding) noexcept;

// The decoding step alone, on the attribute's raw bytes.
std::string DecodeAttribute(const std::string& buffer, int32_t decoding);

}  // namespace tarsin
