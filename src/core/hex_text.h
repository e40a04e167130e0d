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

// The bytes of `text` as upper-case hex, one blank between them when `spaced`.
std::string TextToHex(std::string_view text, bool spaced);

// The first `count` bytes (at most all of them) as upper-case hex without separators.
std::string BytesToHex(std::span<const uint8_t> bytes, size_t count);
inline std::string BytesToHex(std::span<const uint8_t> bytes) {
  return BytesToHex(bytes, bytes.size());
}

// `hex` read two characters at a time (a piece that is not a hex number gives 0).
ByteVector HexToBytes(std::string_view hex);

}  // namespace tarsin
