// SPDX-License-Identifier: Apache-2.0
#include "tarsin/variant.h"

namespace tarsin {

bool Variant::isNumeric() const noexcept {
  switch (kind()) {
    case Kind::Byte:
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Int64:
    case Kind::Double:
      return true;
    default:
      return false;
  }
}

double Variant::asDouble() const {
  if (kind() == Kind::Double) return std::get<double>(value_);
  return static_cast<double>(asInt64());
}

int64_t Variant::asInt64() const {
  switch (kind()) {
    case Kind::Byte:
      return std::get<uint8_t>(value_);
    case Kind::Int16:
      return std::get<int16_t>(value_);
    case Kind::Int32:
      return std::get<int32_t>(value_);
    case Kind::Int64:
      return std::get<int64_t>(value_);
    default:
      throw std::bad_variant_access();
  }
}

Variant::Array Variant::elements() const {
  if (kind() == Kind::Array) return asArray();
  Array out;
  if (kind() == Kind::Bytes) {
    out.reserve(asBytes().size());
    for (uint8_t b : asBytes()) out.emplace_back(b);
  }
  return out;
}

const char* KindName(Variant::Kind kind) noexcept {
  switch (kind) {
    case Variant::Kind::Empty:
      return "Empty";
    case Variant::Kind::Null:
      return "Null";
    case Variant::Kind::Bool:
      return "Boolean";
    case Variant::Kind::Byte:
      return "Byte";
    case Variant::Kind::Int16:
      return "Integer";
    case Variant::Kind::Int32:
      return "Long";
    case Variant::Kind::Int64:
      return "LongLong";
    case Variant::Kind::Double:
      return "Double";
    case Variant::Kind::String:
      return "String";
    case Variant::Kind::Bytes:
      return "Byte()";
    case Variant::Kind::Array:
      return "Variant()";
    case Variant::Kind::Object:
      return "Object";
  }
  return "?";
}

}  // namespace tarsin
