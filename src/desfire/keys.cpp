// The keys and key settings of the selected application (or of the card level).
#include <algorithm>

#include "core/failure.h"
#include "crypto/crc.h"
#include "desfire/desfire.h"
#include "pcsc/command_table.h"

namespace tarsin::desfire {
namespace {

// Key 0 only at the card level, 0 to 13 in an application.
bool RequireKeyNumber(Operation& operation, int32_t keyNumber) {
  const bool cardLevel = operation.state().Desfire.CurrentApplicationId == kCardLevel;
  return operation.Require(cardLevel ? keyNumber == 0 : keyNumber >= 0 && keyNumber <= 13,
                           errors::kBadKeyNumber);
}

// A key as 16 bytes: a DES key of 8 bytes is written twice.
bool KeyBytes(Operation& operation, const std::string& given, ByteVector& key) {
  std::string text = given;
  if (NormaliseHex(text, 16)) {
    text += text;
  } else {
    text = given;
    if (!operation.Require(NormaliseHex(text, 32), errors::kBadKeyLength)) return false;
  }
  key = HexToBytes(text);
  return true;
}

}  // namespace

sceReturnCode ChangeKey(EncoderState& state, int32_t keyNumber, const std::string& oldKey,
                        const std::string& newKey) noexcept {
  Operation operation(state, "DESFireChangeKey", Operation::Entry::KeepError);
  ByteVector oldBytes;
  ByteVector newBytes;
  if (!RequireAuthentication(operation) || !RequireKeyNumber(operation, keyNumber) ||
      !KeyBytes(operation, oldKey, oldBytes) || !KeyBytes(operation, newKey, newBytes)) {
    return sceError;
  }
  NativeCommand command{.code = ec_DesfireChangeKey,
                        .header = {static_cast<uint8_t>(keyNumber)},
                        .data = newBytes,
                        .communication = Communication::Enciphered};
  // Another key than the session's: the card checks the old key through the XOR and the new
  // one through its own CRC after the cryptogram's.
  if (keyNumber != state.Desfire.AuthenticatedKeyNumber) {
    std::ranges::transform(newBytes, oldBytes, command.data.begin(), std::bit_xor<>());
    const auto crc = Crc16Bytes(newBytes);
    command.afterCrc.assign(crc.begin(), crc.end());
  }
  return StandardExchange(operation, command) ? scesuccess : sceError;
}

sceReturnCode GetKeyVersion(EncoderState& state, int32_t keyNumber, int32_t& keyVersion) noexcept {
  Operation operation(state, "DESFireGetKeyVersion", Operation::Entry::KeepError);
  if (!RequireAuthentication(operation) || !RequireKeyNumber(operation, keyNumber)) {
    return sceError;
  }
  NativeAnswer answer;
  if (!StandardExchange(
          operation, {.code = ec_DesfireGetKeyVersion, .data = {static_cast<uint8_t>(keyNumber)}},
          answer)) {
    return sceError;
  }
  if (!answer.data.empty()) keyVersion = answer.data[0];
  return scesuccess;
}

sceReturnCode GetKeySettings(EncoderState& state, int32_t& keySettings,
                             int32_t& keyCount) noexcept {
  Operation operation(state, "DESFireGetKeySettings", Operation::Entry::KeepError);
  if (!RequireAuthentication(operation)) return sceError;
  NativeAnswer answer;
  if (!StandardExchange(operation, {.code = ec_DesfireGetKeySettings}, answer)) return sceError;
  if (!answer.data.empty()) keySettings = answer.data[0];
  if (answer.data.size() >= 2) keyCount = answer.data[1];
  return scesuccess;
}

sceReturnCode ChangeKeySettings(EncoderState& state, int32_t keySettings) noexcept {
  Operation operation(state, "DESFireChangeKeySettings", Operation::Entry::KeepError);
  if (!RequireAuthentication(operation) ||
      !operation.Require(keySettings >= 0 && keySettings <= 255, errors::kInvalidParameter)) {
    return sceError;
  }
  return StandardExchange(operation, {.code = ec_DesfireChangeKeySettings,
                                      .data = {static_cast<uint8_t>(keySettings)},
                                      .communication = Communication::Enciphered})
             ? scesuccess
             : sceError;
}

}  // namespace tarsin::desfire
