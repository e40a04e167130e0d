// SPDX-License-Identifier: Apache-2.0
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <utility>

#include "crypto/aes_cipher.h"
#include "crypto/des_failure.h"

namespace tarsin {
namespace {

void Check(NTSTATUS status, const ErrorEntry& entry) {
  if (status < 0) RaiseDesError(entry, "AesCipher");
}

// CNG's AES in ECB, one block at a time (the chaining is ours), opened once for the process:
// opening a provider is CNG's costly step, and the DESFire channel makes a cipher for every
// message. Raises what the opening met when it failed.
BCRYPT_ALG_HANDLE EcbAes() {
  using Opened = std::pair<BCRYPT_ALG_HANDLE, const ErrorEntry*>;
  static const Opened opened = []() -> Opened {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_AES_ALGORITHM, nullptr, 0) < 0) {
      return {nullptr, &errors::kDesInvalidAlgorithm};
    }
    wchar_t mode[] = BCRYPT_CHAIN_MODE_ECB;
    if (BCryptSetProperty(algorithm, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(mode),
                          sizeof mode, 0) < 0) {
      BCryptCloseAlgorithmProvider(algorithm, 0);
      return {nullptr, &errors::kDesInvalidChaining};
    }
    return {algorithm, nullptr};
  }();
  if (!opened.first) RaiseDesError(*opened.second, "AesCipher");
  return opened.first;
}

}  // namespace

struct AesCipher::Contexts {
  BCRYPT_KEY_HANDLE key = nullptr;
  Contexts() = default;
  Contexts(const Contexts&) = delete;
  Contexts& operator=(const Contexts&) = delete;
  ~Contexts() {
    if (key) BCryptDestroyKey(key);
  }
};

AesCipher::AesCipher(std::span<const uint8_t> key) : contexts_(std::make_unique<Contexts>()) {
  if (key.size() != 16) RaiseDesError(errors::kDesInvalidDataLength, "AesCipher");
  Check(BCryptGenerateSymmetricKey(EcbAes(), &contexts_->key, nullptr, 0,
                                   const_cast<PUCHAR>(key.data()), 16, 0),
        errors::kDesInvalidAlgorithm);
}

AesCipher::~AesCipher() = default;

void AesCipher::Encipher(std::span<uint8_t> block) const {
  ULONG written = 0;
  if (block.size() != 16) RaiseDesError(errors::kDesInvalidDataLength, "AesCipher");
  Check(BCryptEncrypt(contexts_->key, block.data(), 16, nullptr, nullptr, 0, block.data(), 16,
                      &written, 0),
        errors::kDesInvalidDataLength);
}

void AesCipher::Decipher(std::span<uint8_t> block) const {
  ULONG written = 0;
  if (block.size() != 16) RaiseDesError(errors::kDesInvalidDataLength, "AesCipher");
  Check(BCryptDecrypt(contexts_->key, block.data(), 16, nullptr, nullptr, 0, block.data(), 16,
                      &written, 0),
        errors::kDesInvalidDataLength);
}

}  // namespace tarsin
