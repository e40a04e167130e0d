// SPDX-License-Identifier: Apache-2.0
#include "core/numeric_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace tarsin {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

size_t SkipDigits(std::string_view text, size_t pos) {
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  return pos;
}

double HexadecimalValue(std::string_view digits) {
  // Accumulating in a double saturates to infinity instead of wrapping.
  double value = 0;
  for (char c : digits) {
    int digit = HexDigitValue(c);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return value;
}

// Length of the decimal number at the start of `text` (0 when there is none). A decimal point or
// an exponent marker that is not followed by what it needs is not part of the number.
size_t DecimalNumberLength(std::string_view text) {
  size_t pos = 0;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
  size_t integerEnd = SkipDigits(text, pos);
  bool haveDigits = integerEnd > pos;
  pos = integerEnd;
  if (pos < text.size() && text[pos] == '.') {
    size_t fractionEnd = SkipDigits(text, pos + 1);
    if (fractionEnd > pos + 1) haveDigits = true;
    if (fractionEnd > pos + 1 || haveDigits) pos = fractionEnd;
  }
  if (!haveDigits) return 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    size_t exponent = pos + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    size_t exponentEnd = SkipDigits(text, exponent);
    if (exponentEnd > exponent) pos = exponentEnd;
  }
  return pos;
}

// Whether a number that does not fit in a double is too large (rather than too small): the
// decimal order of its first significant digit decides. `number` has no sign.
bool BeyondLargestDouble(std::string_view number) {
  int64_t order = 0;
  bool significant = false;
  bool afterPoint = false;
  size_t pos = 0;
  for (; pos < number.size() && (IsDigit(number[pos]) || number[pos] == '.'); ++pos) {
    if (number[pos] == '.') {
      afterPoint = true;
    } else if (!significant && number[pos] == '0') {
      if (afterPoint) --order;
    } else {
      significant = true;
      if (!afterPoint) ++order;
    }
  }
  int64_t exponent = 0;
  if (pos < number.size()) {  // the exponent, already validated
    bool negative = number[++pos] == '-';
    if (number[pos] == '+' || number[pos] == '-') ++pos;
    for (; pos < number.size() && exponent < 1'000'000'000; ++pos) {
      exponent = exponent * 10 + (number[pos] - '0');
    }
    if (negative) exponent = -exponent;
  }
  return significant && order + exponent > 0;
}

double DecimalValue(std::string_view number) {
  bool negative = number.front() == '-';
  // from_chars takes no "+" and is independent of the locale's decimal point.
  if (number.front() == '+' || number.front() == '-') number.remove_prefix(1);
  double value = 0;
  auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    value = BeyondLargestDouble(number) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

}  // namespace

int HexDigitValue(char c) noexcept {
  if (IsDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

double NumericValue(std::string_view text) noexcept {
  size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return 0;
  text.remove_prefix(start);
  if (text.size() >= 2 && text[0] == '&' && (text[1] == 'H' || text[1] == 'h')) {
    return HexadecimalValue(text.substr(2));
  }
  size_t length = DecimalNumberLength(text);
  if (length == 0) return 0;
  return DecimalValue(text.substr(0, length));
}

std::optional<int32_t> RoundToInt32(double value) noexcept {
  if (!std::isfinite(value)) return std::nullopt;
  double below = std::floor(value);
  double fraction = value - below;
  double rounded = below;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) rounded = below + 1;
  if (rounded < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::nullopt;
  }
  return static_cast<int32_t>(rounded);
}

std::optional<double> WholeNumber(std::string_view text) noexcept {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  if (text.size() > 2 && text[0] == '&' && (text[1] == 'H' || text[1] == 'h')) {
    const std::string_view digits = text.substr(2);
    if (digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
      const int digit = HexDigitValue(c);
      if (digit < 0) return std::nullopt;
      value = value << 4 | static_cast<uint32_t>(digit);
    }
    return static_cast<double>(static_cast<int32_t>(value));
  }
  // Only the characters of a decimal number: no C hex, no "inf" or "nan".
  if (text.find_first_not_of("0123456789+-.eE") != std::string_view::npos) return std::nullopt;
  const std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) return std::nullopt;
  return value;
}

}  // namespace tarsin
