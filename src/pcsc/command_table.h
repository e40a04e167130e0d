// SPDX-License-Identifier: Apache-2.0
// The one catalogue of commands the component sends: code, the names used in the log and in
// LastError, and the hex template with its placeholders.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/hex_text.h"
#include "tarsin/variant.h"

namespace tarsin {

enum CommandCode : int32_t {
  ec_Escape = 257,
  ec_EscapeExt = 258,
  ec_GetUID = 513,
  ec_ContinueResponse = 515,
  ec_LoadKey = 769,
  ec_GeneralAuthenticate = 770,
  ec_MifareClassicRead = 771,
  ec_MifareClassicWrite = 772,
  ec_ReadBinary = 773,
  ec_DesfireSelectApplication = 1025,
  ec_DesfireAuthenticate1 = 1026,
  ec_DesfireAuthenticate2 = 1027,
  ec_DesfireAuthenticate3 = 1028,
  ec_DesfireGetVersion = 1029,
  ec_DesfireFormat = 1030,
  ec_DesfireGetApplications = 1031,
  ec_DesfireCreateApplication = 1032,
  ec_DesfireDeleteApplication = 1033,
  ec_DesfireGetKeyVersion = 1041,
  ec_DesfireGetKeySettings = 1042,
  ec_DesfireChangeKey = 1043,
  ec_DesfireChangeKeySettings = 1044,
  ec_DesfireGetFileIds = 1057,
  ec_DesfireGetFileSettings = 1058,
  ec_DesfireChangeFileSettings1 = 1059,
  ec_DesfireChangeFileSettings2 = 1060,
  ec_DesfireCreateStdDataFile = 1061,
  ec_DesfireCreateBackupDataFile = 1062,
  ec_DesfireCreateValueFile = 1063,
  ec_DesfireCreateLinearRecordFile = 1064,
  ec_DesfireCreateCyclicRecordFile = 1065,
  ec_DesfireDeleteFile = 1066,
  ec_DesfireReadData = 1073,
  ec_DesfireWriteData = 1074,
  ec_DesfireReadRecords = 1075,
  ec_DesfireWriteRecord = 1076,
  ec_DesfireClearRecordFile = 1077,
  ec_DesfireGetValue = 1078,
  ec_DesfireDebit = 1079,
  ec_DesfireCredit = 1080,
  ec_DesfireLimitedCredit = 1081,
  ec_DesfireCommitTransaction = 1082,
  ec_DesfireAbortTransaction = 1083,
  ec_DesfireSendNextData = 1089,
  // EV1 commands, beyond the described ones.
  ec_DesfireAuthenticateIso = 1090,
  ec_DesfireAuthenticateAes = 1091,
  ec_DesfireGetCardUid = 1092,
  ec_DesfireFreeMemory = 1093,
};

// How a placeholder's text is made from its element.
enum class PlaceholderFill {
  Text,        // the element as text (numbers in decimal)
  HalfLength,  // the element's character count / 2 (halves to even), two hex digits
  Byte,        // the element as a number 0..255, two hex digits; left unfilled otherwise
  Address,     // the element as four hex digits (P1 P2); left unfilled otherwise
};

struct Placeholder {
  std::string_view name;  // with its brackets, upper case
  int element;
  PlaceholderFill fill = PlaceholderFill::Text;
};

enum class TemplateKind {
  Fixed,        // the template with its placeholders
  PassThrough,  // built from element 0: letters and digits only
};

struct Command {
  int32_t code;
  std::string_view logName;
  std::string_view errorName;  // empty: element 0 gives it
  std::string_view hexTemplate;
  std::array<Placeholder, 7> placeholders{};
  TemplateKind kind = TemplateKind::Fixed;
};

// The row of `code`; the "Unknown" row (empty template) for any other code.
const Command& FindCommand(int32_t code) noexcept;

// The command text of `command` with its placeholders filled from `params` (compared without
// regard to case). A placeholder whose value cannot be produced stays in the text.
std::string FillTemplate(const Command& command, const Variant::Array& params);

// The frame of a DESFire native command carrying `data`: class, instruction and parameters from
// the row's template, then Lc and the data when the template has placeholders, then Le. Empty
// for a row whose template is empty. Raises Failure when the data cannot fit one frame.
ByteVector NativeFrame(const Command& command, std::span<const uint8_t> data);

// The error name of `command` for this call (element 0 for the send-next-data row).
std::string ErrorName(const Command& command, const Variant::Array& params);

}  // namespace tarsin
