// SPDX-License-Identifier: Apache-2.0
// The parameter text: key=value entries that name the reader and the connection options.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/state.h"

namespace tarsin {

// Entries are separated by CRLF; a text without any CRLF separates them by ";". Empty pieces are
// kept (they are ignored later), like lines.
std::vector<std::string_view> SplitParameterEntries(std::string_view text);

// Every piece between `separator`s, empty ones included; an empty text gives one empty piece.
std::vector<std::string_view> SplitAt(std::string_view text, std::string_view separator);

// Applies each entry in order: known keys ("device", "protocol", "force_reconnect",
// "open_mode", any case, blanks around the key ignored) set their field, the rest is ignored,
// so the last of two equal keys wins.
void ApplyParameterText(EncoderState& state, std::string_view text);

// The current parameters as the five CRLF-joined lines that ApplyParameterText reads back.
std::string ParameterText(const EncoderState& state);

}  // namespace tarsin
