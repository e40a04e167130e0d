// SPDX-License-Identifier: Apache-2.0
#include "provider/pcsc_buffers.h"

#include <cstdlib>
#include <cstring>

namespace tarsin::sim::provider {

LONG ReturnBytes(const Bytes& value, LPBYTE buffer, LPDWORD length) {
  if (!length) return SCARD_E_INVALID_PARAMETER;
  if (!buffer) {
    *length = value.size();
    return SCARD_S_SUCCESS;
  }
  if (*length == SCARD_AUTOALLOCATE) {
    // The caller releases it with SCardFreeMemory, which frees it.
    // NOLINTNEXTLINE(cppcoreguidelines-no-malloc)
    auto* allocated = static_cast<LPBYTE>(std::malloc(value.empty() ? 1 : value.size()));
    if (!allocated) return SCARD_E_NO_MEMORY;
    if (!value.empty()) std::memcpy(allocated, value.data(), value.size());
    *reinterpret_cast<LPBYTE*>(buffer) = allocated;
    *length = value.size();
    return SCARD_S_SUCCESS;
  }
  if (*length < value.size()) {
    *length = value.size();
    return SCARD_E_INSUFFICIENT_BUFFER;
  }
  if (!value.empty()) std::memcpy(buffer, value.data(), value.size());
  *length = value.size();
  return SCARD_S_SUCCESS;
}

LONG ReturnText(const std::string& value_with_nuls, LPSTR buffer, LPDWORD length) {
  return ReturnBytes(Bytes(value_with_nuls.begin(), value_with_nuls.end()),
                     reinterpret_cast<LPBYTE>(buffer), length);
}

}  // namespace tarsin::sim::provider
