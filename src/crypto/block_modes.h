// SPDX-License-Identifier: Apache-2.0
// Chaining over any block cipher, on a whole number of blocks in place. `chaining` (one block)
// is the value the first block is chained with and comes back as the value for the next call,
// so a session can carry it from command to command.
#pragma once

#include <cstdint>
#include <span>

#include "crypto/block_cipher.h"

namespace tarsin {

// C(i) = E(P(i) ^ C(i-1)).
void CbcEncipher(const BlockCipher& cipher, std::span<uint8_t> chaining, std::span<uint8_t> data);
// P(i) = D(C(i)) ^ C(i-1).
void CbcDecipher(const BlockCipher& cipher, std::span<uint8_t> chaining, std::span<uint8_t> data);
// The legacy DESFire sending direction, in which the reader deciphers what it sends:
// Y(i) = D(X(i) ^ Y(i-1)).
void SendModeDecipher(const BlockCipher& cipher, std::span<uint8_t> chaining,
                      std::span<uint8_t> data);

}  // namespace tarsin
