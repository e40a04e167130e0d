// SPDX-License-Identifier: Apache-2.0
// MIFARE DESFire operations on the encoder's state. Encoder's members forward here. Unlike the
// MIFARE operations they write no log lines of their own and change LastError only when they
// fail (Operation::Entry::KeepError).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/hex_text.h"
#include "core/operation.h"
#include "core/state.h"
#include "desfire/channel.h"
#include "tarsin/types.h"
#include "tarsin/variant.h"

namespace tarsin::desfire {

// The application id of the card level.
inline constexpr const char* kCardLevel = "000000";

// Guards: false after recording "Not authenticated" / "This command is only available at root
// level" under the operation's name.
bool RequireAuthentication(Operation& operation);
bool RequireCardLevel(Operation& operation);

// `text` normalised by IsHexString in place; false when it is not hex (or not `length` digits).
bool NormaliseHex(std::string& text, int32_t length = -1) noexcept;
// The low `bytes` bytes of `value`, least significant first (negative numbers in two's
// complement): the card's order for sizes, offsets, limits and amounts.
ByteVector LittleEndian(int32_t value, int bytes);

// Sends `command` through the channel; true when the card answered 9100. Otherwise records
// "The requested operation failed" with the operation's name and the status word, keeping what
// the exchange recorded in the other fields.
bool StandardExchange(Operation& operation, const NativeCommand& command, NativeAnswer& answer);
bool StandardExchange(Operation& operation, const NativeCommand& command);

sceReturnCode SelectApplication(EncoderState& state, const std::string& applicationId,
                                int32_t keyNumber, const std::string& keyValue) noexcept;
sceReturnCode SelectRoot(EncoderState& state, const std::string& keyValue) noexcept;

sceReturnCode Format(EncoderState& state) noexcept;
sceReturnCode CreateApplication(EncoderState& state, const std::string& applicationId,
                                int32_t keySettings, int32_t numOfKeys) noexcept;
sceReturnCode DeleteApplication(EncoderState& state, const std::string& applicationId) noexcept;
sceReturnCode GetApplications(EncoderState& state, std::string& applications) noexcept;
sceReturnCode GetVersion(EncoderState& state, int32_t requested, Variant& information) noexcept;

sceReturnCode ChangeKey(EncoderState& state, int32_t keyNumber, const std::string& oldKey,
                        const std::string& newKey) noexcept;
sceReturnCode GetKeyVersion(EncoderState& state, int32_t keyNumber, int32_t& keyVersion) noexcept;
sceReturnCode GetKeySettings(EncoderState& state, int32_t& keySettings, int32_t& keyCount) noexcept;
sceReturnCode ChangeKeySettings(EncoderState& state, int32_t keySettings) noexcept;

// What every create and change of a file names besides its number: the communication
// settings and the four access rights.
struct FileAccess {
  int32_t communication = 0;
  int32_t read = 0;
  int32_t write = 0;
  int32_t readWrite = 0;
  int32_t manage = 0;
};

sceReturnCode GetFileIds(EncoderState& state, std::string& fileIds) noexcept;
sceReturnCode CreateStdDataFile(EncoderState& state, int32_t fileNumber, const FileAccess& access,
                                int32_t fileSize) noexcept;
sceReturnCode CreateBackupDataFile(EncoderState& state, int32_t fileNumber,
                                   const FileAccess& access, int32_t fileSize) noexcept;
sceReturnCode CreateValueFile(EncoderState& state, int32_t fileNumber, const FileAccess& access,
                              int32_t lowerLimit, int32_t upperLimit, int32_t initialValue,
                              bool limitedCreditEnabled) noexcept;
sceReturnCode CreateLinearRecordFile(EncoderState& state, int32_t fileNumber,
                                     const FileAccess& access, int32_t recordSize,
                                     int32_t maxNumOfRecords) noexcept;
sceReturnCode CreateCyclicRecordFile(EncoderState& state, int32_t fileNumber,
                                     const FileAccess& access, int32_t recordSize,
                                     int32_t maxNumOfRecords) noexcept;
sceReturnCode DeleteFile(EncoderState& state, int32_t fileNumber) noexcept;
sceReturnCode GetFileSettings(EncoderState& state, int32_t fileNo,
                              std::string& information) noexcept;
sceReturnCode ChangeFileSettings(EncoderState& state, int32_t fileNo,
                                 const FileAccess& access) noexcept;

// The file numbers of a GetFileIDs answer (one byte each), ascending, in decimal, joined by
// commas.
std::string FileIdList(std::span<const uint8_t> response);

// A file's type and communication settings, read from its settings record through
// GetFileSettings (which records its own failure). Throws Failure "The requested operation
// failed" from "DESFireGetFileCharacteristics" when they cannot be read.
struct FileCharacteristics {
  int32_t fileType = 0;
  int32_t communicationSettings = 0;
  // The four rights as the card keeps them: read, write, read/write, change, a nibble each from
  // the top.
  int32_t accessRights = 0;
  // Data files: the file size; record files: the record size and the records held.
  int32_t size = 0;
  int32_t records = 0;
};
FileCharacteristics GetFileCharacteristics(EncoderState& state, int32_t fileNo);

sceReturnCode WriteData(EncoderState& state, int32_t fileNo, int32_t offset, int32_t length,
                        const std::string& dataString, bool isHex) noexcept;
sceReturnCode ReadData(EncoderState& state, int32_t fileNo, int32_t offset, int32_t length,
                       std::string& dataString, bool isHex) noexcept;
sceReturnCode WriteRecord(EncoderState& state, int32_t fileNo, int32_t offset, int32_t length,
                          const std::string& dataString, bool isHex) noexcept;
sceReturnCode ReadRecords(EncoderState& state, int32_t fileNo, int32_t offset, int32_t length,
                          std::string& dataString, bool isHex) noexcept;
sceReturnCode ClearRecordFile(EncoderState& state, int32_t fileNo) noexcept;

sceReturnCode GetValue(EncoderState& state, int32_t fileNo, int32_t& valueData) noexcept;
sceReturnCode Debit(EncoderState& state, int32_t fileNo, int32_t amount) noexcept;
sceReturnCode Credit(EncoderState& state, int32_t fileNo, int32_t amount) noexcept;
sceReturnCode LimitedCredit(EncoderState& state, int32_t fileNo, int32_t amount) noexcept;
sceReturnCode CommitTransaction(EncoderState& state) noexcept;
sceReturnCode AbortTransaction(EncoderState& state) noexcept;

// Beyond the described members: the real UID as 14 hex digits (in a session), the free memory.
sceReturnCode GetCardUid(EncoderState& state, std::string& uid) noexcept;
sceReturnCode FreeMemory(EncoderState& state, int32_t& bytes) noexcept;
// A card's key diversified from a master key text (AN10922), without the card.
sceReturnCode DiversifyKey(EncoderState& state, const std::string& masterKey,
                           const std::string& input, std::string& diversifiedKey) noexcept;

}  // namespace tarsin::desfire
