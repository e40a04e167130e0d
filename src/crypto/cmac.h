// SPDX-License-Identifier: Apache-2.0
// CMAC (NIST SP 800-38B, RFC 4493) over any block cipher of 8 or 16 bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "crypto/block_cipher.h"

namespace tarsin {

// The MAC of `message`, one whole block. The chaining starts from `chaining` (zero in the
// standard; a DESFire EV1 session starts from its IV) and comes back as the MAC, which is the
// session's next IV.
std::vector<uint8_t> Cmac(const BlockCipher& cipher, std::span<uint8_t> chaining,
                          std::span<const uint8_t> message);
// The standard MAC, from a zero chaining value.
std::vector<uint8_t> Cmac(const BlockCipher& cipher, std::span<const uint8_t> message);
// The MAC of a message padded (with the second subkey) whenever it is shorter than `length`
// bytes, a whole number of blocks, so that even a short one runs through them all: the form
// key diversification uses.
std::vector<uint8_t> CmacPaddedTo(const BlockCipher& cipher, std::span<const uint8_t> message,
                                  size_t length);

}  // namespace tarsin
