// SPDX-License-Identifier: Apache-2.0
// The access bits of a MIFARE Classic sector trailer (bytes 6, 7 and 8) and the mapping between
// access codes C1C2C3 and the rights the host speaks of.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/state.h"
#include "tarsin/types.h"

namespace tarsin::mifare {

// Trailer bytes 6, 7 and 8.
using AccessBytes = std::array<uint8_t, 3>;

// The code C1C2C3 (0 to 7) of block `i` (0 to 3) from bytes 7 and 8; the inverted copies are
// not looked at.
int AccessCode(uint8_t byte7, uint8_t byte8, int i);

// The rights a code gives a data block, and the key use and trailer rights it means for a
// trailer.
SCBS_SecurityLevelEnum DataBlockRights(int code);
uint8_t TrailerKeysUsed(int code);
SCSS_SecurityLevelEnum TrailerRights(int code);

// Writes `code` ("000" to "111") for the block of mask `m` (1, 2, 4 or 8) into the three bytes,
// with its inverted copy.
void SetAccessBits(std::string_view code, int m, AccessBytes& bytes);

// The code for a data block's rights `security` (-1: keep the bytes as they are) applied with
// mask `m`; false, with the bytes unchanged, when the rights have no code. Entry 8 of the table
// gives value-block rights to a block listed in ValueBlocks.
bool EncodeBlockAccess(const EncoderState& state, int32_t security, uint8_t keysUsed, int m,
                       int32_t block, AccessBytes& bytes);
// The same for the trailer's rights (mask 8); its codes are fixed.
bool EncodeTrailerAccess(int32_t conditions, uint8_t keysUsed, int m, AccessBytes& bytes);

// A valid table code: exactly three characters "0"/"1".
bool IsAccessCode(std::string_view code);

}  // namespace tarsin::mifare
