// CError late-bound: the six fields of the object that LastError hands out.
#include <fmt/format.h>

#include <array>

#include "automation/dispatch.h"
#include "core/ascii_text.h"

namespace tarsin::automation {
namespace {

constexpr std::array<ErrorField, 6> kFields = {{
    {0, "Number", ValueType::Long},
    {1, "Description", ValueType::String},
    {2, "LastDllError", ValueType::Long},
    {3, "ComFunction", ValueType::String},
    {4, "RdrCommand", ValueType::String},
    {5, "RdrRetCode", ValueType::String},
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
  switch (field.index) {
    case 0:
      return Variant(error.Number);
    case 1:
      return Variant(error.Description);
    case 2:
      return Variant(error.LastDllError);
    case 3:
      return Variant(error.ComFunction);
    case 4:
      return Variant(error.RdrCommand);
    default:
      return Variant(error.RdrRetCode);
  }
}

void LetErrorField(CError& error, const ErrorField& field, const Variant& value) {
  const Variant coerced = Coerce(value, field.type);
  switch (field.index) {
    case 0:
      error.Number = static_cast<int32_t>(coerced.asInt64());
      break;
    case 1:
      error.Description = coerced.asString();
      break;
    case 2:
      error.LastDllError = static_cast<int32_t>(coerced.asInt64());
      break;
    case 3:
      error.ComFunction = coerced.asString();
      break;
    case 4:
      error.RdrCommand = coerced.asString();
      break;
    default:
      error.RdrRetCode = coerced.asString();
  }
}

}  // namespace tarsin::automation
