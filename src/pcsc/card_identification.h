// SPDX-License-Identifier: Apache-2.0
// Identifies the card in the field from its ATR through the card-type table in the registry,
// and records ATRs that the table does not know when the table asks for it.
#pragma once

#include <string_view>

#include "core/state.h"

namespace tarsin {

// Where the table lives, under HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kCardTypesKey =
    "Software\\Quillon\\Nemora\\7.0\\Contactless\\Card types";

// The private ATRString setter: stores the ATR (trimmed, upper case) and sets CardType and
// SerialNumberLength. An empty ATR forgets the card. Registry failures are silent: the caller
// never sees an error.
void LetATRString(EncoderState& state, std::string_view atr) noexcept;

// The type of the card with `atr` (hex text) in the card-type table, sceUnknownType when no row
// matches or the table cannot be read. Looks only: an unknown ATR is not recorded.
sceCardTypes CardTypeOf(std::string_view atr) noexcept;

}  // namespace tarsin
