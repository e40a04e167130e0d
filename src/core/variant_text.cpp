// SPDX-License-Identifier: Apache-2.0
#include "core/variant_text.h"

#include <fmt/format.h>

#include <cmath>

namespace tarsin {
namespace {

std::string FormatDouble(double value) {
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
    return fmt::format("{}", static_cast<long long>(value));
  }
  return fmt::format("{}", value);
}

}  // namespace

std::optional<std::string> ElementText(const Variant& element) {
  switch (element.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      return std::string();
    case Variant::Kind::Bool:
      return std::string(element.asBool() ? "True" : "False");
    case Variant::Kind::Double:
      return FormatDouble(element.asDouble());
    case Variant::Kind::String:
      return element.asString();
    case Variant::Kind::Bytes:
    case Variant::Kind::Array:
    case Variant::Kind::Object:
      return std::nullopt;
    default:
      return std::to_string(element.asInt64());
  }
}

}  // namespace tarsin
