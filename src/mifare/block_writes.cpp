// SPDX-License-Identifier: Apache-2.0
// Writing the card: a whole block, a value block, and a byte range by read-modify-write.
#include <fmt/format.h>

#include "core/error.h"
#include "core/failure.h"
#include "core/hex_text.h"
#include "core/operation.h"
#include "mifare/mifare.h"
#include "mifare/value_block.h"
#include "pcsc/command_table.h"
#include "pcsc/exchange.h"
#include "pcsc/session.h"

namespace tarsin::mifare {
namespace {

constexpr int32_t kBlockDigits = 32;
constexpr uint8_t kLastByte = 15;
constexpr uint8_t kWriteWithKeyB = 2;

}  // namespace

sceReturnCode WriteDataBloc(EncoderState& state, int32_t block, const std::string& key,
                            uint8_t keyType, std::string& contents) noexcept {
  Operation operation(state, "MifareWriteDataBloc");
  bool isBlock = false;
  RunStepOrGoOn([&] { isBlock = IsHexString(contents, kBlockDigits); });
  if (!isBlock) return operation.Refuse(errors::kDataBlocLength);
  if (SelectCardInRange(state) != scesuccess) return operation.Fail();
  const std::string normalisedKey = NormaliseKey(state, key);
  // Writes take key B only when asked for by 2; every other type means key A.
  const uint8_t authenticateWith = keyType == kWriteWithKeyB ? kWriteWithKeyB : kKeyA;
  if (MifareAuthenticate(state, authenticateWith, block, normalisedKey) != 0) {
    return operation.Fail();
  }
  CardAnswer answer;
  return operation.Finish(ConfirmedCommand(
      state, ec_MifareClassicWrite,
      Variant::Array{Variant(BlockAddress(block)), Variant(normalisedKey), Variant(contents)},
      answer));
}

sceReturnCode WriteValueBloc(EncoderState& state, int32_t block, const std::string& key,
                             uint8_t keyType, int32_t value) noexcept {
  // Recorded before anything can fail, so that the trailer written next gets value-block rights.
  RunStepOrGoOn([&] {
    if (state.ValueBlocks) state.ValueBlocks->push_back(block);
  });
  Operation operation(state, "MifareWriteValueBloc");
  std::string contents = ValueBlockDigits(value);
  return operation.Finish(WriteDataBloc(state, block, key, keyType, contents));
}

sceReturnCode WriteBytesInBloc(EncoderState& state, int32_t block, const std::string& key,
                               uint8_t keyType, uint8_t fromByte, uint8_t toByte,
                               std::string& contents) noexcept {
  Operation operation(state, "MifareWriteBytesInBloc");
  std::string original;
  if (ReadDataBloc(state, block, key, keyType, original) != scesuccess) {
    contents.clear();
    return operation.Fail();
  }
  if (original.size() != kBlockDigits) {
    contents.clear();
    return operation.FailWith(errors::kReadError);
  }
  if (fromByte > kLastByte || toByte > kLastByte || toByte < fromByte) {
    contents = original;
    return operation.Refuse(errors::kIncorrectOffsets);
  }
  // The caller's data, padded with zeros or cut to the range, is what gets written.
  const size_t digits = size_t{2} * (toByte - fromByte + 1u);
  contents = (contents + std::string(kBlockDigits, '0')).substr(0, digits);
  std::string updated =
      original.substr(0, size_t{2} * fromByte) + contents + original.substr(size_t{2} * toByte + 2);
  if (WriteDataBloc(state, block, key, keyType, updated) != scesuccess) {
    contents = original;
    return operation.FailWith(errors::kWriteError);
  }
  contents = updated;
  return operation.Succeed();
}

}  // namespace tarsin::mifare
