// The MIFARE Classic value-block format.
#pragma once

#include <cstdint>
#include <string>

namespace tarsin::mifare {

// The 32 hex digits of a value block holding `value`: the value (32-bit two's complement, least
// significant byte first), its complement, the value again, then address FF and its complement
// twice.
std::string ValueBlockDigits(int32_t value);

}  // namespace tarsin::mifare
