// SPDX-License-Identifier: Apache-2.0
// Readable English texts for PC/SC return codes and card status words.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarsin {

// The sentence for a PC/SC return code, ending with the constant's name; a code without a text
// of its own gives "Unexpected error 0x" and the code as an unsigned hexadecimal pattern.
std::string SCardErrorText(int32_t code) noexcept;

// The sentence for a status word given as four hexadecimal characters SW1SW2 (either case),
// starting with a severity tag such as "[OK]" or "[Aborted]"; anything it does not know,
// including text that is no status word at all, gives the "[Unknown]" sentence.
std::string StatusWordText(std::string_view statusWord) noexcept;

}  // namespace tarsin
