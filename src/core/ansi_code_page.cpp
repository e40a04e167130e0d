// SPDX-License-Identifier: Apache-2.0
// UTF-8 handling shared by every platform; the code page itself is the platform's (*_linux.cpp,
// *_windows.cpp).
#include "core/ansi_code_page.h"

#include <utility>

namespace tarsin {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// The well-formed UTF-8 sequence that starts at `at`: its length and code point; length 0 when
// none starts there (a stray continuation, an overlong form, a surrogate, a cut sequence).
std::pair<std::size_t, char32_t> Utf8Sequence(std::string_view text, std::size_t at) {
  const auto lead = static_cast<uint8_t>(text[at]);
  // Sequence length, payload bits of the lead byte and the smallest code point it may encode
  // (anything smaller is an overlong form).
  std::size_t length = 0;
  char32_t cp = lead;
  char32_t minimum = 0;
  if (lead < 0x80) {
    length = 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
    minimum = 0x10000;
  }
  bool wellFormed = length > 0 && at + length <= text.size();
  for (std::size_t k = 1; wellFormed && k < length; ++k) {
    const auto next = static_cast<uint8_t>(text[at + k]);
    wellFormed = (next & 0xC0) == 0x80;
    cp = (cp << 6) | (next & 0x3F);
  }
  wellFormed = wellFormed && cp >= minimum && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
  return {wellFormed ? length : 0, cp};
}

}  // namespace

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto [length, cp] = Utf8Sequence(text, i);
    out.push_back(length ? cp : kReplacementCharacter);
    i += length ? length : 1;
  }
  return out;
}

std::string WellFormedUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto [length, cp] = Utf8Sequence(text, i);
    if (length) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      AppendUtf8(out, AnsiByteToCodePoint(static_cast<uint8_t>(text[i++])));
    }
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

}  // namespace tarsin
