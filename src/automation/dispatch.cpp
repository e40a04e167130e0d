#include "automation/dispatch.h"

#include <fmt/format.h>

#include "core/ascii_text.h"

#include <cctype>

namespace tarsin::automation {
namespace {

using K = MemberKind;
using T = ValueType;

std::string Str(const Arguments& a, size_t i) { return a[i] ? a[i]->asString() : std::string(); }
int32_t Long(const Arguments& a, size_t i) { return a[i] ? ToLong(*a[i]) : 0; }
uint8_t Byte(const Arguments& a, size_t i) {
  return a[i] ? ToByte(*a[i]) : 0;
}
Variant Result(sceReturnCode result) {
  return Variant(static_cast<int32_t>(result));
}

// The MIFARE members come in twins (ReadDataBloc and MifareReadDataBloc...) with the same
// parameters; one call per shape serves both, given the member to call.
const std::vector<Parameter> kAccessConditionParameters = {{"AccessConditionNumber", T::Long},
                                                           {"NewValue", T::String}};
template <auto Member>
Variant CallSetAccessCondition(Encoder& e, Arguments& a) {
  (e.*Member)(Long(a, 0), Str(a, 1));
  return Variant();
}

const std::vector<Parameter> kBlocParameters = {{"BlocNumber", T::Long},
                                                {"Key", T::String},
                                                {"KeyType", T::Byte},
                                                {"BlocContents", T::String, true}};
template <auto Member>
Variant CallBloc(Encoder& e, Arguments& a) {
  std::string contents = Str(a, 3);
  const auto result = (e.*Member)(Long(a, 0), Str(a, 1), Byte(a, 2), contents);
  a[3] = Variant(contents);
  return Result(result);
}

const std::vector<Parameter> kManufacturerParameters = {{"Key", T::String},
                                                        {"KeyType", T::Byte},
                                                        {"SerialNumber", T::Long, true},
                                                        {"CheckSum", T::Byte, true},
                                                        {"ManufacturerInfo", T::String, true}};
template <auto Member>
Variant CallReadManufacturerCode(Encoder& e, Arguments& a) {
  int32_t serialNumber = Long(a, 2);
  uint8_t checkSum = Byte(a, 3);
  std::string info = Str(a, 4);
  const auto result = (e.*Member)(Str(a, 0), Byte(a, 1), serialNumber, checkSum, info);
  a[2] = Variant(serialNumber);
  a[3] = Variant(checkSum);
  a[4] = Variant(info);
  return Result(result);
}

const std::vector<Parameter> kReadTrailerParameters = {
    {"SectorNumber", T::Long},    {"Key", T::String},
    {"KeyType", T::Byte},         {"KeysUsed", T::Byte, true},
    {"Security0", T::Long, true}, {"Security1", T::Long, true},
    {"Security2", T::Long, true}, {"Conditions", T::Long, true},
    {"BX", T::Byte, true}};
template <auto Member>
Variant CallReadSectorTrailer(Encoder& e, Arguments& a) {
  uint8_t keysUsed = Byte(a, 3);
  auto security0 = static_cast<SCBS_SecurityLevelEnum>(Long(a, 4));
  auto security1 = static_cast<SCBS_SecurityLevelEnum>(Long(a, 5));
  auto security2 = static_cast<SCBS_SecurityLevelEnum>(Long(a, 6));
  auto conditions = static_cast<SCSS_SecurityLevelEnum>(Long(a, 7));
  uint8_t bx = Byte(a, 8);
  const auto result = (e.*Member)(Long(a, 0), Str(a, 1), Byte(a, 2), keysUsed, security0, security1,
                                  security2, conditions, bx);
  a[3] = Variant(keysUsed);
  a[4] = Variant(static_cast<int32_t>(security0));
  a[5] = Variant(static_cast<int32_t>(security1));
  a[6] = Variant(static_cast<int32_t>(security2));
  a[7] = Variant(static_cast<int32_t>(conditions));
  a[8] = Variant(bx);
  return Result(result);
}

const std::vector<Parameter> kValueParameters = {
    {"BlocNumber", T::Long}, {"Key", T::String}, {"KeyType", T::Byte}, {"Value", T::Long}};
template <auto Member>
Variant CallWriteValueBloc(Encoder& e, Arguments& a) {
  return Result((e.*Member)(Long(a, 0), Str(a, 1), Byte(a, 2), Long(a, 3)));
}

const std::vector<Parameter> kWriteTrailerParameters = {
    {"SectorNumber", T::Long},     {"Key", T::String},
    {"KeyType", T::Byte},          {"KeyA", T::String},
    {"KeyB", T::String},           {"KeysToUse", T::Byte},
    {"Security0", T::Long},        {"Security1", T::Long},
    {"Security2", T::Long},        {"Conditions", T::Long},
    {"BX", T::Variant, true, true}};
template <auto Member>
Variant CallWriteSectorTrailer(Encoder& e, Arguments& a) {
  return Result((e.*Member)(Long(a, 0), Str(a, 1), Byte(a, 2), Str(a, 3), Str(a, 4), Byte(a, 5),
                            static_cast<SCBS_SecurityLevelEnum>(Long(a, 6)),
                            static_cast<SCBS_SecurityLevelEnum>(Long(a, 7)),
                            static_cast<SCBS_SecurityLevelEnum>(Long(a, 8)),
                            static_cast<SCSS_SecurityLevelEnum>(Long(a, 9)), a[10]));
}

const std::vector<Parameter> kBytesParameters = {
    {"BlocNumber", T::Long}, {"Key", T::String},  {"KeyType", T::Byte},
    {"FromByte", T::Byte},   {"ToByte", T::Byte}, {"BlocContents", T::String, true}};
template <auto Member>
Variant CallWriteBytesInBloc(Encoder& e, Arguments& a) {
  std::string contents = Str(a, 5);
  const auto result =
      (e.*Member)(Long(a, 0), Str(a, 1), Byte(a, 2), Byte(a, 3), Byte(a, 4), contents);
  a[5] = Variant(contents);
  return Result(result);
}

const std::vector<Member>& Table() {
  static const std::vector<Member> table = {
      {0, "Parameters", K::PropertyLet, {{"text", T::String}}, T::None,
       [](Encoder& e, Arguments& a) { e.Parameters(Str(a, 0)); return Variant(); }},
      {1, "Parameters", K::PropertyGet, {}, T::String,
       [](Encoder& e, Arguments&) { return Variant(e.Parameters()); }},
      {2, "LastError", K::PropertyGet, {}, T::Error,
       [](Encoder& e, Arguments&) { return ErrorFields(*e.LastError()); }},
      {3, "EncoderState", K::PropertyGet, {}, T::Long,
       [](Encoder& e, Arguments&) { return Variant(static_cast<int32_t>(e.EncoderState())); }},
      {4, "ReaderType", K::PropertyGet, {}, T::String,
       [](Encoder& e, Arguments&) { return Variant(e.ReaderType()); }},
      {5, "ATRString", K::PropertyGet, {}, T::String,
       [](Encoder& e, Arguments&) { return Variant(e.ATRString()); }},
      {6, "CardType", K::PropertyGet, {}, T::Long,
       [](Encoder& e, Arguments&) { return Variant(static_cast<int32_t>(e.CardType())); }},
      {7, "SerialNumberLength", K::PropertyGet, {}, T::Long,
       [](Encoder& e, Arguments&) { return Variant(e.SerialNumberLength()); }},
      {8, "GetResponseText", K::Function,
       {{"sErrorCode", T::String}, {"sErrorCaller", T::String, false, true}}, T::String,
       [](Encoder& e, Arguments& a) {
         const auto caller = a[1] ? std::optional<std::string>(a[1]->asString()) : std::nullopt;
         return Variant(e.GetResponseText(Str(a, 0), caller));
       }},
      {9, "SetAccessCondition", K::Procedure, kAccessConditionParameters, T::None,
       CallSetAccessCondition<&Encoder::SetAccessCondition>},
      {10, "MifareSetAccessCondition", K::Procedure, kAccessConditionParameters, T::None,
       CallSetAccessCondition<&Encoder::MifareSetAccessCondition>},
      {11, "WriteLog", K::Procedure, {{"sMessage", T::String}}, T::None,
       [](Encoder& e, Arguments& a) { e.WriteLog(Str(a, 0)); return Variant(); }},
      {12, "GetInformation", K::Function, {}, T::String,
       [](Encoder& e, Arguments&) { return Variant(e.GetInformation()); }},
      {13, "Configure", K::Function, {{"Language", T::String}}, T::ReturnCode},
      {14, "ReOpenEncoder", K::Procedure, {}, T::None,
       [](Encoder& e, Arguments&) { e.ReOpenEncoder(); return Variant(); }},
      {15, "OpenEncoder", K::Function, {{"Handle", T::Long}}, T::ReturnCode,
       [](Encoder& e, Arguments& a) { return Variant(static_cast<int32_t>(e.OpenEncoder(Long(a, 0)))); }},
      {16, "CloseEncoder", K::Function, {}, T::ReturnCode,
       [](Encoder& e, Arguments&) { return Variant(static_cast<int32_t>(e.CloseEncoder())); }},
      {17,
       "ReadSerialNumber",
       K::Function,
       {{"SerialNumber", T::String, true}},
       T::ReturnCode,
       [](Encoder& e, Arguments& a) {
         std::string serialNumber = Str(a, 0);
         const auto result = e.ReadSerialNumber(serialNumber);
         a[0] = Variant(serialNumber);
         return Result(result);
       }},
      {18, "Escape", K::Function, {{"Request", T::String}, {"Response", T::String, true}}, T::ReturnCode,
       [](Encoder& e, Arguments& a) {
         std::string response = Str(a, 1);
         const auto result = e.Escape(Str(a, 0), response);
         a[1] = Variant(response);
         return Variant(static_cast<int32_t>(result));
       }},
      {19, "EscapeExt", K::Function,
       {{"Request", T::String}, {"Response", T::String, true}, {"RetCode", T::String, true}},
       T::ReturnCode,
       [](Encoder& e, Arguments& a) {
         std::string response = Str(a, 1);
         std::string retCode = Str(a, 2);
         const auto result = e.EscapeExt(Str(a, 0), response, retCode);
         a[1] = Variant(response);
         a[2] = Variant(retCode);
         return Variant(static_cast<int32_t>(result));
       }},
      {20, "ReadDataBloc", K::Function, kBlocParameters, T::ReturnCode,
       CallBloc<&Encoder::ReadDataBloc>},
      {21, "ReadManufacturerCode", K::Function, kManufacturerParameters, T::ReturnCode,
       CallReadManufacturerCode<&Encoder::ReadManufacturerCode>},
      {22, "ReadSectorTrailer", K::Function, kReadTrailerParameters, T::ReturnCode,
       CallReadSectorTrailer<&Encoder::ReadSectorTrailer>},
      {23, "WriteDataBloc", K::Function, kBlocParameters, T::ReturnCode,
       CallBloc<&Encoder::WriteDataBloc>},
      {24, "WriteValueBloc", K::Function, kValueParameters, T::ReturnCode,
       CallWriteValueBloc<&Encoder::WriteValueBloc>},
      {25, "WriteSectorTrailer", K::Function, kWriteTrailerParameters, T::ReturnCode,
       CallWriteSectorTrailer<&Encoder::WriteSectorTrailer>},
      {26, "WriteBytesInBloc", K::Function, kBytesParameters, T::ReturnCode,
       CallWriteBytesInBloc<&Encoder::WriteBytesInBloc>},
      {27, "MifareReadDataBloc", K::Function, kBlocParameters, T::ReturnCode,
       CallBloc<&Encoder::MifareReadDataBloc>},
      {28, "MifareReadManufacturerCode", K::Function, kManufacturerParameters, T::ReturnCode,
       CallReadManufacturerCode<&Encoder::MifareReadManufacturerCode>},
      {29, "MifareReadSectorTrailer", K::Function, kReadTrailerParameters, T::ReturnCode,
       CallReadSectorTrailer<&Encoder::MifareReadSectorTrailer>},
      {30, "MifareWriteDataBloc", K::Function, kBlocParameters, T::ReturnCode,
       CallBloc<&Encoder::MifareWriteDataBloc>},
      {31, "MifareWriteValueBloc", K::Function, kValueParameters, T::ReturnCode,
       CallWriteValueBloc<&Encoder::MifareWriteValueBloc>},
      {32, "MifareWriteSectorTrailer", K::Function, kWriteTrailerParameters, T::ReturnCode,
       CallWriteSectorTrailer<&Encoder::MifareWriteSectorTrailer>},
      {33, "MifareWriteBytesInBloc", K::Function, kBytesParameters, T::ReturnCode,
       CallWriteBytesInBloc<&Encoder::MifareWriteBytesInBloc>},
      {34, "DESFireSelectRoot", K::Function, {}, T::ReturnCode},
      {35, "DESFireSelectApplication", K::Function, {}, T::ReturnCode},
      {36, "DESFireFormat", K::Function, {}, T::ReturnCode},
      {37, "DESFireCreateApplication", K::Function, {}, T::ReturnCode},
      {38, "DESFireDeleteApplication", K::Function, {}, T::ReturnCode},
      {39, "DESFireGetApplications", K::Function, {}, T::ReturnCode},
      {40, "DESFireGetVersion", K::Function, {}, T::ReturnCode},
      {41, "DESFireChangeKey", K::Function, {}, T::ReturnCode},
      {42, "DESFireGetKeyVersion", K::Function, {}, T::ReturnCode},
      {43, "DESFireGetKeySettings", K::Function, {}, T::ReturnCode},
      {44, "DESFireChangeKeySettings", K::Function, {}, T::ReturnCode},
      {45, "DESFireGetFileIDs", K::Function, {}, T::ReturnCode},
      {46, "DESFireCreateStdDataFile", K::Function, {}, T::ReturnCode},
      {47, "DESFireCreateBackupDataFile", K::Function, {}, T::ReturnCode},
      {48, "DESFireCreateValueFile", K::Function, {}, T::ReturnCode},
      {49, "DESFireCreateLinearRecordFile", K::Function, {}, T::ReturnCode},
      {50, "DESFireCreateCyclicRecordFile", K::Function, {}, T::ReturnCode},
      {51, "DESFireDeleteFile", K::Function, {}, T::ReturnCode},
      {52, "DESFireGetFileSettings", K::Function, {}, T::ReturnCode},
      {53, "DESFireChangeFileSettings", K::Function, {}, T::ReturnCode},
      {54, "DESFireCommitTransaction", K::Function, {}, T::ReturnCode},
      {55, "DESFireAbortTransaction", K::Function, {}, T::ReturnCode},
      {56, "DESFireWriteData", K::Function, {}, T::ReturnCode},
      {57, "DESFireReadData", K::Function, {}, T::ReturnCode},
      {58, "DESFireWriteRecord", K::Function, {}, T::ReturnCode},
      {59, "DESFireReadRecords", K::Function, {}, T::ReturnCode},
      {60, "DESFireClearRecordFile", K::Function, {}, T::ReturnCode},
      {61, "DESFireGetValue", K::Function, {}, T::ReturnCode},
      {62, "DESFireDebit", K::Function, {}, T::ReturnCode},
      {63, "DESFireCredit", K::Function, {}, T::ReturnCode},
      {64, "DESFireLimitedCredit", K::Function, {}, T::ReturnCode},
  };
  return table;
}


}  // namespace

std::span<const Member> Members() { return Table(); }

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

Variant Invoke(Encoder& encoder, const Member& member, Arguments& args) {
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
        throw ComError(kDispBadParamCount,
                       fmt::format("Argument {} ({}) of {} is not optional", i + 1,
                                   parameters[i].name, member.name));
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
  Variant result = member.call(encoder, coerced);
  for (size_t i = 0; i < args.size(); ++i) {
    if (parameters[i].byRef) args[i] = coerced[i];
  }
  return result;
}

Variant ErrorFields(const CError& error) {
  return Variant(Variant::Array{Variant(error.Number), Variant(error.Description),
                                Variant(error.LastDllError), Variant(error.ComFunction),
                                Variant(error.RdrCommand), Variant(error.RdrRetCode)});
}

}  // namespace tarsin::automation
