// The keys and key settings of the selected application (or of the card level).
#include "core/failure.h"
#include "crypto/encoder_cipher.h"
#include "desfire/desfire.h"
#include "pcsc/command_table.h"

namespace tarsin::desfire {
namespace {

// Key 0 only at the card level, 0 to 13 in an application.
bool RequireKeyNumber(Operation& operation, int32_t keyNumber) {
  const bool cardLevel = operation.state().CurrentApplicationId == kCardLevel;
  return operation.Require(cardLevel ? keyNumber == 0 : keyNumber >= 0 && keyNumber <= 13,
                           errors::kBadKeyNumber);
}

// A key as 32 hex digits: a DES key of 16 digits is written twice.
bool KeyText(Operation& operation, const std::string& given, std::string& key) {
  key = given;
  if (NormaliseHex(key, 16)) {
    key += key;
    return true;
  }
  key = given;
  return operation.Require(NormaliseHex(key, 32), errors::kBadKeyLength);
}

// The XOR of two keys, taken bit by bit through the converter's bit arrays.
std::string XorOfKeys(EncoderState& state, const std::string& a, const std::string& b) {
  DES& cipher = CipherOf(state);
  const Variant::Array bitsA =
      cipher.ConvertData(Variant(a), cnvInHexStrict + cnvOutBits).elements();
  const Variant::Array bitsB =
      cipher.ConvertData(Variant(b), cnvInHexStrict + cnvOutBits).elements();
  Variant::Array bits;
  for (size_t i = 0; i < bitsA.size() && i < bitsB.size(); ++i) {
    bits.emplace_back(static_cast<uint8_t>((bitsA[i].asInt64() ^ bitsB[i].asInt64()) & 1));
  }
  return cipher.ConvertData(Variant(bits), cnvInBits + cnvOutHex).asString();
}

// The first answer byte, or the second, as a number.
int32_t AnswerByte(const std::string& response, size_t index) {
  return std::stoi(response.substr(2 * index, 2), nullptr, 16);
}

}  // namespace

sceReturnCode ChangeKey(EncoderState& state, int32_t keyNumber, const std::string& oldKey,
                        const std::string& newKey) noexcept {
  Operation operation(state, "DESFireChangeKey", Operation::Entry::KeepError);
  std::string oldText;
  std::string newText;
  if (!RequireAuthentication(operation) || !RequireKeyNumber(operation, keyNumber) ||
      !KeyText(operation, oldKey, oldText) || !KeyText(operation, newKey, newText)) {
    return sceError;
  }
  std::string cryptogram;
  RunStep([&] {
    CryptogramPieces pieces;
    if (keyNumber == state.AuthenticatedKeyNumber) {
      pieces = {{newText, "[DATA][CRC]000000000000"}};
    } else {
      pieces = {{XorOfKeys(state, newText, oldText), "[DATA][CRC]"}, {newText, "[CRC]00000000"}};
    }
    cryptogram = BuildCryptogram(state, pieces);
  });
  std::string response;
  return StandardExchange(operation, ec_DesfireChangeKey,
                          {Variant(HexByte(keyNumber)), Variant(cryptogram)}, response)
             ? scesuccess
             : sceError;
}

sceReturnCode GetKeyVersion(EncoderState& state, int32_t keyNumber, int32_t& keyVersion) noexcept {
  Operation operation(state, "DESFireGetKeyVersion", Operation::Entry::KeepError);
  if (!RequireAuthentication(operation) || !RequireKeyNumber(operation, keyNumber)) {
    return sceError;
  }
  std::string response;
  if (!StandardExchange(operation, ec_DesfireGetKeyVersion, {Variant(HexByte(keyNumber))},
                        response)) {
    return sceError;
  }
  RunStep([&] { keyVersion = AnswerByte(response, 0); });
  return scesuccess;
}

sceReturnCode GetKeySettings(EncoderState& state, int32_t& keySettings,
                             int32_t& keyCount) noexcept {
  Operation operation(state, "DESFireGetKeySettings", Operation::Entry::KeepError);
  if (!RequireAuthentication(operation)) return sceError;
  std::string response;
  if (!StandardExchange(operation, ec_DesfireGetKeySettings, {}, response)) return sceError;
  RunStep([&] { keySettings = AnswerByte(response, 0); });
  RunStep([&] { keyCount = AnswerByte(response, 1); });
  return scesuccess;
}

sceReturnCode ChangeKeySettings(EncoderState& state, int32_t keySettings) noexcept {
  Operation operation(state, "DESFireChangeKeySettings", Operation::Entry::KeepError);
  if (!RequireAuthentication(operation) ||
      !operation.Require(keySettings >= 0 && keySettings <= 255, errors::kInvalidParameter)) {
    return sceError;
  }
  std::string cryptogram;
  RunStep([&] {
    cryptogram = BuildCryptogram(state, {{HexByte(keySettings), "[DATA][CRC]0000000000"}});
  });
  std::string response;
  return StandardExchange(operation, ec_DesfireChangeKeySettings, {Variant(cryptogram)}, response)
             ? scesuccess
             : sceError;
}

}  // namespace tarsin::desfire
