// SPDX-License-Identifier: Apache-2.0
// Encoder's MIFARE members: each forwards to the operation of the same name.
#include "mifare/mifare.h"
#include "tarsin/encoder.h"

namespace tarsin {

void Encoder::SetAccessCondition(int32_t AccessConditionNumber,
                                 const std::string& NewValue) noexcept {
  MifareSetAccessCondition(AccessConditionNumber, NewValue);
}

void Encoder::MifareSetAccessCondition(int32_t AccessConditionNumber,
                                       const std::string& NewValue) noexcept {
  const std::lock_guard call(*state_->calls);
  mifare::SetAccessCondition(*state_, AccessConditionNumber, NewValue);
}

sceReturnCode Encoder::ReadSerialNumber(std::string& SerialNumber) noexcept {
  const std::lock_guard call(*state_->calls);
  return mifare::ReadSerialNumber(*state_, SerialNumber);
}

sceReturnCode Encoder::ReadDataBloc(int32_t BlocNumber, const std::string& Key, uint8_t KeyType,
                                    std::string& BlocContents) noexcept {
  return MifareReadDataBloc(BlocNumber, Key, KeyType, BlocContents);
}

sceReturnCode Encoder::ReadManufacturerCode(const std::string& Key, uint8_t KeyType,
                                            int32_t& SerialNumber, uint8_t& CheckSum,
                                            std::string& ManufacturerInfo) noexcept {
  return MifareReadManufacturerCode(Key, KeyType, SerialNumber, CheckSum, ManufacturerInfo);
}

sceReturnCode Encoder::ReadSectorTrailer(int32_t SectorNumber, const std::string& Key,
                                         uint8_t KeyType, uint8_t& KeysUsed,
                                         SCBS_SecurityLevelEnum& Security0,
                                         SCBS_SecurityLevelEnum& Security1,
                                         SCBS_SecurityLevelEnum& Security2,
                                         SCSS_SecurityLevelEnum& Conditions, uint8_t& BX) noexcept {
  return MifareReadSectorTrailer(SectorNumber, Key, KeyType, KeysUsed, Security0, Security1,
                                 Security2, Conditions, BX);
}

sceReturnCode Encoder::WriteDataBloc(int32_t BlocNumber, const std::string& Key, uint8_t KeyType,
                                     std::string& BlocContents) noexcept {
  return MifareWriteDataBloc(BlocNumber, Key, KeyType, BlocContents);
}

sceReturnCode Encoder::WriteValueBloc(int32_t BlocNumber, const std::string& Key, uint8_t KeyType,
                                      int32_t Value) noexcept {
  return MifareWriteValueBloc(BlocNumber, Key, KeyType, Value);
}

sceReturnCode Encoder::WriteSectorTrailer(
    int32_t SectorNumber, const std::string& Key, uint8_t KeyType, const std::string& KeyA,
    const std::string& KeyB, uint8_t KeysToUse, SCBS_SecurityLevelEnum Security0,
    SCBS_SecurityLevelEnum Security1, SCBS_SecurityLevelEnum Security2,
    SCSS_SecurityLevelEnum Conditions, const std::optional<Variant>& BX) noexcept {
  return MifareWriteSectorTrailer(SectorNumber, Key, KeyType, KeyA, KeyB, KeysToUse, Security0,
                                  Security1, Security2, Conditions, BX);
}

sceReturnCode Encoder::WriteBytesInBloc(int32_t BlocNumber, const std::string& Key, uint8_t KeyType,
                                        uint8_t FromByte, uint8_t ToByte,
                                        std::string& BlocContents) noexcept {
  return MifareWriteBytesInBloc(BlocNumber, Key, KeyType, FromByte, ToByte, BlocContents);
}

sceReturnCode Encoder::MifareReadDataBloc(int32_t BlocNumber, const std::string& Key,
                                          uint8_t KeyType, std::string& BlocContents) noexcept {
  const std::lock_guard call(*state_->calls);
  return mifare::ReadDataBloc(*state_, BlocNumber, Key, KeyType, BlocContents);
}

sceReturnCode Encoder::MifareReadManufacturerCode(const std::string& Key, uint8_t KeyType,
                                                  int32_t& SerialNumber, uint8_t& CheckSum,
                                                  std::string& ManufacturerInfo) noexcept {
  const std::lock_guard call(*state_->calls);
  return mifare::ReadManufacturerCode(*state_, Key, KeyType, SerialNumber, CheckSum,
                                      ManufacturerInfo);
}

sceReturnCode Encoder::MifareReadSectorTrailer(
    int32_t SectorNumber, const std::string& Key, uint8_t KeyType, uint8_t& KeysUsed,
    SCBS_SecurityLevelEnum& Security0, SCBS_SecurityLevelEnum& Security1,
    SCBS_SecurityLevelEnum& Security2, SCSS_SecurityLevelEnum& Conditions, uint8_t& BX) noexcept {
  const std::lock_guard call(*state_->calls);
  mifare::SectorRights rights{.keysUsed = KeysUsed, .bx = BX};
  const sceReturnCode result =
      mifare::ReadSectorTrailer(*state_, SectorNumber, Key, KeyType, rights);
  KeysUsed = rights.keysUsed;
  Security0 = rights.security[0];
  Security1 = rights.security[1];
  Security2 = rights.security[2];
  Conditions = rights.conditions;
  BX = rights.bx;
  return result;
}

sceReturnCode Encoder::MifareWriteDataBloc(int32_t BlocNumber, const std::string& Key,
                                           uint8_t KeyType, std::string& BlocContents) noexcept {
  const std::lock_guard call(*state_->calls);
  return mifare::WriteDataBloc(*state_, BlocNumber, Key, KeyType, BlocContents);
}

sceReturnCode Encoder::MifareWriteValueBloc(int32_t BlocNumber, const std::string& Key,
                                            uint8_t KeyType, int32_t Value) noexcept {
  const std::lock_guard call(*state_->calls);
  return mifare::WriteValueBloc(*state_, BlocNumber, Key, KeyType, Value);
}

sceReturnCode Encoder::MifareWriteSectorTrailer(
    int32_t SectorNumber, const std::string& Key, uint8_t KeyType, const std::string& KeyA,
    const std::string& KeyB, uint8_t KeysToUse, SCBS_SecurityLevelEnum Security0,
    SCBS_SecurityLevelEnum Security1, SCBS_SecurityLevelEnum Security2,
    SCSS_SecurityLevelEnum Conditions, const std::optional<Variant>& BX) noexcept {
  const std::lock_guard call(*state_->calls);
  mifare::TrailerRequest request{.keyA = KeyA,
                                 .keyB = KeyB,
                                 .keysToUse = KeysToUse,
                                 .security = {Security0, Security1, Security2},
                                 .conditions = Conditions,
                                 .bx = BX};
  return mifare::WriteSectorTrailer(*state_, SectorNumber, Key, KeyType, std::move(request));
}

sceReturnCode Encoder::MifareWriteBytesInBloc(int32_t BlocNumber, const std::string& Key,
                                              uint8_t KeyType, uint8_t FromByte, uint8_t ToByte,
                                              std::string& BlocContents) noexcept {
  const std::lock_guard call(*state_->calls);
  return mifare::WriteBytesInBloc(*state_, BlocNumber, Key, KeyType, FromByte, ToByte,
                                  BlocContents);
}

}  // namespace tarsin
