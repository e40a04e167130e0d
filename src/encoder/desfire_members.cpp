// SPDX-License-Identifier: Apache-2.0
// Encoder's DESFire members: each forwards to the operation of the same name.
#include "desfire/desfire.h"
#include "tarsin/encoder.h"

namespace tarsin {

sceReturnCode Encoder::DESFireSelectRoot(const std::string& KeyValue) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::SelectRoot(*state_, KeyValue);
}

sceReturnCode Encoder::DESFireSelectApplication(const std::string& ApplicationId, int32_t KeyNumber,
                                                const std::string& KeyValue) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::SelectApplication(*state_, ApplicationId, KeyNumber, KeyValue);
}

sceReturnCode Encoder::DESFireFormat() noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::Format(*state_);
}

sceReturnCode Encoder::DESFireCreateApplication(const std::string& ApplicationId,
                                                DesfireKeySettings KeySettings,
                                                int32_t NumOfKeys) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::CreateApplication(*state_, ApplicationId, KeySettings, NumOfKeys);
}

sceReturnCode Encoder::DESFireDeleteApplication(const std::string& ApplicationId) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::DeleteApplication(*state_, ApplicationId);
}

sceReturnCode Encoder::DESFireGetApplications(std::string& Applications) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::GetApplications(*state_, Applications);
}

sceReturnCode Encoder::DESFireGetVersion(DesfireVersionBytes RequestedInformation,
                                         Variant& Information) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::GetVersion(*state_, RequestedInformation, Information);
}

sceReturnCode Encoder::DESFireChangeKey(int32_t KeyNumber, const std::string& OldKey,
                                        const std::string& NewKey) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::ChangeKey(*state_, KeyNumber, OldKey, NewKey);
}

sceReturnCode Encoder::DESFireGetKeyVersion(int32_t KeyNumber, int32_t& KeyVersion) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::GetKeyVersion(*state_, KeyNumber, KeyVersion);
}

sceReturnCode Encoder::DESFireGetKeySettings(int32_t& KeySettings, int32_t& KeyCount) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::GetKeySettings(*state_, KeySettings, KeyCount);
}

sceReturnCode Encoder::DESFireChangeKeySettings(DesfireKeySettings KeySettings) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::ChangeKeySettings(*state_, KeySettings);
}

sceReturnCode Encoder::DESFireGetFileIDs(std::string& FileIds) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::GetFileIds(*state_, FileIds);
}

sceReturnCode Encoder::DESFireCreateStdDataFile(
    int32_t FileNumber, DesfireCommunicationSettings CommunicationSettings,
    DesfireAccessRights KeyRead, DesfireAccessRights KeyWrite, DesfireAccessRights KeyReadWrite,
    DesfireAccessRights KeyManage, int32_t FileSize) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::CreateStdDataFile(
      *state_, FileNumber, {CommunicationSettings, KeyRead, KeyWrite, KeyReadWrite, KeyManage},
      FileSize);
}

sceReturnCode Encoder::DESFireCreateBackupDataFile(
    int32_t FileNumber, DesfireCommunicationSettings CommunicationSettings,
    DesfireAccessRights KeyRead, DesfireAccessRights KeyWrite, DesfireAccessRights KeyReadWrite,
    DesfireAccessRights KeyManage, int32_t FileSize) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::CreateBackupDataFile(
      *state_, FileNumber, {CommunicationSettings, KeyRead, KeyWrite, KeyReadWrite, KeyManage},
      FileSize);
}

sceReturnCode Encoder::DESFireCreateValueFile(
    int32_t FileNumber, DesfireCommunicationSettings CommunicationSettings,
    DesfireAccessRights KeyRead, DesfireAccessRights KeyWrite, DesfireAccessRights KeyReadWrite,
    DesfireAccessRights KeyManage, int32_t LowerLimit, int32_t UpperLimit, int32_t InitialValue,
    bool LimitedCreditEnabled) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::CreateValueFile(
      *state_, FileNumber, {CommunicationSettings, KeyRead, KeyWrite, KeyReadWrite, KeyManage},
      LowerLimit, UpperLimit, InitialValue, LimitedCreditEnabled);
}

sceReturnCode Encoder::DESFireCreateLinearRecordFile(
    int32_t FileNumber, DesfireCommunicationSettings CommunicationSettings,
    DesfireAccessRights KeyRead, DesfireAccessRights KeyWrite, DesfireAccessRights KeyReadWrite,
    DesfireAccessRights KeyManage, int32_t RecordSize, int32_t MaxNumOfRecords) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::CreateLinearRecordFile(
      *state_, FileNumber, {CommunicationSettings, KeyRead, KeyWrite, KeyReadWrite, KeyManage},
      RecordSize, MaxNumOfRecords);
}

sceReturnCode Encoder::DESFireCreateCyclicRecordFile(
    int32_t FileNumber, DesfireCommunicationSettings CommunicationSettings,
    DesfireAccessRights KeyRead, DesfireAccessRights KeyWrite, DesfireAccessRights KeyReadWrite,
    DesfireAccessRights KeyManage, int32_t RecordSize, int32_t MaxNumOfRecords) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::CreateCyclicRecordFile(
      *state_, FileNumber, {CommunicationSettings, KeyRead, KeyWrite, KeyReadWrite, KeyManage},
      RecordSize, MaxNumOfRecords);
}

sceReturnCode Encoder::DESFireDeleteFile(int32_t FileNumber) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::DeleteFile(*state_, FileNumber);
}

sceReturnCode Encoder::DESFireGetFileSettings(int32_t FileNo, std::string& Information) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::GetFileSettings(*state_, FileNo, Information);
}

sceReturnCode Encoder::DESFireChangeFileSettings(int32_t FileNo,
                                                 DesfireCommunicationSettings CommunicationSettings,
                                                 DesfireAccessRights KeyRead,
                                                 DesfireAccessRights KeyWrite,
                                                 DesfireAccessRights KeyReadWrite,
                                                 DesfireAccessRights KeyManage) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::ChangeFileSettings(
      *state_, FileNo, {CommunicationSettings, KeyRead, KeyWrite, KeyReadWrite, KeyManage});
}

sceReturnCode Encoder::DESFireCommitTransaction() noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::CommitTransaction(*state_);
}

sceReturnCode Encoder::DESFireAbortTransaction() noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::AbortTransaction(*state_);
}

sceReturnCode Encoder::DESFireWriteData(int32_t FileNo, int32_t Offset, int32_t Length,
                                        const std::string& DataString,
                                        bool IsDataHexaString) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::WriteData(*state_, FileNo, Offset, Length, DataString, IsDataHexaString);
}

sceReturnCode Encoder::DESFireReadData(int32_t FileNo, int32_t Offset, int32_t Length,
                                       std::string& DataString, bool IsDataHexaString) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::ReadData(*state_, FileNo, Offset, Length, DataString, IsDataHexaString);
}

sceReturnCode Encoder::DESFireWriteRecord(int32_t FileNo, int32_t Offset, int32_t Length,
                                          const std::string& DataString,
                                          bool IsDataHexaString) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::WriteRecord(*state_, FileNo, Offset, Length, DataString, IsDataHexaString);
}

sceReturnCode Encoder::DESFireReadRecords(int32_t FileNo, int32_t Offset, int32_t Length,
                                          std::string& DataString, bool IsDataHexaString) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::ReadRecords(*state_, FileNo, Offset, Length, DataString, IsDataHexaString);
}

sceReturnCode Encoder::DESFireClearRecordFile(int32_t FileNo) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::ClearRecordFile(*state_, FileNo);
}

sceReturnCode Encoder::DESFireGetValue(int32_t FileNo, int32_t& ValueData) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::GetValue(*state_, FileNo, ValueData);
}

sceReturnCode Encoder::DESFireDebit(int32_t FileNo, int32_t Amount) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::Debit(*state_, FileNo, Amount);
}

sceReturnCode Encoder::DESFireCredit(int32_t FileNo, int32_t Amount) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::Credit(*state_, FileNo, Amount);
}

sceReturnCode Encoder::DESFireLimitedCredit(int32_t FileNo, int32_t Amount) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::LimitedCredit(*state_, FileNo, Amount);
}

sceReturnCode Encoder::DESFireGetCardUID(std::string& UID) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::GetCardUid(*state_, UID);
}

sceReturnCode Encoder::DESFireFreeMemory(int32_t& Bytes) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::FreeMemory(*state_, Bytes);
}

sceReturnCode Encoder::DESFireDiversifyKey(const std::string& MasterKey,
                                           const std::string& DiversificationInput,
                                           std::string& DiversifiedKey) noexcept {
  const std::lock_guard call(*state_->calls);
  return desfire::DiversifyKey(*state_, MasterKey, DiversificationInput, DiversifiedKey);
}

}  // namespace tarsin
