// SPDX-License-Identifier: Apache-2.0
// The platform's wait: the calling thread sleeps for the given time.
#pragma once

#include <chrono>

namespace tarsin {

void Wait(std::chrono::milliseconds duration) noexcept;

}  // namespace tarsin
