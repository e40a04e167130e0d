// SPDX-License-Identifier: Apache-2.0
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>

#include "core/failure.h"
#include "core/random_bytes.h"

namespace tarsin {

void RandomBytes(std::span<uint8_t> bytes) {
  size_t filled = 0;
  while (filled < bytes.size()) {
    const ULONG chunk = static_cast<ULONG>(std::min<size_t>(bytes.size() - filled, 1u << 20));
    const NTSTATUS status =
        BCryptGenRandom(nullptr, bytes.data() + filled, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status < 0) {
      Failure failure(errors::kRandomUnavailable);
      failure.setOsError(static_cast<int32_t>(status));
      throw failure;
    }
    filled += chunk;
  }
}

}  // namespace tarsin
