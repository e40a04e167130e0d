// SPDX-License-Identifier: Apache-2.0
#include "crypto/encoder_cipher.h"

namespace tarsin {

DES& CipherOf(EncoderState& state) {
  if (!state.Cipher) state.Cipher = std::make_shared<DES>();
  return *state.Cipher;
}

}  // namespace tarsin
