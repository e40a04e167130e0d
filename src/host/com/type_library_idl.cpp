// SPDX-License-Identifier: Apache-2.0
#include "host/com/type_library_idl.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <stdexcept>

#include "automation/dispatch.h"
#include "host/com/dual_interface.h"
#include "host/com/identities.h"
#include "host/com/slot_types.h"
#include "tarsin/types.h"

namespace tarsin::com {
namespace {

using automation::Member;
using automation::MemberKind;

std::string IdlType(VARTYPE type) {
  switch (type) {
    case VT_BSTR:
      return "BSTR";
    case VT_I4:
      return "long";
    case VT_BOOL:
      return "VARIANT_BOOL";
    case VT_UI1:
      return "unsigned char";
    case VT_R8:
      return "double";
    case VT_DISPATCH:
      return "IDispatch*";  // the CError object: see TypeLibraryIdl
    default:
      return "VARIANT";
  }
}

std::string MethodIdl(const Member& member) {
  std::string attributes = fmt::format("id({})", DispatchIdOf(member));
  if (member.kind == MemberKind::PropertyLet) attributes += ", propput";
  if (member.kind == MemberKind::PropertyGet) attributes += ", propget";
  std::vector<std::string> parameters;
  for (const automation::Parameter& parameter : member.parameters) {
    const SlotType slot = ParameterSlot(parameter);
    parameters.push_back(fmt::format("[{}{}] {}{} {}", slot.byRef ? "in, out" : "in",
                                     slot.optional ? ", optional" : "", IdlType(slot.type),
                                     slot.byRef ? "*" : "", parameter.name));
  }
  if (const VARTYPE result = ResultSlot(member.result); result != VT_EMPTY) {
    // The return code by its enumeration's name, so that hosts show the constants.
    const std::string type =
        member.result == ValueType::ReturnCode ? "sceReturnCode" : IdlType(result);
    parameters.push_back(fmt::format("[out, retval] {}* Result", type));
  }
  return fmt::format("    [{}] HRESULT {}({});\n", attributes, member.name,
                     fmt::join(parameters, ", "));
}

}  // namespace

const std::vector<Enumeration>& Enumerations() {
  static const std::vector<Enumeration> list = {
#include "host/com/enumerations.inc"
  };
  return list;
}

std::string TypeLibraryIdl() {
  if (automation::Members().size() > kSlotStubCount) {
    throw std::length_error("more rows than the dual interface has slots");
  }
  std::string idl = fmt::format(
      "// Written by the build from the component's dispatch table.\n"
      "import \"oaidl.idl\";\n\n"
      "[uuid({}), version({}.{}), helpstring(\"Tarsin RF contactless-card encoder\")]\n"
      "library TarsinRF\n{{\n"
      "  importlib(\"stdole2.tlb\");\n\n",
      GuidText(kTypeLibraryId), kTypeLibraryMajor, kTypeLibraryMinor);
  for (const Enumeration& enumeration : Enumerations()) {
    idl += fmt::format("  typedef enum {} {{\n", enumeration.name);
    for (const auto& [name, value] : enumeration.constants) {
      idl += fmt::format("    {} = {},\n", name, value);
    }
    idl += fmt::format("  }} {};\n\n", enumeration.name);
  }
  idl += fmt::format("  [uuid({}), dual, oleautomation, nonextensible]\n",
                     GuidText(kEncoderInterfaceIid));
  idl += "  interface _Encoder : IDispatch {\n";
  for (const Member& member : automation::Members()) idl += MethodIdl(member);
  idl += "  };\n\n";
  idl += fmt::format(
      "  [uuid({})]\n  coclass Encoder {{\n    [default] interface _Encoder;\n  }};\n\n",
      GuidText(kEncoderClsid));
  // After _Encoder, which names it only as IDispatch: widl writes a wrong library identifier
  // when _CError comes first or a method of _Encoder names it.
  idl += fmt::format("  [uuid({}), helpstring(\"The last error of an Encoder\")]\n",
                     GuidText(kErrorInterfaceIid));
  idl += "  dispinterface _CError {\n  properties:\n";
  for (const automation::ErrorField& field : automation::ErrorFields()) {
    const bool text = std::holds_alternative<std::string CError::*>(field.member);
    idl += fmt::format("    [id({})] {} {};\n", field.index, text ? "BSTR" : "long", field.name);
  }
  idl += "  methods:\n  };\n\n";
  idl += fmt::format(
      "  [uuid({}), noncreatable]\n  coclass CError {{\n    [default] dispinterface _CError;\n  "
      "}};\n}};\n",
      GuidText(kErrorClsid));
  return idl;
}

}  // namespace tarsin::com
