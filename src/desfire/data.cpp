// SPDX-License-Identifier: Apache-2.0
// Data files (standard and backup) and record files: written and read as each file's
// communication settings say.
#include <algorithm>
#include <array>

#include "core/failure.h"
#include "core/numeric_text.h"
#include "crypto/encoder_cipher.h"
#include "desfire/desfire.h"
#include "desfire/file_transfer.h"
#include "pcsc/command_table.h"

namespace tarsin::desfire {
namespace {

constexpr int32_t kLargest = 0xFFFFFF;  // offsets and lengths are 3 bytes

constexpr std::array<DesfireFileTypes, 2> kDataFiles{dftData, dftBackup};
constexpr std::array<DesfireFileTypes, 2> kRecordFiles{dftLinear, dftCyclic};
constexpr std::array<Right, 2> kWriting{Right::Write, Right::ReadWrite};
constexpr std::array<Right, 2> kReading{Right::Read, Right::ReadWrite};

struct Transfer {
  const char* name = nullptr;
  int32_t command = 0;
  int32_t lastFile = 0;
  FileRules rules;
  bool records = false;
};
constexpr Transfer kWriteData{
    "DESFireWriteData", ec_DesfireWriteData, 15, {kDataFiles, kWriting}, false};
constexpr Transfer kWriteRecord{
    "DESFireWriteRecord", ec_DesfireWriteRecord, 7, {kRecordFiles, kWriting}, true};
constexpr Transfer kReadData{
    "DESFireReadData", ec_DesfireReadData, 15, {kDataFiles, kReading}, false};
constexpr Transfer kReadRecords{
    "DESFireReadRecords", ec_DesfireReadRecords, 7, {kRecordFiles, kReading}, true};

bool CheckRange(Operation& operation, const Transfer& transfer, int32_t fileNo, int32_t offset,
                int32_t length, int32_t smallestLength) {
  return RequireAuthentication(operation) &&
         operation.Require(fileNo >= 0 && fileNo <= transfer.lastFile,
                           errors::kInvalidFileNumber) &&
         operation.Require(offset >= 0 && offset <= kLargest, errors::kInvalidOffset) &&
         operation.Require(length == 0 || (length >= smallestLength && length <= kLargest),
                           errors::kInvalidLength);
}

// File number, offset and length: the 7 bytes in front of every transfer.
ByteVector FileHeader(int32_t fileNo, int32_t offset, int32_t length) {
  ByteVector header{static_cast<uint8_t>(fileNo)};
  for (const int32_t field : {offset, length}) {
    const ByteVector bytes = LittleEndian(field, 3);
    header.insert(header.end(), bytes.begin(), bytes.end());
  }
  return header;
}

sceReturnCode Write(EncoderState& state, const Transfer& transfer, int32_t fileNo, int32_t offset,
                    int32_t length, const std::string& dataString, bool isHex) noexcept {
  Operation operation(state, transfer.name, Operation::Entry::KeepError);
  if (!CheckRange(operation, transfer, fileNo, offset, length, 1)) return sceError;
  std::string data;
  RunStepOrGoOn([&] {
    data =
        CipherOf(state)
            .ConvertData(Variant(dataString), isHex ? cnvInHex + cnvOutHex : cnvInText + cnvOutHex)
            .asString();
  });
  if (length == 0) length = RoundToInt32(static_cast<double>(data.size()) / 2).value_or(0);
  data.resize(2 * static_cast<size_t>(length), '0');  // padded or cut to Length bytes
  NativeAnswer answer;
  if (SendFileData(operation, fileNo,
                   {.code = transfer.command,
                    .header = FileHeader(fileNo, offset, length),
                    .data = HexToBytes(data)},
                   transfer.rules, answer)) {
    return scesuccess;
  }
  // An EV1 answer whose CMAC does not verify: the card may not have taken the data.
  return operation.Refuse(answer.forged ? errors::kForgedAnswer : errors::kOperationFailed);
}

sceReturnCode Read(EncoderState& state, const Transfer& transfer, int32_t fileNo, int32_t offset,
                   int32_t length, std::string& dataString, bool isHex) noexcept {
  Operation operation(state, transfer.name, Operation::Entry::KeepError);
  if (!CheckRange(operation, transfer, fileNo, offset, length, 0)) return sceError;
  // The bytes an enciphered answer holds: Length bytes or records, 0 for all from Offset.
  const auto answerLength = [&](const FileCharacteristics& file) -> size_t {
    const int64_t count =
        length != 0 ? length : (transfer.records ? file.records : file.size) - offset;
    return static_cast<size_t>(std::max<int64_t>(0, count * (transfer.records ? file.size : 1)));
  };
  std::string answer;
  if (!ReadFileData(operation, fileNo,
                    {.code = transfer.command, .data = FileHeader(fileNo, offset, length)},
                    transfer.rules, answerLength, answer)) {
    return sceError;
  }
  dataString = answer;
  if (!isHex) {
    RunStepOrGoOn([&] {
      dataString = CipherOf(state).ConvertData(Variant(answer), cnvInHex + cnvOutText).asString();
    });
  }
  return scesuccess;
}

}  // namespace

sceReturnCode WriteData(EncoderState& state, int32_t fileNo, int32_t offset, int32_t length,
                        const std::string& dataString, bool isHex) noexcept {
  return Write(state, kWriteData, fileNo, offset, length, dataString, isHex);
}

sceReturnCode WriteRecord(EncoderState& state, int32_t fileNo, int32_t offset, int32_t length,
                          const std::string& dataString, bool isHex) noexcept {
  return Write(state, kWriteRecord, fileNo, offset, length, dataString, isHex);
}

sceReturnCode ReadData(EncoderState& state, int32_t fileNo, int32_t offset, int32_t length,
                       std::string& dataString, bool isHex) noexcept {
  return Read(state, kReadData, fileNo, offset, length, dataString, isHex);
}

sceReturnCode ReadRecords(EncoderState& state, int32_t fileNo, int32_t offset, int32_t length,
                          std::string& dataString, bool isHex) noexcept {
  return Read(state, kReadRecords, fileNo, offset, length, dataString, isHex);
}

sceReturnCode ClearRecordFile(EncoderState& state, int32_t fileNo) noexcept {
  Operation operation(state, "DESFireClearRecordFile", Operation::Entry::KeepError);
  if (!RequireAuthentication(operation)) return sceError;
  return StandardExchange(
             operation, {.code = ec_DesfireClearRecordFile, .data = {static_cast<uint8_t>(fileNo)}})
             ? scesuccess
             : sceError;
}

}  // namespace tarsin::desfire
