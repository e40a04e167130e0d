// SPDX-License-Identifier: Apache-2.0
// Reading and writing data files and record files.
#include <algorithm>

#include "desfire/native_commands.h"

namespace tarsin::sim::desfire {

namespace {

constexpr size_t kHeaderLength = 7;  // file number, offset (3), length (3)

// A write checked from its header: where it goes and how its data travels.
struct WritePlan {
  uint8_t status = status::kOk;
  DesfireFile* file = nullptr;
  Channel channel = Channel::kPlain;
  uint32_t offset = 0;
  uint32_t length = 0;
};

WritePlan PlanWrite(CardContext& context, std::span<const uint8_t> data,
                    bool (*acceptsType)(const DesfireFile&)) {
  if (data.size() < kHeaderLength) return {status::kLengthError};
  const OpenedFile opened =
      OpenFile(context, data[0], acceptsType, {&AccessRights::write, &AccessRights::readWrite});
  if (opened.status != status::kOk) return {opened.status};
  WritePlan plan{status::kOk, opened.file, opened.channel, ReadUint24(data, 1),
                 ReadUint24(data, 4)};
  if (plan.length == 0) return {status::kLengthError};
  return plan;
}

uint64_t End(const WritePlan& plan) {
  return uint64_t{plan.offset} + plan.length;
}

WritePlan PlanDataWrite(CardContext& context, std::span<const uint8_t> data) {
  WritePlan plan = PlanWrite(context, data, IsDataFile);
  if (plan.file && End(plan) > plan.file->data.size()) return {status::kBoundaryError};
  return plan;
}

WritePlan PlanRecordWrite(CardContext& context, std::span<const uint8_t> data) {
  WritePlan plan = PlanWrite(context, data, IsRecordFile);
  if (plan.file && End(plan) > plan.file->recordSize) return {status::kBoundaryError};
  if (plan.file && plan.file->type == FileType::kLinear) {
    auto it = context.session.pending.find(data[0]);
    const bool recordOpen = it != context.session.pending.end() && it->second.recordOpen;
    const size_t stored = it != context.session.pending.end() ? it->second.file.records.size()
                                                              : plan.file->records.size();
    if (!recordOpen && stored >= plan.file->maxRecords) return {status::kBoundaryError};
  }
  return plan;
}

// A write whose frames have all arrived: checked again, its MAC or cryptogram removed, stored.
template <typename Store>
Reply CompleteWrite(CardContext& context, std::span<const uint8_t> data,
                    WritePlan (*planner)(CardContext&, std::span<const uint8_t>), Store store) {
  const WritePlan plan = planner(context, data);
  if (plan.status != status::kOk) return Reply::Status(plan.status);
  const auto bytes = context.Unprotect(plan.channel, data, kHeaderLength, plan.length);
  if (!bytes) return Reply::Status(status::kIntegrityError);
  store(plan, *bytes);
  return {};
}

Expectation ExpectationOf(const CardContext& context, const WritePlan& plan) {
  if (plan.status != status::kOk) return {plan.status};
  return {status::kOk, kHeaderLength + context.WireLength(plan.channel, plan.length)};
}

// Offset and length of a read, checked against what the file holds.
struct ReadRange {
  uint8_t status = status::kOk;
  uint32_t first = 0;
  uint32_t count = 0;
};

ReadRange RangeOf(std::span<const uint8_t> data, uint32_t available) {
  const uint32_t offset = ReadUint24(data, 1);
  uint32_t length = ReadUint24(data, 4);
  if (offset >= available) return {status::kBoundaryError};
  if (length == 0) length = available - offset;
  if (uint64_t{offset} + length > available) return {status::kBoundaryError};
  return {status::kOk, offset, length};
}

}  // namespace

Expectation ExpectWriteData(CardContext& context, std::span<const uint8_t> data) {
  return ExpectationOf(context, PlanDataWrite(context, data));
}

Reply WriteData(CardContext& context, std::span<const uint8_t> data) {
  return CompleteWrite(context, data, PlanDataWrite,
                       [&](const WritePlan& plan, const Bytes& bytes) {
                         DesfireFile& target = plan.file->type == FileType::kBackup
                                                   ? PendingCopy(context, data[0], *plan.file).file
                                                   : *plan.file;
                         std::copy(bytes.begin(), bytes.end(), target.data.begin() + plan.offset);
                       });
}

Reply ReadData(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() != kHeaderLength) return Reply::Status(status::kLengthError);
  const OpenedFile opened =
      OpenFile(context, data[0], IsDataFile, {&AccessRights::read, &AccessRights::readWrite});
  if (opened.status != status::kOk) return Reply::Status(opened.status);
  const DesfireFile& file = *opened.file;
  const ReadRange range = RangeOf(data, static_cast<uint32_t>(file.data.size()));
  if (range.status != status::kOk) return Reply::Status(range.status);
  // A backup file shows its committed image until CommitTransaction.
  const auto begin = file.data.begin() + range.first;
  return Reply::Data(context.Protect(opened.channel, Bytes(begin, begin + range.count)));
}

Expectation ExpectWriteRecord(CardContext& context, std::span<const uint8_t> data) {
  return ExpectationOf(context, PlanRecordWrite(context, data));
}

Reply WriteRecord(CardContext& context, std::span<const uint8_t> data) {
  return CompleteWrite(
      context, data, PlanRecordWrite, [&](const WritePlan& plan, const Bytes& bytes) {
        PendingFile& pending = PendingCopy(context, data[0], *plan.file);
        if (!pending.recordOpen) {
          pending.file.records.emplace_back(plan.file->recordSize, 0);
          pending.recordOpen = true;
        }
        std::copy(bytes.begin(), bytes.end(), pending.file.records.back().begin() + plan.offset);
      });
}

Reply ReadRecords(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() != kHeaderLength) return Reply::Status(status::kLengthError);
  const OpenedFile opened =
      OpenFile(context, data[0], IsRecordFile, {&AccessRights::read, &AccessRights::readWrite});
  if (opened.status != status::kOk) return Reply::Status(opened.status);
  const DesfireFile& file = *opened.file;
  const auto stored = static_cast<uint32_t>(file.records.size());
  const ReadRange range = RangeOf(data, stored);
  if (range.status != status::kOk) return Reply::Status(range.status);
  // The offset counts back from the newest record; the answer runs oldest first.
  Bytes records;
  for (uint32_t i = stored - range.first - range.count; i < stored - range.first; ++i) {
    records.insert(records.end(), file.records[i].begin(), file.records[i].end());
  }
  return Reply::Data(context.Protect(opened.channel, records));
}

Reply ClearRecordFile(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() != 1) return Reply::Status(status::kLengthError);
  const OpenedFile opened = OpenFile(context, data[0], IsRecordFile, {&AccessRights::readWrite});
  if (opened.status != status::kOk) return Reply::Status(opened.status);
  PendingFile& pending = PendingCopy(context, data[0], *opened.file);
  pending.file.records.clear();
  pending.recordOpen = false;
  return {};
}

}  // namespace tarsin::sim::desfire
