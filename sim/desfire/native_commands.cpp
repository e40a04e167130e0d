// SPDX-License-Identifier: Apache-2.0
#include "desfire/native_commands.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tarsin::sim::desfire {

namespace {

constexpr std::array kCommands{
    NativeCommand{0x0A, Authenticate},
    NativeCommand{0x0C, Credit},
    NativeCommand{0x1A, AuthenticateIso},
    NativeCommand{0x1C, LimitedCredit},
    NativeCommand{0x3B, WriteRecord, ExpectWriteRecord},
    NativeCommand{0x3D, WriteData, ExpectWriteData},
    NativeCommand{0x45, GetKeySettings},
    NativeCommand{0x51, GetCardUid},
    NativeCommand{0x54, ChangeKeySettings},
    NativeCommand{0x5A, SelectApplication},
    NativeCommand{0x5C, SetConfiguration},
    NativeCommand{0x5F, ChangeFileSettings},
    NativeCommand{0x60, GetVersion},
    NativeCommand{0x64, GetKeyVersion},
    NativeCommand{0x6A, GetApplicationIds},
    NativeCommand{0x6C, GetValue},
    NativeCommand{0x6D, GetDfNames},
    NativeCommand{0x6E, GetFreeMemory},
    NativeCommand{0x6F, GetFileIds},
    NativeCommand{0xA7, AbortTransaction},
    NativeCommand{0xAA, AuthenticateAes},
    NativeCommand{0xBB, ReadRecords},
    NativeCommand{0xBD, ReadData},
    NativeCommand{0xC0, CreateCyclicRecordFile},
    NativeCommand{0xC1, CreateLinearRecordFile},
    NativeCommand{0xC4, ChangeKey},
    NativeCommand{0xC7, CommitTransaction},
    NativeCommand{0xCA, CreateApplication},
    NativeCommand{0xCB, CreateBackupDataFile},
    NativeCommand{0xCC, CreateValueFile},
    NativeCommand{0xCD, CreateStdDataFile},
    NativeCommand{0xDA, DeleteApplication},
    NativeCommand{0xDC, Debit},
    NativeCommand{0xDF, DeleteFile},
    NativeCommand{0xEB, ClearRecordFile},
    NativeCommand{0xF5, GetFileSettings},
    NativeCommand{0xFC, FormatPicc},
};

}  // namespace

const NativeCommand* FindNativeCommand(uint8_t instruction) {
  const auto* it =
      std::find_if(kCommands.begin(), kCommands.end(),
                   [instruction](const NativeCommand& c) { return c.instruction == instruction; });
  return it == kCommands.end() ? nullptr : &*it;
}

FileLookup LookUpFile(CardContext& context, uint8_t fileNumber) {
  Application* application = context.SelectedApplication();
  if (!application) return {status::kPermissionDenied};
  auto it = application->files.find(fileNumber);
  if (it == application->files.end()) return {status::kFileNotFound};
  return {status::kOk, &it->second};
}

OpenedFile OpenFile(CardContext& context, uint8_t fileNumber, bool (*accepts)(const DesfireFile&),
                    std::initializer_list<Right> rights) {
  const FileLookup found = LookUpFile(context, fileNumber);
  if (!found.file) return {found.status};
  if (!accepts(*found.file)) return {status::kParameterError};
  std::vector<uint8_t> keys;
  for (Right right : rights) keys.push_back(found.file->access.*right);
  const AccessDecision decision = context.Authorize(*found.file, keys);
  if (decision.status != status::kOk) return {decision.status};
  return {status::kOk, found.file, decision.channel};
}

bool IsDataFile(const DesfireFile& file) {
  return file.type == FileType::kStandard || file.type == FileType::kBackup;
}

bool IsRecordFile(const DesfireFile& file) {
  return file.type == FileType::kLinear || file.type == FileType::kCyclic;
}

bool IsValueFile(const DesfireFile& file) {
  return file.type == FileType::kValue;
}

PendingFile& PendingCopy(CardContext& context, uint8_t fileNumber, const DesfireFile& committed) {
  auto [it, inserted] = context.session.pending.try_emplace(fileNumber);
  if (inserted) it->second.file = committed;
  return it->second;
}

}  // namespace tarsin::sim::desfire
