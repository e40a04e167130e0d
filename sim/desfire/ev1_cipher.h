// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "card/bytes.h"

namespace tarsin::sim::desfire {

// The block ciphers of ISO and AES sessions.
enum class CipherKind : uint8_t { kDes, k2K3Des, k3K3Des, kAes };

constexpr size_t BlockSizeOf(CipherKind kind) {
  return kind == CipherKind::kAes ? 16 : 8;
}
constexpr size_t KeyLengthOf(CipherKind kind) {
  return kind == CipherKind::kDes ? 8 : kind == CipherKind::k3K3Des ? 24 : 16;
}
// RndA and RndB of an authentication: 8 bytes for DES and 2K3DES, 16 for 3K3DES and AES.
constexpr size_t RandomLengthOf(CipherKind kind) {
  return kind == CipherKind::kDes || kind == CipherKind::k2K3Des ? 8 : 16;
}

// The card's side of EV1 secure messaging: CBC and CMAC chained through the session's vector,
// which every call reads and leaves as its last block (the next command's and answer's vector).
class Ev1Cipher {
 public:
  // KeyLengthOf(kind) bytes of key.
  Ev1Cipher(CipherKind kind, std::span<const uint8_t> key);

  size_t BlockSize() const { return BlockSizeOf(kind_); }
  // `data` is a whole number of blocks.
  Bytes Encipher(std::span<const uint8_t> data, Bytes& iv) const;
  Bytes Decipher(std::span<const uint8_t> data, Bytes& iv) const;
  // The whole CMAC of NIST SP 800-38B, from `iv` instead of zeros; `iv` becomes the CMAC.
  Bytes Cmac(std::span<const uint8_t> data, Bytes& iv) const;

 private:
  // One block under the key, forward or inverse (the platform's cipher).
  Bytes Block(std::span<const uint8_t> block, bool encipher) const;

  CipherKind kind_;
  Bytes key_;
};

// The CRC32 of enciphered EV1 frames: IEEE 802.3's polynomial, preset all ones, no final
// inversion; appended least significant byte first.
uint32_t Crc32(std::span<const uint8_t> data);
void AppendCrc32(Bytes& data, uint32_t crc);

}  // namespace tarsin::sim::desfire
