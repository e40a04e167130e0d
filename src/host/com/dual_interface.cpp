// SPDX-License-Identifier: Apache-2.0
#include "host/com/dual_interface.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "automation/dispatch.h"
#include "host/com/identities.h"
#include "host/com/slot_types.h"

// Where every row's slot leads (slot_stubs_*.cpp): the stub of slot `index` jumps to a common
// part that calls this with `arguments` pointing at the interface pointer, the caller's arguments
// following it one machine word each (a VARIANT by value takes four on 32-bit Windows and is
// passed by address on 64-bit). The low half of the result is the call's HRESULT, the high half
// how many bytes of arguments the 32-bit callee removes, as stdcall wants.
extern "C" uint64_t SlotCall(uint32_t index, uintptr_t* arguments) noexcept
    asm("tarsin_com_slot_call") __attribute__((force_align_arg_pointer, used));
// The stubs, kSlotStubSize bytes each, one for every possible row.
extern "C" const unsigned char kSlotStubs[] asm("tarsin_com_slot_stubs");

namespace tarsin::com {
namespace {

constexpr size_t kSlotStubSize = 10;  // mov $index, %eax; jmp common
constexpr bool kVariantByAddress = sizeof(void*) == 8;

using automation::Member;

DualInterface& Self(void* self) {
  return *static_cast<DualInterface*>(self);
}

HRESULT STDMETHODCALLTYPE QueryInterfaceSlot(void* self, REFIID iid, void** object) {
  return Self(self).owner->QueryInterface(iid, object);
}
ULONG STDMETHODCALLTYPE AddRefSlot(void* self) {
  return Self(self).owner->AddRef();
}
ULONG STDMETHODCALLTYPE ReleaseSlot(void* self) {
  return Self(self).owner->Release();
}
HRESULT STDMETHODCALLTYPE GetTypeInfoCountSlot(void* self, UINT* count) {
  return Self(self).owner->GetTypeInfoCount(count);
}
HRESULT STDMETHODCALLTYPE GetTypeInfoSlot(void* self, UINT index, LCID locale, ITypeInfo** info) {
  return Self(self).owner->GetTypeInfo(index, locale, info);
}
HRESULT STDMETHODCALLTYPE GetIDsOfNamesSlot(void* self, REFIID iid, LPOLESTR* names, UINT count,
                                            LCID locale, DISPID* ids) {
  return Self(self).owner->GetIDsOfNames(iid, names, count, locale, ids);
}
HRESULT STDMETHODCALLTYPE InvokeSlot(void* self, DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) {
  return Self(self).owner->Invoke(id, iid, locale, flags, params, result, exception, argumentError);
}

size_t WordsOf(const SlotType& slot) {
  return slot.type == VT_VARIANT && !slot.byRef && !kVariantByAddress
             ? sizeof(VARIANT) / sizeof(uintptr_t)
             : 1;
}

// The machine words of a call through the row's slot, the interface pointer included.
size_t WordsOf(const Member& member) {
  size_t words = 1 + (ResultSlot(member.result) == VT_EMPTY ? 0 : 1);
  for (const automation::Parameter& parameter : member.parameters) {
    words += WordsOf(ParameterSlot(parameter));
  }
  return words;
}

// The argument as Invoke takes it; `next` moves past the words it occupied. Strings and objects
// are lent, not copied: nothing here frees them.
VARIANT ReadArgument(const SlotType& slot, uintptr_t*& next) {
  VARIANT value;
  VariantInit(&value);
  if (slot.byRef) {
    value.byref = reinterpret_cast<void*>(*next++);
    value.vt = VT_BYREF | slot.type;
    if (!value.byref) {  // a C++ host's null for an argument it leaves out
      value.vt = VT_ERROR;
      value.scode = DISP_E_PARAMNOTFOUND;
    }
    return value;
  }
  if (slot.type == VT_VARIANT) {
    if constexpr (kVariantByAddress) {
      value = *reinterpret_cast<const VARIANT*>(*next++);
    } else {
      std::memcpy(&value, next, sizeof value);
      next += sizeof value / sizeof *next;
    }
    return value;
  }
  const uintptr_t word = *next++;
  value.vt = slot.type;
  switch (slot.type) {
    case VT_BSTR:
      value.bstrVal = reinterpret_cast<BSTR>(word);
      break;
    case VT_BOOL:
      value.boolVal = static_cast<VARIANT_BOOL>(word);
      break;
    case VT_UI1:
      value.bVal = static_cast<BYTE>(word);
      break;
    default:
      value.lVal = static_cast<LONG>(word);
      break;
  }
  return value;
}

// Moves `value` into the retval place, changed to its type.
HRESULT DeliverResult(VARIANT& value, VARTYPE type, void* place) {
  if (type != VT_VARIANT && value.vt != type) {
    if (const HRESULT hr = VariantChangeType(&value, &value, 0, type); FAILED(hr)) return hr;
  }
  switch (type) {
    case VT_VARIANT:
      *static_cast<VARIANT*>(place) = value;
      break;
    case VT_BSTR:
      *static_cast<BSTR*>(place) = value.bstrVal;
      break;
    case VT_DISPATCH:
      *static_cast<IDispatch**>(place) = value.pdispVal;
      break;
    case VT_R8:
      *static_cast<double*>(place) = value.dblVal;
      break;
    case VT_BOOL:
      *static_cast<VARIANT_BOOL*>(place) = value.boolVal;
      break;
    case VT_UI1:
      *static_cast<BYTE*>(place) = value.bVal;
      break;
    default:
      *static_cast<LONG*>(place) = value.lVal;
      break;
  }
  value.vt = VT_EMPTY;  // moved
  return S_OK;
}

// Out-parameters hold something defined even when the call fails: every type's zero (null,
// 0, VARIANT_FALSE, an empty VARIANT).
void ClearResult(VARTYPE type, void* place) {
  VARIANT zero{};
  zero.vt = type == VT_VARIANT ? VARTYPE{VT_EMPTY} : type;
  DeliverResult(zero, type, place);
}

// A member's failure as early binding reports it: its number as the HRESULT, its description
// and source in the thread's error information.
HRESULT Raise(EXCEPINFO& exception) {
  ICreateErrorInfo* created = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&created))) {
    created->SetGUID(kEncoderInterfaceIid);
    created->SetSource(exception.bstrSource);
    created->SetDescription(exception.bstrDescription);
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(created->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    created->Release();
  }
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return exception.scode;
}

HRESULT CallRow(IDispatch& owner, const Member& member, std::vector<VARIANT>& reversed,
                void* resultPlace) {
  const VARTYPE resultType = ResultSlot(member.result);
  if (resultPlace) ClearResult(resultType, resultPlace);
  DISPID put = DISPID_PROPERTYPUT;
  const WORD flags = InvokeFlagsOf(member);
  const bool named = flags == DISPATCH_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), named ? &put : nullptr, static_cast<UINT>(reversed.size()),
                    named ? 1u : 0u};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception{};
  UINT argumentError = 0;
  HRESULT hr = owner.Invoke(DispatchIdOf(member), IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                            &result, &exception, &argumentError);
  if (hr == DISP_E_EXCEPTION) {
    hr = Raise(exception);
  } else if (SUCCEEDED(hr) && resultPlace && resultType != VT_EMPTY) {
    hr = DeliverResult(result, resultType, resultPlace);
  }
  VariantClear(&result);
  return hr;
}

}  // namespace

const void* const* DualVtable() {
  static const std::vector<const void*> vtable = [] {
    std::vector<const void*> entries = {
        reinterpret_cast<const void*>(&QueryInterfaceSlot),
        reinterpret_cast<const void*>(&AddRefSlot),
        reinterpret_cast<const void*>(&ReleaseSlot),
        reinterpret_cast<const void*>(&GetTypeInfoCountSlot),
        reinterpret_cast<const void*>(&GetTypeInfoSlot),
        reinterpret_cast<const void*>(&GetIDsOfNamesSlot),
        reinterpret_cast<const void*>(&InvokeSlot),
    };
    const size_t rows = std::min(automation::Members().size(), kSlotStubCount);
    for (size_t i = 0; i < rows; ++i) entries.push_back(kSlotStubs + i * kSlotStubSize);
    return entries;
  }();
  return vtable.data();
}

}  // namespace tarsin::com

uint64_t SlotCall(uint32_t index, uintptr_t* arguments) noexcept {
  using namespace tarsin::com;
  // One stub a row, so the index is always a row's.
  const Member& member = tarsin::automation::Members()[index];
  const auto bytes = static_cast<uint64_t>(WordsOf(member) * sizeof *arguments);
  HRESULT hr = E_UNEXPECTED;
  try {
    uintptr_t* next = arguments + 1;
    std::vector<VARIANT> reversed(member.parameters.size());
    for (size_t i = 0; i < reversed.size(); ++i) {
      reversed[reversed.size() - 1 - i] = ReadArgument(ParameterSlot(member.parameters[i]), next);
    }
    void* resultPlace =
        ResultSlot(member.result) == VT_EMPTY ? nullptr : reinterpret_cast<void*>(*next);
    hr = CallRow(*Self(reinterpret_cast<void*>(arguments[0])).owner, member, reversed, resultPlace);
  } catch (...) {
    hr = E_OUTOFMEMORY;
  }
  return bytes << 32 | static_cast<uint32_t>(hr);
}
