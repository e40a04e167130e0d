// SPDX-License-Identifier: Apache-2.0
#include "host/com/com_variant.h"

#include <cstring>
#include <new>
#include <utility>

#include "core/ansi_code_page.h"
#include "core/coercion.h"
#include "core/wide_text_windows.h"
#include "host/com/dispatch_objects.h"

namespace tarsin::com {
namespace {

[[noreturn]] void Mismatch(const std::string& what) {
  throw ComError(kDispTypeMismatch, "Type mismatch: " + what + " has no late-bound form");
}

// Frees the VARIANT on every way out.
struct Cleared {
  VARIANT value{};
  Cleared() { VariantInit(&value); }
  ~Cleared() { VariantClear(&value); }
  Cleared(const Cleared&) = delete;
  Cleared& operator=(const Cleared&) = delete;
};

// A type that Variant has no kind for, as late binding would change it: to a Double.
Variant Changed(const VARIANT& value) {
  Cleared changed;
  // mingw-w64 declares the source of both calls non-const; neither changes it.
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
  if (FAILED(VariantChangeType(&changed.value, const_cast<VARIANT*>(&value), 0, VT_R8))) {
    Mismatch("a VARIANT of type " + std::to_string(value.vt));
  }
  return Variant(changed.value.dblVal);
}

// An object's default value (DISPID_VALUE), or the CError it carries.
Variant FromObject(IUnknown* object) {
  if (!object) Mismatch("Nothing");
  if (std::shared_ptr<CError> error = ErrorOf(object)) return Variant(std::move(error));
  IDispatch* dispatch = nullptr;
  if (FAILED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
    Mismatch("an object without IDispatch");
  }
  Cleared value;
  DISPPARAMS none{};
  const HRESULT hr = dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT,
                                      DISPATCH_PROPERTYGET, &none, &value.value, nullptr, nullptr);
  dispatch->Release();
  if (FAILED(hr) || value.value.vt == VT_DISPATCH || value.value.vt == VT_UNKNOWN) {
    Mismatch("an object without a default value");
  }
  return FromVariant(value.value).value_or(Variant());
}

Variant FromArray(SAFEARRAY* array, VARTYPE elementType) {
  if (!array) return Variant(Variant::Array());
  if (SafeArrayGetDim(array) != 1) Mismatch("an array of more than one dimension");
  LONG lower = 0;
  LONG upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  if (elementType == VT_UI1) {
    Variant::Bytes bytes;
    for (LONG i = lower; i <= upper; ++i) {
      uint8_t byte = 0;
      if (FAILED(SafeArrayGetElement(array, &i, &byte))) Mismatch("an unreadable array");
      bytes.push_back(byte);
    }
    return Variant(std::move(bytes));
  }
  Variant::Array elements;
  for (LONG i = lower; i <= upper; ++i) {
    Cleared element;
    // A typed element lands in the VARIANT's value, which starts at the same place for all types.
    void* place = elementType == VT_VARIANT ? static_cast<void*>(&element.value)
                                            : static_cast<void*>(&element.value.llVal);
    if (elementType != VT_VARIANT) element.value.vt = elementType;
    if (FAILED(SafeArrayGetElement(array, &i, place))) Mismatch("an unreadable array");
    elements.push_back(FromVariant(element.value).value_or(Variant()));
  }
  return Variant(std::move(elements));
}

}  // namespace

std::string Utf8FromBstr(BSTR text) {
  return Utf8FromWide(std::wstring_view(text ? text : L"", SysStringLen(text)));
}

BSTR BstrFromUtf8(std::string_view text) {
  const std::wstring wide = WideFromUtf8(WellFormedUtf8(text));
  BSTR copy = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!copy) throw std::bad_alloc();
  return copy;
}

std::optional<Variant> FromVariant(const VARIANT& value) {
  if (value.vt == (VT_BYREF | VT_VARIANT)) {
    if (!value.pvarVal) Mismatch("a null reference");
    return FromVariant(*value.pvarVal);
  }
  if (value.vt & VT_BYREF) {
    Cleared direct;
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
    if (FAILED(VariantCopyInd(&direct.value, const_cast<VARIANT*>(&value))))
      Mismatch("a null reference");
    return FromVariant(direct.value);
  }
  if (value.vt & VT_ARRAY) return FromArray(value.parray, value.vt & VT_TYPEMASK);
  switch (value.vt) {
    case VT_EMPTY:
      return Variant();
    case VT_NULL:
      return Variant(Variant::Null{});
    case VT_ERROR:
      if (value.scode == DISP_E_PARAMNOTFOUND) return std::nullopt;
      return Variant(static_cast<int32_t>(value.scode));
    case VT_BOOL:
      return Variant(value.boolVal != VARIANT_FALSE);
    case VT_UI1:
      return Variant(static_cast<uint8_t>(value.bVal));
    case VT_I1:
      return Variant(static_cast<int16_t>(value.cVal));
    case VT_I2:
      return Variant(static_cast<int16_t>(value.iVal));
    case VT_UI2:
      return Variant(static_cast<int32_t>(value.uiVal));
    case VT_I4:
    case VT_INT:
      return Variant(static_cast<int32_t>(value.lVal));
    case VT_UI4:
    case VT_UINT:
      return Variant(static_cast<int64_t>(value.ulVal));
    case VT_I8:
      return Variant(static_cast<int64_t>(value.llVal));
    case VT_R4:
      return Variant(static_cast<double>(value.fltVal));
    case VT_R8:
      return Variant(value.dblVal);
    case VT_BSTR:
      return Variant(Utf8FromBstr(value.bstrVal));
    case VT_DISPATCH:
      return FromObject(value.pdispVal);
    case VT_UNKNOWN:
      return FromObject(value.punkVal);
    case VT_UI8:
    case VT_CY:
    case VT_DATE:
    case VT_DECIMAL:
      return Changed(value);
    default:
      Mismatch("a VARIANT of type " + std::to_string(value.vt));
  }
}

void ToVariant(const Variant& value, VARIANT& out, const ErrorWrapper& wrapError) {
  VariantInit(&out);
  switch (value.kind()) {
    case Variant::Kind::Empty:
      return;
    case Variant::Kind::Null:
      out.vt = VT_NULL;
      return;
    case Variant::Kind::Bool:
      out.vt = VT_BOOL;
      out.boolVal = value.asBool() ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    case Variant::Kind::Byte:
      out.vt = VT_UI1;
      out.bVal = static_cast<BYTE>(value.asInt64());
      return;
    case Variant::Kind::Int16:
      out.vt = VT_I2;
      out.iVal = static_cast<SHORT>(value.asInt64());
      return;
    case Variant::Kind::Int32:
      out.vt = VT_I4;
      out.lVal = static_cast<LONG>(value.asInt64());
      return;
    case Variant::Kind::Int64:
      out.vt = VT_I8;
      out.llVal = value.asInt64();
      return;
    case Variant::Kind::Double:
      out.vt = VT_R8;
      out.dblVal = value.asDouble();
      return;
    case Variant::Kind::String:
      out.bstrVal = BstrFromUtf8(value.asString());
      out.vt = VT_BSTR;
      return;
    case Variant::Kind::Bytes: {
      const Variant::Bytes& bytes = value.asBytes();
      SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
      if (!array) throw std::bad_alloc();
      void* data = nullptr;
      SafeArrayAccessData(array, &data);
      if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
      SafeArrayUnaccessData(array);
      out.vt = VT_ARRAY | VT_UI1;
      out.parray = array;
      return;
    }
    case Variant::Kind::Array: {
      const Variant::Array& elements = value.asArray();
      SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(elements.size()));
      if (!array) throw std::bad_alloc();
      out.vt = VT_ARRAY | VT_VARIANT;
      out.parray = array;
      VARIANT* data = nullptr;
      SafeArrayAccessData(array, reinterpret_cast<void**>(&data));
      try {
        for (size_t i = 0; i < elements.size(); ++i) ToVariant(elements[i], data[i], wrapError);
      } catch (...) {
        SafeArrayUnaccessData(array);
        VariantClear(&out);
        throw;
      }
      SafeArrayUnaccessData(array);
      return;
    }
    case Variant::Kind::Object:
      out.pdispVal = wrapError(value.asObject());
      out.vt = VT_DISPATCH;
      return;
  }
}

HRESULT WriteBack(const Variant& value, VARIANT& argument, const ErrorWrapper& wrapError) {
  if (!(argument.vt & VT_BYREF)) return S_OK;
  if (argument.vt == (VT_BYREF | VT_VARIANT)) {
    if (!argument.pvarVal) return DISP_E_TYPEMISMATCH;
    VARIANT written;
    ToVariant(value, written, wrapError);
    VariantClear(argument.pvarVal);
    *argument.pvarVal = written;  // a plain copy hands over what `written` owns
    return S_OK;
  }
  const VARTYPE type = argument.vt & ~VT_BYREF;
  if (type & VT_ARRAY) return DISP_E_TYPEMISMATCH;
  Cleared written;
  ToVariant(value, written.value, wrapError);
  if (FAILED(VariantChangeType(&written.value, &written.value, 0, type))) {
    return DISP_E_TYPEMISMATCH;
  }
  switch (type) {
    case VT_BSTR:
      SysFreeString(*argument.pbstrVal);
      *argument.pbstrVal = std::exchange(written.value.bstrVal, nullptr);
      written.value.vt = VT_EMPTY;
      return S_OK;
    case VT_DISPATCH:
      if (*argument.ppdispVal) (*argument.ppdispVal)->Release();
      *argument.ppdispVal = std::exchange(written.value.pdispVal, nullptr);
      written.value.vt = VT_EMPTY;
      return S_OK;
    case VT_I1:
    case VT_UI1:
      *argument.pbVal = written.value.bVal;
      return S_OK;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      *argument.piVal = written.value.iVal;
      return S_OK;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      *argument.plVal = written.value.lVal;
      return S_OK;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
      *argument.pllVal = written.value.llVal;
      return S_OK;
    case VT_DECIMAL:
      *argument.pdecVal = written.value.decVal;
      return S_OK;
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

}  // namespace tarsin::com
