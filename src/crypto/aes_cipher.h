// SPDX-License-Identifier: Apache-2.0
// AES-128 behind the block-cipher interface, from the platform's cryptographic library (OpenSSL's
// libcrypto on Linux).
#pragma once

#include <memory>
#include <span>

#include "crypto/block_cipher.h"

namespace tarsin {

class AesCipher final : public BlockCipher {
 public:
  // Raises Failure "Invalid data length" for a key other than 16 bytes.
  explicit AesCipher(std::span<const uint8_t> key);
  AesCipher(const AesCipher&) = delete;
  AesCipher& operator=(const AesCipher&) = delete;
  AesCipher(AesCipher&&) = delete;
  AesCipher& operator=(AesCipher&&) = delete;
  ~AesCipher() override;

  size_t BlockSize() const noexcept override { return 16; }
  void Encipher(std::span<uint8_t> block) const override;
  void Decipher(std::span<uint8_t> block) const override;

 private:
  struct Contexts;
  std::unique_ptr<Contexts> contexts_;
};

}  // namespace tarsin
