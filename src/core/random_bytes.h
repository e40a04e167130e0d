// SPDX-License-Identifier: Apache-2.0
// Unpredictable bytes from the operating system's generator, for authentication challenges.
#pragma once

#include <cstdint>
#include <span>

namespace tarsin {

// Fills `bytes`; raises Failure when the generator cannot be read.
void RandomBytes(std::span<uint8_t> bytes);

}  // namespace tarsin
