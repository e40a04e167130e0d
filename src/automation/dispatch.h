// SPDX-License-Identifier: Apache-2.0
// The late-bound interface of Encoder: its 68 members in interface order, callable by index or
// by name with variant arguments, coerced as late binding coerces them, by-ref arguments
// written back. Failures are tarsin::ComError with the dispatch error numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "core/coercion.h"
#include "tarsin/encoder.h"

namespace tarsin::automation {

enum class MemberKind { PropertyLet, PropertyGet, Function, Procedure };

struct Parameter {
  std::string_view name;
  ValueType type = ValueType::Variant;
  bool byRef = false;
  bool optional = false;
};

// Missing optional arguments are nullopt; by-ref arguments are written back in place.
using Arguments = std::vector<std::optional<Variant>>;
using MemberCall = Variant (*)(Encoder&, Arguments&);

struct Member {
  int index;
  std::string_view name;
  MemberKind kind;
  std::vector<Parameter> parameters;
  ValueType result = ValueType::None;
  MemberCall call = nullptr;  // nullptr: not available in this build
};

std::span<const Member> Members();

// By index; throws ComError 0x80020003 for an index outside the interface.
const Member& MemberAt(int index);
// By name without regard to case; a property's Let and Get share their name, so `wantLet`
// chooses between them. Throws ComError 0x80020006 for an unknown name.
const Member& FindMember(std::string_view name, bool wantLet = false);

// Checks the argument count (0x8002000E) and that the member is in this build (0x80004001),
// and coerces every given argument to its parameter's type (0x80020005, 0x8002000A): the
// arguments the member would be called with. Nothing is called, so a host can check a whole
// script before its first call.
Arguments Prepare(const Member& member, const Arguments& args);

// Prepare, then calls the member and writes the by-ref arguments back.
Variant Invoke(Encoder& encoder, const Member& member, Arguments& args);

// The late-bound interface of CError: its six fields in interface order, read and written by
// name (without regard to case) or index. LastError hands out the live object (an Object
// variant), so a host that keeps it sees every later outcome.
struct ErrorField {
  int index;
  std::string_view name;
  std::variant<int32_t CError::*, std::string CError::*> member;  // a Long or a String
};
std::span<const ErrorField> ErrorFields();
// Throws ComError 0x80020006 for an unknown name, 0x80020003 for an index outside the six.
const ErrorField& FindErrorField(std::string_view name);
const ErrorField& ErrorFieldAt(int index);
Variant GetErrorField(const CError& error, const ErrorField& field);
// Coerces `value` to the field's type (0x80020005, 0x8002000A) before writing it.
void LetErrorField(CError& error, const ErrorField& field, const Variant& value);

}  // namespace tarsin::automation
