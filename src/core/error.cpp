// SPDX-License-Identifier: Apache-2.0
#include "core/error.h"

namespace tarsin {

CError& LastErrorOf(EncoderState& state) {
  if (!state.lastError) state.lastError = std::make_shared<CError>();
  return *state.lastError;
}

void SetError(EncoderState& state, const ErrorUpdate& update) noexcept {
  try {
    CError& e = LastErrorOf(state);
    if (update.number) e.Number = static_cast<int32_t>(*update.number);
    if (update.description) e.Description = *update.description;
    if (update.lastDllError) e.LastDllError = *update.lastDllError;
    if (update.comFunction) e.ComFunction = *update.comFunction;
    if (update.rdrCommand) e.RdrCommand = *update.rdrCommand;
    if (update.rdrRetCode) e.RdrRetCode = *update.rdrRetCode;
  } catch (...) {
  }
}

void SetError(EncoderState& state, const ErrorEntry& entry, ErrorUpdate details) noexcept {
  try {
    details.number = entry.number;
    details.description = std::string(entry.description);
    SetError(state, details);
  } catch (...) {
  }
}

void ClearError(EncoderState& state, std::string_view comFunction) noexcept {
  try {
    CError& e = LastErrorOf(state);
    e = CError{};
    e.ComFunction = std::string(comFunction);
  } catch (...) {
  }
}

void TagError(EncoderState& state, std::string_view name) noexcept {
  try {
    CError& e = LastErrorOf(state);
    std::string trail;
    if (e.ComFunction.empty()) {
      trail = e.RdrCommand;
    } else if (e.RdrCommand.empty()) {
      trail = e.ComFunction;
    } else {
      trail = e.ComFunction + ":" + e.RdrCommand;
    }
    e.RdrCommand = std::move(trail);
    e.ComFunction = std::string(name);
  } catch (...) {
  }
}

}  // namespace tarsin
