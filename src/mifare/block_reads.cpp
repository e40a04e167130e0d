// SPDX-License-Identifier: Apache-2.0
// Reading the card: serial number, a data block, the manufacturer block and a sector trailer.
#include <charconv>

#include "core/error.h"
#include "core/failure.h"
#include "core/operation.h"
#include "mifare/access_bits.h"
#include "mifare/mifare.h"
#include "pcsc/command_table.h"
#include "pcsc/exchange.h"
#include "pcsc/session.h"

namespace tarsin::mifare {
namespace {

// The number written by `count` hex digits of `hex` from digit `first` (counted from 0).
uint32_t HexField(const std::string& hex, size_t first, size_t count) {
  uint32_t value = 0;
  if (first + count > hex.size()) throw Failure(errors::kReadError);
  const char* begin = hex.data() + first;
  const auto [end, error] = std::from_chars(begin, begin + count, value, 16);
  if (error != std::errc() || end != begin + count) {
    throw Failure(errors::kReadError);
  }
  return value;
}

// A confirmed command whose answer the host reads as upper-case hex ("" on failure).
sceReturnCode ReadHex(EncoderState& state, int32_t command, const Variant::Array& params,
                      std::string& hex) noexcept {
  CardAnswer answer;
  const sceReturnCode result = ConfirmedCommand(state, command, params, answer);
  if (!RunStep([&] { hex = BytesToHex(answer.data); })) hex.clear();
  return result;
}

}  // namespace

uint8_t BlockByte(const std::string& hex, size_t index) {
  return static_cast<uint8_t>(HexField(hex, 2 * index, 2));
}

sceReturnCode ReadSerialNumber(EncoderState& state, std::string& serialNumber) noexcept {
  Operation operation(state, "ReadSerialNumber");
  if (SelectCardInRange(state) != scesuccess) {
    serialNumber.clear();
    return operation.Tag(sceError);
  }
  return operation.Tag(ReadHex(state, ec_GetUID, Variant::Array{}, serialNumber));
}

sceReturnCode ReadDataBloc(EncoderState& state, int32_t block, const std::string& key,
                           uint8_t keyType, std::string& contents) noexcept {
  Operation operation(state, "MifareReadDataBloc");
  if (SelectCardInRange(state) != scesuccess) return operation.Fail();
  contents.clear();
  const std::string normalisedKey = NormaliseKey(state, key);
  if (MifareAuthenticate(state, keyType, block, normalisedKey) != 0) return operation.Fail();
  return operation.Finish(
      ReadHex(state, ec_MifareClassicRead,
              Variant::Array{Variant(BlockAddress(block)), Variant(normalisedKey)}, contents));
}

sceReturnCode ReadManufacturerCode(EncoderState& state, const std::string& key, uint8_t keyType,
                                   int32_t& serialNumber, uint8_t& checkSum,
                                   std::string& manufacturerInfo) noexcept {
  Operation operation(state, "MifareReadManufacturerCode");
  serialNumber = 0;
  checkSum = 0;
  manufacturerInfo.clear();
  std::string block;
  if (ReadDataBloc(state, 0, NormaliseKey(state, key), keyType, block) != scesuccess) {
    return operation.Fail();
  }
  // A short answer (not a Classic block) fills what it can.
  RunStepOrGoOn([&] { serialNumber = static_cast<int32_t>(HexField(block, 0, 8)); });
  RunStepOrGoOn([&] { checkSum = BlockByte(block, 4); });
  if (block.size() > 10) manufacturerInfo = block.substr(10);
  return operation.Succeed();
}

sceReturnCode ReadSectorTrailer(EncoderState& state, int32_t sector, const std::string& key,
                                uint8_t keyType, SectorRights& rights) noexcept {
  Operation operation(state, "MifareReadSectorTrailer");
  for (auto& security : rights.security) security = scbs_A_Nothing;
  rights.conditions = scss_A_Nothing;
  std::string block;
  if (ReadDataBloc(state, 4 * sector + 3, key, keyType, block) != scesuccess) {
    return operation.Fail();
  }
  RunStepOrGoOn([&] {
    const uint8_t byte7 = BlockByte(block, 7);
    const uint8_t byte8 = BlockByte(block, 8);
    const uint8_t bx = BlockByte(block, 9);
    for (int i = 0; i < 3; ++i) rights.security[i] = DataBlockRights(AccessCode(byte7, byte8, i));
    const int trailerCode = AccessCode(byte7, byte8, 3);
    rights.keysUsed = TrailerKeysUsed(trailerCode);
    rights.conditions = TrailerRights(trailerCode);
    rights.bx = bx;
  });
  return operation.Succeed();
}

}  // namespace tarsin::mifare
