// SPDX-License-Identifier: Apache-2.0
// The block operations from Windows' CNG (the legacy cipher's too), which the component does not
// use: the card checks the component's cipher instead of sharing it. One block in CBC mode under
// a zero vector is the plain block operation, and a key object keeps its chaining, hence one per
// block; DES keys go in as 24 bytes (K1 K1 K1, K1 K2 K1).
#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <algorithm>
#include <stdexcept>

#include "desfire/ev1_cipher.h"

namespace tarsin::sim::desfire {

namespace {

BCRYPT_ALG_HANDLE Algorithm(bool aes) {
  static const auto open = [](LPCWSTR name) {
    BCRYPT_ALG_HANDLE opened = nullptr;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&opened, name, nullptr, 0))) {
      return BCRYPT_ALG_HANDLE{};
    }
    wchar_t mode[] = BCRYPT_CHAIN_MODE_CBC;
    ::BCryptSetProperty(opened, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(mode), sizeof mode,
                        0);
    return opened;
  };
  static const BCRYPT_ALG_HANDLE aesAlgorithm = open(BCRYPT_AES_ALGORITHM);
  static const BCRYPT_ALG_HANDLE desAlgorithm = open(BCRYPT_3DES_ALGORITHM);
  const BCRYPT_ALG_HANDLE algorithm = aes ? aesAlgorithm : desAlgorithm;
  if (!algorithm) throw std::runtime_error("no such cipher from CNG");
  return algorithm;
}

}  // namespace

Bytes Ev1Cipher::Block(std::span<const uint8_t> block, bool encipher) const {
  const bool aes = kind_ == CipherKind::kAes;
  Bytes key = key_;
  if (kind_ == CipherKind::kDes) key = {key_.begin(), key_.begin() + 8};
  if (key.size() == 8) key.insert(key.end(), key_.begin(), key_.begin() + 8);
  if (!aes && key.size() == 16) key.insert(key.end(), key_.begin(), key_.begin() + 8);
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptGenerateSymmetricKey(Algorithm(aes), &handle, nullptr, 0, key.data(),
                                                   static_cast<ULONG>(key.size()), 0))) {
    throw std::runtime_error("CNG refused a key");
  }
  Bytes in(block.begin(), block.end()), out(block.size()), vector(block.size(), 0);
  ULONG written = 0;
  const auto size = static_cast<ULONG>(in.size());
  const NTSTATUS status = encipher
                              ? ::BCryptEncrypt(handle, in.data(), size, nullptr, vector.data(),
                                                size, out.data(), size, &written, 0)
                              : ::BCryptDecrypt(handle, in.data(), size, nullptr, vector.data(),
                                                size, out.data(), size, &written, 0);
  ::BCryptDestroyKey(handle);
  if (!BCRYPT_SUCCESS(status) || written != size) throw std::runtime_error("CNG cipher failed");
  return out;
}

}  // namespace tarsin::sim::desfire
