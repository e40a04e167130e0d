// Selecting an application and authenticating with one of its keys: the DESFire native
// three-pass mutual authentication with DES or two-key triple DES.
#include <algorithm>

#include "core/error.h"
#include "core/failure.h"
#include "core/random_bytes.h"
#include "crypto/block_modes.h"
#include "crypto/des_cipher.h"
#include "desfire/channel.h"
#include "desfire/desfire.h"
#include "pcsc/command_table.h"

namespace tarsin::desfire {
namespace {

constexpr const char* kName = "DESFireSelectApplication";
constexpr size_t kChallenge = 8;

ByteVector RotatedLeft(ByteVector bytes) {
  if (!bytes.empty()) std::rotate(bytes.begin(), bytes.begin() + 1, bytes.end());
  return bytes;
}

// The card's answer deciphered on its own, from a zero chaining value.
ByteVector Deciphered(const BlockCipher& cipher, ByteVector data) {
  ByteVector chaining(cipher.BlockSize(), 0);
  CbcDecipher(cipher, chaining, data);
  return data;
}

// Records an authentication step the card did not answer as expected.
sceReturnCode Refused(EncoderState& state, const ErrorEntry& entry, const char* step,
                      std::string retCode) {
  SetError(state, entry,
           {.comFunction = kName, .rdrCommand = step, .rdrRetCode = std::move(retCode)});
  return sceError;
}

// The session key: RndA 1-4, RndB 1-4, then for triple DES RndA 5-8, RndB 5-8.
ByteVector SessionKeyOf(DesfireKeyType type, const ByteVector& rndA, const ByteVector& rndB) {
  ByteVector key(rndA.begin(), rndA.begin() + 4);
  key.insert(key.end(), rndB.begin(), rndB.begin() + 4);
  if (type == DesfireKeyType::TwoKeyTripleDes) {
    key.insert(key.end(), rndA.begin() + 4, rndA.end());
    key.insert(key.end(), rndB.begin() + 4, rndB.end());
  }
  return key;
}

}  // namespace

sceReturnCode SelectApplication(EncoderState& state, const std::string& applicationId,
                                int32_t keyNumber, const std::string& keyValue) noexcept {
  Operation operation(state, kName, Operation::Entry::KeepError);
  std::string appId = applicationId;
  if (!NormaliseHex(appId, 6)) return operation.Refuse(errors::kIncorrectApplicationId);
  if (keyNumber < 0 || keyNumber > 13) return operation.Refuse(errors::kBadKeyNumber);
  std::string key = keyValue;
  if (!NormaliseHex(key)) return operation.Refuse(errors::kInvalidKey);
  if (key.empty() || (key.size() > 16 && key.size() != 32)) {
    return operation.Refuse(errors::kBadKeyLength);
  }
  const DesfireKeyType type =
      key.size() == 32 ? DesfireKeyType::TwoKeyTripleDes : DesfireKeyType::Des;
  key.insert(0, (16 - key.size() % 16) % 16, '0');  // short keys: zeros on the left to 8 bytes

  try {
    if (const NativeAnswer first = Transceive(state, {.code = ec_DesfireAuthenticate1});
        first.result != scesuccess) {
      SetError(state, {.comFunction = kName,
                       .rdrCommand = "DesfireAuthenticate1",
                       .rdrRetCode = first.status.Text()});
      return sceError;
    }
    if (Transceive(state, {.code = ec_DesfireSelectApplication, .data = HexToBytes(appId)})
            .result != scesuccess) {
      return operation.Fail();
    }
    const NativeAnswer challenge = Transceive(state, {.code = ec_DesfireAuthenticate2,
                                                      .data = {static_cast<uint8_t>(keyNumber)},
                                                      .joinAnswers = false});
    if (challenge.result != scesuccess) return operation.Fail();
    if (!challenge.status.Is(0x91AF)) {
      return Refused(state, errors::kCannotConnectPicc, "DesfireAuthenticate2",
                     challenge.status.Text());
    }
    const DesCipher cipher(HexToBytes(key));
    if (challenge.data.size() != kChallenge) {
      return Refused(state, errors::kAuthenticationFailure, "DesfireAuthenticate4", "RndA failed");
    }
    const ByteVector rndB = Deciphered(cipher, challenge.data);
    ByteVector rndA(kChallenge);
    state.Random ? state.Random(rndA) : RandomBytes(rndA);
    ByteVector token = rndA;
    const ByteVector rotatedB = RotatedLeft(rndB);
    token.insert(token.end(), rotatedB.begin(), rotatedB.end());
    ByteVector chaining(cipher.BlockSize(), 0);
    SendModeDecipher(cipher, chaining, token);

    const NativeAnswer proof =
        Transceive(state, {.code = ec_DesfireAuthenticate3, .data = token, .joinAnswers = false});
    if (proof.result != scesuccess) return operation.Fail();
    if (!proof.status.Is(0x9100)) {
      return Refused(state, errors::kAuthenticationFailure, "DesfireAuthenticate3",
                     proof.status.Text());
    }
    if (proof.data.size() != kChallenge || Deciphered(cipher, proof.data) != RotatedLeft(rndA)) {
      return Refused(state, errors::kAuthenticationFailure, "DesfireAuthenticate4", "RndA failed");
    }
    state.Desfire = {.CurrentApplicationId = appId,
                     .AuthenticatedKeyNumber = keyNumber,
                     .KeyType = type,
                     .SessionKey = SessionKeyOf(type, rndA, rndB),
                     .InitVector = ByteVector(cipher.BlockSize(), 0)};
    return scesuccess;
  } catch (...) {
    // A step that could not run (no random bytes): the card's authentication is not complete.
    return Refused(state, errors::kAuthenticationFailure, "DesfireAuthenticate4", "RndA failed");
  }
}

sceReturnCode SelectRoot(EncoderState& state, const std::string& keyValue) noexcept {
  const sceReturnCode result = SelectApplication(state, "00 00 00", 0, keyValue);
  if (result != scesuccess) TagError(state, "DESFireSelectRoot");
  return result;
}

}  // namespace tarsin::desfire
