// SPDX-License-Identifier: Apache-2.0
// The three routines through which the component writes LastError.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/error_catalogue.h"
#include "core/state.h"

namespace tarsin {

// Each field that is given is written; a field left out keeps its value.
struct ErrorUpdate {
  std::optional<uint32_t> number;
  std::optional<std::string> description;
  std::optional<int32_t> lastDllError;
  std::optional<std::string> comFunction;
  std::optional<std::string> rdrCommand;
  std::optional<std::string> rdrRetCode;
};

CError& LastErrorOf(EncoderState& state);
void SetError(EncoderState& state, const ErrorUpdate& update) noexcept;
// Records `entry`'s number and description with the other fields of `details`.
void SetError(EncoderState& state, const ErrorEntry& entry, ErrorUpdate details) noexcept;
void ClearError(EncoderState& state, std::string_view comFunction = {}) noexcept;
// Stamps the error with a public operation's name, keeping the inner routine in the trail.
void TagError(EncoderState& state, std::string_view name) noexcept;

}  // namespace tarsin
