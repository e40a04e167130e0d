// Raising the cipher's numbered errors.
#pragma once

#include <cstdint>

namespace tarsin {

// Throws tarsin::Failure with the number, its description and the routine that raised it.
[[noreturn]] void RaiseDesError(uint32_t number, const char* source);

}  // namespace tarsin
