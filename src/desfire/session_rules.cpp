// What every DESFire operation shares: the two guards, the hex checks and the standard exchange.
#include <fmt/format.h>

#include "core/ascii_text.h"
#include "core/error.h"
#include "core/failure.h"
#include "core/hex_text.h"
#include "desfire/desfire.h"
#include "pcsc/exchange.h"

namespace tarsin::desfire {

bool RequireAuthentication(Operation& operation) {
  const auto& key = operation.state().AuthenticatedKeyNumber;
  return operation.Require(key && *key >= 0 && *key <= 13, errors::kNotAuthenticated);
}

bool RequireCardLevel(Operation& operation) {
  return operation.Require(operation.state().CurrentApplicationId == kCardLevel,
                           errors::kRootLevelOnly);
}

bool NormaliseHex(std::string& text, int32_t length) noexcept {
  bool valid = false;
  RunStep([&] { valid = IsHexString(text, length); });
  return valid;
}

std::string HexByte(int32_t value) {
  const std::string hex = fmt::format("{:02X}", static_cast<uint32_t>(value));
  return hex.substr(hex.size() - 2);
}

std::string LittleEndianHex(int32_t value, int bytes) {
  const auto bits = static_cast<uint32_t>(value);
  std::string text;
  for (int i = 0; i < bytes; ++i) text += HexByte(static_cast<int32_t>((bits >> (8 * i)) & 0xFF));
  return text;
}

std::string WithoutBlanks(std::string text) {
  std::erase(text, ' ');
  return text;
}

std::string ReceivedStatus(const std::string& statusCode) {
  return statusCode == "FFFF" ? std::string() : statusCode;
}

bool StandardExchange(Operation& operation, int32_t code, const Variant::Array& params,
                      std::string& response) {
  std::string statusCode;
  const sceReturnCode result =
      EncoderCommand(operation.state(), code, Variant(params), response, statusCode, 1);
  if (result == scesuccess && EqualsIgnoringCase(statusCode, "9100")) return true;
  SetError(
      operation.state(), errors::kOperationFailed,
      {.comFunction = std::string(operation.name()), .rdrRetCode = ReceivedStatus(statusCode)});
  return false;
}

}  // namespace tarsin::desfire
