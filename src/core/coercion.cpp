// SPDX-License-Identifier: Apache-2.0
#include "core/coercion.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string_view>

#include "core/ascii_text.h"
#include "core/numeric_text.h"
#include "core/variant_text.h"

namespace tarsin {
namespace {

[[noreturn]] void Mismatch(const Variant& value, const char* target) {
  throw ComError(kDispTypeMismatch, fmt::format("Type mismatch: cannot change {} to {}",
                                                KindName(value.kind()), target));
}

[[noreturn]] void Overflow(double number, const char* target) {
  throw ComError(kDispOverflow, fmt::format("Overflow: {} does not fit in {}", number, target));
}

double NumberOf(const Variant& value, const char* target) {
  switch (value.kind()) {
    case Variant::Kind::Empty:
      return 0;
    case Variant::Kind::Bool:
      return value.asBool() ? -1 : 0;
    case Variant::Kind::String: {
      const std::string& text = value.asString();
      if (EqualsIgnoringCase(text, "True")) return -1;
      if (EqualsIgnoringCase(text, "False")) return 0;
      if (auto number = WholeNumber(text)) return *number;
      Mismatch(value, target);
    }
    default:
      if (value.isNumeric()) return value.asDouble();
      Mismatch(value, target);
  }
}

template <class Int>
Int ToInteger(const Variant& value, const char* target) {
  if (value.isNumeric() && value.kind() != Variant::Kind::Double) {
    const int64_t n = value.asInt64();
    if (n < std::numeric_limits<Int>::min() || n > std::numeric_limits<Int>::max()) {
      Overflow(static_cast<double>(n), target);
    }
    return static_cast<Int>(n);
  }
  const double rounded = std::nearbyint(NumberOf(value, target));  // halves to even
  if (!(rounded >= static_cast<double>(std::numeric_limits<Int>::min()) &&
        rounded <= static_cast<double>(std::numeric_limits<Int>::max()))) {
    Overflow(rounded, target);
  }
  return static_cast<Int>(rounded);
}

}  // namespace

const char* TypeName(ValueType type) noexcept {
  switch (type) {
    case ValueType::Variant:
      return "Variant";
    case ValueType::String:
      return "String";
    case ValueType::Long:
      return "Long";
    case ValueType::Byte:
      return "Byte";
    case ValueType::Boolean:
      return "Boolean";
    case ValueType::Double:
      return "Double";
    case ValueType::ReturnCode:
      return "sceReturnCode";
    case ValueType::Error:
      return "CError";
    case ValueType::None:
      return "";
  }
  return "";
}

std::string ToString(const Variant& value) {
  // Late binding and the command placeholders write values as text the same way.
  const auto text = value.kind() == Variant::Kind::Null ? std::nullopt : ElementText(value);
  if (!text) Mismatch(value, "String");
  return *text;
}

int32_t ToLong(const Variant& value) {
  return ToInteger<int32_t>(value, "Long");
}
uint8_t ToByte(const Variant& value) {
  return ToInteger<uint8_t>(value, "Byte");
}
bool ToBoolean(const Variant& value) {
  return NumberOf(value, "Boolean") != 0;
}
double ToDouble(const Variant& value) {
  return NumberOf(value, "Double");
}

Variant Coerce(const Variant& value, ValueType type) {
  switch (type) {
    case ValueType::String:
      return Variant(ToString(value));
    case ValueType::Long:
    case ValueType::ReturnCode:
      return Variant(ToLong(value));
    case ValueType::Byte:
      return Variant(ToByte(value));
    case ValueType::Boolean:
      return Variant(ToBoolean(value));
    case ValueType::Double:
      return Variant(ToDouble(value));
    default:
      return value;
  }
}

}  // namespace tarsin
