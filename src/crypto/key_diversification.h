// SPDX-License-Identifier: Apache-2.0
// Key diversification as NXP's application note AN10922 describes it: each card's key is the
// CMAC, under the master key, of a constant and the diversification input M (the card's UID,
// the application id, a system identifier...), padded to two blocks. Raises Failure "Invalid
// data length" for a master key or an input of another length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarsin {

// The longest M: the constant and M fill two blocks at most.
inline constexpr size_t kLongestAesDiversificationInput = 31;
inline constexpr size_t kLongestTripleDesDiversificationInput = 15;

// AES-128: a 16-byte key from a 16-byte master key and 1 to 31 bytes of M.
std::vector<uint8_t> DiversifyAesKey(std::span<const uint8_t> master,
                                     std::span<const uint8_t> input);

// Two-key (16-byte master) or three-key (24-byte) triple DES: a key as long as the master, 8
// bytes per CMAC, from 1 to 15 bytes of M. As in the note's examples, the master's key version,
// which DESFire keeps in the parity bits of a key's first 8 bytes, is put back into the
// result's first 8 bytes; the other bytes stay as computed.
std::vector<uint8_t> DiversifyTripleDesKey(std::span<const uint8_t> master,
                                           std::span<const uint8_t> input);

}  // namespace tarsin
