// SPDX-License-Identifier: Apache-2.0
// CError late-bound: the six fields of the object that LastError hands out.
#include <fmt/format.h>

#include <array>

#include "automation/dispatch.h"
#include "core/ascii_text.h"

namespace tarsin::automation {
namespace {

const std::array<ErrorField, 6> kFields = {{
    {0, "Number", &CError::Number},
    {1, "Description", &CError::Description},
    {2, "LastDllError", &CError::LastDllError},
    {3, "ComFunction", &CError::ComFunction},
    {4, "RdrCommand", &CError::RdrCommand},
    {5, "RdrRetCode", &CError::RdrRetCode},
}};

}  // namespace

std::span<const ErrorField> ErrorFields() {
  return kFields;
}

const ErrorField& FindErrorField(std::string_view name) {
  for (const ErrorField& field : kFields) {
    if (EqualsIgnoringCase(field.name, name)) return field;
  }
  throw ComError(kDispUnknownName, fmt::format("Unknown name: {}", name));
}

const ErrorField& ErrorFieldAt(int index) {
  if (index < 0 || static_cast<size_t>(index) >= kFields.size()) {
    throw ComError(kDispMemberNotFound, fmt::format("No member with index {}", index));
  }
  return kFields[static_cast<size_t>(index)];
}

Variant GetErrorField(const CError& error, const ErrorField& field) {
  return std::visit([&](auto member) { return Variant(error.*member); }, field.member);
}

void LetErrorField(CError& error, const ErrorField& field, const Variant& value) {
  std::visit(
      [&](auto member) {
        if constexpr (std::is_same_v<decltype(member), std::string CError::*>) {
          error.*member = ToString(value);
        } else {
          error.*member = ToLong(value);
        }
      },
      field.member);
}

}  // namespace tarsin::automation
