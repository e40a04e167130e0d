// SPDX-License-Identifier: Apache-2.0
#include "crypto/cmac.h"

#include <algorithm>

#include "crypto/block_modes.h"
#include "crypto/des_failure.h"

namespace tarsin {
namespace {

// The subkey doubling in GF(2^n): a left shift, and the field's constant when a bit falls out.
std::vector<uint8_t> Doubled(const std::vector<uint8_t>& value) {
  std::vector<uint8_t> result(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    const uint8_t next = i + 1 < value.size() ? value[i + 1] : 0;
    result[i] = static_cast<uint8_t>(value[i] << 1 | next >> 7);
  }
  if (value[0] & 0x80) result.back() ^= value.size() == 16 ? 0x87 : 0x1B;
  return result;
}

std::vector<uint8_t> Mac(const BlockCipher& cipher, std::span<uint8_t> chaining,
                         std::span<const uint8_t> message, size_t paddedLength) {
  const size_t size = cipher.BlockSize();
  if ((size != 8 && size != 16) || chaining.size() != size || paddedLength % size != 0) {
    RaiseDesError(errors::kDesInvalidDataLength, "Cmac");
  }
  std::vector<uint8_t> subkey(size, 0);
  cipher.Encipher(subkey);
  subkey = Doubled(subkey);
  // A whole last block takes K1; a short or missing one, or a message shorter than
  // `paddedLength`, is padded with 80 00... and takes K2.
  std::vector<uint8_t> data(message.begin(), message.end());
  if (data.empty() || data.size() % size != 0 || data.size() < paddedLength) {
    subkey = Doubled(subkey);
    data.push_back(0x80);
    data.resize(std::max((data.size() + size - 1) / size * size, paddedLength), 0);
  }
  std::transform(data.end() - static_cast<std::ptrdiff_t>(size), data.end(), subkey.begin(),
                 data.end() - static_cast<std::ptrdiff_t>(size), std::bit_xor<>());
  CbcEncipher(cipher, chaining, data);
  return {data.end() - static_cast<std::ptrdiff_t>(size), data.end()};
}

}  // namespace

std::vector<uint8_t> Cmac(const BlockCipher& cipher, std::span<uint8_t> chaining,
                          std::span<const uint8_t> message) {
  return Mac(cipher, chaining, message, 0);
}

std::vector<uint8_t> Cmac(const BlockCipher& cipher, std::span<const uint8_t> message) {
  std::vector<uint8_t> chaining(cipher.BlockSize(), 0);
  return Mac(cipher, chaining, message, 0);
}

std::vector<uint8_t> CmacPaddedTo(const BlockCipher& cipher, std::span<const uint8_t> message,
                                  size_t length) {
  std::vector<uint8_t> chaining(cipher.BlockSize(), 0);
  return Mac(cipher, chaining, message, length);
}

}  // namespace tarsin
