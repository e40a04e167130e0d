// SPDX-License-Identifier: Apache-2.0
// What every DESFire operation shares: the two guards, the hex checks and the standard exchange.
#include "core/error.h"
#include "core/failure.h"
#include "core/hex_text.h"
#include "desfire/desfire.h"

namespace tarsin::desfire {

bool RequireAuthentication(Operation& operation) {
  const auto& key = operation.state().Desfire.AuthenticatedKeyNumber;
  return operation.Require(key && *key >= 0 && *key <= 13, errors::kNotAuthenticated);
}

bool RequireCardLevel(Operation& operation) {
  return operation.Require(operation.state().Desfire.CurrentApplicationId == kCardLevel,
                           errors::kRootLevelOnly);
}

bool NormaliseHex(std::string& text, int32_t length) noexcept {
  bool valid = false;
  RunStepOrGoOn([&] { valid = IsHexString(text, length); });
  return valid;
}

ByteVector LittleEndian(int32_t value, int bytes) {
  const auto bits = static_cast<uint32_t>(value);
  ByteVector result;
  for (int i = 0; i < bytes; ++i) result.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  return result;
}

bool StandardExchange(Operation& operation, const NativeCommand& command, NativeAnswer& answer) {
  answer = Transceive(operation.state(), command);
  if (answer.Is(0x9100)) return true;
  if (answer.forged) {
    // The channel recorded why; the operation names it.
    SetError(operation.state(), {.comFunction = std::string(operation.name())});
    return false;
  }
  SetError(operation.state(), errors::kOperationFailed,
           {.comFunction = std::string(operation.name()), .rdrRetCode = answer.status.Received()});
  return false;
}

bool StandardExchange(Operation& operation, const NativeCommand& command) {
  NativeAnswer answer;
  return StandardExchange(operation, command, answer);
}

}  // namespace tarsin::desfire
