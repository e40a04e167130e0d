// SPDX-License-Identifier: Apache-2.0
// Returning variable-length results the pcsc-lite way: a NULL buffer asks for the length,
// SCARD_AUTOALLOCATE asks the library to allocate (freed by SCardFreeMemory), a short buffer
// gets SCARD_E_INSUFFICIENT_BUFFER with the needed length.
#pragma once

#include "card/bytes.h"
#include "pcsc_platform.h"

namespace tarsin::sim::provider {

LONG ReturnBytes(const Bytes& value, LPBYTE buffer, LPDWORD length);
// A multi-string or name: the same rules, counted in characters.
LONG ReturnText(const std::string& value_with_nuls, LPSTR buffer, LPDWORD length);

}  // namespace tarsin::sim::provider
