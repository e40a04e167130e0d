// SPDX-License-Identifier: Apache-2.0
// The keys and key settings of the selected application (or of the card level).
#include <algorithm>
#include <array>

#include "core/failure.h"
#include "crypto/crc.h"
#include "desfire/desfire.h"
#include "desfire/key_text.h"
#include "pcsc/command_table.h"

namespace tarsin::desfire {
namespace {

// Key 0 only at the card level, 0 to 13 in an application.
bool RequireKeyNumber(Operation& operation, int32_t keyNumber) {
  const bool cardLevel = operation.state().Desfire.CurrentApplicationId == kCardLevel;
  return operation.Require(cardLevel ? keyNumber == 0 : keyNumber >= 0 && keyNumber <= 13,
                           errors::kBadKeyNumber);
}

// A key as the card takes it: 16 bytes for the described forms (a DES key of 8 bytes written
// twice), or a prefixed form with its type and AES version.
bool KeyOf(Operation& operation, const std::string& given, DesfireKey& key) {
  const auto parsed = ParseKeyText(given);
  if (const auto* prefixed = std::get_if<DesfireKey>(&parsed);
      prefixed && prefixed->authentication != Authentication::Legacy) {
    key = *prefixed;
    if (key.bytes.size() == 8)
      key.bytes.insert(key.bytes.end(), key.bytes.begin(), key.bytes.end());
    return true;
  }
  std::string text = given;
  if (NormaliseHex(text, 16)) {
    text += text;
  } else {
    text = given;
    if (!operation.Require(NormaliseHex(text, 32), errors::kBadKeyLength)) return false;
  }
  key = {.type = DesfireKeyType::TwoKeyTripleDes, .bytes = HexToBytes(text)};
  return true;
}

template <size_t N>
ByteVector ToBytes(const std::array<uint8_t, N>& bytes) {
  return {bytes.begin(), bytes.end()};
}

// The key number byte: at the card level it carries the new key's type.
uint8_t KeyNumberByte(const EncoderState& state, int32_t keyNumber, DesfireKeyType type) {
  auto byte = static_cast<uint8_t>(keyNumber);
  if (state.Desfire.CurrentApplicationId != kCardLevel) return byte;
  if (type == DesfireKeyType::Aes) byte |= 0x80;
  if (type == DesfireKeyType::ThreeKeyTripleDes) byte |= 0x40;
  return byte;
}

}  // namespace

sceReturnCode ChangeKey(EncoderState& state, int32_t keyNumber, const std::string& oldKey,
                        const std::string& newKey) noexcept {
  Operation operation(state, "DESFireChangeKey", Operation::Entry::KeepError);
  DesfireKey oldValue;
  DesfireKey newValue;
  if (!RequireAuthentication(operation) || !RequireKeyNumber(operation, keyNumber) ||
      !KeyOf(operation, oldKey, oldValue) || !KeyOf(operation, newKey, newValue)) {
    return sceError;
  }
  const bool sameKey = keyNumber == state.Desfire.AuthenticatedKeyNumber;
  NativeCommand command{.code = ec_DesfireChangeKey,
                        .header = {KeyNumberByte(state, keyNumber, newValue.type)},
                        .data = newValue.bytes,
                        .communication = Communication::Enciphered,
                        .answerUnsigned = sameKey};
  // Another key than the session's: the card checks the old key through the XOR and the new
  // one through its own CRC after the cryptogram's.
  if (!sameKey) {
    oldValue.bytes.resize(newValue.bytes.size(), 0);
    std::ranges::transform(newValue.bytes, oldValue.bytes, command.data.begin(), std::bit_xor<>());
  }
  if (newValue.type == DesfireKeyType::Aes) command.data.push_back(newValue.version);
  if (!sameKey && state.Desfire.Ev1) {
    command.afterCrc = ToBytes(Crc32Bytes(newValue.bytes));
  } else if (!sameKey) {
    command.afterCrc = ToBytes(Crc16Bytes(newValue.bytes));
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
