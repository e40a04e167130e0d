// SPDX-License-Identifier: Apache-2.0
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
  if (block < 0 || block > 0xFFFF) return "";  // no address: the exchange refuses the command
  return fmt::format("{:02X}{:02X}", static_cast<uint32_t>(block / 256),
                     static_cast<uint32_t>(block % 256));
}

std::string NormaliseKey(EncoderState& state, const std::string& key) {
  std::string normalised = key;
  RunStepOrGoOn([&] {
    normalised = CipherOf(state).ConvertData(Variant(key), cnvInHex + cnvOutHex, false).asString();
  });
  return normalised;
}

int32_t MifareAuthenticate(EncoderState& state, uint8_t keyType, int32_t block,
                           const std::string& key) noexcept {
  CardAnswer answer;
  const std::string address = BlockAddress(block);
  // A block without an address goes straight to the authentication, which the exchange refuses
  // before anything is sent: loading the key first would send a frame for nothing.
  sceReturnCode result =
      address.empty() ? scesuccess
                      : ConfirmedCommand(state, ec_LoadKey,
                                         Variant::Array{Variant(kKeySlot), Variant(key)}, answer);
  if (result == scesuccess) {
    const char* type = keyType == kKeyA ? "60" : "61";
    result = ConfirmedCommand(state, ec_GeneralAuthenticate,
                              Variant::Array{Variant(kKeySlot), Variant(address), Variant(type)},
                              answer);
  }
  if (result != scesuccess) TagError(state, "MifareAuthenticate");
  return result;
}

}  // namespace tarsin::mifare
