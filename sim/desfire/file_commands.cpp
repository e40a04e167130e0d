// SPDX-License-Identifier: Apache-2.0
// File management inside the selected application.
#include <algorithm>

#include "desfire/native_commands.h"

namespace tarsin::sim::desfire {

namespace {

constexpr uint8_t kMaxFileNumber = 31;
constexpr uint32_t kAllocationUnit = 32;  // EEPROM is handed out in blocks of this size

uint32_t Blocks(uint64_t bytes) {
  return static_cast<uint32_t>((bytes + kAllocationUnit - 1) / kAllocationUnit * kAllocationUnit);
}

// What a new file takes from the card; a backup file keeps a second image.
uint64_t FootprintOf(const DesfireFile& file) {
  switch (file.type) {
    case FileType::kStandard:
      return Blocks(file.data.size());
    case FileType::kBackup:
      return 2ull * Blocks(file.data.size());
    case FileType::kValue:
      return kAllocationUnit;
    case FileType::kLinear:
    case FileType::kCyclic:
      break;
  }
  return Blocks(uint64_t{file.recordSize} * file.maxRecords);
}

// The checks every Create*File shares, then the file goes in when the memory suffices. In an
// application with ISO file ids, data and record files may carry one after the file number.
Reply AddFile(CardContext& context, std::span<const uint8_t> data, size_t expectedLength,
              DesfireFile file) {
  if (data.size() != expectedLength) return Reply::Status(status::kLengthError);
  Application* application = context.SelectedApplication();
  if (!application) return Reply::Status(status::kPermissionDenied);
  if (file.isoFid && !application->isoFid) return Reply::Status(status::kLengthError);
  if (!(application->keySettings & key_settings::kFreeCreateDelete) &&
      !context.AuthenticatedWith(0)) {
    return Reply::Status(status::kAuthenticationError);
  }
  const uint8_t number = data[0];
  if (number > kMaxFileNumber || (data[1] & ~0x03)) return Reply::Status(status::kParameterError);
  const bool taken = std::ranges::any_of(application->files, [&](const auto& entry) {
    return entry.first == number || (file.isoFid && entry.second.isoFid == file.isoFid);
  });
  if (taken) return Reply::Status(status::kDuplicateError);
  const uint64_t footprint = FootprintOf(file);
  CardMemory& memory = context.memory;
  if (footprint > memory.TotalMemory() - memory.usedMemory) {
    return Reply::Status(status::kOutOfMemory);
  }
  memory.usedMemory += static_cast<uint32_t>(footprint);
  file.communication = data[1];
  file.access = AccessRights::FromBytes(data[2], data[3]);
  application->files.emplace(number, std::move(file));
  return {};
}

// The command without its ISO file id (file number, settings, sizes), and the id if it had one.
struct FileCommand {
  Bytes data;
  std::optional<uint16_t> isoFid;
};
FileCommand WithoutIsoFid(std::span<const uint8_t> data, size_t plainLength) {
  if (data.size() != plainLength + 2) return {Bytes(data.begin(), data.end()), std::nullopt};
  Bytes plain{data[0]};
  plain.insert(plain.end(), data.begin() + 3, data.end());
  return {std::move(plain), static_cast<uint16_t>(data[1] | data[2] << 8)};
}

Reply AddDataFile(CardContext& context, std::span<const uint8_t> wire, FileType type) {
  const auto [data, isoFid] = WithoutIsoFid(wire, 7);
  if (data.size() != 7) return Reply::Status(status::kLengthError);
  const uint32_t size = ReadUint24(data, 4);
  if (size == 0) return Reply::Status(status::kParameterError);
  if (size > context.memory.TotalMemory()) return Reply::Status(status::kOutOfMemory);
  return AddFile(context, data, 7,
                 DesfireFile{.type = type, .data = Bytes(size, 0), .isoFid = isoFid});
}

Reply AddRecordFile(CardContext& context, std::span<const uint8_t> wire, FileType type) {
  const auto [data, isoFid] = WithoutIsoFid(wire, 10);
  if (data.size() != 10) return Reply::Status(status::kLengthError);
  const uint32_t recordSize = ReadUint24(data, 4);
  const uint32_t maxRecords = ReadUint24(data, 7);
  // A cyclic file keeps one record free for the write in progress.
  const uint32_t minimum = type == FileType::kCyclic ? 2 : 1;
  if (recordSize == 0 || maxRecords < minimum) return Reply::Status(status::kParameterError);
  return AddFile(
      context, data, 10,
      DesfireFile{
          .type = type, .recordSize = recordSize, .maxRecords = maxRecords, .isoFid = isoFid});
}

bool MayListDirectory(CardContext& context, const Application& application) {
  return (application.keySettings & key_settings::kFreeDirectory) || context.AuthenticatedWith(0);
}

}  // namespace

Reply CreateStdDataFile(CardContext& context, std::span<const uint8_t> data) {
  return AddDataFile(context, data, FileType::kStandard);
}

Reply CreateBackupDataFile(CardContext& context, std::span<const uint8_t> data) {
  return AddDataFile(context, data, FileType::kBackup);
}

Reply CreateLinearRecordFile(CardContext& context, std::span<const uint8_t> data) {
  return AddRecordFile(context, data, FileType::kLinear);
}

Reply CreateCyclicRecordFile(CardContext& context, std::span<const uint8_t> data) {
  return AddRecordFile(context, data, FileType::kCyclic);
}

Reply CreateValueFile(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() != 17) return Reply::Status(status::kLengthError);
  DesfireFile file{.type = FileType::kValue,
                   .lowerLimit = ReadInt32(data, 4),
                   .upperLimit = ReadInt32(data, 8),
                   .value = ReadInt32(data, 12),
                   .limitedCreditEnabled = (data[16] & 0x01) != 0};
  if (file.lowerLimit > file.upperLimit || file.value < file.lowerLimit ||
      file.value > file.upperLimit) {
    return Reply::Status(status::kParameterError);
  }
  return AddFile(context, data, 17, std::move(file));
}

Reply GetFileIds(CardContext& context, std::span<const uint8_t> data) {
  if (!data.empty()) return Reply::Status(status::kLengthError);
  Application* application = context.SelectedApplication();
  if (!application) return Reply::Status(status::kPermissionDenied);
  if (!MayListDirectory(context, *application)) return Reply::Status(status::kAuthenticationError);
  Bytes ids;
  for (const auto& [number, file] : application->files) ids.push_back(number);
  return Reply::Data(ids);
}

Reply GetFileSettings(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() != 1) return Reply::Status(status::kLengthError);
  Application* application = context.SelectedApplication();
  if (!application) return Reply::Status(status::kPermissionDenied);
  if (!MayListDirectory(context, *application)) return Reply::Status(status::kAuthenticationError);
  const FileLookup found = LookUpFile(context, data[0]);
  if (!found.file) return Reply::Status(found.status);
  const DesfireFile& file = *found.file;
  const auto access = file.access.ToBytes();
  Bytes settings{static_cast<uint8_t>(file.type), file.communication, access[0], access[1]};
  switch (file.type) {
    case FileType::kStandard:
    case FileType::kBackup:
      AppendUint24(settings, static_cast<uint32_t>(file.data.size()));
      break;
    case FileType::kValue:
      AppendInt32(settings, file.lowerLimit);
      AppendInt32(settings, file.upperLimit);
      AppendInt32(settings, file.limitedCreditValue);
      settings.push_back(file.limitedCreditEnabled ? 0x01 : 0x00);
      break;
    case FileType::kLinear:
    case FileType::kCyclic:
      AppendUint24(settings, file.recordSize);
      AppendUint24(settings, file.maxRecords);
      AppendUint24(settings, static_cast<uint32_t>(file.records.size()));
      break;
  }
  return Reply::Data(settings);
}

Reply ChangeFileSettings(CardContext& context, std::span<const uint8_t> data) {
  if (data.empty()) return Reply::Status(status::kLengthError);
  const FileLookup found = LookUpFile(context, data[0]);
  if (!found.file) return Reply::Status(found.status);
  DesfireFile& file = *found.file;
  const uint8_t change = file.access.change;
  if (change == 0xF) return Reply::Status(status::kPermissionDenied);
  Bytes settings;
  if (change == 0xE) {
    if (data.size() != 4) return Reply::Status(status::kLengthError);
    settings.assign(data.begin() + 1, data.end());
  } else {
    // Settings guarded by a key travel enciphered under the session key.
    if (!context.AuthenticatedWith(change)) return Reply::Status(status::kAuthenticationError);
    if (data.size() != 1 + context.WireLength(Channel::kEnciphered, 3)) {
      return Reply::Status(status::kLengthError);
    }
    const auto plain = context.Unprotect(Channel::kEnciphered, data, 1, 3);
    if (!plain) return Reply::Status(status::kIntegrityError);
    settings = *plain;
  }
  if (settings[0] & ~0x03) return Reply::Status(status::kParameterError);
  file.communication = settings[0];
  file.access = AccessRights::FromBytes(settings[1], settings[2]);
  return {};
}

Reply DeleteFile(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() != 1) return Reply::Status(status::kLengthError);
  Application* application = context.SelectedApplication();
  if (!application) return Reply::Status(status::kPermissionDenied);
  if (!(application->keySettings & key_settings::kFreeCreateDelete) &&
      !context.AuthenticatedWith(0)) {
    return Reply::Status(status::kAuthenticationError);
  }
  // The card does not give the memory back; only a format does.
  if (application->files.erase(data[0]) == 0) return Reply::Status(status::kFileNotFound);
  context.session.pending.erase(data[0]);
  return {};
}

}  // namespace tarsin::sim::desfire
