// SPDX-License-Identifier: Apache-2.0
#include "automation/dispatch.h"

#include <fmt/format.h>

#include <cctype>

#include "automation/member_binding.h"
#include "core/ascii_text.h"

namespace tarsin::automation {
namespace {

using K = MemberKind;

// The property Parameters is overloaded: its Let and Get halves by their signatures.
constexpr auto kParametersLet =
    static_cast<void (Encoder::*)(const std::string&) noexcept>(&Encoder::Parameters);
constexpr auto kParametersGet =
    static_cast<std::string (Encoder::*)() noexcept>(&Encoder::Parameters);

// One row a member, one line a row.
// clang-format off
const std::vector<Member>& Table() {
  static const std::vector<Member> table = {
      Let<kParametersLet>(0, "Parameters", "text"),
      Get<kParametersGet>(1, "Parameters"),
      Get<&Encoder::LastError>(2, "LastError"),
      Get<&Encoder::EncoderState>(3, "EncoderState"),
      Get<&Encoder::ReaderType>(4, "ReaderType"),
      Get<&Encoder::ATRString>(5, "ATRString"),
      Get<&Encoder::CardType>(6, "CardType"),
      Get<&Encoder::SerialNumberLength>(7, "SerialNumberLength"),
      Method<&Encoder::GetResponseText>(8, "GetResponseText", {"sErrorCode", "sErrorCaller"}),
      Method<&Encoder::SetAccessCondition>(9, "SetAccessCondition", {"AccessConditionNumber", "NewValue"}),
      Method<&Encoder::MifareSetAccessCondition>(10, "MifareSetAccessCondition", {"AccessConditionNumber", "NewValue"}),
      Method<&Encoder::WriteLog>(11, "WriteLog", {"sMessage"}),
      Method<&Encoder::GetInformation>(12, "GetInformation"),
      Method<&Encoder::Configure>(13, "Configure", {"Language"}),
      Method<&Encoder::ReOpenEncoder>(14, "ReOpenEncoder"),
      Method<&Encoder::OpenEncoder>(15, "OpenEncoder", {"Handle"}),
      Method<&Encoder::CloseEncoder>(16, "CloseEncoder"),
      Method<&Encoder::ReadSerialNumber>(17, "ReadSerialNumber", {"SerialNumber"}),
      Method<&Encoder::Escape>(18, "Escape", {"Request", "Response"}),
      Method<&Encoder::EscapeExt>(19, "EscapeExt", {"Request", "Response", "RetCode"}),
      Method<&Encoder::ReadDataBloc>(20, "ReadDataBloc", {"BlocNumber", "Key", "KeyType", "BlocContents"}),
      Method<&Encoder::ReadManufacturerCode>(21, "ReadManufacturerCode", {"Key", "KeyType", "SerialNumber", "CheckSum", "ManufacturerInfo"}),
      Method<&Encoder::ReadSectorTrailer>(22, "ReadSectorTrailer", {"SectorNumber", "Key", "KeyType", "KeysUsed", "Security0", "Security1", "Security2", "Conditions", "BX"}),
      Method<&Encoder::WriteDataBloc>(23, "WriteDataBloc", {"BlocNumber", "Key", "KeyType", "BlocContents"}),
      Method<&Encoder::WriteValueBloc>(24, "WriteValueBloc", {"BlocNumber", "Key", "KeyType", "Value"}),
      Method<&Encoder::WriteSectorTrailer>(25, "WriteSectorTrailer", {"SectorNumber", "Key", "KeyType", "KeyA", "KeyB", "KeysToUse", "Security0", "Security1", "Security2", "Conditions", "BX"}),
      Method<&Encoder::WriteBytesInBloc>(26, "WriteBytesInBloc", {"BlocNumber", "Key", "KeyType", "FromByte", "ToByte", "BlocContents"}),
      Method<&Encoder::MifareReadDataBloc>(27, "MifareReadDataBloc", {"BlocNumber", "Key", "KeyType", "BlocContents"}),
      Method<&Encoder::MifareReadManufacturerCode>(28, "MifareReadManufacturerCode", {"Key", "KeyType", "SerialNumber", "CheckSum", "ManufacturerInfo"}),
      Method<&Encoder::MifareReadSectorTrailer>(29, "MifareReadSectorTrailer", {"SectorNumber", "Key", "KeyType", "KeysUsed", "Security0", "Security1", "Security2", "Conditions", "BX"}),
      Method<&Encoder::MifareWriteDataBloc>(30, "MifareWriteDataBloc", {"BlocNumber", "Key", "KeyType", "BlocContents"}),
      Method<&Encoder::MifareWriteValueBloc>(31, "MifareWriteValueBloc", {"BlocNumber", "Key", "KeyType", "Value"}),
      Method<&Encoder::MifareWriteSectorTrailer>(32, "MifareWriteSectorTrailer", {"SectorNumber", "Key", "KeyType", "KeyA", "KeyB", "KeysToUse", "Security0", "Security1", "Security2", "Conditions", "BX"}),
      Method<&Encoder::MifareWriteBytesInBloc>(33, "MifareWriteBytesInBloc", {"BlocNumber", "Key", "KeyType", "FromByte", "ToByte", "BlocContents"}),
      Method<&Encoder::DESFireSelectRoot>(34, "DESFireSelectRoot", {"KeyValue"}),
      Method<&Encoder::DESFireSelectApplication>(35, "DESFireSelectApplication", {"ApplicationId", "KeyNumber", "KeyValue"}),
      Method<&Encoder::DESFireFormat>(36, "DESFireFormat"),
      Method<&Encoder::DESFireCreateApplication>(37, "DESFireCreateApplication", {"ApplicationId", "KeySettings", "NumOfKeys"}),
      Method<&Encoder::DESFireDeleteApplication>(38, "DESFireDeleteApplication", {"ApplicationId"}),
      Method<&Encoder::DESFireGetApplications>(39, "DESFireGetApplications", {"Applications"}),
      Method<&Encoder::DESFireGetVersion>(40, "DESFireGetVersion", {"RequestedInformation", "Information"}),
      Method<&Encoder::DESFireChangeKey>(41, "DESFireChangeKey", {"KeyNumber", "OldKey", "NewKey"}),
      Method<&Encoder::DESFireGetKeyVersion>(42, "DESFireGetKeyVersion", {"KeyNumber", "KeyVersion"}),
      Method<&Encoder::DESFireGetKeySettings>(43, "DESFireGetKeySettings", {"KeySettings", "KeyCount"}),
      Method<&Encoder::DESFireChangeKeySettings>(44, "DESFireChangeKeySettings", {"KeySettings"}),
      Method<&Encoder::DESFireGetFileIDs>(45, "DESFireGetFileIDs", {"FileIds"}),
      Method<&Encoder::DESFireCreateStdDataFile>(46, "DESFireCreateStdDataFile", {"FileNumber", "CommunicationSettings", "KeyRead", "KeyWrite", "KeyReadWrite", "KeyManage", "FileSize"}),
      Method<&Encoder::DESFireCreateBackupDataFile>(47, "DESFireCreateBackupDataFile", {"FileNumber", "CommunicationSettings", "KeyRead", "KeyWrite", "KeyReadWrite", "KeyManage", "FileSize"}),
      Method<&Encoder::DESFireCreateValueFile>(48, "DESFireCreateValueFile", {"FileNumber", "CommunicationSettings", "KeyRead", "KeyWrite", "KeyReadWrite", "KeyManage", "LowerLimit", "UpperLimit", "InitialValue", "LimitedCreditEnabled"}),
      Method<&Encoder::DESFireCreateLinearRecordFile>(49, "DESFireCreateLinearRecordFile", {"FileNumber", "CommunicationSettings", "KeyRead", "KeyWrite", "KeyReadWrite", "KeyManage", "RecordSize", "MaxNumOfRecords"}),
      Method<&Encoder::DESFireCreateCyclicRecordFile>(50, "DESFireCreateCyclicRecordFile", {"FileNumber", "CommunicationSettings", "KeyRead", "KeyWrite", "KeyReadWrite", "KeyManage", "RecordSize", "MaxNumOfRecords"}),
      Method<&Encoder::DESFireDeleteFile>(51, "DESFireDeleteFile", {"FileNumber"}),
      Method<&Encoder::DESFireGetFileSettings>(52, "DESFireGetFileSettings", {"FileNo", "Information"}),
      Method<&Encoder::DESFireChangeFileSettings>(53, "DESFireChangeFileSettings", {"FileNo", "CommunicationSettings", "KeyRead", "KeyWrite", "KeyReadWrite", "KeyManage"}),
      Method<&Encoder::DESFireCommitTransaction>(54, "DESFireCommitTransaction"),
      Method<&Encoder::DESFireAbortTransaction>(55, "DESFireAbortTransaction"),
      Method<&Encoder::DESFireWriteData>(56, "DESFireWriteData", {"FileNo", "Offset", "Length", "DataString", "IsDataHexaString"}),
      Method<&Encoder::DESFireReadData>(57, "DESFireReadData", {"FileNo", "Offset", "Length", "DataString", "IsDataHexaString"}),
      Method<&Encoder::DESFireWriteRecord>(58, "DESFireWriteRecord", {"FileNo", "Offset", "Length", "DataString", "IsDataHexaString"}),
      Method<&Encoder::DESFireReadRecords>(59, "DESFireReadRecords", {"FileNo", "Offset", "Length", "DataString", "IsDataHexaString"}),
      Method<&Encoder::DESFireClearRecordFile>(60, "DESFireClearRecordFile", {"FileNo"}),
      Method<&Encoder::DESFireGetValue>(61, "DESFireGetValue", {"FileNo", "ValueData"}),
      Method<&Encoder::DESFireDebit>(62, "DESFireDebit", {"FileNo", "Amount"}),
      Method<&Encoder::DESFireCredit>(63, "DESFireCredit", {"FileNo", "Amount"}),
      Method<&Encoder::DESFireLimitedCredit>(64, "DESFireLimitedCredit", {"FileNo", "Amount"}),
      // Beyond the described interface.
      Method<&Encoder::DESFireGetCardUID>(65, "DESFireGetCardUID", {"UID"}),
      Method<&Encoder::DESFireFreeMemory>(66, "DESFireFreeMemory", {"Bytes"}),
      Method<&Encoder::DESFireDiversifyKey>(67, "DESFireDiversifyKey", {"MasterKey", "DiversificationInput", "DiversifiedKey"}),
  };
  return table;
}
// clang-format on

}  // namespace

std::span<const Member> Members() {
  return Table();
}

const Member& MemberAt(int index) {
  if (index < 0 || static_cast<size_t>(index) >= Table().size()) {
    throw ComError(kDispMemberNotFound, fmt::format("No member with index {}", index));
  }
  return Table()[static_cast<size_t>(index)];
}

const Member& FindMember(std::string_view name, bool wantLet) {
  const Member* found = nullptr;
  for (const Member& member : Table()) {
    if (!EqualsIgnoringCase(member.name, name)) continue;
    if (!found || (member.kind == K::PropertyLet) == wantLet) found = &member;
  }
  if (!found) throw ComError(kDispUnknownName, fmt::format("Unknown name: {}", name));
  return *found;
}

Arguments Prepare(const Member& member, const Arguments& args) {
  const auto& parameters = member.parameters;
  size_t required = 0;
  for (const Parameter& p : parameters) required += p.optional ? 0 : 1;
  if (args.size() > parameters.size() || args.size() < required) {
    throw ComError(kDispBadParamCount,
                   fmt::format("Wrong number of arguments for {}: {} given, {} to {} expected",
                               member.name, args.size(), required, parameters.size()));
  }
  if (!member.call) {
    throw ComError(kNotImplemented, fmt::format("{} is not available in this build", member.name));
  }
  Arguments coerced(parameters.size());
  for (size_t i = 0; i < args.size(); ++i) {
    if (!args[i]) {
      if (!parameters[i].optional) {
        throw ComError(kDispBadParamCount, fmt::format("Argument {} ({}) of {} is not optional",
                                                       i + 1, parameters[i].name, member.name));
      }
      continue;
    }
    try {
      coerced[i] = Coerce(*args[i], parameters[i].type);
    } catch (const ComError& e) {
      throw ComError(e.number(), fmt::format("Argument {} ({}) of {}: {}", i + 1,
                                             parameters[i].name, member.name, e.description()));
    }
  }
  return coerced;
}

Variant Invoke(Encoder& encoder, const Member& member, Arguments& args) {
  Arguments coerced = Prepare(member, args);
  Variant result = member.call(encoder, coerced);
  for (size_t i = 0; i < args.size(); ++i) {
    if (member.parameters[i].byRef) args[i] = coerced[i];
  }
  return result;
}

}  // namespace tarsin::automation
