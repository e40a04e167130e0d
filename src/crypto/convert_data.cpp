// SPDX-License-Identifier: Apache-2.0
#include "crypto/convert_data.h"

#include <array>
#include <limits>

#include "core/ansi_code_page.h"
#include "core/numeric_text.h"
#include "crypto/des.h"
#include "crypto/des_failure.h"

namespace tarsin::conversion {
namespace {

constexpr char kSource[] = "ConvertData";
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsSeparator(char32_t c) {
  return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n';
}

void AppendHexByte(std::string& out, uint8_t byte) {
  out.push_back(kHexDigits[byte >> 4]);
  out.push_back(kHexDigits[byte & 15]);
}

// Bits in element order, the last one being the least significant bit of the last byte; a
// short first group makes a byte of its own with zero high bits.
std::string BitsToHex(const std::vector<bool>& bits) {
  const std::size_t byteCount = (bits.size() + 7) / 8;
  const std::size_t leadingZeros = byteCount * 8 - bits.size();
  std::string out;
  out.reserve(byteCount * 2);
  uint8_t byte = 0;
  for (std::size_t i = 0; i < byteCount * 8; ++i) {
    const bool bit = i >= leadingZeros && bits[i - leadingZeros];
    byte = static_cast<uint8_t>((byte << 1) | (bit ? 1 : 0));
    if (i % 8 == 7) {
      AppendHexByte(out, byte);
      byte = 0;
    }
  }
  return out;
}

const std::string& RequireString(const Variant& in) {
  if (!in.isString()) RaiseDesError(errors::kDesBadParameterType, kSource);
  return in.asString();
}

Variant::Array RequireArray(const Variant& in) {
  if (!in.isArray()) RaiseDesError(errors::kDesBadParameterType, kSource);
  return in.elements();
}

bool ElementAsBit(const Variant& element) {
  if (element.kind() == Variant::Kind::Bool) return element.asBool();
  if (element.kind() == Variant::Kind::Double) return element.asDouble() != 0.0;
  if (element.isNumeric()) return element.asInt64() != 0;
  RaiseDesError(errors::kDesBadParameterType, kSource);
}

std::string BitsFromArray(const Variant& in) {
  std::vector<bool> bits;
  for (const Variant& element : RequireArray(in)) bits.push_back(ElementAsBit(element));
  return BitsToHex(bits);
}

std::string BitsFromBinaryText(const Variant& in, bool removeSeparators) {
  std::vector<bool> bits;
  for (char32_t c : DecodeUtf8(RequireString(in))) {
    if (removeSeparators && IsSeparator(c)) continue;
    bits.push_back(c != '0');
  }
  return BitsToHex(bits);
}

int32_t ElementAsInt32(const Variant& element) {
  constexpr auto kMin = std::numeric_limits<int32_t>::min();
  constexpr auto kMax = std::numeric_limits<int32_t>::max();
  if (element.kind() == Variant::Kind::Double) {
    // Halves to the even neighbour, as the automation runtime does; NaN and beyond 32 bits fail.
    const std::optional<int32_t> rounded = RoundToInt32(element.asDouble());
    if (!rounded) RaiseDesError(errors::kDesBadParameterType, kSource);
    return *rounded;
  }
  const int64_t value = element.asInt64();
  if (value < kMin || value > kMax) RaiseDesError(errors::kDesBadParameterType, kSource);
  return static_cast<int32_t>(value);
}

std::string NumbersToHex(const Variant& in) {
  std::string out;
  for (const Variant& element : RequireArray(in)) {
    if (element.kind() == Variant::Kind::Bool) {
      out += element.asBool() ? "01" : "00";
      continue;
    }
    if (!element.isNumeric()) RaiseDesError(errors::kDesBadParameterType, kSource);
    // A negative number is written as its eight-digit two's complement.
    uint32_t value = static_cast<uint32_t>(ElementAsInt32(element));
    std::string digits;
    do {
      digits.insert(digits.begin(), kHexDigits[value & 15]);
      value >>= 4;
    } while (value != 0);
    if (digits.size() % 2 != 0) digits.insert(digits.begin(), '0');
    out += digits;
  }
  return out;
}

std::string TextToHex(const Variant& in) {
  std::string out;
  for (uint8_t byte : Utf8ToAnsi(RequireString(in))) AppendHexByte(out, byte);
  return out;
}

constexpr std::array<const char*, 16> kNibbleBits = {"0000", "0001", "0010", "0011", "0100", "0101",
                                                     "0110", "0111", "1000", "1001", "1010", "1011",
                                                     "1100", "1101", "1110", "1111"};

std::string Binary(std::string_view hex, bool spaced) {
  std::string out;
  out.reserve(hex.size() * 5);
  for (std::size_t i = 0; i < hex.size(); ++i) {
    if (spaced && i > 0 && i % 2 == 0) out.push_back(' ');
    out += kNibbleBits[HexDigitValue(hex[i])];
  }
  return out;
}

Variant::Bytes Bits(std::string_view hex) {
  Variant::Bytes out;
  out.reserve(hex.size() * 4);
  for (char digit : hex) {
    for (const char* bit = kNibbleBits[HexDigitValue(digit)]; *bit != 0; ++bit) {
      out.push_back(static_cast<uint8_t>(*bit - '0'));
    }
  }
  return out;
}

}  // namespace

std::string ReadHexText(std::string_view text, bool removeSeparators, const char* source) {
  std::string out;
  out.reserve(text.size() + 1);
  for (char c : text) {
    if (removeSeparators && IsSeparator(static_cast<unsigned char>(c))) continue;
    const int value = HexDigitValue(c);
    if (value < 0) RaiseDesError(errors::kDesInvalidHex, source);
    out.push_back(kHexDigits[value]);
  }
  if (out.size() % 2 != 0) out.insert(out.begin(), '0');
  return out;
}

std::string CanonicalHex(const Variant& in, uint32_t inputForm) {
  switch (inputForm) {
    case cnvInHex:
      return ReadHexText(RequireString(in), true, kSource);
    case cnvInHexStrict:
      return ReadHexText(RequireString(in), false, kSource);
    case cnvInBits:
      return BitsFromArray(in);
    case cnvInBinary:
      return BitsFromBinaryText(in, true);
    case cnvInBinaryStrict:
      return BitsFromBinaryText(in, false);
    case cnvInNumbers:
      return NumbersToHex(in);
    case cnvInText:
      return TextToHex(in);
    default:
      return "";
  }
}

std::string FitTo16Digits(std::string_view hex) {
  if (hex.size() >= 16) return std::string(hex.substr(hex.size() - 16));
  return std::string(16 - hex.size(), '0') + std::string(hex);
}

std::vector<uint8_t> HexToByteVector(std::string_view canonicalHex) {
  std::vector<uint8_t> out;
  out.reserve(canonicalHex.size() / 2);
  for (std::size_t i = 0; i + 1 < canonicalHex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(HexDigitValue(canonicalHex[i]) * 16 +
                                       HexDigitValue(canonicalHex[i + 1])));
  }
  return out;
}

std::string ToSpacedHex(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (uint8_t byte : bytes) {
    if (!out.empty()) out.push_back(' ');
    AppendHexByte(out, byte);
  }
  return out;
}

Variant FormOutput(std::string_view hex, uint32_t outputForm) {
  switch (outputForm) {
    case cnvOutSpacedHex:
      return ToSpacedHex(HexToByteVector(hex));
    case cnvOutHex:
      return std::string(hex);
    case cnvOutBits:
      return Bits(hex);
    case cnvOutSpacedBinary:
      return Binary(hex, true);
    case cnvOutBinary:
      return Binary(hex, false);
    case cnvOutBytes:
      if (hex.empty()) return Variant();
      return HexToByteVector(hex);
    case cnvOutText:
      return AnsiToUtf8(HexToByteVector(hex));
    default:
      return Variant();
  }
}

}  // namespace tarsin::conversion

namespace tarsin {

Variant DES::ConvertData(const Variant& inData, int32_t convertFromTo, bool padOn8Bytes) const {
  const auto code = static_cast<uint32_t>(convertFromTo);
  std::string hex = conversion::CanonicalHex(inData, code & conversion::kInputFormMask);
  if (padOn8Bytes) hex = conversion::FitTo16Digits(hex);
  return conversion::FormOutput(hex, code & conversion::kOutputFormMask);
}

}  // namespace tarsin
