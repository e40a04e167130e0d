// SPDX-License-Identifier: Apache-2.0
// Reading numbers out of free text the way the parameter text expects: the number at the start
// of the text counts, anything else reads as 0.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarsin {

// The number at the start of `text`: leading blanks (space, tab) skipped, then either "&H"/"&h"
// and hexadecimal digits, or an optional sign, digits, an optional decimal point with digits and
// an optional exponent ("e"/"E", optional sign, digits). Reading stops at the first character
// that does not fit; a text that does not start with a number reads 0. Never fails: magnitudes
// beyond a double give +/-infinity, the smallest ones 0.
double NumericValue(std::string_view text) noexcept;

// A text that is wholly one number (blanks around it allowed): decimal with sign, decimal point
// and exponent, or "&H" and one to eight hexadecimal digits read as a 32-bit two's-complement
// value, as late-bound hosts read them. Empty for anything else (C hex, "nan", trailing text).
std::optional<double> WholeNumber(std::string_view text) noexcept;

// 0..15 for a hexadecimal digit of either case, -1 for any other character.
int HexDigitValue(char c) noexcept;

// `value` rounded to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
// Empty when the result does not fit in 32 bits (or is not a number): the caller keeps what it had.
std::optional<int32_t> RoundToInt32(double value) noexcept;

}  // namespace tarsin
