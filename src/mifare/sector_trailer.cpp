// SPDX-License-Identifier: Apache-2.0
// Sector trailers: new keys with access bits composed from the rights the host asks for.
#include <fmt/format.h>

#include "core/coercion.h"
#include "core/error.h"
#include "core/failure.h"
#include "core/hex_text.h"
#include "core/operation.h"
#include "mifare/access_bits.h"
#include "mifare/mifare.h"

namespace tarsin::mifare {
namespace {

constexpr int32_t kKeyDigits = 12;
constexpr int32_t kHighestRights = 15;

bool IsKey(std::string& key) {
  bool valid = false;
  RunStepOrGoOn([&] { valid = IsHexString(key, kKeyDigits); });
  return valid;
}

// BX as a byte, with the conversions a late-bound Byte argument gets (numeric text included).
std::optional<uint8_t> ByteOf(const Variant& bx) {
  std::optional<uint8_t> byte;
  RunStepOrGoOn([&] { byte = ToByte(bx); });
  return byte;
}

}  // namespace

void SetAccessCondition(EncoderState& state, int32_t number, const std::string& code) noexcept {
  if (number < 1 || number > static_cast<int32_t>(state.AccessConditions.size())) return;
  if (!IsAccessCode(code)) return;
  RunStepOrGoOn([&] { state.AccessConditions[static_cast<size_t>(number - 1)] = code; });
}

sceReturnCode WriteSectorTrailer(EncoderState& state, int32_t sector, const std::string& key,
                                 uint8_t keyType, TrailerRequest request) noexcept {
  Operation operation(state, "MifareWriteSectorTrailer");
  if (!IsKey(request.keyA) || !IsKey(request.keyB)) return operation.Refuse(errors::kKeyLength);
  for (int32_t rights :
       {request.security[0], request.security[1], request.security[2], request.conditions}) {
    if (rights < -1 || rights > kHighestRights) {
      return operation.Refuse(errors::kSecurityInformation);
    }
  }
  std::optional<uint8_t> bx;
  if (request.bx) {
    bx = ByteOf(*request.bx);
    if (!bx) return operation.Refuse(errors::kIncorrectBX);
  }

  const int32_t trailer = 4 * sector + 3;
  const std::string normalisedKey = NormaliseKey(state, key);
  std::string current;
  SectorRights rights;
  if (ReadDataBloc(state, trailer, normalisedKey, keyType, current) != scesuccess ||
      ReadSectorTrailer(state, sector, normalisedKey, keyType, rights) != scesuccess) {
    return operation.Fail();
  }
  const uint8_t keysUsed = request.keysToUse == 0 ? rights.keysUsed : request.keysToUse;
  AccessBytes access{};
  // A trailer that cannot be read whole is never rewritten: guessed access bits could lock it.
  const bool readable = RunStep([&] {
    for (size_t i = 0; i < access.size(); ++i) access[i] = BlockByte(current, 6 + i);
  });
  if (!readable) return operation.Refuse(errors::kReadError);
  bool valid = true;
  for (int i = 0; i < 3; ++i) {
    valid = valid &&
            EncodeBlockAccess(state, request.security[i], keysUsed, 1 << i, 4 * sector + i, access);
  }
  valid = valid && EncodeTrailerAccess(request.conditions, keysUsed, 8, access);
  if (!valid) return operation.Refuse(errors::kSecurityInformation);

  std::string contents = request.keyA;
  for (uint8_t byte : access) contents += fmt::format("{:02X}", byte);
  contents += fmt::format("{:02X}", bx.value_or(rights.bx)) + request.keyB;
  return operation.Finish(WriteDataBloc(state, trailer, normalisedKey, keyType, contents));
}

}  // namespace tarsin::mifare
