// SPDX-License-Identifier: Apache-2.0
// The files of the selected application: list, create, inspect, change and delete.
#include <algorithm>

#include "core/failure.h"
#include "core/hex_text.h"
#include "crypto/encoder_cipher.h"
#include "desfire/desfire.h"
#include "pcsc/command_table.h"

namespace tarsin::desfire {
namespace {

constexpr int32_t kLargestSize = 0xFFFFFF;  // sizes and counts travel in 3 bytes

// Backup, value and record files take numbers 0 to 7; the others 0 to 15.
constexpr int32_t kLastFileNumber = 15;
constexpr int32_t kLastSmallFileNumber = 7;

// The guard, then the file number.
bool CheckFileNumber(Operation& operation, int32_t fileNumber,
                     int32_t lastFileNumber = kLastFileNumber) {
  return RequireAuthentication(operation) &&
         operation.Require(fileNumber >= 0 && fileNumber <= lastFileNumber,
                           errors::kInvalidFileNumber);
}

enum class Settings { ForCreate, AnyByte };

// The guard and the checks that every create and change shares, in their order. On success
// `data` holds the file number, the communication settings and the access rights.
bool CheckFile(Operation& operation, int32_t fileNumber, int32_t lastFileNumber,
               const FileAccess& access, Settings settings, ByteVector& data) {
  const int32_t comm = access.communication;
  const bool commValid = settings == Settings::AnyByte
                             ? comm >= 0 && comm <= 255
                             : comm == dfcPlain || comm == dfcPlainMac || comm == dfcCiphered;
  if (!CheckFileNumber(operation, fileNumber, lastFileNumber) ||
      !operation.Require(commValid, errors::kInvalidCommunicationSettings)) {
    return false;
  }
  for (const int32_t key : {access.read, access.write, access.readWrite, access.manage}) {
    if (!operation.Require(key >= 0 && key <= dfaDenyAll, errors::kBadKeyNumber)) return false;
  }
  // ReadWrite and Manage in the first byte, Read and Write in the second.
  data = {static_cast<uint8_t>(fileNumber), static_cast<uint8_t>(comm),
          static_cast<uint8_t>(access.readWrite * 16 + access.manage),
          static_cast<uint8_t>(access.read * 16 + access.write)};
  return true;
}

// A size or count from 1 to 0xFFFFFF as its 3-byte field.
bool SizeField(Operation& operation, int32_t size, const ErrorEntry& error, ByteVector& data) {
  if (!operation.Require(size >= 1 && size <= kLargestSize, error)) return false;
  const ByteVector field = LittleEndian(size, 3);
  data.insert(data.end(), field.begin(), field.end());
  return true;
}

sceReturnCode Send(Operation& operation, int32_t code, ByteVector data) {
  return StandardExchange(operation, {.code = code, .data = std::move(data)}) ? scesuccess
                                                                              : sceError;
}

sceReturnCode CreateDataFile(EncoderState& state, std::string_view name, int32_t code,
                             int32_t lastFileNumber, int32_t fileNumber, const FileAccess& access,
                             int32_t fileSize) {
  Operation operation(state, name, Operation::Entry::KeepError);
  ByteVector data;
  if (!CheckFile(operation, fileNumber, lastFileNumber, access, Settings::ForCreate, data) ||
      !SizeField(operation, fileSize, errors::kInvalidFileSize, data)) {
    return sceError;
  }
  return Send(operation, code, std::move(data));
}

sceReturnCode CreateRecordFile(EncoderState& state, std::string_view name, int32_t code,
                               int32_t fileNumber, const FileAccess& access, int32_t recordSize,
                               int32_t maxNumOfRecords) {
  Operation operation(state, name, Operation::Entry::KeepError);
  ByteVector data;
  if (!CheckFile(operation, fileNumber, kLastSmallFileNumber, access, Settings::ForCreate, data) ||
      !SizeField(operation, recordSize, errors::kInvalidRecordSize, data) ||
      !SizeField(operation, maxNumOfRecords, errors::kInvalidRecordCount, data)) {
    return sceError;
  }
  return Send(operation, code, std::move(data));
}

// The change right: the low nibble of the access rights' first byte, the record's third byte.
std::optional<int32_t> ChangeRightOf(const std::string& information) {
  std::optional<int32_t> right;
  RunStepOrGoOn([&] {
    std::string record = information;
    std::erase(record, ' ');
    right = std::stoi(record.substr(4, 2), nullptr, 16) & 0x0F;
  });
  return right;
}

}  // namespace

std::string FileIdList(std::span<const uint8_t> response) {
  std::vector<int> numbers(response.begin(), response.end());
  std::ranges::sort(numbers);
  std::string list;
  for (const int number : numbers) {
    if (!list.empty()) list += ',';
    list += std::to_string(number);
  }
  return list;
}

sceReturnCode GetFileIds(EncoderState& state, std::string& fileIds) noexcept {
  Operation operation(state, "DESFireGetFileIDs", Operation::Entry::KeepError);
  if (!RequireAuthentication(operation)) return sceError;
  NativeAnswer answer;
  if (!StandardExchange(operation, {.code = ec_DesfireGetFileIds}, answer)) return sceError;
  RunStepOrGoOn([&] { fileIds = FileIdList(answer.data); });
  return scesuccess;
}

sceReturnCode CreateStdDataFile(EncoderState& state, int32_t fileNumber, const FileAccess& access,
                                int32_t fileSize) noexcept {
  return CreateDataFile(state, "DESFireCreateStdDataFile", ec_DesfireCreateStdDataFile,
                        kLastFileNumber, fileNumber, access, fileSize);
}

sceReturnCode CreateBackupDataFile(EncoderState& state, int32_t fileNumber,
                                   const FileAccess& access, int32_t fileSize) noexcept {
  return CreateDataFile(state, "DESFireCreateBackupDataFile", ec_DesfireCreateBackupDataFile,
                        kLastSmallFileNumber, fileNumber, access, fileSize);
}

sceReturnCode CreateValueFile(EncoderState& state, int32_t fileNumber, const FileAccess& access,
                              int32_t lowerLimit, int32_t upperLimit, int32_t initialValue,
                              bool limitedCreditEnabled) noexcept {
  Operation operation(state, "DESFireCreateValueFile", Operation::Entry::KeepError);
  ByteVector data;
  if (!CheckFile(operation, fileNumber, kLastSmallFileNumber, access, Settings::ForCreate, data) ||
      !operation.Require(lowerLimit <= upperLimit, errors::kInvalidLimits) ||
      !operation.Require(lowerLimit <= initialValue && initialValue <= upperLimit,
                         errors::kValueOutOfBounds)) {
    return sceError;
  }
  for (const int32_t value : {lowerLimit, upperLimit, initialValue}) {
    const ByteVector field = LittleEndian(value, 4);
    data.insert(data.end(), field.begin(), field.end());
  }
  data.push_back(limitedCreditEnabled ? 1 : 0);
  return Send(operation, ec_DesfireCreateValueFile, std::move(data));
}

sceReturnCode CreateLinearRecordFile(EncoderState& state, int32_t fileNumber,
                                     const FileAccess& access, int32_t recordSize,
                                     int32_t maxNumOfRecords) noexcept {
  return CreateRecordFile(state, "DESFireCreateLinearRecordFile", ec_DesfireCreateLinearRecordFile,
                          fileNumber, access, recordSize, maxNumOfRecords);
}

sceReturnCode CreateCyclicRecordFile(EncoderState& state, int32_t fileNumber,
                                     const FileAccess& access, int32_t recordSize,
                                     int32_t maxNumOfRecords) noexcept {
  return CreateRecordFile(state, "DESFireCreateCyclicRecordFile", ec_DesfireCreateCyclicRecordFile,
                          fileNumber, access, recordSize, maxNumOfRecords);
}

sceReturnCode DeleteFile(EncoderState& state, int32_t fileNumber) noexcept {
  Operation operation(state, "DESFireDeleteFile", Operation::Entry::KeepError);
  if (!CheckFileNumber(operation, fileNumber)) return sceError;
  return Send(operation, ec_DesfireDeleteFile, {static_cast<uint8_t>(fileNumber)});
}

sceReturnCode GetFileSettings(EncoderState& state, int32_t fileNo,
                              std::string& information) noexcept {
  Operation operation(state, "DESFireGetFileSettings", Operation::Entry::KeepError);
  if (!CheckFileNumber(operation, fileNo)) return sceError;
  information.clear();
  NativeAnswer answer;
  if (!StandardExchange(operation,
                        {.code = ec_DesfireGetFileSettings, .data = {static_cast<uint8_t>(fileNo)}},
                        answer)) {
    return sceError;
  }
  RunStepOrGoOn([&] {
    information = CipherOf(state)
                      .ConvertData(Variant(BytesToHex(answer.data)), cnvInHex + cnvOutSpacedHex)
                      .asString();
  });
  return scesuccess;
}

sceReturnCode ChangeFileSettings(EncoderState& state, int32_t fileNo,
                                 const FileAccess& access) noexcept {
  Operation operation(state, "DESFireChangeFileSettings", Operation::Entry::KeepError);
  ByteVector settings;
  if (!CheckFile(operation, fileNo, kLastFileNumber, access, Settings::AnyByte, settings)) {
    return sceError;
  }
  const NativeCommand plain{.code = ec_DesfireChangeFileSettings1, .data = settings};
  const NativeCommand enciphered{.code = ec_DesfireChangeFileSettings2,
                                 .header = {settings[0]},
                                 .data = ByteVector(settings.begin() + 1, settings.end()),
                                 .communication = Communication::Enciphered};
  // A card drops its authentication after any refusal, so a plain attempt refused would doom the
  // enciphered one: the file's change right says which form the card expects. A failed read of
  // the settings is not the operation's failure and leaves no trace when the change succeeds.
  const CError before = state.lastError ? *state.lastError : CError{};
  std::string information;
  const std::optional<int32_t> right = GetFileSettings(state, fileNo, information) == scesuccess
                                           ? ChangeRightOf(information)
                                           : std::nullopt;
  bool changed = false;
  if (right == dfaAllowAll) {
    changed = StandardExchange(operation, plain);
  } else if (right && *right <= dfaAllow_13) {
    changed = StandardExchange(operation, enciphered);
  } else {
    changed = StandardExchange(operation, plain) || StandardExchange(operation, enciphered);
  }
  if (!changed) return sceError;
  if (state.lastError) *state.lastError = before;
  return scesuccess;
}

FileCharacteristics GetFileCharacteristics(EncoderState& state, int32_t fileNo) {
  const auto failed = [] {
    return Failure(errors::kOperationFailed, "DESFireGetFileCharacteristics");
  };
  std::string information;
  if (GetFileSettings(state, fileNo, information) != scesuccess) throw failed();
  std::erase(information, ' ');
  // Little-endian fields of `bytes` bytes at byte `at`; absent ones are 0.
  const auto field = [&](size_t at, size_t bytes) {
    int32_t value = 0;
    for (size_t i = bytes; i-- > 0 && 2 * (at + i) + 2 <= information.size();) {
      value = value * 256 + std::stoi(information.substr(2 * (at + i), 2), nullptr, 16);
    }
    return value;
  };
  try {
    FileCharacteristics file{
        .fileType = std::stoi(information.substr(0, 2), nullptr, 16),
        .communicationSettings = std::stoi(information.substr(2, 2), nullptr, 16),
        .accessRights = field(2, 2)};
    const bool records = file.fileType == dftLinear || file.fileType == dftCyclic;
    if (file.fileType != dftValue) file.size = field(4, 3);
    if (records) file.records = field(10, 3);
    return file;
  } catch (const std::logic_error&) {
    throw failed();  // a record too short to name them
  }
}

}  // namespace tarsin::desfire
