// Sector trailers: new keys with access bits composed from the rights the host asks for.
#include <fmt/format.h>

#include "core/error.h"
#include "core/failure.h"
#include "core/coercion.h"
#include "mifare/access_bits.h"
#include "mifare/mifare.h"
#include "core/hex_text.h"

namespace tarsin::mifare {
namespace {

constexpr const char* kName = "MifareWriteSectorTrailer";
constexpr int32_t kKeyDigits = 12;
constexpr int32_t kHighestRights = 15;

sceReturnCode Refuse(EncoderState& state, uint32_t number, const char* description) {
  SetOperationError(state, number, description, kName);
  return sceError;
}

bool IsKey(std::string& key) {
  bool valid = false;
  RunStep([&] { valid = IsHexString(key, kKeyDigits); });
  return valid;
}

// BX as a byte, with the conversions a late-bound Byte argument gets (numeric text included).
std::optional<uint8_t> ByteOf(const Variant& bx) {
  std::optional<uint8_t> byte;
  RunStep([&] { byte = ToByte(bx); });
  return byte;
}

}  // namespace

void SetAccessCondition(EncoderState& state, int32_t number, const std::string& code) noexcept {
  if (number < 1 || number > static_cast<int32_t>(state.AccessConditions.size())) return;
  if (!IsAccessCode(code)) return;
  RunStep([&] { state.AccessConditions[static_cast<size_t>(number - 1)] = code; });
}

sceReturnCode WriteSectorTrailer(EncoderState& state, int32_t sector, const std::string& key,
                                 uint8_t keyType, TrailerRequest request) noexcept {
  ClearError(state);
  if (!IsKey(request.keyA) || !IsKey(request.keyB)) {
    return Refuse(state, kErrKeyLength, "A key must contain 12 hex digits");
  }
  for (int32_t rights :
       {request.security[0], request.security[1], request.security[2], request.conditions}) {
    if (rights < -1 || rights > kHighestRights) {
      return Refuse(state, kErrSecurityInformation, "Invalid security information in parameters");
    }
  }
  std::optional<uint8_t> bx;
  if (request.bx) {
    bx = ByteOf(*request.bx);
    if (!bx) return Refuse(state, kErrIncorrectBX, "Incorrect value for BX");
  }

  const int32_t trailer = 4 * sector + 3;
  const std::string normalisedKey = NormaliseKey(state, key);
  std::string current;
  SectorRights rights;
  if (ReadDataBloc(state, trailer, normalisedKey, keyType, current) != scesuccess ||
      ReadSectorTrailer(state, sector, normalisedKey, keyType, rights) != scesuccess) {
    TagError(state, kName);
    return sceError;
  }
  const uint8_t keysUsed = request.keysToUse == 0 ? rights.keysUsed : request.keysToUse;
  AccessBytes access{};
  // A trailer that cannot be read whole is never rewritten: guessed access bits could lock it.
  const bool readable = RunStep([&] {
    for (size_t i = 0; i < access.size(); ++i) access[i] = BlockByte(current, 6 + i);
  });
  if (!readable) return Refuse(state, kErrReadError, "Read error on encoder");
  bool valid = true;
  for (int i = 0; i < 3; ++i) {
    valid = valid &&
            EncodeBlockAccess(state, request.security[i], keysUsed, 1 << i, 4 * sector + i, access);
  }
  valid = valid && EncodeTrailerAccess(request.conditions, keysUsed, 8, access);
  if (!valid) {
    return Refuse(state, kErrSecurityInformation, "Invalid security information in parameters");
  }

  std::string contents = request.keyA;
  for (uint8_t byte : access) contents += fmt::format("{:02X}", byte);
  contents += fmt::format("{:02X}", bx.value_or(rights.bx)) + request.keyB;
  if (WriteDataBloc(state, trailer, normalisedKey, keyType, contents) != scesuccess) {
    TagError(state, kName);
    return sceError;
  }
  ClearError(state, kName);
  return scesuccess;
}

}  // namespace tarsin::mifare
