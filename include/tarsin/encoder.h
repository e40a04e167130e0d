// SPDX-License-Identifier: Apache-2.0
// Tarsin RF: the contactless-card encoder component.
//
// One Encoder talks to one PC/SC reader. Every card operation returns a sceReturnCode and leaves
// the details of a failure in LastError(); no member lets an exception escape, except
// ReaderType() while the encoder is closed (it throws tarsin::ComError).
//
// Members are declared in the order of the component's interface. C++17. Above each member, the
// LastError numbers it can leave ("none": it never writes LastError); their descriptions are in
// docs/members.md. Both are written from the component's error table (target members-doc).
//
// Threads: one Encoder may be shared between threads. Its calls are made one at a time (each
// waits for the call in progress on another thread), so none sees another half done; separate
// encoders run in parallel. The CError that LastError() hands out is the encoder's live record,
// rewritten by every call: read its fields on the thread that made the call while no other
// thread calls the same encoder, or give each thread an encoder of its own. Destroy an encoder
// once no thread uses it. Configure shows its dialog only on the thread that owns the host's
// windows.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "tarsin/export.h"
#include "tarsin/types.h"
#include "tarsin/variant.h"

namespace tarsin {

struct EncoderState;
struct EncoderAccess;

class TARSIN_API Encoder {
 public:
  Encoder();
  ~Encoder();
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  // 0, 1: the parameter text ("device", "protocol", "force_reconnect", "open_mode").
  // LastError: none
  void Parameters(const std::string& text) noexcept;
  std::string Parameters() noexcept;

  // 2: the live error object; the same object for the encoder's whole life.
  // LastError: none
  std::shared_ptr<CError> LastError() noexcept;

  // 3: sceClosed, sceOpened (no card) or sceReady; connects to a card in the field.
  // LastError: 0x90010F01, 0x90010F02, 0x90010F03, 0x90010F04, 0x90010F06, 53, 453
  sceEncoderState EncoderState() noexcept;
  // 4: the reader's description from its attributes, or Device while no card is connected.
  // Throws ComError 0x90010F01 "Encoder is closed" while the encoder is closed.
  // LastError: 0x90010F01
  std::string ReaderType();
  // 5 to 7: the identification of the card at the last connection.
  // LastError: none
  std::string ATRString() noexcept;
  // LastError: none
  sceCardTypes CardType() noexcept;
  // LastError: none
  int32_t SerialNumberLength() noexcept;

  // 8: the text of a PC/SC return code or card status word, given as text.
  // LastError: none
  std::string GetResponseText(const std::string& sErrorCode,
                              const std::optional<std::string>& sErrorCaller = {}) noexcept;

  // 9, 10: overrides entry 1 to 9 of the data-block access-code table with a code "000" to
  // "111" (C1 C2 C3); anything else is ignored. Kept until the encoder is destroyed.
  // LastError: none
  void SetAccessCondition(int32_t AccessConditionNumber, const std::string& NewValue) noexcept;
  // LastError: none
  void MifareSetAccessCondition(int32_t AccessConditionNumber,
                                const std::string& NewValue) noexcept;

  // 11: appends one line to the diagnostic log.
  // LastError: none
  void WriteLog(const std::string& sMessage) noexcept;

  // 12: "Nemora|Tarsin RF|major.minor.revision|<card families>".
  // LastError: none
  std::string GetInformation() noexcept;

  // 13: shows the configuration dialog (French when Language reads "francais" in any case) and
  // takes the chosen reader, protocol and open mode. Establishes the context first when there is
  // none. sceCanceled when the user cancels or the dialog cannot be shown (no display, or a call
  // from a thread other than the one that owns the host's windows).
  // LastError: 0x90010F01, 0x90010F02, 0x90010F03, 0x90010F04, 0x90010F06, 53, 453, 429
  sceReturnCode Configure(const std::string& Language) noexcept;

  // 14 to 16: the reader session. `Handle` is only written to the log.
  // LastError: 0x90010F01, 0x90010F02, 0x90010F03, 0x90010F04, 0x90010F06, 53, 453
  void ReOpenEncoder() noexcept;
  // LastError: 0x90010F01, 0x90010F02, 0x90010F03, 0x90010F04, 0x90010F06, 53, 453
  sceReturnCode OpenEncoder(int32_t Handle) noexcept;
  // LastError: 0x90010F01, 0x90010F02, 0x90010F03, 0x90010F04, 0x90010F06, 53, 453
  sceReturnCode CloseEncoder() noexcept;

  // 17: the card's UID as hex text ("" on failure).
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 53, 453
  sceReturnCode ReadSerialNumber(std::string& SerialNumber) noexcept;

  // 18, 19: the host's own APDU (hex text; blanks and punctuation are dropped). EscapeExt gives
  // the answer's data and status word as spaced hex ("90 00"), or the four-digit status word on
  // failure.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 53, 453
  sceReturnCode Escape(const std::string& Request, std::string& Response) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 53, 453
  sceReturnCode EscapeExt(const std::string& Request, std::string& Response,
                          std::string& RetCode) noexcept;

  // 20 to 33: MIFARE Classic blocks. Keys are 12 hex digits (separators ignored); KeyType 1 is
  // key A, any other value key B, except for writes, which use key B only for KeyType 2. Block
  // data is 32 hex digits. The sector trailer is block 4 x sector + 3 for every sector, also for
  // the 16-block sectors 32 to 39 of a 4K card. The Read and Write names forward to the Mifare
  // ones.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B30, 0x90010B40, 53, 453
  sceReturnCode ReadDataBloc(int32_t BlocNumber, const std::string& Key, uint8_t KeyType,
                             std::string& BlocContents) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B30, 0x90010B40, 53, 453
  sceReturnCode ReadManufacturerCode(const std::string& Key, uint8_t KeyType, int32_t& SerialNumber,
                                     uint8_t& CheckSum, std::string& ManufacturerInfo) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B05, 0x90010B30, 0x90010B32, 0x90010B40,
  //   0x90010B41, 53, 453
  sceReturnCode ReadSectorTrailer(int32_t SectorNumber, const std::string& Key, uint8_t KeyType,
                                  uint8_t& KeysUsed, SCBS_SecurityLevelEnum& Security0,
                                  SCBS_SecurityLevelEnum& Security1,
                                  SCBS_SecurityLevelEnum& Security2,
                                  SCSS_SecurityLevelEnum& Conditions, uint8_t& BX) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B04, 0x90010B30, 0x90010B40, 0x90010B41,
  //   0x90010B42, 53, 453
  sceReturnCode WriteDataBloc(int32_t BlocNumber, const std::string& Key, uint8_t KeyType,
                              std::string& BlocContents) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B04, 0x90010B30, 0x90010B40, 0x90010B41,
  //   0x90010B42, 53, 453
  sceReturnCode WriteValueBloc(int32_t BlocNumber, const std::string& Key, uint8_t KeyType,
                               int32_t Value) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B05, 0x90010B30, 0x90010B32, 0x90010B40,
  //   0x90010B41, 53, 453
  sceReturnCode WriteSectorTrailer(int32_t SectorNumber, const std::string& Key, uint8_t KeyType,
                                   const std::string& KeyA, const std::string& KeyB,
                                   uint8_t KeysToUse, SCBS_SecurityLevelEnum Security0,
                                   SCBS_SecurityLevelEnum Security1,
                                   SCBS_SecurityLevelEnum Security2,
                                   SCSS_SecurityLevelEnum Conditions,
                                   const std::optional<Variant>& BX = std::nullopt) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B04, 0x90010B30, 0x90010B40, 0x90010B41,
  //   0x90010B42, 53, 453
  sceReturnCode WriteBytesInBloc(int32_t BlocNumber, const std::string& Key, uint8_t KeyType,
                                 uint8_t FromByte, uint8_t ToByte,
                                 std::string& BlocContents) noexcept;
  // Authenticates and reads one block; BlocContents is "" after a failed read.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B30, 0x90010B40, 53, 453
  sceReturnCode MifareReadDataBloc(int32_t BlocNumber, const std::string& Key, uint8_t KeyType,
                                   std::string& BlocContents) noexcept;
  // Block 0: the first four bytes as one number (first byte most significant), the check byte,
  // and the manufacturer data as hex.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B30, 0x90010B40, 53, 453
  sceReturnCode MifareReadManufacturerCode(const std::string& Key, uint8_t KeyType,
                                           int32_t& SerialNumber, uint8_t& CheckSum,
                                           std::string& ManufacturerInfo) noexcept;
  // The rights of the sector's three data blocks and of its trailer, decoded from its access
  // bits; KeysUsed 1 when key B is readable (only key A in use), 2 otherwise.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B05, 0x90010B30, 0x90010B32, 0x90010B40,
  //   0x90010B41, 53, 453
  sceReturnCode MifareReadSectorTrailer(int32_t SectorNumber, const std::string& Key,
                                        uint8_t KeyType, uint8_t& KeysUsed,
                                        SCBS_SecurityLevelEnum& Security0,
                                        SCBS_SecurityLevelEnum& Security1,
                                        SCBS_SecurityLevelEnum& Security2,
                                        SCSS_SecurityLevelEnum& Conditions, uint8_t& BX) noexcept;
  // BlocContents is rewritten upper case without blanks, and must then be 32 hex digits.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B04, 0x90010B30, 0x90010B40, 0x90010B41,
  //   0x90010B42, 53, 453
  sceReturnCode MifareWriteDataBloc(int32_t BlocNumber, const std::string& Key, uint8_t KeyType,
                                    std::string& BlocContents) noexcept;
  // Negative values are stored as 32-bit two's complement. The block is remembered until the
  // reader is closed, so that a trailer written later gives it value-block rights.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B04, 0x90010B30, 0x90010B40, 0x90010B41,
  //   0x90010B42, 53, 453
  sceReturnCode MifareWriteValueBloc(int32_t BlocNumber, const std::string& Key, uint8_t KeyType,
                                     int32_t Value) noexcept;
  // Writes KeyA, the access bits for the rights asked for and BX, and KeyB, authenticating with
  // Key/KeyType (the sector's current key). A security value of -1 keeps a block's rights,
  // KeysToUse 0 keeps the card's key use, a missing BX keeps the card's. An invalid combination
  // writes nothing.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B05, 0x90010B30, 0x90010B32, 0x90010B40,
  //   0x90010B41, 53, 453
  sceReturnCode MifareWriteSectorTrailer(
      int32_t SectorNumber, const std::string& Key, uint8_t KeyType, const std::string& KeyA,
      const std::string& KeyB, uint8_t KeysToUse, SCBS_SecurityLevelEnum Security0,
      SCBS_SecurityLevelEnum Security1, SCBS_SecurityLevelEnum Security2,
      SCSS_SecurityLevelEnum Conditions, const std::optional<Variant>& BX = std::nullopt) noexcept;
  // Replaces bytes FromByte to ToByte (0 to 15) of a block by read-modify-write. BlocContents is
  // fitted to the range (zeros added, or cut), then holds the whole new block on success, the
  // block as read on failure.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010B04, 0x90010B30, 0x90010B40, 0x90010B41,
  //   0x90010B42, 53, 453
  sceReturnCode MifareWriteBytesInBloc(int32_t BlocNumber, const std::string& Key, uint8_t KeyType,
                                       uint8_t FromByte, uint8_t ToByte,
                                       std::string& BlocContents) noexcept;

  // 34 to 53: MIFARE DESFire. These write no log lines of their own and change LastError only
  // when they fail. Keys are 16 hex digits (DES) or 32 (two-key triple DES); a shorter DES key
  // is filled with zeros on the left. Application ids are 6 hex digits, "000000" the card level.
  // Selects the card level and authenticates with its key 0.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F05, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12,
  //   0x90010E20, 0x90010E21, 0x90010E31, 0x90010E32, 0x90010E33, 0x90010E52, 53, 453, 51
  sceReturnCode DESFireSelectRoot(const std::string& KeyValue) noexcept;
  // Selects an application and authenticates with key KeyNumber (0 to 13).
  // LastError: 0x90010F01, 0x90010F04, 0x90010F05, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12,
  //   0x90010E20, 0x90010E21, 0x90010E31, 0x90010E32, 0x90010E33, 0x90010E52, 53, 453, 51
  sceReturnCode DESFireSelectApplication(const std::string& ApplicationId, int32_t KeyNumber,
                                         const std::string& KeyValue) noexcept;
  // Erases the card (card level selected).
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E52,
  //   53, 453
  sceReturnCode DESFireFormat() noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E20,
  //   0x90010E40, 0x90010E52, 53, 453
  sceReturnCode DESFireCreateApplication(const std::string& ApplicationId,
                                         DesfireKeySettings KeySettings,
                                         int32_t NumOfKeys) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E20,
  //   0x90010E40, 0x90010E52, 53, 453
  sceReturnCode DESFireDeleteApplication(const std::string& ApplicationId) noexcept;
  // The application ids, 6 hex digits each, joined by commas.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E52,
  //   53, 453
  sceReturnCode DESFireGetApplications(std::string& Applications) noexcept;
  // One of the card's version bytes, all 28, the UID, the batch number or the storage size in
  // bytes. The version is read once per encoder and then answered without asking the card.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E20,
  //   0x90010E40, 0x90010E52, 53, 453
  sceReturnCode DESFireGetVersion(DesfireVersionBytes RequestedInformation,
                                  Variant& Information) noexcept;
  // Changes key KeyNumber of the selected application (only 0 at the card level).
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E31,
  //   0x90010E32, 0x90010E40, 0x90010E52, 53, 453, 51
  sceReturnCode DESFireChangeKey(int32_t KeyNumber, const std::string& OldKey,
                                 const std::string& NewKey) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E31,
  //   0x90010E32, 0x90010E40, 0x90010E52, 53, 453, 51
  sceReturnCode DESFireGetKeyVersion(int32_t KeyNumber, int32_t& KeyVersion) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E31,
  //   0x90010E32, 0x90010E40, 0x90010E52, 53, 453, 51
  sceReturnCode DESFireGetKeySettings(int32_t& KeySettings, int32_t& KeyCount) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E31,
  //   0x90010E32, 0x90010E40, 0x90010E52, 53, 453, 51
  sceReturnCode DESFireChangeKeySettings(DesfireKeySettings KeySettings) noexcept;

  // 45 to 53: the files of the selected application. File numbers are 0 to 15 (0 to 7 for
  // backup, value and record files); sizes and record counts are 1 to 16777215.
  // The file numbers in ascending order, in decimal, joined by commas.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E52,
  //   53, 453
  sceReturnCode DESFireGetFileIDs(std::string& FileIds) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E31,
  //   0x90010E41, 0x90010E42, 0x90010E43, 0x90010E44, 0x90010E45, 0x90010E46, 0x90010E47,
  //   0x90010E4D, 0x90010E52, 53, 453
  sceReturnCode DESFireCreateStdDataFile(int32_t FileNumber,
                                         DesfireCommunicationSettings CommunicationSettings,
                                         DesfireAccessRights KeyRead, DesfireAccessRights KeyWrite,
                                         DesfireAccessRights KeyReadWrite,
                                         DesfireAccessRights KeyManage, int32_t FileSize) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E31,
  //   0x90010E41, 0x90010E42, 0x90010E43, 0x90010E44, 0x90010E45, 0x90010E46, 0x90010E47,
  //   0x90010E4D, 0x90010E52, 53, 453
  sceReturnCode DESFireCreateBackupDataFile(
      int32_t FileNumber, DesfireCommunicationSettings CommunicationSettings,
      DesfireAccessRights KeyRead, DesfireAccessRights KeyWrite, DesfireAccessRights KeyReadWrite,
      DesfireAccessRights KeyManage, int32_t FileSize) noexcept;
  // LowerLimit <= InitialValue <= UpperLimit.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E31,
  //   0x90010E41, 0x90010E42, 0x90010E43, 0x90010E44, 0x90010E45, 0x90010E46, 0x90010E47,
  //   0x90010E4D, 0x90010E52, 53, 453
  sceReturnCode DESFireCreateValueFile(int32_t FileNumber,
                                       DesfireCommunicationSettings CommunicationSettings,
                                       DesfireAccessRights KeyRead, DesfireAccessRights KeyWrite,
                                       DesfireAccessRights KeyReadWrite,
                                       DesfireAccessRights KeyManage, int32_t LowerLimit,
                                       int32_t UpperLimit, int32_t InitialValue,
                                       bool LimitedCreditEnabled) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E31,
  //   0x90010E41, 0x90010E42, 0x90010E43, 0x90010E44, 0x90010E45, 0x90010E46, 0x90010E47,
  //   0x90010E4D, 0x90010E52, 53, 453
  sceReturnCode DESFireCreateLinearRecordFile(
      int32_t FileNumber, DesfireCommunicationSettings CommunicationSettings,
      DesfireAccessRights KeyRead, DesfireAccessRights KeyWrite, DesfireAccessRights KeyReadWrite,
      DesfireAccessRights KeyManage, int32_t RecordSize, int32_t MaxNumOfRecords) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E31,
  //   0x90010E41, 0x90010E42, 0x90010E43, 0x90010E44, 0x90010E45, 0x90010E46, 0x90010E47,
  //   0x90010E4D, 0x90010E52, 53, 453
  sceReturnCode DESFireCreateCyclicRecordFile(
      int32_t FileNumber, DesfireCommunicationSettings CommunicationSettings,
      DesfireAccessRights KeyRead, DesfireAccessRights KeyWrite, DesfireAccessRights KeyReadWrite,
      DesfireAccessRights KeyManage, int32_t RecordSize, int32_t MaxNumOfRecords) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E31,
  //   0x90010E41, 0x90010E42, 0x90010E43, 0x90010E44, 0x90010E45, 0x90010E46, 0x90010E47,
  //   0x90010E4D, 0x90010E52, 53, 453
  sceReturnCode DESFireDeleteFile(int32_t FileNumber) noexcept;
  // The card's settings record of the file as spaced hex, not decoded ("" on failure).
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E31,
  //   0x90010E41, 0x90010E42, 0x90010E43, 0x90010E44, 0x90010E45, 0x90010E46, 0x90010E47,
  //   0x90010E4D, 0x90010E52, 53, 453
  sceReturnCode DESFireGetFileSettings(int32_t FileNo, std::string& Information) noexcept;
  // CommunicationSettings is any byte here. Sent plain when the file's change right is free,
  // enciphered with the session key when it is a key.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E31,
  //   0x90010E41, 0x90010E42, 0x90010E43, 0x90010E44, 0x90010E45, 0x90010E46, 0x90010E47,
  //   0x90010E4D, 0x90010E52, 53, 453
  sceReturnCode DESFireChangeFileSettings(int32_t FileNo,
                                          DesfireCommunicationSettings CommunicationSettings,
                                          DesfireAccessRights KeyRead, DesfireAccessRights KeyWrite,
                                          DesfireAccessRights KeyReadWrite,
                                          DesfireAccessRights KeyManage) noexcept;

  // 54 to 64: DESFire data, records and values, in plain communication only. Debit, credit and
  // limited credit do not end the transaction: commit or abort it.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E41,
  //   0x90010E48, 0x90010E4D, 0x90010E4E, 0x90010E4F, 0x90010E50, 0x90010E51, 0x90010E52, 53, 453
  sceReturnCode DESFireCommitTransaction() noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E41,
  //   0x90010E48, 0x90010E4D, 0x90010E4E, 0x90010E4F, 0x90010E50, 0x90010E51, 0x90010E52, 53, 453
  sceReturnCode DESFireAbortTransaction() noexcept;
  // Writes Length bytes at Offset (Length 0: the whole data), the data padded with zeros or cut
  // to Length; DataString is hex when IsDataHexaString, else text written byte by byte.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E41,
  //   0x90010E48, 0x90010E49, 0x90010E4A, 0x90010E4D, 0x90010E52, 53, 453
  sceReturnCode DESFireWriteData(int32_t FileNo, int32_t Offset, int32_t Length,
                                 const std::string& DataString, bool IsDataHexaString) noexcept;
  // Reads Length bytes at Offset (0: to the end) as spaced hex, or as text.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E41,
  //   0x90010E48, 0x90010E49, 0x90010E4A, 0x90010E4D, 0x90010E52, 53, 453
  sceReturnCode DESFireReadData(int32_t FileNo, int32_t Offset, int32_t Length,
                                std::string& DataString, bool IsDataHexaString) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E41,
  //   0x90010E48, 0x90010E49, 0x90010E4A, 0x90010E4D, 0x90010E52, 53, 453
  sceReturnCode DESFireWriteRecord(int32_t FileNo, int32_t Offset, int32_t Length,
                                   const std::string& DataString, bool IsDataHexaString) noexcept;
  // Offset is the record offset and Length the number of records, as the card counts them.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E41,
  //   0x90010E48, 0x90010E49, 0x90010E4A, 0x90010E4D, 0x90010E52, 53, 453
  sceReturnCode DESFireReadRecords(int32_t FileNo, int32_t Offset, int32_t Length,
                                   std::string& DataString, bool IsDataHexaString) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E41,
  //   0x90010E48, 0x90010E49, 0x90010E4A, 0x90010E4D, 0x90010E52, 53, 453
  sceReturnCode DESFireClearRecordFile(int32_t FileNo) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E41,
  //   0x90010E48, 0x90010E4D, 0x90010E4E, 0x90010E4F, 0x90010E50, 0x90010E51, 0x90010E52, 53, 453
  sceReturnCode DESFireGetValue(int32_t FileNo, int32_t& ValueData) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E41,
  //   0x90010E48, 0x90010E4D, 0x90010E4E, 0x90010E4F, 0x90010E50, 0x90010E51, 0x90010E52, 53, 453
  sceReturnCode DESFireDebit(int32_t FileNo, int32_t Amount) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E41,
  //   0x90010E48, 0x90010E4D, 0x90010E4E, 0x90010E4F, 0x90010E50, 0x90010E51, 0x90010E52, 53, 453
  sceReturnCode DESFireCredit(int32_t FileNo, int32_t Amount) noexcept;
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E41,
  //   0x90010E48, 0x90010E4D, 0x90010E4E, 0x90010E4F, 0x90010E50, 0x90010E51, 0x90010E52, 53, 453
  sceReturnCode DESFireLimitedCredit(int32_t FileNo, int32_t Amount) noexcept;

  // 65 on: beyond the described interface.
  // The card's real UID (cards may show a random ID at activation) as upper-case hex without
  // separators; needs an authenticated session, legacy or EV1.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E52,
  //   53, 453
  sceReturnCode DESFireGetCardUID(std::string& UID) noexcept;
  // The card's free memory in bytes.
  // LastError: 0x90010F01, 0x90010F04, 0x90010F06, 0x90010E03, 0x90010E11, 0x90010E12, 0x90010E52,
  //   53, 453
  sceReturnCode DESFireFreeMemory(int32_t& Bytes) noexcept;
  // A card's key diversified from MasterKey as NXP's AN10922 describes it, without the card.
  // MasterKey: "AES:" (AES-128), the described 32-digit two-key form, "ISO:" 32 digits or
  // "3K3DES:" (single DES has no such method). DiversificationInput: hex of M (for example UID,
  // application id, system identifier), 1 to 31 bytes for AES, 1 to 15 for triple DES, without
  // the constant and the padding. DiversifiedKey: a key text of the master's form, an AES
  // master's "/VV" kept, a triple-DES master's version in the first 8 bytes' parity bits.
  // Failures leave it as it was: 0x90010E33, 0x90010E32 for a master key that is no key text,
  // 0x90010E40 for a DES master or a bad M, 0x90010E03 should the cipher itself fail.
  // LastError: 0x90010E03, 0x90010E32, 0x90010E33, 0x90010E40
  sceReturnCode DESFireDiversifyKey(const std::string& MasterKey,
                                    const std::string& DiversificationInput,
                                    std::string& DiversifiedKey) noexcept;

 private:
  friend struct EncoderAccess;  // the component's own subsystems reach the state through it
  std::unique_ptr<tarsin::EncoderState> state_;  // qualified: EncoderState is also a member
};

}  // namespace tarsin
