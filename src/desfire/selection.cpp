// Selecting an application and authenticating with one of its keys: the DESFire native
// three-pass mutual authentication with DES or two-key triple DES.
#include <array>

#include "core/ascii_text.h"
#include "core/error.h"
#include "core/failure.h"
#include "core/hex_text.h"
#include "core/random_bytes.h"
#include "crypto/encoder_cipher.h"
#include "desfire/desfire.h"
#include "pcsc/command_table.h"
#include "pcsc/exchange.h"

namespace tarsin::desfire {
namespace {

constexpr const char* kName = "DESFireSelectApplication";
constexpr const char* kZeroVector = "0000000000000000";

// `hex` rotated left by one byte.
std::string RotatedLeft(const std::string& hex) {
  return hex.size() < 2 ? hex : hex.substr(2) + hex.substr(0, 2);
}

std::string RandomChallenge() {
  std::array<uint8_t, 8> bytes{};
  RandomBytes(bytes);
  return BytesToHex(bytes);
}

// Records an authentication step the card did not answer as expected.
sceReturnCode Refused(EncoderState& state, const ErrorEntry& entry, const char* step,
                      std::string retCode) {
  SetError(state, entry,
           {.comFunction = kName, .rdrCommand = step, .rdrRetCode = std::move(retCode)});
  return sceError;
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

  int32_t algorithm = desSingleDES;
  std::string k1 = key;
  std::string k2 = key;
  if (key.size() == 32) {
    algorithm = desTripleDES;
    k1 = key.substr(0, 16);
    k2 = key.substr(16);
  } else if (key.empty() || key.size() > 16) {
    return operation.Refuse(errors::kBadKeyLength);
  }
  // Short keys are filled with zeros on the left to 8 bytes.
  RunStep([&] { k1 = CipherOf(state).ConvertData(Variant(k1), cnvInHexStrict, true).asString(); });
  RunStep([&] { k2 = CipherOf(state).ConvertData(Variant(k2), cnvInHexStrict, true).asString(); });
  const std::string keyNumberHex = HexByte(keyNumber);

  std::string response;
  std::string statusCode;
  if (EncoderCommand(state, ec_DesfireAuthenticate1,
                     Variant(Variant::Array{Variant(keyNumberHex), Variant(appId), Variant(k1),
                                            Variant(k2), Variant(k1)}),
                     response, statusCode, 1) != scesuccess) {
    SetError(state, {.comFunction = kName,
                     .rdrCommand = "DesfireAuthenticate1",
                     .rdrRetCode = ReceivedStatus(statusCode)});
    return sceError;
  }
  if (EncoderCommand(state, ec_DesfireSelectApplication, Variant(Variant::Array{Variant(appId)}),
                     response, statusCode, 1) != scesuccess) {
    return operation.Fail();
  }
  if (EncoderCommand(state, ec_DesfireAuthenticate2, Variant(Variant::Array{Variant(keyNumberHex)}),
                     response, statusCode, 0) != scesuccess) {
    return operation.Fail();
  }
  if (!EqualsIgnoringCase(statusCode, "91AF")) {
    return Refused(state, errors::kCannotConnectPicc, "DesfireAuthenticate2", statusCode);
  }

  DES& cipher = CipherOf(state);
  RunStep([&] {
    cipher.InitVector(kZeroVector);
    cipher.Keys(1, k1);
    cipher.Keys(2, k2);
    cipher.Keys(3, k1);
  });
  std::string rndB;
  RunStep([&] { rndB = WithoutBlanks(cipher.Decrypt(response, algorithm + desChainCBC)); });
  std::string rndA;
  RunStep([&] { rndA = RandomChallenge(); });
  std::string token;
  RunStep([&] {
    const std::string plain =
        cipher.ConvertData(Variant(rndA + RotatedLeft(rndB)), cnvInHexStrict, false).asString();
    token = WithoutBlanks(cipher.Decrypt(plain, algorithm + desChainSend));
  });

  if (EncoderCommand(state, ec_DesfireAuthenticate3, Variant(Variant::Array{Variant(token)}),
                     response, statusCode, 0) != scesuccess) {
    return operation.Fail();
  }
  if (!EqualsIgnoringCase(statusCode, "9100")) {
    return Refused(state, errors::kAuthenticationFailure, "DesfireAuthenticate3", statusCode);
  }
  std::string rndAReturned;
  RunStep([&] { rndAReturned = WithoutBlanks(cipher.Decrypt(response, algorithm + desChainCBC)); });
  if (rndA.size() != 16 || rndB.size() != 16 ||
      !EqualsIgnoringCase(rndAReturned, RotatedLeft(rndA))) {
    return Refused(state, errors::kAuthenticationFailure, "DesfireAuthenticate4", "RndA failed");
  }

  // Triple DES: A1-4 B1-4 A5-8 B5-8; single DES: A1-4 B1-4 twice.
  const std::string head = rndA.substr(0, 8) + rndB.substr(0, 8);
  state.SessionKey =
      algorithm == desTripleDES ? head + rndA.substr(8) + rndB.substr(8) : head + head;
  state.CurrentApplicationId = appId;
  state.AuthenticatedKeyNumber = keyNumber;
  return scesuccess;
}

sceReturnCode SelectRoot(EncoderState& state, const std::string& keyValue) noexcept {
  const sceReturnCode result = SelectApplication(state, "00 00 00", 0, keyValue);
  if (result != scesuccess) TagError(state, "DESFireSelectRoot");
  return result;
}

}  // namespace tarsin::desfire
