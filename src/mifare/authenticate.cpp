// Key loading and authentication: every block operation proves the sector key again.
#include <fmt/format.h>

#include "core/error.h"
#include "core/failure.h"
#include "crypto/encoder_cipher.h"
#include "mifare/mifare.h"
#include "pcsc/command_table.h"
#include "pcsc/exchange.h"

namespace tarsin::mifare {
namespace {

// The only key slot the component uses; every authentication overwrites it.
constexpr const char* kKeySlot = "00";

}  // namespace

std::string BlockAddress(int32_t block) {
  return fmt::format("{:02X}{:02X}", static_cast<uint32_t>(block / 256),
                     static_cast<uint32_t>(block % 256));
}

std::string NormaliseKey(EncoderState& state, const std::string& key) {
  std::string normalised = key;
  RunStep([&] {
    normalised = CipherOf(state).ConvertData(Variant(key), cnvInHex + cnvOutHex, false).asString();
  });
  return normalised;
}

int32_t MifareAuthenticate(EncoderState& state, uint8_t keyType, int32_t block,
                           const std::string& key) noexcept {
  std::string response;
  std::string statusCode;
  sceReturnCode result = EncoderCommand(
      state, ec_LoadKey, Variant::Array{Variant(kKeySlot), Variant(key)}, response, statusCode);
  if (result == scesuccess) {
    const char* type = keyType == kKeyA ? "60" : "61";
    result = EncoderCommand(
        state, ec_GeneralAuthenticate,
        Variant::Array{Variant(kKeySlot), Variant(BlockAddress(block)), Variant(type)}, response,
        statusCode);
  }
  if (result != scesuccess) TagError(state, "MifareAuthenticate");
  return result;
}

}  // namespace tarsin::mifare
