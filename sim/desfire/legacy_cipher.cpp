// SPDX-License-Identifier: Apache-2.0
#include "desfire/legacy_cipher.h"

#include <algorithm>

#include "desfire/ev1_cipher.h"

namespace tarsin::sim::desfire {

uint16_t CrcA(std::span<const uint8_t> data) {
  uint32_t crc = 0x6363;
  for (uint8_t byte : data) {
    uint8_t b = byte ^ static_cast<uint8_t>(crc & 0xFF);
    b ^= static_cast<uint8_t>(b << 4);
    crc = (crc >> 8) ^ (static_cast<uint32_t>(b) << 8) ^ (static_cast<uint32_t>(b) << 3) ^
          (static_cast<uint32_t>(b) >> 4);
    crc &= 0xFFFF;
  }
  return static_cast<uint16_t>(crc);
}

void AppendCrcA(Bytes& data) {
  const uint16_t crc = CrcA(data);
  data.push_back(static_cast<uint8_t>(crc & 0xFF));
  data.push_back(static_cast<uint8_t>(crc >> 8));
}

bool IsSingleDesKey(std::span<const uint8_t, 16> key) {
  return std::equal(key.begin(), key.begin() + 8, key.begin() + 8);
}

LegacyCipher::LegacyCipher(std::span<const uint8_t, 16> key) : singleDes_(IsSingleDesKey(key)) {
  std::copy(key.begin(), key.end(), key_.begin());
}

// The EV1 sessions' 2K3DES (the platform's cipher), one block under a zero vector: with equal
// halves E-D-E collapses to single DES, which is how the card treats such keys.
std::array<uint8_t, 8> LegacyCipher::EncipherBlock(std::span<const uint8_t, 8> block) const {
  Bytes vector(8, 0);
  Ev1Cipher(CipherKind::k2K3Des, key_).Encipher(block, vector);
  std::array<uint8_t, 8> result{};
  std::copy(vector.begin(), vector.end(), result.begin());
  return result;
}

Bytes LegacyCipher::Encipher(std::span<const uint8_t> data) const {
  Bytes out;
  std::array<uint8_t, 8> chain{};
  for (size_t pos = 0; pos + 8 <= data.size(); pos += 8) {
    for (size_t i = 0; i < 8; ++i) chain[i] ^= data[pos + i];
    chain = EncipherBlock(chain);
    out.insert(out.end(), chain.begin(), chain.end());
  }
  return out;
}

Bytes LegacyCipher::Decipher(std::span<const uint8_t> data) const {
  Bytes out;
  std::array<uint8_t, 8> previous{};
  for (size_t pos = 0; pos + 8 <= data.size(); pos += 8) {
    std::span<const uint8_t, 8> block(data.data() + pos, 8);
    std::array<uint8_t, 8> plain = EncipherBlock(block);
    for (size_t i = 0; i < 8; ++i) plain[i] ^= previous[i];
    std::copy(block.begin(), block.end(), previous.begin());
    out.insert(out.end(), plain.begin(), plain.end());
  }
  return out;
}

std::array<uint8_t, 4> LegacyCipher::Mac(std::span<const uint8_t> data) const {
  Bytes padded(data.begin(), data.end());
  padded.resize((padded.size() + 7) / 8 * 8, 0);
  if (padded.empty()) padded.resize(8, 0);
  const Bytes chained = Encipher(padded);
  std::array<uint8_t, 4> mac{};
  std::copy_n(chained.end() - 8, 4, mac.begin());
  return mac;
}

}  // namespace tarsin::sim::desfire
