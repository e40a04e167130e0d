// SPDX-License-Identifier: Apache-2.0
#include "host/com/dispatch_objects.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "automation/dispatch.h"
#include "core/ascii_text.h"
#include "core/coercion.h"
#include "core/wide_text_windows.h"
#include "host/com/com_variant.h"
#include "host/com/dual_interface.h"
#include "host/com/identities.h"
#include "host/com/type_library.h"
#include "host/com/unknown.h"
#include "tarsin/encoder.h"

namespace tarsin::com {
namespace {

using automation::Member;
using automation::MemberKind;

std::atomic<long> moduleUses{0};

// Asks for the object behind a CError object's IDispatch; only this module answers it.
// {2D8CEE53-EABC-422F-BB64-CC1A2738A8F9}
constexpr IID kErrorObjectIid = {
    0x2d8cee53, 0xeabc, 0x422f, {0xbb, 0x64, 0xcc, 0x1a, 0x27, 0x38, 0xa8, 0xf9}};

// Err.Source of a failed call, as a host shows it.
constexpr const wchar_t* kErrorSource = L"TarsinRF.Encoder";

// A late-bound error of the dispatch itself (unknown name, wrong count, type mismatch,
// overflow) is the call's result, as every IDispatch answers it; any other failure of a member
// reaches the host through EXCEPINFO, with its number and description.
HRESULT Report(const ComError& error, EXCEPINFO* exception) {
  const auto number = static_cast<HRESULT>(error.number());
  if (HRESULT_FACILITY(number) == FACILITY_DISPATCH || !exception) return number;
  *exception = EXCEPINFO{};
  exception->scode = number;
  exception->bstrSource = SysAllocString(kErrorSource);
  exception->bstrDescription = BstrFromUtf8(error.description());
  return DISP_E_EXCEPTION;
}

// Nothing thrown crosses the COM boundary.
template <class Body>
HRESULT Guarded(EXCEPINFO* exception, Body&& body) noexcept {
  try {
    return body();
  } catch (const ComError& e) {
    try {
      return Report(e, exception);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// IUnknown and IDispatch, with the type information of the embedded type library; the objects
// differ in their interface, names and calls.
class DispatchObject : public Unknown<IDispatch, IID_IDispatch> {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_INVALIDARG;
    ITypeInfo* info = nullptr;
    *count = SUCCEEDED(TypeInfoOf(InterfaceIid(), &info)) ? 1 : 0;
    if (info) info->Release();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return TypeInfoOf(InterfaceIid(), info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (count == 0) return S_OK;
    if (!names || !ids) return E_INVALIDARG;
    std::fill(ids, ids + count, DISPID_UNKNOWN);
    return Guarded(nullptr, [&] {
      std::vector<std::string> texts;
      for (UINT i = 0; i < count; ++i) texts.push_back(Utf8FromWide(names[i] ? names[i] : L""));
      return IdsOf(texts, ids);
    });
  }

 protected:
  // One id a name: the member, then its named parameters (left DISPID_UNKNOWN when unknown).
  virtual HRESULT IdsOf(const std::vector<std::string>& names, DISPID* ids) = 0;
  // The interface of the type library that describes the object.
  virtual const IID& InterfaceIid() const = 0;
};

class ErrorObject final : public DispatchObject {
 public:
  explicit ErrorObject(std::shared_ptr<CError> error) : error_(std::move(error)) {}
  const std::shared_ptr<CError>& error() const { return error_; }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (id < 0 || static_cast<size_t>(id) >= automation::ErrorFields().size()) {
      return DISP_E_MEMBERNOTFOUND;
    }
    const automation::ErrorField& field = automation::ErrorFieldAt(id);
    const UINT count = params ? params->cArgs : 0;
    if (flags & DISPATCH_PROPERTYPUT) {
      if (count != 1) return DISP_E_BADPARAMCOUNT;
      return Guarded(exception, [&]() -> HRESULT {
        const std::optional<Variant> value = FromVariant(params->rgvarg[0]);
        if (!value) return DISP_E_PARAMNOTFOUND;
        try {
          automation::LetErrorField(*error_, field, *value);
        } catch (const ComError&) {
          if (argumentError) *argumentError = 0;
          throw;
        }
        return S_OK;
      });
    }
    if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
    if (count != 0) return DISP_E_BADPARAMCOUNT;
    return Guarded(exception, [&] {
      if (result) {
        ToVariant(automation::GetErrorField(*error_, field), *result,
                  [](const std::shared_ptr<CError>& e) { return NewErrorObject(e); });
      }
      return S_OK;
    });
  }

 protected:
  bool Answers(REFIID iid) const override {
    return IsEqualIID(iid, kErrorObjectIid) || IsEqualIID(iid, kErrorInterfaceIid);
  }
  const IID& InterfaceIid() const override { return kErrorInterfaceIid; }
  HRESULT IdsOf(const std::vector<std::string>& names, DISPID* ids) override {
    ids[0] = automation::FindErrorField(names[0]).index;
    return names.size() > 1 ? DISP_E_UNKNOWNNAME : S_OK;
  }

 private:
  std::shared_ptr<CError> error_;
};

// One argument of a call: where the host put it (nullptr when not given) and its position in
// rgvarg, which a failure reports through puArgErr.
struct Slot {
  VARIANT* variant = nullptr;
  UINT position = 0;
};

// The arguments in parameter order: positional ones come last in rgvarg, in reverse order; named
// ones come first, named by parameter index, or by DISPID_PROPERTYPUT for a property's value.
HRESULT Collect(const DISPPARAMS& params, size_t parameterCount, std::vector<Slot>& slots,
                UINT* argumentError) {
  const UINT named = params.cNamedArgs;
  const UINT positional = params.cArgs - named;
  if (named > params.cArgs || positional > parameterCount) return DISP_E_BADPARAMCOUNT;
  slots.assign(parameterCount, Slot{});
  for (UINT i = 0; i < positional; ++i) {
    const UINT position = params.cArgs - 1 - i;
    slots[i] = Slot{&params.rgvarg[position], position};
  }
  for (UINT j = 0; j < named; ++j) {
    const DISPID id = params.rgdispidNamedArgs[j];
    const size_t index = id == DISPID_PROPERTYPUT ? parameterCount - 1 : static_cast<size_t>(id);
    if (parameterCount == 0 || (id < 0 && id != DISPID_PROPERTYPUT) || index >= parameterCount ||
        slots[index].variant) {
      if (argumentError) *argumentError = j;
      return DISP_E_PARAMNOTFOUND;
    }
    slots[index] = Slot{&params.rgvarg[j], j};
  }
  return S_OK;
}

class EncoderObject final : public DispatchObject {
 public:
  EncoderObject() = default;
  EncoderObject(const EncoderObject&) = delete;
  EncoderObject& operator=(const EncoderObject&) = delete;
  ~EncoderObject() override {
    if (errorObject_) errorObject_->Release();
  }

  // _Encoder is the dual interface that lives inside the object; the rest is IDispatch's.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object || !IsEqualIID(iid, kEncoderInterfaceIid)) {
      return DispatchObject::QueryInterface(iid, object);
    }
    *object = &dual_;
    AddRef();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    const Member* member = Resolve(id, flags);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none{};
    return Guarded(exception,
                   [&] { return Call(*member, params ? *params : none, result, argumentError); });
  }

 protected:
  const IID& InterfaceIid() const override { return kEncoderInterfaceIid; }

  // A property's Let and Get share the Get's index; the others are their own index.
  HRESULT IdsOf(const std::vector<std::string>& names, DISPID* ids) override {
    const Member& member = automation::FindMember(names[0], false);
    ids[0] = member.index;
    const auto& parameters = member.kind == MemberKind::PropertyGet
                                 ? automation::FindMember(names[0], true).parameters
                                 : member.parameters;
    HRESULT outcome = S_OK;
    for (size_t k = 1; k < names.size(); ++k) {
      size_t p = 0;
      while (p < parameters.size() && !EqualsIgnoringCase(parameters[p].name, names[k])) ++p;
      if (p < parameters.size()) {
        ids[k] = static_cast<DISPID>(p);
      } else {
        outcome = DISP_E_UNKNOWNNAME;
      }
    }
    return outcome;
  }

 private:
  // The row that `flags` call at `id`: a property put chooses the Let half.
  static const Member* Resolve(DISPID id, WORD flags) noexcept {
    const auto members = automation::Members();
    if (id < 0 || static_cast<size_t>(id) >= members.size()) return nullptr;
    const Member* member = &members[static_cast<size_t>(id)];
    const bool put = flags & DISPATCH_PROPERTYPUT;
    const bool get = flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD);
    if (member->kind == MemberKind::PropertyGet || member->kind == MemberKind::PropertyLet) {
      try {
        member = &automation::FindMember(member->name, put);
      } catch (...) {
        return nullptr;
      }
      const bool let = member->kind == MemberKind::PropertyLet;
      return (put && let) || (!put && get && !let) ? member : nullptr;
    }
    return get && !put ? member : nullptr;
  }

  HRESULT Call(const Member& member, const DISPPARAMS& params, VARIANT* result,
               UINT* argumentError) {
    const auto& parameters = member.parameters;
    std::vector<Slot> slots;
    if (HRESULT hr = Collect(params, parameters.size(), slots, argumentError); FAILED(hr)) {
      return hr;
    }
    automation::Arguments values(parameters.size());
    for (size_t i = 0; i < parameters.size(); ++i) {
      const Slot& slot = slots[i];
      if (slot.variant) {
        try {
          values[i] = FromVariant(*slot.variant);
          // A CError given for a typed parameter is read for its default value, Number, as late
          // binding reads any object's.
          if (values[i] && values[i]->kind() == Variant::Kind::Object &&
              parameters[i].type != ValueType::Variant) {
            values[i] = Variant(values[i]->asObject()->Number);
          }
          // Coerced here too, so that a mismatch names its argument.
          if (values[i]) Coerce(*values[i], parameters[i].type);
        } catch (const ComError&) {
          if (argumentError) *argumentError = slot.position;
          throw;
        }
      }
      if (values[i] || parameters[i].optional) continue;
      if (!slot.variant) return DISP_E_BADPARAMCOUNT;
      if (argumentError) *argumentError = slot.position;
      return DISP_E_PARAMNOTFOUND;
    }
    const Variant value = automation::Invoke(encoder_, member, values);
    HRESULT outcome = S_OK;
    for (size_t i = 0; i < parameters.size(); ++i) {
      if (!parameters[i].byRef || !slots[i].variant || !values[i]) continue;
      if (FAILED(WriteBack(*values[i], *slots[i].variant, Wrapper()))) {
        if (argumentError) *argumentError = slots[i].position;
        outcome = DISP_E_TYPEMISMATCH;
      }
    }
    if (result) {
      if (member.result == ValueType::None) {
        VariantInit(result);
      } else {
        ToVariant(value, *result, Wrapper());
      }
    }
    return outcome;
  }

  // LastError hands out the same CError object every time, so that a host's `Is` holds.
  ErrorWrapper Wrapper() {
    return [this](const std::shared_ptr<CError>& error) {
      if (!errorObject_ || ErrorOf(errorObject_) != error) {
        IDispatch* created = NewErrorObject(error);
        if (errorObject_) errorObject_->Release();
        errorObject_ = created;
      }
      errorObject_->AddRef();
      return errorObject_;
    };
  }

  Encoder encoder_;
  IDispatch* errorObject_ = nullptr;
  DualInterface dual_{DualVtable(), this};
};

}  // namespace

void HoldModule() noexcept {
  ++moduleUses;
}
void ReleaseModule() noexcept {
  --moduleUses;
}
bool ModuleInUse() noexcept {
  return moduleUses > 0;
}

HRESULT CreateEncoder(REFIID iid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  try {
    auto* encoder = new EncoderObject();
    const HRESULT hr = encoder->QueryInterface(iid, object);
    encoder->Release();
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

IDispatch* NewErrorObject(std::shared_ptr<CError> error) {
  return new ErrorObject(std::move(error));
}

std::shared_ptr<CError> ErrorOf(IUnknown* object) noexcept {
  void* found = nullptr;
  if (!object || FAILED(object->QueryInterface(kErrorObjectIid, &found))) return nullptr;
  auto* error = dynamic_cast<ErrorObject*>(static_cast<IDispatch*>(found));
  std::shared_ptr<CError> live = error->error();
  error->Release();
  return live;
}

}  // namespace tarsin::com
