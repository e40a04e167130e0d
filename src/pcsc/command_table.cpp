// SPDX-License-Identifier: Apache-2.0
#include "pcsc/command_table.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "core/ascii_text.h"
#include "core/failure.h"
#include "core/numeric_text.h"
#include "core/variant_text.h"

namespace tarsin {
namespace {

using F = PlaceholderFill;

constexpr Placeholder kFileNumber{"[FILE_NUMBER]", 0};
constexpr Placeholder kCommSet{"[COMM_SET]", 1};
constexpr Placeholder kAccessRights{"[ACCESS_RIGHTS]", 2};
constexpr Placeholder kLength1{"[LENGTH]", 1};
constexpr Placeholder kData2{"[DATA]", 2};
constexpr Placeholder kOffset1{"[OFFSET]", 1};
constexpr Placeholder kLength2{"[LENGTH]", 2};
constexpr Placeholder kBlockNumber{"[BLOC_NUMBER]", 0, PlaceholderFill::Address};

const std::array kCommands = {
    Command{ec_Escape, "ec_Escape", "Escape", "", {}, TemplateKind::PassThrough},
    Command{ec_EscapeExt, "ec_EscapeExt", "EscapeExt", "", {}, TemplateKind::PassThrough},
    Command{ec_GetUID, "GetUID", "GetUID", "FFCA000000"},
    Command{ec_ContinueResponse, "ContinueResponse", "MoreResponse", "90AF000000"},
    Command{ec_LoadKey,
            "LoadKey",
            "LoadKey",
            "FF 82 20 [KEY_NUMBER] [KEY_LENGTH] [KEY]",
            {{{"[KEY_NUMBER]", 0}, {"[KEY_LENGTH]", 1, F::HalfLength}, {"[KEY]", 1}}}},
    Command{ec_GeneralAuthenticate,
            "GeneralAuthenticate",
            "GeneralAuthenticate",
            "FF 86 00 00 05 01 [BLOC] [KEY_TYPE] [KEY_NUMBER]",
            {{{"[BLOC]", 1, F::Address}, {"[KEY_TYPE]", 2}, {"[KEY_NUMBER]", 0}}}},
    Command{ec_MifareClassicRead,
            "MifareClassicRead",
            "MifareClassicRead",
            "FF B0 [BLOC_NUMBER] 00",
            {{kBlockNumber}}},
    Command{ec_MifareClassicWrite,
            "MifareClassicWrite",
            "MifareClassicWrite",
            "FF D6 [BLOC_NUMBER] 10 [DATA]",
            {{kBlockNumber, kData2}}},
    Command{ec_ReadBinary, "ReadBinary", "ReadBinary", "FF B0 [BLOC_NUMBER] 00", {{kBlockNumber}}},
    Command{ec_DesfireSelectApplication,
            "DesfireSelectApplication",
            "DESFireSelectApplication",
            "905A000003[APPID]00",
            {{{"[APPID]", 0}}}},
    Command{ec_DesfireAuthenticate1, "DesfireAuthenticate1", "DESFireAuthenticate", ""},
    Command{ec_DesfireAuthenticate2,
            "DesfireAuthenticate2",
            "DESFireAuthenticate",
            "900A000001[KEY_NUMBER]00",
            {{{"[KEY_NUMBER]", 0}}}},
    Command{ec_DesfireAuthenticate3,
            "DesfireAuthenticate3",
            "DesfireAuthenticate",
            "90AF000010[TOKEN]00",
            {{{"[TOKEN]", 0}}}},
    Command{ec_DesfireGetVersion, "DesfireGetVersion", "DesfireGetVersion", "9060000000"},
    Command{ec_DesfireFormat, "DesfireFormat", "DesfireFormat", "90FC000000"},
    Command{ec_DesfireGetApplications, "DesfireGetApplications", "DesfireGetApplications",
            "906A000000"},
    Command{ec_DesfireCreateApplication,
            "DesfireCreateApplication",
            "DesfireCreateApplication",
            "90CA000005[APP_ID][KEY_SETTINGS][KEYS_COUNT]00",
            {{{"[APP_ID]", 0}, {"[KEY_SETTINGS]", 1, F::Byte}, {"[KEYS_COUNT]", 2, F::Byte}}}},
    Command{ec_DesfireDeleteApplication,
            "DesfireDeleteApplication",
            "DesfireDeleteApplication",
            "90DA000003[APP_ID]00",
            {{{"[APP_ID]", 0}}}},
    Command{ec_DesfireGetKeyVersion,
            "DesfireGetKeyVersion",
            "DesfireGetKeyVersion",
            "9064000001[KEY_NUMBER]00",
            {{{"[KEY_NUMBER]", 0}}}},
    Command{ec_DesfireGetKeySettings, "DesfireGetKeySettings", "DesfireGetKeySettings",
            "9045000000"},
    Command{ec_DesfireChangeKey,
            "DesfireChangeKey",
            "DesfireChangeKey",
            "90C4000019[KEY_NUMBER][KEY_DATA]00",
            {{{"[KEY_NUMBER]", 0}, {"[KEY_DATA]", 1}}}},
    Command{ec_DesfireChangeKeySettings,
            "DesfireChangeKeySettings",
            "DesfireChangeKeySettings",
            "9054000008[KEY_SETTINGS]00",
            {{{"[KEY_SETTINGS]", 0}}}},
    Command{ec_DesfireGetFileIds, "DesfireGetFileIds", "DesfireGetFileIDs", "906F000000"},
    Command{ec_DesfireGetFileSettings,
            "DesfireGetFileSettings",
            "DesfireGetFileSettings",
            "90F5000001[FILE_NUMBER]00",
            {{kFileNumber}}},
    Command{ec_DesfireChangeFileSettings1,
            "DesfireChangeFileSettings1",
            "DesfireChangeFileSettings",
            "905F000004[FILE_NUMBER][COMM_SET][ACCESS_RIGHTS]00",
            {{kFileNumber, kCommSet, kAccessRights}}},
    Command{ec_DesfireChangeFileSettings2,
            "DesfireChangeFileSettings2",
            "DesfireChangeFileSettings",
            "905F000009[FILE_NUMBER][FILE_SETTINGS]00",
            {{kFileNumber, {"[FILE_SETTINGS]", 1}}}},
    Command{ec_DesfireCreateStdDataFile,
            "DesfireCreateStdDataFile",
            "DesfireCreateStdDataFile",
            "90CD000007[FILE_NUMBER][COMM_SET][ACCESS_RIGHTS][SIZE]00",
            {{kFileNumber, kCommSet, kAccessRights, {"[SIZE]", 3}}}},
    Command{ec_DesfireCreateBackupDataFile,
            "DesfireCreateBackupDataFile",
            "DesfireCreateBackupDataFile",
            "90CB000007[FILE_NUMBER][COMM_SET][ACCESS_RIGHTS][SIZE]00",
            {{kFileNumber, kCommSet, kAccessRights, {"[SIZE]", 3}}}},
    Command{ec_DesfireCreateValueFile,
            "DesfireCreateValueFile",
            "DesfireCreateValueFile",
            "90CC000011[FILE_NUMBER][COMM_SET][ACCESS_RIGHTS][LIMIT_LOW][LIMIT_UP][VALUE]"
            "[LIMITED_CREDIT]00",
            {{kFileNumber,
              kCommSet,
              kAccessRights,
              {"[LIMIT_LOW]", 3},
              {"[LIMIT_UP]", 4},
              {"[VALUE]", 5},
              {"[LIMITED_CREDIT]", 6}}}},
    Command{ec_DesfireCreateLinearRecordFile,
            "DesfireCreateLinearRecordFile",
            "DesfireCreateLinearRecordFile",
            "90C100000A[FILE_NUMBER][COMM_SET][ACCESS_RIGHTS][REC_SIZE][REC_COUNT]00",
            {{kFileNumber, kCommSet, kAccessRights, {"[REC_SIZE]", 3}, {"[REC_COUNT]", 4}}}},
    Command{ec_DesfireCreateCyclicRecordFile,
            "DesfireCreateCyclicRecordFile",
            "DesfireCreateCyclicRecordFile",
            "90C000000A[FILE_NUMBER][COMM_SET][ACCESS_RIGHTS][REC_SIZE][REC_COUNT]00",
            {{kFileNumber, kCommSet, kAccessRights, {"[REC_SIZE]", 3}, {"[REC_COUNT]", 4}}}},
    Command{ec_DesfireDeleteFile,
            "DesfireDeleteFile",
            "DesfireDeleteFile",
            "90DF000001[FILE_NUMBER]00",
            {{kFileNumber}}},
    Command{ec_DesfireReadData,
            "DesfireReadData",
            "DesfireReadData",
            "90BD000007[FILE_NUMBER][OFFSET][LENGTH]00",
            {{kFileNumber, kOffset1, kLength2}}},
    Command{ec_DesfireWriteData,
            "DesfireWriteData",
            "DesfireWriteData",
            "903D0000[LENGTH][DATA]00",
            {{kLength1, kData2}}},
    Command{ec_DesfireReadRecords,
            "DesfireReadRecords",
            "DesfireReadRecords",
            "90BB000007[FILE_NUMBER][OFFSET][LENGTH]00",
            {{kFileNumber, kOffset1, kLength2}}},
    Command{ec_DesfireWriteRecord,
            "DesfireWriteRecord",
            "DesfireWriteRecord",
            "903B0000[LENGTH][DATA]00",
            {{kLength1, kData2}}},
    Command{ec_DesfireClearRecordFile,
            "DesfireClearRecordFile",
            "DesfireClearRecordFile",
            "90EB000001[FILE_NUMBER]00",
            {{kFileNumber}}},
    Command{ec_DesfireGetValue,
            "DesfireGetValue",
            "DesfireGetValue",
            "906C000001[FILE_NUMBER]00",
            {{kFileNumber}}},
    Command{ec_DesfireDebit,
            "DesfireDebit",
            "DesfireDebit",
            "90DC0000[LENGTH][DATA]00",
            {{kLength1, kData2}}},
    Command{ec_DesfireCredit,
            "DesfireCredit",
            "DesfireCredit",
            "900C0000[LENGTH][DATA]00",
            {{kLength1, kData2}}},
    Command{ec_DesfireLimitedCredit,
            "DesfireLimitedCredit",
            "DesfireLimitedCredit",
            "901C0000[LENGTH][DATA]00",
            {{kLength1, kData2}}},
    Command{ec_DesfireCommitTransaction, "DesfireCommitTransaction", "DesfireCommitTransaction",
            "90C7000000"},
    Command{ec_DesfireAbortTransaction, "DesfireAbortTransaction", "DesfireAbortTransaction",
            "90A7000000"},
    Command{ec_DesfireSendNextData,
            "DesfireSendNextData",
            "",
            "90AF0000[LENGTH][DATA]00",
            {{kLength1, kData2}}},
    Command{ec_DesfireAuthenticateIso,
            "DesfireAuthenticateIso",
            "DESFireAuthenticate",
            "901A000001[KEY_NUMBER]00",
            {{{"[KEY_NUMBER]", 0}}}},
    Command{ec_DesfireAuthenticateAes,
            "DesfireAuthenticateAes",
            "DESFireAuthenticate",
            "90AA000001[KEY_NUMBER]00",
            {{{"[KEY_NUMBER]", 0}}}},
    Command{ec_DesfireGetCardUid, "DesfireGetCardUID", "DesfireGetCardUID", "9051000000"},
    Command{ec_DesfireFreeMemory, "DesfireFreeMemory", "DesfireFreeMemory", "906E000000"},
};

const Command kUnknownCommand{0, "Unknown", "Unknown", ""};

// A placeholder element as a number, when it reads wholly as one.
std::optional<double> ElementNumber(const Variant& element) {
  if (element.isNumeric()) return element.asDouble();
  if (element.kind() == Variant::Kind::Bool) return element.asBool() ? -1.0 : 0.0;
  if (!element.isString()) return std::nullopt;
  return WholeNumber(element.asString());
}

std::optional<std::string> FillValue(const Placeholder& placeholder, const Variant::Array& params) {
  if (placeholder.element < 0 || static_cast<size_t>(placeholder.element) >= params.size()) {
    return std::nullopt;
  }
  const Variant& element = params[static_cast<size_t>(placeholder.element)];
  switch (placeholder.fill) {
    case F::Text:
      return ElementText(element);
    case F::HalfLength: {
      const auto text = ElementText(element);
      if (!text) return std::nullopt;
      const auto half = RoundToInt32(static_cast<double>(text->size()) / 2.0);
      if (!half || *half > 255) return std::nullopt;
      return fmt::format("{:02X}", *half);
    }
    case F::Byte: {
      const auto number = ElementNumber(element);
      if (!number) return std::nullopt;
      const auto rounded = RoundToInt32(*number);
      if (!rounded || *rounded < 0 || *rounded > 255) return std::nullopt;
      return fmt::format("{:02X}", *rounded);
    }
    case F::Address: {
      // A block outside the two address bytes must not shift the rest of the command.
      const auto text = ElementText(element);
      if (!text || text->size() != 4 ||
          !std::all_of(text->begin(), text->end(),
                       [](unsigned char c) { return std::isxdigit(c) != 0; })) {
        return std::nullopt;
      }
      return *text;
    }
  }
  return std::nullopt;
}

void ReplaceAllIgnoringCase(std::string& text, std::string_view name, const std::string& value) {
  auto equalIgnoringCase = [](char a, char b) { return AsciiLower(a) == AsciiLower(b); };
  size_t from = 0;
  while (true) {
    auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                          name.begin(), name.end(), equalIgnoringCase);
    if (it == text.end()) return;
    const size_t at = static_cast<size_t>(it - text.begin());
    text.replace(at, name.size(), value);
    from = at + value.size();
  }
}

}  // namespace

const Command& FindCommand(int32_t code) noexcept {
  for (const Command& command : kCommands) {
    if (command.code == code) return command;
  }
  return kUnknownCommand;
}

std::string FillTemplate(const Command& command, const Variant::Array& params) {
  if (command.kind == TemplateKind::PassThrough) {
    std::string text;
    const auto request = params.empty() ? std::optional<std::string>() : ElementText(params[0]);
    for (char c : request.value_or(std::string())) {
      if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) {
        text += c;
      } else if (c >= 'a' && c <= 'z') {
        text += static_cast<char>(c - 'a' + 'A');
      }
    }
    return text;
  }
  std::string text(command.hexTemplate);
  for (const Placeholder& placeholder : command.placeholders) {
    if (placeholder.name.empty()) break;
    if (auto value = FillValue(placeholder, params)) {
      ReplaceAllIgnoringCase(text, placeholder.name, *value);
    }
  }
  return text;
}

ByteVector NativeFrame(const Command& command, std::span<const uint8_t> data) {
  std::string text(command.hexTemplate);
  std::erase(text, ' ');
  if (text.find('[') == std::string::npos) return HexToBytes(text);
  // Lc is one byte: longer data goes in frames of its own.
  if (data.size() > 0xFF) throw Failure(errors::kCommandFailed, "NativeFrame");
  ByteVector frame = HexToBytes(text.substr(0, 8));
  frame.push_back(static_cast<uint8_t>(data.size()));
  frame.insert(frame.end(), data.begin(), data.end());
  frame.push_back(0x00);
  return frame;
}

std::string ErrorName(const Command& command, const Variant::Array& params) {
  if (!command.errorName.empty() || command.code != ec_DesfireSendNextData) {
    return std::string(command.errorName);
  }
  return params.empty() ? std::string() : ElementText(params[0]).value_or(std::string());
}

}  // namespace tarsin
