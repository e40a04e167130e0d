// Writing the card: a whole block, a value block, and a byte range by read-modify-write.
#include <fmt/format.h>

#include "core/error.h"
#include "core/failure.h"
#include "mifare/mifare.h"
#include "mifare/value_block.h"
#include "pcsc/command_table.h"
#include "pcsc/exchange.h"
#include "core/hex_text.h"
#include "pcsc/session.h"

namespace tarsin::mifare {
namespace {

constexpr int32_t kBlockDigits = 32;
constexpr uint8_t kLastByte = 15;
constexpr uint8_t kWriteWithKeyB = 2;

// Keeps a more precise error that an inner step already recorded.
void SetErrorUnlessSet(EncoderState& state, uint32_t number, const char* description,
                       const char* function) {
  if (LastErrorOf(state).Number == 0) SetOperationError(state, number, description, function);
}

}  // namespace

sceReturnCode WriteDataBloc(EncoderState& state, int32_t block, const std::string& key,
                            uint8_t keyType, std::string& contents) noexcept {
  constexpr const char* kName = "MifareWriteDataBloc";
  ClearError(state);
  bool isBlock = false;
  RunStep([&] { isBlock = IsHexString(contents, kBlockDigits); });
  if (!isBlock) {
    SetOperationError(state, kErrDataBlocLength, "A data bloc must contain 32 hex digits", kName);
    return sceError;
  }
  if (SelectCardInRange(state) != scesuccess) {
    TagError(state, kName);
    return sceError;
  }
  const std::string normalisedKey = NormaliseKey(state, key);
  // Writes take key B only when asked for by 2; every other type means key A.
  const uint8_t authenticateWith = keyType == kWriteWithKeyB ? kWriteWithKeyB : kKeyA;
  if (MifareAuthenticate(state, authenticateWith, block, normalisedKey) != 0) {
    TagError(state, kName);
    return sceError;
  }
  std::string response;
  std::string statusCode;
  if (EncoderCommand(
          state, ec_MifareClassicWrite,
          Variant::Array{Variant(BlockAddress(block)), Variant(normalisedKey), Variant(contents)},
          response, statusCode) != scesuccess) {
    TagError(state, kName);
    return sceError;
  }
  ClearError(state, kName);
  return scesuccess;
}

sceReturnCode WriteValueBloc(EncoderState& state, int32_t block, const std::string& key,
                             uint8_t keyType, int32_t value) noexcept {
  constexpr const char* kName = "MifareWriteValueBloc";
  // Recorded before anything can fail, so that the trailer written next gets value-block rights.
  RunStep([&] {
    if (state.ValueBlocks) state.ValueBlocks->push_back(block);
  });
  ClearError(state);
  std::string contents = ValueBlockDigits(value);
  if (WriteDataBloc(state, block, key, keyType, contents) != scesuccess) {
    TagError(state, kName);
    return sceError;
  }
  ClearError(state, kName);
  return scesuccess;
}

sceReturnCode WriteBytesInBloc(EncoderState& state, int32_t block, const std::string& key,
                               uint8_t keyType, uint8_t fromByte, uint8_t toByte,
                               std::string& contents) noexcept {
  constexpr const char* kName = "MifareWriteBytesInBloc";
  ClearError(state);
  std::string original;
  if (ReadDataBloc(state, block, key, keyType, original) != scesuccess) {
    TagError(state, kName);
    contents.clear();
    return sceError;
  }
  if (original.size() != kBlockDigits) {
    SetErrorUnlessSet(state, kErrReadError, "Read error on encoder", kName);
    TagError(state, kName);
    contents.clear();
    return sceError;
  }
  if (fromByte > kLastByte || toByte > kLastByte || toByte < fromByte) {
    SetOperationError(state, kErrIncorrectOffsets, "Incorrect offsets in parameters", kName);
    contents = original;
    return sceError;
  }
  // The caller's data, padded with zeros or cut to the range, is what gets written.
  const size_t digits = 2u * (toByte - fromByte + 1u);
  contents = (contents + std::string(kBlockDigits, '0')).substr(0, digits);
  std::string updated =
      original.substr(0, 2u * fromByte) + contents + original.substr(2u * toByte + 2u);
  if (WriteDataBloc(state, block, key, keyType, updated) != scesuccess) {
    SetErrorUnlessSet(state, kErrWriteError, "Write error on encoder", kName);
    TagError(state, kName);
    contents = original;
    return sceError;
  }
  ClearError(state, kName);
  contents = updated;
  return scesuccess;
}

}  // namespace tarsin::mifare
