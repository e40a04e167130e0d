// SPDX-License-Identifier: Apache-2.0
// What a person calls the card types the component identifies.
#pragma once

#include <cstdint>
#include <string>

namespace tarsin::cli {

// "MIFARE Classic 1K", ...; "unknown card" and "unhandled card" for the two others.
std::string CardTypeName(int32_t cardType);

}  // namespace tarsin::cli
