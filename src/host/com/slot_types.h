// SPDX-License-Identifier: Apache-2.0
// How the late-bound rows look to a host that binds early: the automation type of each parameter
// and result on the dual interface _Encoder. The type library and the interface's vtable are both
// made from these rules, so that they always agree.
#pragma once

#include <ole2.h>

#include "automation/dispatch.h"

namespace tarsin::com {

struct SlotType {
  VARTYPE type = VT_VARIANT;  // VT_BSTR, VT_I4, VT_BOOL, VT_UI1 or VT_VARIANT
  bool byRef = false;         // passed as a pointer, [in, out]
  bool optional = false;      // a VARIANT that may be left out
};

SlotType ParameterSlot(const automation::Parameter& parameter) noexcept;
// VT_EMPTY when the member returns nothing; VT_DISPATCH for the CError object.
VARTYPE ResultSlot(ValueType result) noexcept;
// A row's DISPID, as GetIDsOfNames answers it: its index, or for a property's Let its Get's.
DISPID DispatchIdOf(const automation::Member& member);
// The IDispatch::Invoke flags that reach the row.
WORD InvokeFlagsOf(const automation::Member& member) noexcept;

}  // namespace tarsin::com
