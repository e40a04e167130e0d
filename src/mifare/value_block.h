// SPDX-License-Identifier: Apache-2.0
// The MIFARE Classic value-block format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarsin::mifare {

// The 32 hex digits of a value block holding `value`: the value (32-bit two's complement, least
// significant byte first), its complement, the value again, then address FF and its complement
// twice.
std::string ValueBlockDigits(int32_t value);

// The value a block of 32 hex digits holds when it has that form (the value, its complement and
// the value again, then an address byte kept, inverted, kept, inverted); nullopt otherwise.
std::optional<int32_t> ValueOfBlock(const std::string& digits);

}  // namespace tarsin::mifare
