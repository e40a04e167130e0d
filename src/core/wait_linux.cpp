// SPDX-License-Identifier: Apache-2.0
#include <thread>

#include "core/wait.h"

namespace tarsin {

void Wait(std::chrono::milliseconds duration) noexcept {
  std::this_thread::sleep_for(duration);
}

}  // namespace tarsin
