// SPDX-License-Identifier: Apache-2.0
#include "host/com/slot_types.h"

namespace tarsin::com {
namespace {

using automation::MemberKind;

// Doubles travel in VARIANTs: a bare double argument would go in a floating-point register on
// 64-bit Windows, where the generic slots do not look.
VARTYPE Carrier(ValueType type) noexcept {
  switch (type) {
    case ValueType::String:
      return VT_BSTR;
    case ValueType::Long:
    case ValueType::ReturnCode:
      return VT_I4;
    case ValueType::Byte:
      return VT_UI1;
    case ValueType::Boolean:
      return VT_BOOL;
    default:
      return VT_VARIANT;
  }
}

}  // namespace

SlotType ParameterSlot(const automation::Parameter& parameter) noexcept {
  // Automation lets only a VARIANT be left out.
  if (parameter.optional) return {VT_VARIANT, parameter.byRef, true};
  return {Carrier(parameter.type), parameter.byRef, false};
}

VARTYPE ResultSlot(ValueType result) noexcept {
  switch (result) {
    case ValueType::None:
      return VT_EMPTY;
    case ValueType::Error:
      return VT_DISPATCH;
    case ValueType::Double:
      return VT_R8;
    default:
      return Carrier(result);
  }
}

DISPID DispatchIdOf(const automation::Member& member) {
  if (member.kind == MemberKind::PropertyLet || member.kind == MemberKind::PropertyGet) {
    return automation::FindMember(member.name, false).index;
  }
  return member.index;
}

WORD InvokeFlagsOf(const automation::Member& member) noexcept {
  switch (member.kind) {
    case MemberKind::PropertyLet:
      return DISPATCH_PROPERTYPUT;
    case MemberKind::PropertyGet:
      return DISPATCH_PROPERTYGET;
    default:
      return DISPATCH_METHOD;
  }
}

}  // namespace tarsin::com
