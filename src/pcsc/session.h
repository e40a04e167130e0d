// SPDX-License-Identifier: Apache-2.0
// The reader session: the resource-manager context and the connection to the card in the field.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace tarsin {

// Establishes the context when there is none and connects to the card of `Device`. With
// `closeOnFailure` false a connect failure keeps the context open (for the configuration dialog).
sceReturnCode OpenSession(EncoderState& state, int32_t handle, bool closeOnFailure) noexcept;

// Makes sure a card is connected (reconnecting first when ForceReconnect asks for it); the card
// identification is forgotten and read again on every new connection.
sceReturnCode SelectCardInRange(EncoderState& state) noexcept;

// Disconnects and releases everything; with `quietly` the error state is left alone.
sceReturnCode CloseSession(EncoderState& state) noexcept;
void CloseEncoderQuietly(EncoderState& state) noexcept;

}  // namespace tarsin
