// SPDX-License-Identifier: Apache-2.0
// The state behind an Encoder, for the component's own code (the late-bound dispatch, tests): the
// public header keeps it private.
#pragma once

#include "core/state.h"
#include "tarsin/encoder.h"

namespace tarsin {

struct EncoderAccess {
  static EncoderState& State(Encoder& encoder) noexcept { return *encoder.state_; }
};

inline EncoderState& StateOf(Encoder& encoder) noexcept {
  return EncoderAccess::State(encoder);
}

}  // namespace tarsin
