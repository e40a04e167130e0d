// The system ANSI code page of this platform: Windows-1252, with its five undefined bytes mapped
// to the C1 code points so that every byte survives a round trip. Public text is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarsin::registry {

struct AnsiText {
  std::vector<uint8_t> bytes;
  bool exact = true;  // false when a character had no byte and became '?'
};

// Invalid UTF-8 counts as a character without a byte.
AnsiText ToAnsi(std::string_view utf8);
std::string FromAnsi(const std::vector<uint8_t>& bytes);

// True when every character converts to one byte of the code page; "" is ANSI.
bool IsAnsiText(std::string_view utf8);

}  // namespace tarsin::registry
