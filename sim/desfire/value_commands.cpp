// SPDX-License-Identifier: Apache-2.0
// Value files and the transaction that backup, value and record files share.
#include <algorithm>
#include <climits>
#include <vector>

#include "desfire/native_commands.h"

namespace tarsin::sim::desfire {

namespace {

OpenedFile OpenValueFile(CardContext& context, std::span<const uint8_t> data,
                         std::initializer_list<Right> rights) {
  if (data.empty()) return {status::kLengthError};
  return OpenFile(context, data[0], IsValueFile, rights);
}

// The amount of a Credit, Debit or LimitedCredit, or the status that refuses it.
struct Amount {
  uint8_t status = status::kOk;
  int64_t value = 0;
};

Amount AmountOf(CardContext& context, const OpenedFile& access, std::span<const uint8_t> data) {
  if (data.size() != 1 + context.WireLength(access.channel, 4)) return {status::kLengthError};
  const auto plain = context.Unprotect(access.channel, data, 1, 4);
  if (!plain) return {status::kIntegrityError};
  const int32_t amount = ReadInt32(*plain, 0);
  if (amount < 0) return {status::kParameterError};
  return {status::kOk, amount};
}

enum class Change { kCredit, kDebit, kLimitedCredit };

Reply ChangeValue(CardContext& context, std::span<const uint8_t> data,
                  std::initializer_list<Right> rights, Change change) {
  const OpenedFile access = OpenValueFile(context, data, rights);
  if (access.status != status::kOk) return Reply::Status(access.status);
  const DesfireFile& committed = *access.file;
  if (change == Change::kLimitedCredit && !committed.limitedCreditEnabled) {
    return Reply::Status(status::kPermissionDenied);
  }
  const Amount amount = AmountOf(context, access, data);
  if (amount.status != status::kOk) return Reply::Status(amount.status);
  // A refused change leaves nothing pending: the working copy is made only once it is accepted.
  const auto earlier = context.session.pending.find(data[0]);
  int64_t value =
      earlier != context.session.pending.end() ? earlier->second.file.value : committed.value;
  if (change == Change::kDebit) {
    value -= amount.value;
    if (value < committed.lowerLimit) return Reply::Status(status::kBoundaryError);
  } else {
    if (change == Change::kLimitedCredit && amount.value > committed.limitedCreditValue) {
      return Reply::Status(status::kBoundaryError);
    }
    value += amount.value;
    if (value > committed.upperLimit) return Reply::Status(status::kBoundaryError);
  }
  PendingFile& pending = PendingCopy(context, data[0], committed);
  if (change == Change::kDebit) pending.debited += amount.value;
  pending.limitedCreditUsed |= change == Change::kLimitedCredit;
  pending.file.value = static_cast<int32_t>(value);
  return {};
}

}  // namespace

Reply GetValue(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() != 1) return Reply::Status(status::kLengthError);
  const OpenedFile access = OpenValueFile(
      context, data, {&AccessRights::read, &AccessRights::write, &AccessRights::readWrite});
  if (access.status != status::kOk) return Reply::Status(access.status);
  // Pending credits and debits show only after CommitTransaction.
  Bytes value;
  AppendInt32(value, access.file->value);
  return Reply::Data(context.Protect(access.channel, value));
}

Reply Credit(CardContext& context, std::span<const uint8_t> data) {
  return ChangeValue(context, data, {&AccessRights::readWrite}, Change::kCredit);
}

Reply Debit(CardContext& context, std::span<const uint8_t> data) {
  return ChangeValue(context, data,
                     {&AccessRights::read, &AccessRights::write, &AccessRights::readWrite},
                     Change::kDebit);
}

Reply LimitedCredit(CardContext& context, std::span<const uint8_t> data) {
  return ChangeValue(context, data, {&AccessRights::write, &AccessRights::readWrite},
                     Change::kLimitedCredit);
}

Reply CommitTransaction(CardContext& context, std::span<const uint8_t> data) {
  if (!data.empty()) return Reply::Status(status::kLengthError);
  if (context.session.pending.empty()) return Reply::Status(status::kNoChanges);
  Application* application = context.SelectedApplication();
  for (auto& [number, pending] : context.session.pending) {
    if (!application) break;
    auto committed = application->files.find(number);
    if (committed == application->files.end()) continue;
    DesfireFile& file = pending.file;
    if (file.type == FileType::kCyclic && file.records.size() >= file.maxRecords) {
      file.records.erase(file.records.begin(),
                         file.records.end() - static_cast<long>(file.maxRecords - 1));
    }
    // A limited credit may give back at most what the last committed debits took, once.
    if (pending.limitedCreditUsed) {
      file.limitedCreditValue = 0;
    } else if (pending.debited > 0) {
      file.limitedCreditValue = static_cast<int32_t>(std::min<int64_t>(pending.debited, INT32_MAX));
    }
    // Only the contents: the settings are the file's own, whatever changed them meanwhile.
    DesfireFile& target = committed->second;
    target.data = std::move(file.data);
    target.value = file.value;
    target.limitedCreditValue = file.limitedCreditValue;
    target.records = std::move(file.records);
  }
  context.DropPendingChanges();
  return {};
}

Reply AbortTransaction(CardContext& context, std::span<const uint8_t> data) {
  if (!data.empty()) return Reply::Status(status::kLengthError);
  if (context.session.pending.empty()) return Reply::Status(status::kNoChanges);
  context.DropPendingChanges();
  return {};
}

}  // namespace tarsin::sim::desfire
