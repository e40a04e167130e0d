// SPDX-License-Identifier: Apache-2.0
// The block cipher of a DESFire key or session key: AES for AES keys, DES or triple DES by length
// for the others.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "core/state.h"
#include "crypto/block_cipher.h"

namespace tarsin::desfire {

std::unique_ptr<BlockCipher> CipherFor(DesfireKeyType type, std::span<const uint8_t> key);

// The cipher of the session's key, keyed once per key: built again only when the session's key
// or key type is no longer the one it was built for.
const BlockCipher& SessionCipher(const DesfireSession& session);

}  // namespace tarsin::desfire
