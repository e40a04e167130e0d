// SPDX-License-Identifier: Apache-2.0
#include "desfire/ev1_cipher.h"

#include <algorithm>

namespace tarsin::sim::desfire {

namespace {

// The CMAC subkeys: the block doubled in GF(2^n), reduced by 0x87 (AES) or 0x1B (64-bit blocks).
Bytes Doubled(const Bytes& block) {
  Bytes out(block.size());
  for (size_t i = 0; i < block.size(); ++i) {
    out[i] = static_cast<uint8_t>(block[i] << 1 | (i + 1 < block.size() ? block[i + 1] >> 7 : 0));
  }
  if (block[0] & 0x80) out.back() ^= block.size() == 16 ? 0x87 : 0x1B;
  return out;
}

}  // namespace

Ev1Cipher::Ev1Cipher(CipherKind kind, std::span<const uint8_t> key)
    : kind_(kind), key_(key.begin(), key.end()) {}

Bytes Ev1Cipher::Encipher(std::span<const uint8_t> data, Bytes& iv) const {
  Bytes out;
  const size_t size = BlockSize();
  for (size_t pos = 0; pos + size <= data.size(); pos += size) {
    Bytes block(data.begin() + static_cast<long>(pos),
                data.begin() + static_cast<long>(pos + size));
    for (size_t i = 0; i < size; ++i) block[i] ^= iv[i];
    iv = Block(block, true);
    out.insert(out.end(), iv.begin(), iv.end());
  }
  return out;
}

Bytes Ev1Cipher::Decipher(std::span<const uint8_t> data, Bytes& iv) const {
  Bytes out;
  const size_t size = BlockSize();
  for (size_t pos = 0; pos + size <= data.size(); pos += size) {
    const Bytes cipher(data.begin() + static_cast<long>(pos),
                       data.begin() + static_cast<long>(pos + size));
    Bytes plain = Block(cipher, false);
    for (size_t i = 0; i < size; ++i) plain[i] ^= iv[i];
    iv = cipher;
    out.insert(out.end(), plain.begin(), plain.end());
  }
  return out;
}

Bytes Ev1Cipher::Cmac(std::span<const uint8_t> data, Bytes& iv) const {
  const size_t size = BlockSize();
  const Bytes k1 = Doubled(Block(Bytes(size, 0), true));
  Bytes padded(data.begin(), data.end());
  const bool whole = !padded.empty() && padded.size() % size == 0;
  if (!whole) {
    padded.push_back(0x80);
    padded.resize((padded.size() + size - 1) / size * size, 0);
  }
  const Bytes subkey = whole ? k1 : Doubled(k1);
  for (size_t i = 0; i < size; ++i) padded[padded.size() - size + i] ^= subkey[i];
  Encipher(padded, iv);
  return iv;
}

uint32_t Crc32(std::span<const uint8_t> data) {
  uint32_t crc = 0xFFFFFFFF;
  for (uint8_t byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
  }
  return crc;
}

void AppendCrc32(Bytes& data, uint32_t crc) {
  for (int shift = 0; shift < 32; shift += 8) data.push_back(static_cast<uint8_t>(crc >> shift));
}

}  // namespace tarsin::sim::desfire
