// SPDX-License-Identifier: Apache-2.0
// The steps of ConvertData, shared with the cipher and CRC16: every form is read into canonical
// hex text (upper-case digits, an even number of them) and written out from it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tarsin/variant.h"

namespace tarsin::conversion {

inline constexpr uint32_t kInputFormMask = 0xFFFFFF00;
inline constexpr uint32_t kOutputFormMask = 0x000000FF;

// Hex text as the host writes it: separators (blank, comma, tab, CR, LF) removed when asked,
// case folded, a "0" put in front of an odd count. Raises "Invalid hexadecimal string".
std::string ReadHexText(std::string_view text, bool removeSeparators, const char* source);

// Canonical hex of `in` read in `inputForm`; "" for an unknown form. Raises "Bad parameter type"
// for a value of the wrong kind and "Invalid hexadecimal string" for bad hex.
std::string CanonicalHex(const Variant& in, uint32_t inputForm);

// Exactly 16 digits: zeros in front of a shorter text, only the last 16 of a longer one.
std::string FitTo16Digits(std::string_view hex);

Variant FormOutput(std::string_view hex, uint32_t outputForm);

std::vector<uint8_t> HexToByteVector(std::string_view canonicalHex);
std::string ToSpacedHex(std::span<const uint8_t> bytes);

}  // namespace tarsin::conversion
