// SPDX-License-Identifier: Apache-2.0
// Argument coercion as late binding does it: a variant is changed to the parameter's declared
// type, or the call fails with the dispatch error a COM client would see.
#pragma once

#include <cstdint>
#include <string>

#include "tarsin/types.h"
#include "tarsin/variant.h"

namespace tarsin {

inline constexpr int32_t kDispUnknownName = static_cast<int32_t>(0x80020006);
inline constexpr int32_t kDispMemberNotFound = static_cast<int32_t>(0x80020003);
inline constexpr int32_t kDispBadParamCount = static_cast<int32_t>(0x8002000E);
inline constexpr int32_t kDispTypeMismatch = static_cast<int32_t>(0x80020005);
inline constexpr int32_t kDispOverflow = static_cast<int32_t>(0x8002000A);
inline constexpr int32_t kNotImplemented = static_cast<int32_t>(0x80004001);

// ReturnCode is a Long that hosts show by its sceReturnCode name.
enum class ValueType { Variant, String, Long, Byte, Boolean, Double, ReturnCode, Error, None };

const char* TypeName(ValueType type) noexcept;

// Each throws ComError (type mismatch or overflow) when the value cannot be changed.
std::string ToString(const Variant& value);
int32_t ToLong(const Variant& value);
uint8_t ToByte(const Variant& value);
bool ToBoolean(const Variant& value);
double ToDouble(const Variant& value);

// The value changed to `type` (Variant leaves it as it is).
Variant Coerce(const Variant& value, ValueType type);

}  // namespace tarsin
