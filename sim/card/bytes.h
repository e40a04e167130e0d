// SPDX-License-Identifier: Apache-2.0
// Byte strings and their hex text, as the readers file stores them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarsin::sim {

using Bytes = std::vector<std::uint8_t>;

// Upper-case hex, two digits per byte, no separators.
std::string ToHex(const Bytes& bytes);

// Reads hex digits, ignoring blanks; nullopt for any other character or an odd digit count.
std::optional<Bytes> FromHex(std::string_view text);

}  // namespace tarsin::sim
