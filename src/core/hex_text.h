// SPDX-License-Identifier: Apache-2.0
// The small hex-text routines the card operations use to check and convert what the host gives
// them and what the card answers. Texts here are byte strings (one char per byte).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarsin {

using ByteVector = std::vector<uint8_t>;

// Rewrites `text` upper-case without blanks; true when only hex digits remain and, unless
// `length` is -1, there are exactly `length` of them.
bool IsHexString(std::string& text, int32_t length = -1);

// The bytes of `text` from position `from` to `to` (counted from 1) as upper-case hex, each
// followed by a blank when `spaced`, blanks at both ends removed. A negative `to` becomes the
// length of the text and is written back.
std::string TextToHex(std::string_view text, int32_t from, int32_t& to, bool spaced);
inline std::string TextToHex(std::string_view text, bool spaced) {
  int32_t to = -1;
  return TextToHex(text, 1, to, spaced);
}

// The first `count` bytes (at most all of them) as upper-case hex without separators.
std::string BytesToHex(std::span<const uint8_t> bytes, size_t count);
inline std::string BytesToHex(std::span<const uint8_t> bytes) {
  return BytesToHex(bytes, bytes.size());
}

// `hex` read two characters at a time (a piece that is not a hex number gives 0), then the bytes
// of `text`.
ByteVector HexToBytes(std::string_view hex, std::string_view text = {});

// Splits a card answer into its data and its status word (SW1SW2 as four hex digits).
void SplitResponse(std::span<const uint8_t> bytes, size_t count, std::string& data,
                   std::string& status);

}  // namespace tarsin
