// SPDX-License-Identifier: Apache-2.0
// Raising the cipher's numbered errors.
#pragma once

#include "core/error_catalogue.h"

namespace tarsin {

// Throws tarsin::Failure with the entry and the routine that raised it.
[[noreturn]] void RaiseDesError(const ErrorEntry& entry, const char* source);

}  // namespace tarsin
