// SPDX-License-Identifier: Apache-2.0
// Value files and the transactions that backup, value and record files take part in.
#include <array>

#include "core/failure.h"
#include "desfire/desfire.h"
#include "desfire/file_transfer.h"
#include "pcsc/command_table.h"

namespace tarsin::desfire {
namespace {

constexpr std::array<DesfireFileTypes, 1> kValueFile = {dftValue};
constexpr std::array<Right, 3> kAnyRight{Right::Read, Right::Write, Right::ReadWrite};
constexpr std::array<Right, 2> kWriting{Right::Write, Right::ReadWrite};
constexpr std::array<Right, 1> kReadWrite{Right::ReadWrite};
constexpr size_t kValueLength = 4;

bool CheckFileNumber(Operation& operation, int32_t fileNo) {
  return RequireAuthentication(operation) &&
         operation.Require(fileNo >= 0 && fileNo <= 7, errors::kInvalidFileNumber);
}

// Debit, credit and limited credit: the file number and the amount, least significant first;
// a card refusing the amount (91BE) has its own error.
sceReturnCode ChangeValue(EncoderState& state, const char* name, int32_t command, int32_t fileNo,
                          int32_t amount, std::span<const Right> rights,
                          const ErrorEntry& beyondLimit) noexcept {
  Operation operation(state, name, Operation::Entry::KeepError);
  if (!CheckFileNumber(operation, fileNo) ||
      !operation.Require(amount >= 0, errors::kInvalidAmount)) {
    return sceError;
  }
  NativeAnswer answer;
  if (SendFileData(operation, fileNo,
                   {.code = command,
                    .header = {static_cast<uint8_t>(fileNo)},
                    .data = LittleEndian(amount, kValueLength)},
                   {kValueFile, rights}, answer)) {
    return scesuccess;
  }
  // Only the card's answer to this command counts: LastError may still hold an earlier 91BE.
  if (answer.forged) return operation.Refuse(errors::kForgedAnswer);
  return operation.Refuse(answer.status.Is(0x91BE) ? beyondLimit : errors::kOperationFailed);
}

// Commit and abort: nothing pending (910C) has its own error.
sceReturnCode EndTransaction(EncoderState& state, const char* name, int32_t command) noexcept {
  Operation operation(state, name, Operation::Entry::KeepError);
  if (!RequireAuthentication(operation)) return sceError;
  if (StandardExchange(operation, {.code = command})) return scesuccess;
  if (state.lastError && state.lastError->RdrRetCode == "910C") {
    return operation.Refuse(errors::kNoBackupChanges);
  }
  return sceError;
}

}  // namespace

sceReturnCode GetValue(EncoderState& state, int32_t fileNo, int32_t& valueData) noexcept {
  Operation operation(state, "DESFireGetValue", Operation::Entry::KeepError);
  if (!CheckFileNumber(operation, fileNo)) return sceError;
  std::string answer;
  if (!ReadFileData(
          operation, fileNo, {.code = ec_DesfireGetValue, .data = {static_cast<uint8_t>(fileNo)}},
          {kValueFile, kAnyRight}, [](const FileCharacteristics&) { return kValueLength; },
          answer)) {
    return sceError;
  }
  RunStepOrGoOn([&] {
    std::erase(answer, ' ');
    const std::string ordered =
        answer.substr(6, 2) + answer.substr(4, 2) + answer.substr(2, 2) + answer.substr(0, 2);
    valueData = static_cast<int32_t>(std::stoul(ordered, nullptr, 16));
  });
  return scesuccess;
}

sceReturnCode Debit(EncoderState& state, int32_t fileNo, int32_t amount) noexcept {
  return ChangeValue(state, "DESFireDebit", ec_DesfireDebit, fileNo, amount, kAnyRight,
                     errors::kValueExceedsLimits);
}

sceReturnCode Credit(EncoderState& state, int32_t fileNo, int32_t amount) noexcept {
  return ChangeValue(state, "DESFireCredit", ec_DesfireCredit, fileNo, amount, kReadWrite,
                     errors::kValueExceedsLimits);
}

sceReturnCode LimitedCredit(EncoderState& state, int32_t fileNo, int32_t amount) noexcept {
  return ChangeValue(state, "DESFireLimitedCredit", ec_DesfireLimitedCredit, fileNo, amount,
                     kWriting, errors::kCreditExceedsLimit);
}

sceReturnCode CommitTransaction(EncoderState& state) noexcept {
  return EndTransaction(state, "DESFireCommitTransaction", ec_DesfireCommitTransaction);
}

sceReturnCode AbortTransaction(EncoderState& state) noexcept {
  return EndTransaction(state, "DESFireAbortTransaction", ec_DesfireAbortTransaction);
}

}  // namespace tarsin::desfire
