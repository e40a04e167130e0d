// SPDX-License-Identifier: Apache-2.0
// The encoder's one cipher object.
#pragma once

#include "core/state.h"
#include "crypto/des.h"

namespace tarsin {

// Created on the first operation that needs it, then kept for the encoder's life.
DES& CipherOf(EncoderState& state);

}  // namespace tarsin
