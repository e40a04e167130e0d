// SPDX-License-Identifier: Apache-2.0
#include "automation/member_errors.h"

#include <fmt/format.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <span>

namespace tarsin::automation {
namespace {

using namespace errors;
using Entries = std::initializer_list<ErrorEntry>;

// What every command to the card can leave: the encoder closed, no card, the reader's refusal,
// the PC/SC library or one of its entry points missing.
constexpr ErrorEntry kExchange[] = {kEncoderClosed, kNoCard, kCommandFailed, kFileNotFound,
                                    kEntryPointNotFound};
// Connecting to the reader and the card.
constexpr ErrorEntry kSession[] = {kEncoderClosed, kCannotEstablish, kCannotConnect,     kNoCard,
                                   kCommandFailed, kFileNotFound,    kEntryPointNotFound};
// What the MIFARE members add: their keys and blocks checked, the card's answers.
// (A refused MIFARE authentication is a failed reader command.)
constexpr Entries kMifareRead = {kKeyLength, kReadError};
constexpr Entries kMifareWrite = {kKeyLength, kReadError, kWriteError, kDataBlocLength,
                                  kIncorrectOffsets};
constexpr Entries kMifareTrailer = {kKeyLength, kReadError, kWriteError, kIncorrectBX,
                                    kSecurityInformation};
// Every DESFire command: its card answer refused or unverified, the session it needs missing.
constexpr Entries kDesfire = {kOperationFailed, kNotAuthenticated, kRootLevelOnly, kForgedAnswer};
constexpr Entries kDesfireSelect = {kAuthenticationFailure, kIncorrectApplicationId,
                                    kCannotConnectPicc,     kBadKeyNumber,
                                    kBadKeyLength,          kInvalidKey,
                                    kRandomUnavailable};
constexpr Entries kDesfireApplication = {kIncorrectApplicationId, kInvalidParameter};
constexpr Entries kDesfireKey = {kBadKeyNumber, kBadKeyLength, kInvalidParameter,
                                 kRandomUnavailable};
constexpr Entries kDesfireFile = {kBadKeyNumber,      kInvalidCommunicationSettings,
                                  kInvalidFileNumber, kInvalidFileSize,
                                  kInvalidLimits,     kValueOutOfBounds,
                                  kInvalidRecordSize, kInvalidRecordCount,
                                  kFileNotFoundOnCard};
constexpr Entries kDesfireData = {kInvalidFileNumber, kInvalidOffset, kInvalidLength,
                                  kFileNotFoundOnCard, kWrongFileType};
constexpr Entries kDesfireValue = {kInvalidFileNumber, kInvalidAmount,      kFileNotFoundOnCard,
                                   kWrongFileType,     kValueExceedsLimits, kCreditExceedsLimit,
                                   kNoBackupChanges};

// The union of `groups` (each given once), in catalogue order.
std::vector<ErrorEntry> Join(std::initializer_list<std::span<const ErrorEntry>> groups) {
  std::vector<ErrorEntry> joined;
  for (const ErrorEntry& entry : kErrorCatalogue) {
    const auto listed = [&](std::span<const ErrorEntry> group) {
      return std::any_of(group.begin(), group.end(),
                         [&](const ErrorEntry& e) { return e.number == entry.number; });
    };
    if (std::any_of(groups.begin(), groups.end(), listed)) joined.push_back(entry);
  }
  return joined;
}

std::span<const ErrorEntry> Of(const Entries& entries) {
  return {entries.begin(), entries.size()};
}

const std::map<std::string_view, std::vector<ErrorEntry>>& Table() {
  static const auto table = [] {
    const std::vector<ErrorEntry> read = Join({kExchange, Of(kMifareRead)});
    const std::vector<ErrorEntry> write = Join({kExchange, Of(kMifareWrite)});
    const std::vector<ErrorEntry> trailer = Join({kExchange, Of(kMifareTrailer)});
    const std::vector<ErrorEntry> select = Join({kExchange, Of(kDesfire), Of(kDesfireSelect)});
    const std::vector<ErrorEntry> desfire = Join({kExchange, Of(kDesfire)});
    const std::vector<ErrorEntry> application =
        Join({kExchange, Of(kDesfire), Of(kDesfireApplication)});
    const std::vector<ErrorEntry> key = Join({kExchange, Of(kDesfire), Of(kDesfireKey)});
    const std::vector<ErrorEntry> file = Join({kExchange, Of(kDesfire), Of(kDesfireFile)});
    const std::vector<ErrorEntry> data = Join({kExchange, Of(kDesfire), Of(kDesfireData)});
    const std::vector<ErrorEntry> value = Join({kExchange, Of(kDesfire), Of(kDesfireValue)});
    const std::vector<ErrorEntry> session = Join({kSession});
    const std::vector<ErrorEntry> exchange = Join({kExchange});
    return std::map<std::string_view, std::vector<ErrorEntry>>{
        {"EncoderState", session},
        {"ReaderType", Join({Of({kEncoderClosed})})},
        {"Configure", Join({kSession, Of({kDialogUnavailable})})},
        {"ReOpenEncoder", session},
        {"OpenEncoder", session},
        {"CloseEncoder", session},
        {"ReadSerialNumber", exchange},
        {"Escape", exchange},
        {"EscapeExt", exchange},
        {"ReadDataBloc", read},
        {"MifareReadDataBloc", read},
        {"ReadManufacturerCode", read},
        {"MifareReadManufacturerCode", read},
        {"ReadSectorTrailer", trailer},
        {"MifareReadSectorTrailer", trailer},
        {"WriteDataBloc", write},
        {"MifareWriteDataBloc", write},
        {"WriteValueBloc", write},
        {"MifareWriteValueBloc", write},
        {"WriteBytesInBloc", write},
        {"MifareWriteBytesInBloc", write},
        {"WriteSectorTrailer", trailer},
        {"MifareWriteSectorTrailer", trailer},
        {"DESFireSelectRoot", select},
        {"DESFireSelectApplication", select},
        {"DESFireFormat", desfire},
        {"DESFireCreateApplication", application},
        {"DESFireDeleteApplication", application},
        {"DESFireGetApplications", desfire},
        {"DESFireGetVersion", application},
        {"DESFireChangeKey", key},
        {"DESFireGetKeyVersion", key},
        {"DESFireGetKeySettings", key},
        {"DESFireChangeKeySettings", key},
        {"DESFireGetFileIDs", desfire},
        {"DESFireCreateStdDataFile", file},
        {"DESFireCreateBackupDataFile", file},
        {"DESFireCreateValueFile", file},
        {"DESFireCreateLinearRecordFile", file},
        {"DESFireCreateCyclicRecordFile", file},
        {"DESFireDeleteFile", file},
        {"DESFireGetFileSettings", file},
        {"DESFireChangeFileSettings", file},
        {"DESFireCommitTransaction", value},
        {"DESFireAbortTransaction", value},
        {"DESFireWriteData", data},
        {"DESFireReadData", data},
        {"DESFireWriteRecord", data},
        {"DESFireReadRecords", data},
        {"DESFireClearRecordFile", data},
        {"DESFireGetValue", value},
        {"DESFireDebit", value},
        {"DESFireCredit", value},
        {"DESFireLimitedCredit", value},
        {"DESFireGetCardUID", desfire},
        {"DESFireFreeMemory", desfire},
        {"DESFireDiversifyKey",
         Join({Of({kOperationFailed, kBadKeyLength, kInvalidKey, kInvalidParameter})})},
    };
  }();
  return table;
}

}  // namespace

const std::vector<ErrorEntry>& ErrorsOf(std::string_view member) {
  static const std::vector<ErrorEntry> none;
  const auto found = Table().find(member);
  return found == Table().end() ? none : found->second;
}

std::string ErrorNumberText(uint32_t number) {
  return number > 0xFFFF ? fmt::format("0x{:08X}", number) : std::to_string(number);
}

std::string ErrorNumbersText(std::string_view member) {
  std::string text;
  for (const ErrorEntry& error : ErrorsOf(member)) {
    text += (text.empty() ? "" : ", ") + ErrorNumberText(error.number);
  }
  return text;
}

}  // namespace tarsin::automation
