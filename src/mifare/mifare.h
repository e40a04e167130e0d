// SPDX-License-Identifier: Apache-2.0
// MIFARE Classic and Ultralight operations on the encoder's state. Encoder's members forward
// here; the operations call one another through these functions, so that each inner call clears
// and tags the last error exactly as the host's own call would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/state.h"
#include "tarsin/types.h"
#include "tarsin/variant.h"

namespace tarsin::mifare {

// Key type 1 is key A; every other value is key B.
inline constexpr uint8_t kKeyA = 1;

// The block number as the two address bytes P1 P2, four upper-case hex digits; "" for a block
// outside 0..65535.
std::string BlockAddress(int32_t block);
// The key as plain upper-case hex digits (separators dropped); as given when it is not hex.
std::string NormaliseKey(EncoderState& state, const std::string& key);
// Byte `index` of a block read as hex; raises Failure when the block is too short or not hex.
uint8_t BlockByte(const std::string& hex, size_t index);
// Loads `key` into slot 00 and authenticates `block` with it; 0 or the exchange's failure.
int32_t MifareAuthenticate(EncoderState& state, uint8_t keyType, int32_t block,
                           const std::string& key) noexcept;

sceReturnCode ReadSerialNumber(EncoderState& state, std::string& serialNumber) noexcept;
sceReturnCode ReadDataBloc(EncoderState& state, int32_t block, const std::string& key,
                           uint8_t keyType, std::string& contents) noexcept;
sceReturnCode ReadManufacturerCode(EncoderState& state, const std::string& key, uint8_t keyType,
                                   int32_t& serialNumber, uint8_t& checkSum,
                                   std::string& manufacturerInfo) noexcept;

// A sector's rights as MifareReadSectorTrailer reports them.
struct SectorRights {
  uint8_t keysUsed = 0;
  SCBS_SecurityLevelEnum security[3] = {scbs_A_Nothing, scbs_A_Nothing, scbs_A_Nothing};
  SCSS_SecurityLevelEnum conditions = scss_A_Nothing;
  uint8_t bx = 0;
};
sceReturnCode ReadSectorTrailer(EncoderState& state, int32_t sector, const std::string& key,
                                uint8_t keyType, SectorRights& rights) noexcept;

sceReturnCode WriteDataBloc(EncoderState& state, int32_t block, const std::string& key,
                            uint8_t keyType, std::string& contents) noexcept;
sceReturnCode WriteValueBloc(EncoderState& state, int32_t block, const std::string& key,
                             uint8_t keyType, int32_t value) noexcept;
sceReturnCode WriteBytesInBloc(EncoderState& state, int32_t block, const std::string& key,
                               uint8_t keyType, uint8_t fromByte, uint8_t toByte,
                               std::string& contents) noexcept;

void SetAccessCondition(EncoderState& state, int32_t number, const std::string& code) noexcept;

// What MifareWriteSectorTrailer is asked to write.
struct TrailerRequest {
  std::string keyA;
  std::string keyB;
  uint8_t keysToUse = 0;  // 0: as the card has it
  int32_t security[3] = {-1, -1, -1};
  int32_t conditions = -1;
  std::optional<Variant> bx;  // not given: as the card has it
};
sceReturnCode WriteSectorTrailer(EncoderState& state, int32_t sector, const std::string& key,
                                 uint8_t keyType, TrailerRequest request) noexcept;

}  // namespace tarsin::mifare
