// SPDX-License-Identifier: Apache-2.0
// Selecting an application and authenticating with one of its keys: the three-pass mutual
// authentication, legacy (DES, two-key triple DES) or EV1 (ISO: every DES family; AES).
#include <algorithm>
#include <memory>
#include <vector>

#include "core/error.h"
#include "core/failure.h"
#include "core/random_bytes.h"
#include "crypto/block_modes.h"
#include "desfire/channel.h"
#include "desfire/channel_cipher.h"
#include "desfire/desfire.h"
#include "desfire/key_text.h"
#include "pcsc/command_table.h"

namespace tarsin::desfire {
namespace {

constexpr const char* kName = "DESFireSelectApplication";
constexpr size_t kChallenge = 8;

ByteVector RotatedLeft(ByteVector bytes) {
  if (!bytes.empty()) std::rotate(bytes.begin(), bytes.begin() + 1, bytes.end());
  return bytes;
}

// Records an authentication step the card did not answer as expected.
sceReturnCode Refused(EncoderState& state, const ErrorEntry& entry, const char* step,
                      std::string retCode) {
  SetError(state, entry,
           {.comFunction = kName, .rdrCommand = step, .rdrRetCode = std::move(retCode)});
  return sceError;
}

// The session key: four bytes of RndA then four of RndB from each offset of the key type.
ByteVector SessionKeyOf(DesfireKeyType type, const ByteVector& rndA, const ByteVector& rndB) {
  std::vector<size_t> offsets{0};
  if (type == DesfireKeyType::TwoKeyTripleDes) offsets = {0, 4};
  if (type == DesfireKeyType::ThreeKeyTripleDes) offsets = {0, 6, 12};
  if (type == DesfireKeyType::Aes) offsets = {0, 12};
  ByteVector key;
  for (const size_t offset : offsets) {
    key.insert(key.end(), rndA.begin() + offset, rndA.begin() + offset + 4);
    key.insert(key.end(), rndB.begin() + offset, rndB.begin() + offset + 4);
  }
  return key;
}

// The cipher work of the passes: legacy authentication deciphers each cryptogram on its own
// and sends in the deciphering direction; EV1 runs CBC across the passes from a zero vector.
class Passes {
 public:
  explicit Passes(const DesfireKey& key)
      : cipher_(CipherFor(key.type, key.bytes)),
        ev1_(key.authentication != Authentication::Legacy),
        chaining_(cipher_->BlockSize(), 0) {}

  ByteVector Open(ByteVector cryptogram) {
    if (!ev1_) chaining_.assign(chaining_.size(), 0);
    CbcDecipher(*cipher_, chaining_, cryptogram);
    return cryptogram;
  }
  ByteVector Seal(ByteVector token) {
    if (ev1_) {
      CbcEncipher(*cipher_, chaining_, token);
    } else {
      chaining_.assign(chaining_.size(), 0);
      SendModeDecipher(*cipher_, chaining_, token);
    }
    return token;
  }
  size_t BlockSize() const { return cipher_->BlockSize(); }

 private:
  std::unique_ptr<BlockCipher> cipher_;
  bool ev1_;
  ByteVector chaining_;
};

// An ISO key whose halves are equal is single DES to the card, session key included.
DesfireKey Canonical(DesfireKey key) {
  if (key.authentication == Authentication::Iso && key.type == DesfireKeyType::TwoKeyTripleDes &&
      std::equal(key.bytes.begin(), key.bytes.begin() + 8, key.bytes.begin() + 8)) {
    key.type = DesfireKeyType::Des;
    key.bytes.resize(8);
  }
  return key;
}

int32_t AuthenticationCommand(Authentication authentication) {
  switch (authentication) {
    case Authentication::Iso:
      return ec_DesfireAuthenticateIso;
    case Authentication::Aes:
      return ec_DesfireAuthenticateAes;
    case Authentication::Legacy:
      break;
  }
  return ec_DesfireAuthenticate2;
}

}  // namespace

sceReturnCode SelectApplication(EncoderState& state, const std::string& applicationId,
                                int32_t keyNumber, const std::string& keyValue) noexcept {
  Operation operation(state, kName, Operation::Entry::KeepError);
  std::string appId = applicationId;
  if (!NormaliseHex(appId, 6)) return operation.Refuse(errors::kIncorrectApplicationId);
  if (keyNumber < 0 || keyNumber > 13) return operation.Refuse(errors::kBadKeyNumber);
  const auto parsed = ParseKeyText(keyValue);
  if (const auto* refusal = std::get_if<KeyTextRefusal>(&parsed)) {
    return operation.Refuse(*refusal == KeyTextRefusal::NotAKey ? errors::kInvalidKey
                                                                : errors::kBadKeyLength);
  }
  const DesfireKey key = Canonical(std::get<DesfireKey>(parsed));
  // RndB is a block, except for three-key triple DES, whose 16 bytes are two.
  const size_t challengeLength =
      key.type == DesfireKeyType::ThreeKeyTripleDes || key.type == DesfireKeyType::Aes ? 16
                                                                                       : kChallenge;

  try {
    // Selection stands outside the session it may end, as the selection frame below.
    if (const NativeAnswer first =
            Transceive(state, {.code = ec_DesfireAuthenticate1, .secured = false});
        first.result != scesuccess) {
      SetError(state, {.comFunction = kName,
                       .rdrCommand = "DesfireAuthenticate1",
                       .rdrRetCode = first.status.Text()});
      return sceError;
    }
    if (Transceive(
            state,
            {.code = ec_DesfireSelectApplication, .data = HexToBytes(appId), .secured = false})
            .result != scesuccess) {
      return operation.Fail();
    }
    const NativeAnswer challenge =
        Transceive(state, {.code = AuthenticationCommand(key.authentication),
                           .data = {static_cast<uint8_t>(keyNumber)},
                           .joinAnswers = false,
                           .secured = false});
    if (challenge.result != scesuccess) return operation.Fail();
    if (!challenge.status.Is(0x91AF)) {
      return Refused(state, errors::kCannotConnectPicc, "DesfireAuthenticate2",
                     challenge.status.Text());
    }
    Passes passes(key);
    if (challenge.data.size() != challengeLength) {
      return Refused(state, errors::kAuthenticationFailure, "DesfireAuthenticate4", "RndA failed");
    }
    const ByteVector rndB = passes.Open(challenge.data);
    ByteVector rndA(challengeLength);
    state.Random ? state.Random(rndA) : RandomBytes(rndA);
    ByteVector token = rndA;
    const ByteVector rotatedB = RotatedLeft(rndB);
    token.insert(token.end(), rotatedB.begin(), rotatedB.end());
    token = passes.Seal(token);

    const NativeAnswer proof = Transceive(
        state,
        {.code = ec_DesfireAuthenticate3, .data = token, .joinAnswers = false, .secured = false});
    if (proof.result != scesuccess) return operation.Fail();
    if (!proof.status.Is(0x9100)) {
      return Refused(state, errors::kAuthenticationFailure, "DesfireAuthenticate3",
                     proof.status.Text());
    }
    if (proof.data.size() != challengeLength || passes.Open(proof.data) != RotatedLeft(rndA)) {
      return Refused(state, errors::kAuthenticationFailure, "DesfireAuthenticate4", "RndA failed");
    }
    state.Desfire = {.CurrentApplicationId = appId,
                     .AuthenticatedKeyNumber = keyNumber,
                     .KeyType = key.type,
                     .Ev1 = key.authentication != Authentication::Legacy,
                     .SessionKey = SessionKeyOf(key.type, rndA, rndB),
                     .InitVector = ByteVector(passes.BlockSize(), 0)};
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
