// SPDX-License-Identifier: Apache-2.0
// VARIANT, BSTR and SAFEARRAY of automation as the component's Variant and UTF-8 text, both ways.
// A host passes what late binding passes: any scalar type, by value or by reference, arrays,
// objects, and VT_ERROR DISP_E_PARAMNOTFOUND for an optional argument it leaves out.
#pragma once

#include <ole2.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tarsin/types.h"
#include "tarsin/variant.h"

namespace tarsin::com {

// The whole BSTR as UTF-8, NUL characters included (a null BSTR is "").
std::string Utf8FromBstr(BSTR text);
// Never null (an empty BSTR for ""); a text that is not UTF-8 is read byte by byte in the
// component's code page, as the Python host does. Throws std::bad_alloc.
BSTR BstrFromUtf8(std::string_view text);

// The value an argument carries, read through VT_BYREF. nullopt for a left-out optional
// (VT_ERROR DISP_E_PARAMNOTFOUND). A CError object of this component comes back as the live
// CError; another object gives its default value, as late binding reads it. Throws ComError
// (type mismatch) for what has no late-bound form (multi-dimensional arrays, Nothing, records).
std::optional<Variant> FromVariant(const VARIANT& value);

// Makes the object that carries a live CError to the host.
using ErrorWrapper = std::function<IDispatch*(const std::shared_ptr<CError>&)>;

// Writes `value` into `out`, which holds nothing that needs freeing. Byte arrays become
// VT_ARRAY|VT_UI1 and other arrays VT_ARRAY|VT_VARIANT with lower bound 0. Throws
// std::bad_alloc; `out` is then VT_EMPTY.
void ToVariant(const Variant& value, VARIANT& out, const ErrorWrapper& wrapError);

// Writes `value` through a by-ref argument: VT_BYREF|VT_VARIANT takes it as it is, a typed
// by-ref (VT_BYREF|VT_BSTR, VT_BYREF|VT_I4, ...) takes it changed to its type. Returns
// DISP_E_TYPEMISMATCH (the argument unchanged) when the change is not possible, S_OK when written
// or when `argument` is not by reference.
HRESULT WriteBack(const Variant& value, VARIANT& argument, const ErrorWrapper& wrapError);

// Owns one VARIANT.
class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&value_); }
  ~ScopedVariant() { VariantClear(&value_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  VARIANT& get() { return value_; }
  VARIANT* operator->() { return &value_; }

 private:
  VARIANT value_{};
};

}  // namespace tarsin::com
