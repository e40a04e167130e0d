// SPDX-License-Identifier: Apache-2.0
// The block operation from Windows' CNG, which the component does not use: the card checks the
// component's own DES instead of sharing it. CNG (Wine's too) offers 3DES with 24-byte keys in
// CBC mode, so one block under a zero vector is the plain block operation, and K1 K2 K1 is the
// card's 2K3DES (K1 K1 K1 its single DES). A key object keeps its chaining, hence one per block.
#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <algorithm>
#include <stdexcept>

#include "desfire/legacy_cipher.h"

namespace tarsin::sim::desfire {

namespace {

BCRYPT_ALG_HANDLE TripleDes() {
  static const BCRYPT_ALG_HANDLE algorithm = [] {
    BCRYPT_ALG_HANDLE opened = nullptr;
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(&opened, BCRYPT_3DES_ALGORITHM, nullptr, 0))) {
      return BCRYPT_ALG_HANDLE{};
    }
    wchar_t mode[] = BCRYPT_CHAIN_MODE_CBC;
    ::BCryptSetProperty(opened, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(mode), sizeof mode,
                        0);
    return opened;
  }();
  if (!algorithm) throw std::runtime_error("no 3DES from CNG");
  return algorithm;
}

}  // namespace

std::array<uint8_t, 8> LegacyCipher::EncipherBlock(std::span<const uint8_t, 8> block) const {
  std::array<UCHAR, 24> key{};
  std::copy(key_.begin(), key_.end(), key.begin());
  std::copy_n(key_.begin(), 8, key.begin() + 16);
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptGenerateSymmetricKey(TripleDes(), &handle, nullptr, 0, key.data(),
                                                   key.size(), 0))) {
    throw std::runtime_error("CNG refused a 3DES key");
  }
  std::array<UCHAR, 8> in{}, out{}, vector{};
  std::copy(block.begin(), block.end(), in.begin());
  ULONG written = 0;
  const NTSTATUS status = ::BCryptEncrypt(handle, in.data(), in.size(), nullptr, vector.data(),
                                          vector.size(), out.data(), out.size(), &written, 0);
  ::BCryptDestroyKey(handle);
  if (!BCRYPT_SUCCESS(status) || written != out.size()) {
    throw std::runtime_error("CNG 3DES failed");
  }
  std::array<uint8_t, 8> result{};
  std::copy(out.begin(), out.end(), result.begin());
  return result;
}

}  // namespace tarsin::sim::desfire
