// SPDX-License-Identifier: Apache-2.0
// The C interface over the late-bound dispatch: handles, variants in plain C memory, and no
// exception past the boundary.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "automation/c_abi_support.h"
#include "automation/c_memory.h"
#include "automation/dispatch.h"
#include "core/encoder_access.h"
#include "tarsin/tarsin.h"

struct tarsin_encoder {
  tarsin::Encoder encoder;
};

namespace tarsin::c_abi {

int32_t Fail(tarsin_failure* failure, int32_t number, std::string_view description) noexcept {
  if (failure) {
    failure->number = number;
    size_t size = std::min(description.size(), sizeof failure->description - 1);
    // Never cut a UTF-8 character in two.
    while (size > 0 && size < description.size() &&
           (static_cast<uint8_t>(description[size]) & 0xC0) == 0x80) {
      --size;
    }
    std::memcpy(failure->description, description.data(), size);
    failure->description[size] = '\0';
  }
  return number;
}

namespace {

static_assert(TARSIN_OBJECT == static_cast<int>(Variant::Kind::Object) &&
              TARSIN_STRING == static_cast<int>(Variant::Kind::String));

// A copy of the handle, recorded like every block the library hands out.
tarsin_error* NewError(std::shared_ptr<CError> error, std::shared_ptr<std::recursive_mutex> calls) {
  auto* handle = Allocate<tarsin_error>(1);
  return new (handle) tarsin_error{std::move(error), std::move(calls)};
}

void ReleaseError(tarsin_error* error) noexcept {
  if (!OwnedCount(error)) return;
  error->~tarsin_error();
  ReleaseOwned(error);
}

// The host's variant as the component's; a text without its pointer reads as "".
Variant FromC(const tarsin_variant& value, int depth = 0) {
  switch (value.kind) {
    case TARSIN_EMPTY:
      return Variant();
    case TARSIN_NULL:
      return Variant(Variant::Null{});
    case TARSIN_BOOL:
      return Variant(value.integer != 0);
    case TARSIN_BYTE:
      return Variant(static_cast<uint8_t>(value.integer));
    case TARSIN_INT16:
      return Variant(static_cast<int16_t>(value.integer));
    case TARSIN_INT32:
      return Variant(static_cast<int32_t>(value.integer));
    case TARSIN_INT64:
      return Variant(static_cast<int64_t>(value.integer));
    case TARSIN_DOUBLE:
      return Variant(value.number);
    case TARSIN_STRING:
      return Variant(value.text ? std::string(value.text, value.length) : std::string());
    case TARSIN_BYTES:
      return Variant(value.bytes ? Variant::Bytes(value.bytes, value.bytes + value.length)
                                 : Variant::Bytes());
    case TARSIN_ARRAY: {
      // The host's stack, not ours, sets how deep a nesting can go.
      if (depth >= TARSIN_MAX_NESTING) {
        throw ComError(kDispTypeMismatch, "Arrays nested more than " +
                                              std::to_string(TARSIN_MAX_NESTING) + " levels deep");
      }
      Variant::Array elements;
      for (size_t i = 0; value.elements && i < value.length; ++i) {
        elements.push_back(FromC(value.elements[i], depth + 1));
      }
      return Variant(std::move(elements));
    }
    case TARSIN_OBJECT:
      if (value.error) return Variant(value.error->error);
      break;
    default:
      break;
  }
  throw ComError(kDispTypeMismatch, "Unknown variant kind " + std::to_string(value.kind));
}

}  // namespace

void ToC(const Variant& value, tarsin_variant& out,
         const std::shared_ptr<std::recursive_mutex>& calls, int32_t flags) {
  out = tarsin_variant{};
  out.flags = flags;
  out.kind = static_cast<int32_t>(value.kind());  // the kinds share their numbers
  switch (value.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      break;
    case Variant::Kind::Bool:
      out.integer = value.asBool() ? 1 : 0;
      break;
    case Variant::Kind::Double:
      out.number = value.asDouble();
      break;
    case Variant::Kind::String: {
      const std::string& text = value.asString();
      out.text = CopyText(text.data(), text.size());
      out.length = text.size();
      break;
    }
    case Variant::Kind::Bytes: {
      const Variant::Bytes& bytes = value.asBytes();
      out.bytes = Allocate<uint8_t>(bytes.size());
      std::memcpy(out.bytes, bytes.data(), bytes.size());
      out.length = bytes.size();
      break;
    }
    case Variant::Kind::Array: {
      const Variant::Array& elements = value.asArray();
      out.elements = Allocate<tarsin_variant>(elements.size());
      out.length = elements.size();
      for (size_t i = 0; i < elements.size(); ++i) ToC(elements[i], out.elements[i], calls, 0);
      break;
    }
    case Variant::Kind::Object:
      out.error = NewError(value.asObject(), calls);
      break;
    default:
      out.integer = value.asInt64();
  }
}

namespace {

// `find` gives the member (or throws the late-bound error for a name or index without one).
template <class Find>
int32_t Call(tarsin_encoder* encoder, const Find& find, tarsin_variant* args, size_t count,
             tarsin_variant* result, tarsin_failure* failure) noexcept {
  if (!encoder || (count > 0 && !args)) {
    return Fail(failure, TARSIN_E_INVALIDARG, "No encoder, or no arguments for a count");
  }
  return Guarded(failure, [&] {
    const automation::Member& member = find();
    // Before any argument is read: a count beyond the array would read past it.
    if (count > member.parameters.size()) {
      throw ComError(kDispBadParamCount, "Wrong number of arguments for " +
                                             std::string(member.name) + ": " +
                                             std::to_string(count) + " given, at most " +
                                             std::to_string(member.parameters.size()));
    }
    const auto& calls = StateOf(encoder->encoder).calls;
    automation::Arguments values(count);
    for (size_t i = 0; i < count; ++i) {
      if (args[i].flags & TARSIN_MISSING) continue;
      // The count was checked above: every argument has its parameter.
      if (member.parameters[i].byRef && !(args[i].flags & TARSIN_BYREF)) {
        throw ComError(kDispTypeMismatch, "Argument " + std::to_string(i + 1) + " (" +
                                              std::string(member.parameters[i].name) + ") of " +
                                              std::string(member.name) + " is passed by reference");
      }
      values[i] = FromC(args[i]);
    }
    const Variant value = automation::Invoke(encoder->encoder, member, values);
    for (size_t i = 0; i < count; ++i) {
      if ((args[i].flags & TARSIN_BYREF) && values[i] && member.parameters[i].byRef) {
        tarsin_variant_clear(&args[i]);
        ToC(*values[i], args[i], calls, args[i].flags);
      }
    }
    if (result) ToC(value, *result, calls, 0);  // out only: what it held is not read
  });
}

// Clears `value` and gives it `kind`, its flags kept; false for no variant.
bool Reset(tarsin_variant* value, int32_t kind) {
  if (!value) return false;
  tarsin_variant_clear(value);
  value->kind = kind;
  return true;
}

void SetInteger(tarsin_variant* value, int32_t kind, int64_t number) {
  if (Reset(value, kind)) value->integer = number;
}

// Runs `fill` on the cleared variant; out of memory leaves it Empty.
template <class Fill>
int32_t SetAllocated(tarsin_variant* value, int32_t kind, Fill&& fill) {
  if (!Reset(value, kind)) return TARSIN_E_INVALIDARG;
  try {
    fill();
    return 0;
  } catch (...) {
    Reset(value, TARSIN_EMPTY);
    return TARSIN_E_OUTOFMEMORY;
  }
}

}  // namespace
}  // namespace tarsin::c_abi

// "1.0.0" from the build's version numbers.
#define TARSIN_TEXT_OF(number) #number
#define TARSIN_VERSION_TEXT(major, minor, patch) \
  TARSIN_TEXT_OF(major) "." TARSIN_TEXT_OF(minor) "." TARSIN_TEXT_OF(patch)

using tarsin::c_abi::Call;
using tarsin::c_abi::Fail;
using tarsin::c_abi::Guarded;
using tarsin::c_abi::Reset;
using tarsin::c_abi::SetAllocated;
using tarsin::c_abi::SetInteger;

extern "C" {

tarsin_encoder* tarsin_encoder_create(void) {
  return new (std::nothrow) tarsin_encoder();
}

void tarsin_encoder_release(tarsin_encoder* encoder) {
  delete encoder;
}

int32_t tarsin_invoke(tarsin_encoder* encoder, const char* name, int32_t let, tarsin_variant* args,
                      size_t count, tarsin_variant* result, tarsin_failure* failure) {
  if (!name) return Fail(failure, TARSIN_E_INVALIDARG, "No member name");
  return Call(
      encoder, [&]() -> auto& { return tarsin::automation::FindMember(name, let != 0); }, args,
      count, result, failure);
}

int32_t tarsin_invoke_index(tarsin_encoder* encoder, int32_t index, tarsin_variant* args,
                            size_t count, tarsin_variant* result, tarsin_failure* failure) {
  return Call(
      encoder, [&]() -> auto& { return tarsin::automation::MemberAt(index); }, args, count, result,
      failure);
}

const char* tarsin_member_name(int32_t index) {
  const auto members = tarsin::automation::Members();
  if (index < 0 || static_cast<size_t>(index) >= members.size()) return nullptr;
  return members[static_cast<size_t>(index)].name.data();  // the table's literals end with NUL
}

tarsin_error* tarsin_encoder_last_error(tarsin_encoder* encoder) {
  if (!encoder) return nullptr;
  try {
    return tarsin::c_abi::NewError(encoder->encoder.LastError(),
                                   tarsin::StateOf(encoder->encoder).calls);
  } catch (...) {
    return nullptr;
  }
}

void tarsin_error_release(tarsin_error* error) {
  tarsin::c_abi::ReleaseError(error);
}

int32_t tarsin_error_get(const tarsin_error* error, const char* field, tarsin_variant* value,
                         tarsin_failure* failure) {
  if (!error || !field || !value) return Fail(failure, TARSIN_E_INVALIDARG, "Missing argument");
  return Guarded(failure, [&] {
    const auto& row = tarsin::automation::FindErrorField(field);
    tarsin::Variant read;
    {
      const std::lock_guard call(*error->calls);
      read = tarsin::automation::GetErrorField(*error->error, row);
    }
    tarsin::c_abi::ToC(read, *value, error->calls, 0);
  });
}

int32_t tarsin_error_set(tarsin_error* error, const char* field, const tarsin_variant* value,
                         tarsin_failure* failure) {
  if (!error || !field || !value) return Fail(failure, TARSIN_E_INVALIDARG, "Missing argument");
  return Guarded(failure, [&] {
    const auto& row = tarsin::automation::FindErrorField(field);
    const tarsin::Variant written = tarsin::c_abi::FromC(*value);
    const std::lock_guard call(*error->calls);
    tarsin::automation::LetErrorField(*error->error, row, written);
  });
}

const char* tarsin_version(int32_t* major, int32_t* minor, int32_t* patch) {
  if (major) *major = TARSIN_VERSION_MAJOR;
  if (minor) *minor = TARSIN_VERSION_MINOR;
  if (patch) *patch = TARSIN_VERSION_PATCH;
  return TARSIN_VERSION_TEXT(TARSIN_VERSION_MAJOR, TARSIN_VERSION_MINOR, TARSIN_VERSION_PATCH);
}

void tarsin_variant_init(tarsin_variant* value) {
  if (value) *value = tarsin_variant{};
}

void tarsin_variant_clear(tarsin_variant* value) {
  if (!value) return;
  // A loop, not a recursion: a host may nest arrays as deep as its memory allows. Element arrays
  // are freed once every element has been looked at.
  std::vector<tarsin_variant*> pending;
  std::vector<tarsin_variant*> arrays;
  try {
    pending.push_back(value);
    while (!pending.empty()) {
      tarsin_variant* next = pending.back();
      pending.pop_back();
      tarsin::c_abi::ReleaseOwned(next->text);
      tarsin::c_abi::ReleaseOwned(next->bytes);
      tarsin::c_abi::ReleaseError(next->error);
      const auto count = tarsin::c_abi::OwnedCount(next->elements);
      if (!count) continue;
      arrays.push_back(next->elements);
      for (size_t i = 0; i < *count; ++i) pending.push_back(&next->elements[i]);
    }
  } catch (...) {
    // no memory for the lists: what was not reached stays allocated rather than crash
  }
  for (tarsin_variant* array : arrays) tarsin::c_abi::ReleaseOwned(array);
  const int32_t flags = value->flags;
  *value = tarsin_variant{};
  value->flags = flags;
}

void tarsin_variant_set_null(tarsin_variant* value) {
  Reset(value, TARSIN_NULL);
}

void tarsin_variant_set_bool(tarsin_variant* value, int32_t truth) {
  SetInteger(value, TARSIN_BOOL, truth != 0);
}

void tarsin_variant_set_byte(tarsin_variant* value, uint8_t number) {
  SetInteger(value, TARSIN_BYTE, number);
}

void tarsin_variant_set_int16(tarsin_variant* value, int16_t number) {
  SetInteger(value, TARSIN_INT16, number);
}

void tarsin_variant_set_int32(tarsin_variant* value, int32_t number) {
  SetInteger(value, TARSIN_INT32, number);
}

void tarsin_variant_set_int64(tarsin_variant* value, int64_t number) {
  SetInteger(value, TARSIN_INT64, number);
}

void tarsin_variant_set_double(tarsin_variant* value, double number) {
  if (Reset(value, TARSIN_DOUBLE)) value->number = number;
}

int32_t tarsin_variant_set_string(tarsin_variant* value, const char* text) {
  return SetAllocated(value, TARSIN_STRING, [&] {
    value->length = text ? std::strlen(text) : 0;
    value->text = tarsin::c_abi::CopyText(text, value->length);
  });
}

int32_t tarsin_variant_set_bytes(tarsin_variant* value, const uint8_t* bytes, size_t length) {
  if (!bytes && length > 0) return TARSIN_E_INVALIDARG;
  return SetAllocated(value, TARSIN_BYTES, [&] {
    value->bytes = tarsin::c_abi::Allocate<uint8_t>(length);
    if (length) std::memcpy(value->bytes, bytes, length);
    value->length = length;
  });
}

int32_t tarsin_variant_set_array(tarsin_variant* value, size_t length) {
  return SetAllocated(value, TARSIN_ARRAY, [&] {
    value->elements = tarsin::c_abi::Allocate<tarsin_variant>(length);
    value->length = length;
  });
}

int32_t tarsin_variant_set_error(tarsin_variant* value, const tarsin_error* error) {
  if (!error) return TARSIN_E_INVALIDARG;
  return SetAllocated(value, TARSIN_OBJECT,
                      [&] { value->error = tarsin::c_abi::NewError(error->error, error->calls); });
}

void tarsin_variant_set_missing(tarsin_variant* value) {
  if (Reset(value, TARSIN_EMPTY)) value->flags |= TARSIN_MISSING;
}

}  // extern "C"
