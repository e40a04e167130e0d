// SPDX-License-Identifier: Apache-2.0
// The system's ANSI code page (GetACP), through Windows' own conversions. Characters the page
// lacks become '?', as Windows writes them; no best-fit look-alikes.
#include <windows.h>

#include "core/ansi_code_page.h"
#include "core/wide_text_windows.h"

namespace tarsin {

char32_t AnsiByteToCodePoint(uint8_t byte) noexcept {
  const char in = static_cast<char>(byte);
  wchar_t out = 0;
  // A lead byte of a double-byte page has no character of its own.
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &in, 1, &out, 1) != 1) return 0xFFFD;
  return static_cast<char16_t>(out);
}

uint8_t CodePointToAnsiByte(char32_t codePoint) noexcept {
  if (codePoint > 0xFFFF) return kAnsiReplacementByte;
  const wchar_t in = static_cast<wchar_t>(codePoint);
  char out[2] = {};
  BOOL defaulted = FALSE;
  const int written =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &in, 1, out, sizeof out, "?", &defaulted);
  if (written != 1 || defaulted) return kAnsiReplacementByte;
  return static_cast<uint8_t>(out[0]);
}

std::vector<uint8_t> Utf8ToAnsi(std::string_view text) {
  const std::wstring wide = WideFromUtf8(text);
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int needed = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr,
                                         0, "?", nullptr);
  std::vector<uint8_t> out(static_cast<std::size_t>(needed > 0 ? needed : 0));
  if (needed > 0) {
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size,
                        reinterpret_cast<char*>(out.data()), needed, "?", nullptr);
  }
  return out;
}

std::string AnsiToUtf8(const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return {};
  const auto* in = reinterpret_cast<const char*>(bytes.data());
  const int size = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(CP_ACP, 0, in, size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
  if (needed > 0) MultiByteToWideChar(CP_ACP, 0, in, size, wide.data(), needed);
  return Utf8FromWide(wide);
}

}  // namespace tarsin
