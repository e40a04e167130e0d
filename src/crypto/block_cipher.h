// SPDX-License-Identifier: Apache-2.0
// A block cipher keyed once, working on one block in place. The chaining modes, the MAC and the
// DESFire channel use only this, so another cipher joins by implementing it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarsin {

class BlockCipher {
 public:
  BlockCipher() = default;
  BlockCipher(const BlockCipher&) = delete;
  BlockCipher& operator=(const BlockCipher&) = delete;
  BlockCipher(BlockCipher&&) = delete;
  BlockCipher& operator=(BlockCipher&&) = delete;
  virtual ~BlockCipher() = default;

  virtual size_t BlockSize() const noexcept = 0;
  // `block` holds exactly BlockSize() bytes.
  virtual void Encipher(std::span<uint8_t> block) const = 0;
  virtual void Decipher(std::span<uint8_t> block) const = 0;
};

}  // namespace tarsin
