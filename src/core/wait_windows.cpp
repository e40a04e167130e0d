// SPDX-License-Identifier: Apache-2.0
#include <windows.h>

#include <algorithm>

#include "core/wait.h"

namespace tarsin {

void Wait(std::chrono::milliseconds duration) noexcept {
  // INFINITE (0xFFFFFFFF) would never return: a longer wait is cut just short of it.
  const auto count = std::clamp<long long>(duration.count(), 0, 0xFFFFFFFE);
  Sleep(static_cast<DWORD>(count));
}

}  // namespace tarsin
