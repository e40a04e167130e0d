// SPDX-License-Identifier: Apache-2.0
#include <array>

#include "core/ansi_code_page.h"

namespace tarsin {
namespace {

// Bytes 0x80 to 0x9F; the rest of the page equals Latin-1.
constexpr std::array<char32_t, 32> kHighControlsBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

char32_t AnsiByteToCodePoint(uint8_t byte) noexcept {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControlsBlock[byte - 0x80];
  return byte;
}

uint8_t CodePointToAnsiByte(char32_t codePoint) noexcept {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
    return static_cast<uint8_t>(codePoint);
  }
  for (std::size_t i = 0; i < kHighControlsBlock.size(); ++i) {
    if (kHighControlsBlock[i] == codePoint) return static_cast<uint8_t>(0x80 + i);
  }
  return kAnsiReplacementByte;
}

std::vector<uint8_t> Utf8ToAnsi(std::string_view text) {
  std::vector<uint8_t> out;
  for (char32_t cp : DecodeUtf8(text)) out.push_back(CodePointToAnsiByte(cp));
  return out;
}

std::string AnsiToUtf8(const std::vector<uint8_t>& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (uint8_t b : bytes) AppendUtf8(out, AnsiByteToCodePoint(b));
  return out;
}

}  // namespace tarsin
