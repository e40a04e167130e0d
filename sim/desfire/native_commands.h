// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

#include "desfire/card_session.h"

namespace tarsin::sim::desfire {

using Handler = Reply (*)(CardContext&, std::span<const uint8_t> data);

// For commands whose data may arrive in several frames: the whole length the command announces
// in its first frame, or the status that refuses it at once.
struct Expectation {
  uint8_t status = status::kOk;
  size_t length = 0;
};
using Expect = Expectation (*)(CardContext&, std::span<const uint8_t> firstFrame);

struct NativeCommand {
  uint8_t instruction = 0;
  Handler handle = nullptr;
  Expect expect = nullptr;
};

// The native command set the card answers; nullptr for an unknown instruction.
const NativeCommand* FindNativeCommand(uint8_t instruction);

// The second pass of the authentication, reached through the additional-frame command.
Reply AuthenticateSecondPass(CardContext& context, std::span<const uint8_t> data);
Reply Ev1AuthenticateSecondPass(CardContext& context, std::span<const uint8_t> data);

// The key the command addresses, or nullptr when the current level has no such key.
Key* AddressedKey(CardContext& context, uint8_t keyNumber);
// Who may change key `keyNumber` of the current level: the status that refuses it, or kOk.
uint8_t ChangeKeyPermission(CardContext& context, uint8_t keyNumber);

// The file of the selected application, or the status that refuses the command.
struct FileLookup {
  uint8_t status = status::kOk;
  DesfireFile* file = nullptr;
};
FileLookup LookUpFile(CardContext& context, uint8_t fileNumber);

using Right = uint8_t AccessRights::*;

// A file opened for a command: it exists, is of a kind the command takes, and the caller holds
// one of `rights`; `channel` is how its data travels.
struct OpenedFile {
  uint8_t status = status::kOk;
  DesfireFile* file = nullptr;
  Channel channel = Channel::kPlain;
};
OpenedFile OpenFile(CardContext& context, uint8_t fileNumber, bool (*accepts)(const DesfireFile&),
                    std::initializer_list<Right> rights);

bool IsDataFile(const DesfireFile& file);
bool IsRecordFile(const DesfireFile& file);
bool IsValueFile(const DesfireFile& file);

// The working copy of a file inside the running transaction.
PendingFile& PendingCopy(CardContext& context, uint8_t fileNumber, const DesfireFile& committed);

// Commands of each family (one source file per family).
Reply GetVersion(CardContext&, std::span<const uint8_t>);
Reply SelectApplication(CardContext&, std::span<const uint8_t>);
Reply FormatPicc(CardContext&, std::span<const uint8_t>);
Reply CreateApplication(CardContext&, std::span<const uint8_t>);
Reply DeleteApplication(CardContext&, std::span<const uint8_t>);
Reply GetApplicationIds(CardContext&, std::span<const uint8_t>);
Reply GetFreeMemory(CardContext&, std::span<const uint8_t>);
Reply GetDfNames(CardContext&, std::span<const uint8_t>);
Reply GetCardUid(CardContext&, std::span<const uint8_t>);
Reply SetConfiguration(CardContext&, std::span<const uint8_t>);

Reply Authenticate(CardContext&, std::span<const uint8_t>);
Reply AuthenticateIso(CardContext&, std::span<const uint8_t>);
Reply AuthenticateAes(CardContext&, std::span<const uint8_t>);
Reply ChangeKey(CardContext&, std::span<const uint8_t>);
// The EV1 form of ChangeKey, in ISO and AES sessions.
Reply ChangeKeyEv1(CardContext&, std::span<const uint8_t>);
Reply GetKeyVersion(CardContext&, std::span<const uint8_t>);
Reply GetKeySettings(CardContext&, std::span<const uint8_t>);
Reply ChangeKeySettings(CardContext&, std::span<const uint8_t>);

Reply CreateStdDataFile(CardContext&, std::span<const uint8_t>);
Reply CreateBackupDataFile(CardContext&, std::span<const uint8_t>);
Reply CreateValueFile(CardContext&, std::span<const uint8_t>);
Reply CreateLinearRecordFile(CardContext&, std::span<const uint8_t>);
Reply CreateCyclicRecordFile(CardContext&, std::span<const uint8_t>);
Reply GetFileIds(CardContext&, std::span<const uint8_t>);
Reply GetFileSettings(CardContext&, std::span<const uint8_t>);
Reply ChangeFileSettings(CardContext&, std::span<const uint8_t>);
Reply DeleteFile(CardContext&, std::span<const uint8_t>);

Reply ReadData(CardContext&, std::span<const uint8_t>);
Reply WriteData(CardContext&, std::span<const uint8_t>);
Expectation ExpectWriteData(CardContext&, std::span<const uint8_t>);
Reply ReadRecords(CardContext&, std::span<const uint8_t>);
Reply WriteRecord(CardContext&, std::span<const uint8_t>);
Expectation ExpectWriteRecord(CardContext&, std::span<const uint8_t>);
Reply ClearRecordFile(CardContext&, std::span<const uint8_t>);

Reply GetValue(CardContext&, std::span<const uint8_t>);
Reply Credit(CardContext&, std::span<const uint8_t>);
Reply Debit(CardContext&, std::span<const uint8_t>);
Reply LimitedCredit(CardContext&, std::span<const uint8_t>);
Reply CommitTransaction(CardContext&, std::span<const uint8_t>);
Reply AbortTransaction(CardContext&, std::span<const uint8_t>);

}  // namespace tarsin::sim::desfire
