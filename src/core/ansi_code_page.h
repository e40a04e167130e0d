// SPDX-License-Identifier: Apache-2.0
// The ANSI code page of the component. On Linux: Windows-1252, with the five bytes it leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) taken as the C1 control characters of the same value,
// so that every byte has a character and comes back unchanged. On Windows: the system's ANSI code
// page. Public strings are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarsin {

// The byte written for a character that the code page does not have, as Windows writes it.
inline constexpr uint8_t kAnsiReplacementByte = 0x3F;  // '?'

// The characters of a UTF-8 text as code points; each byte of an ill-formed sequence becomes
// U+FFFD, so nothing is dropped.
std::u32string DecodeUtf8(std::string_view text);

// The text as UTF-8: well-formed sequences unchanged, every other byte read as the code page's
// character, so that a Windows-1252 text from a host, a card or a reader loses nothing.
std::string WellFormedUtf8(std::string_view text);

char32_t AnsiByteToCodePoint(uint8_t byte) noexcept;
// The byte of a character, or kAnsiReplacementByte when the code page lacks it.
uint8_t CodePointToAnsiByte(char32_t codePoint) noexcept;

std::vector<uint8_t> Utf8ToAnsi(std::string_view text);
// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t codePoint);
std::string AnsiToUtf8(const std::vector<uint8_t>& bytes);

}  // namespace tarsin
