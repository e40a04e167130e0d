#include "host/dispatch.h"

#include <fmt/format.h>

#include "core/ascii_text.h"

#include <cctype>

namespace tarsin::host {
namespace {

using K = MemberKind;
using T = ValueType;

std::string Str(const Arguments& a, size_t i) { return a[i] ? a[i]->asString() : std::string(); }
int32_t Long(const Arguments& a, size_t i) { return a[i] ? ToLong(*a[i]) : 0; }

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
      {9, "SetAccessCondition", K::Procedure, {}},
      {10, "MifareSetAccessCondition", K::Procedure, {}},
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
      {17, "ReadSerialNumber", K::Function, {{"SerialNumber", T::String, true}}, T::ReturnCode},
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
      {20, "ReadDataBloc", K::Function, {}, T::ReturnCode},
      {21, "ReadManufacturerCode", K::Function, {}, T::ReturnCode},
      {22, "ReadSectorTrailer", K::Function, {}, T::ReturnCode},
      {23, "WriteDataBloc", K::Function, {}, T::ReturnCode},
      {24, "WriteValueBloc", K::Function, {}, T::ReturnCode},
      {25, "WriteSectorTrailer", K::Function, {}, T::ReturnCode},
      {26, "WriteBytesInBloc", K::Function, {}, T::ReturnCode},
      {27, "MifareReadDataBloc", K::Function, {}, T::ReturnCode},
      {28, "MifareReadManufacturerCode", K::Function, {}, T::ReturnCode},
      {29, "MifareReadSectorTrailer", K::Function, {}, T::ReturnCode},
      {30, "MifareWriteDataBloc", K::Function, {}, T::ReturnCode},
      {31, "MifareWriteValueBloc", K::Function, {}, T::ReturnCode},
      {32, "MifareWriteSectorTrailer", K::Function, {}, T::ReturnCode},
      {33, "MifareWriteBytesInBloc", K::Function, {}, T::ReturnCode},
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

}  // namespace tarsin::host
