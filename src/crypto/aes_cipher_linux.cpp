// SPDX-License-Identifier: Apache-2.0
#include <openssl/evp.h>

#include "crypto/aes_cipher.h"
#include "crypto/des_failure.h"

namespace tarsin {
namespace {

using Context = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

Context MakeContext(std::span<const uint8_t> key, bool encipher) {
  Context context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
  // One block at a time, no padding: the chaining is ours.
  if (!context ||
      EVP_CipherInit_ex(context.get(), EVP_aes_128_ecb(), nullptr, key.data(), nullptr,
                        encipher ? 1 : 0) != 1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1) {
    RaiseDesError(errors::kDesInvalidAlgorithm, "AesCipher");
  }
  return context;
}

void Run(EVP_CIPHER_CTX* context, std::span<uint8_t> block) {
  int written = 0;
  if (block.size() != 16 ||
      EVP_CipherUpdate(context, block.data(), &written, block.data(), 16) != 1 || written != 16) {
    RaiseDesError(errors::kDesInvalidDataLength, "AesCipher");
  }
}

}  // namespace

struct AesCipher::Contexts {
  Context encipher;
  Context decipher;
};

AesCipher::AesCipher(std::span<const uint8_t> key) {
  if (key.size() != 16) RaiseDesError(errors::kDesInvalidDataLength, "AesCipher");
  contexts_ = std::make_unique<Contexts>(Contexts{MakeContext(key, true), MakeContext(key, false)});
}

AesCipher::~AesCipher() = default;

void AesCipher::Encipher(std::span<uint8_t> block) const {
  Run(contexts_->encipher.get(), block);
}

void AesCipher::Decipher(std::span<uint8_t> block) const {
  Run(contexts_->decipher.get(), block);
}

}  // namespace tarsin
