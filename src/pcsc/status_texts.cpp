// SPDX-License-Identifier: Apache-2.0
#include "pcsc/status_texts.h"

#include <fmt/format.h>

#include <algorithm>
#include <optional>

#include "core/numeric_text.h"
#include "pcsc/status_text_tables.h"

namespace tarsin {
namespace {

using namespace status_texts;

// The byte in the two characters at `offset`; reading stops at the first character that is not a
// hexadecimal digit, so "6" reads 6 and "G1" reads 0.
int ByteAt(std::string_view text, size_t offset) {
  int value = 0;
  for (size_t i = offset; i < offset + 2 && i < text.size(); ++i) {
    int digit = HexDigitValue(text[i]);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return value;
}

std::string_view LastTwo(std::string_view text) {
  return text.substr(text.size() > 2 ? text.size() - 2 : 0);
}

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::optional<std::string_view> TableText(int sw1, int sw2) {
  auto rowOf = [&](int wanted) {
    return std::ranges::find_if(kStatusWords, [&](const StatusWordRow& row) {
      return row.sw1 == sw1 && row.sw2 == wanted;
    });
  };
  if (const auto* row = rowOf(sw2); row != kStatusWords.end()) return row->text;
  if (const auto* row = rowOf(kAnyOtherSW2); row != kStatusWords.end()) return row->text;
  return std::nullopt;
}

// The status words whose text carries part of the status word itself.
std::optional<std::string> PatternText(std::string_view statusWord, int sw1, int sw2) {
  switch (sw1) {
    case 0x61:
      return fmt::format(
          "[OK]  Command successfully executed; ‘0x0{}’ bytes of data are available and can be "
          "requested using GET RESPONSE.",
          LastTwo(statusWord));
    case 0x63:
      if (statusWord.size() > 2 && UpperAscii(statusWord[2]) == 'C') {
        return std::string(
            "[Warning]  The counter has reached the value ‘x’ (0 = x = 15) (the exact "
            "significance depends on the command).");
      }
      return std::string("[Warning]  State of non-volatile memory changed.");
    case 0x6C:
      return fmt::format("[Aborted]  Bad length value in Le; ‘0x0{}’ is the correct length.",
                         LastTwo(statusWord));
    case 0x9F:
      return fmt::format(
          "[OK]  Command successfully executed, {} bytes of data are available and can be "
          "requested using GET RESPONSE.",
          sw2);
    case 0x92:
      if (sw2 <= 0x0F)
        return fmt::format("[OK]  Writing to EEPROM successful after {} attempts.", sw2);
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::string UnknownText(std::string_view statusWord) {
  std::string upper(statusWord);
  std::ranges::transform(upper, upper.begin(), UpperAscii);
  return "[Unknown]  Unknown retcode '" + upper + "'.";
}

}  // namespace

std::string SCardErrorText(int32_t code) noexcept {
  try {
    const auto pattern = static_cast<uint32_t>(code);
    const auto* row = std::ranges::find(kSCardErrors, pattern, &SCardErrorRow::code);
    if (row != kSCardErrors.end()) return std::string(row->text);
    return fmt::format("Unexpected error 0x{:X}", pattern);
  } catch (...) {
    return {};
  }
}

std::string StatusWordText(std::string_view statusWord) noexcept {
  try {
    if (statusWord == "9000") return std::string(kCommandSuccessful);
    if (statusWord == "9100") return std::string(kDESFireSuccessful);
    const int sw1 = ByteAt(statusWord, 0);
    const int sw2 = ByteAt(statusWord, 2);
    if (auto text = PatternText(statusWord, sw1, sw2)) return *text;
    if (auto text = TableText(sw1, sw2)) return std::string(*text);
    return UnknownText(statusWord);
  } catch (...) {
    return {};
  }
}

}  // namespace tarsin
