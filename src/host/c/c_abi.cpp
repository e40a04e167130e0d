// The C interface over the late-bound dispatch: handles, variants in plain C memory, and no
// exception past the boundary.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "automation/dispatch.h"
#include "tarsin/tarsin.h"

// A variant's text, bytes and elements are C memory that C hosts free through
// tarsin_variant_clear: malloc and free are the contract here, not a lapse.
// NOLINTBEGIN(cppcoreguidelines-no-malloc)

struct tarsin_encoder {
  tarsin::Encoder encoder;
};

struct tarsin_error {
  std::shared_ptr<tarsin::CError> error;
};

namespace tarsin::c_abi {
namespace {

constexpr int32_t kUnexpected = static_cast<int32_t>(0x8000FFFF);
static_assert(TARSIN_OBJECT == static_cast<int>(Variant::Kind::Object) &&
              TARSIN_STRING == static_cast<int>(Variant::Kind::String));

int32_t Fail(tarsin_failure* failure, int32_t number, std::string_view description) {
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

template <class T>
T* Allocate(size_t count) {
  void* memory = std::calloc(count == 0 ? 1 : count, sizeof(T));
  if (!memory) throw std::bad_alloc();
  return static_cast<T*>(memory);
}

// The host's variant as the component's; a text without its pointer reads as "".
Variant FromC(const tarsin_variant& value) {
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
      return Variant(value.integer);
    case TARSIN_DOUBLE:
      return Variant(value.number);
    case TARSIN_STRING:
      return Variant(value.text ? std::string(value.text, value.length) : std::string());
    case TARSIN_BYTES:
      return Variant(value.bytes ? Variant::Bytes(value.bytes, value.bytes + value.length)
                                 : Variant::Bytes());
    case TARSIN_ARRAY: {
      Variant::Array elements;
      for (size_t i = 0; value.elements && i < value.length; ++i) {
        elements.push_back(FromC(value.elements[i]));
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

// Writes `value` into `out`, which holds nothing of its own.
void ToC(const Variant& value, tarsin_variant& out) {
  const int32_t flags = out.flags;
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
      out.text = Allocate<char>(text.size() + 1);
      std::memcpy(out.text, text.data(), text.size());
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
      for (size_t i = 0; i < elements.size(); ++i) ToC(elements[i], out.elements[i]);
      break;
    }
    case Variant::Kind::Object:
      out.error = new tarsin_error{value.asObject()};
      break;
    default:
      out.integer = value.asInt64();
  }
}

// Runs `call`; a late-bound error or any other exception becomes the returned number.
template <class Call>
int32_t Guarded(tarsin_failure* failure, Call&& call) noexcept {
  try {
    call();
    return Fail(failure, 0, "");
  } catch (const ComError& e) {
    return Fail(failure, e.number(), e.description());
  } catch (const std::bad_alloc&) {
    return Fail(failure, TARSIN_E_OUTOFMEMORY, "Out of memory");
  } catch (...) {
    return Fail(failure, kUnexpected, "Unexpected failure");
  }
}

// `find` gives the member (or throws the late-bound error for a name or index without one).
template <class Find>
int32_t Call(tarsin_encoder* encoder, const Find& find, tarsin_variant* args, size_t count,
             tarsin_variant* result, tarsin_failure* failure) noexcept {
  if (!encoder || (count > 0 && !args)) {
    return Fail(failure, TARSIN_E_INVALIDARG, "No encoder, or no arguments for a count");
  }
  return Guarded(failure, [&] {
    const automation::Member& member = find();
    automation::Arguments values(count);
    for (size_t i = 0; i < count; ++i) {
      if (args[i].flags & TARSIN_MISSING) continue;
      const bool byRef = i < member.parameters.size() && member.parameters[i].byRef;
      if (byRef && !(args[i].flags & TARSIN_BYREF)) {
        throw ComError(kDispTypeMismatch, "Argument " + std::to_string(i + 1) + " (" +
                                              std::string(member.parameters[i].name) + ") of " +
                                              std::string(member.name) + " is passed by reference");
      }
      values[i] = FromC(args[i]);
    }
    const Variant value = automation::Invoke(encoder->encoder, member, values);
    for (size_t i = 0; i < count; ++i) {
      if ((args[i].flags & TARSIN_BYREF) && values[i] && i < member.parameters.size() &&
          member.parameters[i].byRef) {
        tarsin_variant_clear(&args[i]);
        ToC(*values[i], args[i]);
      }
    }
    if (result) {
      tarsin_variant_clear(result);
      ToC(value, *result);
    }
  });
}

}  // namespace
}  // namespace tarsin::c_abi

using tarsin::c_abi::Call;
using tarsin::c_abi::Fail;
using tarsin::c_abi::Guarded;

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
  return new (std::nothrow) tarsin_error{encoder->encoder.LastError()};
}

void tarsin_error_release(tarsin_error* error) {
  delete error;
}

int32_t tarsin_error_get(const tarsin_error* error, const char* field, tarsin_variant* value,
                         tarsin_failure* failure) {
  if (!error || !field || !value) return Fail(failure, TARSIN_E_INVALIDARG, "Missing argument");
  return Guarded(failure, [&] {
    const tarsin::Variant read =
        tarsin::automation::GetErrorField(*error->error, tarsin::automation::FindErrorField(field));
    tarsin_variant_clear(value);
    tarsin::c_abi::ToC(read, *value);
  });
}

int32_t tarsin_error_set(tarsin_error* error, const char* field, const tarsin_variant* value,
                         tarsin_failure* failure) {
  if (!error || !field || !value) return Fail(failure, TARSIN_E_INVALIDARG, "Missing argument");
  return Guarded(failure, [&] {
    tarsin::automation::LetErrorField(*error->error, tarsin::automation::FindErrorField(field),
                                      tarsin::c_abi::FromC(*value));
  });
}

void tarsin_variant_init(tarsin_variant* value) {
  if (value) *value = tarsin_variant{};
}

void tarsin_variant_clear(tarsin_variant* value) {
  if (!value) return;
  std::free(value->text);
  std::free(value->bytes);
  for (size_t i = 0; value->elements && i < value->length; ++i) {
    tarsin_variant_clear(&value->elements[i]);
  }
  std::free(value->elements);
  delete value->error;
  const int32_t flags = value->flags;
  *value = tarsin_variant{};
  value->flags = flags;
}

void tarsin_variant_set_int32(tarsin_variant* value, int32_t number) {
  if (!value) return;
  tarsin_variant_clear(value);
  value->kind = TARSIN_INT32;
  value->integer = number;
}

void tarsin_variant_set_bool(tarsin_variant* value, int32_t truth) {
  if (!value) return;
  tarsin_variant_clear(value);
  value->kind = TARSIN_BOOL;
  value->integer = truth != 0;
}

void tarsin_variant_set_double(tarsin_variant* value, double number) {
  if (!value) return;
  tarsin_variant_clear(value);
  value->kind = TARSIN_DOUBLE;
  value->number = number;
}

int32_t tarsin_variant_set_string(tarsin_variant* value, const char* text) {
  if (!value) return TARSIN_E_INVALIDARG;
  tarsin_variant_clear(value);
  const size_t length = text ? std::strlen(text) : 0;
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (!copy) return TARSIN_E_OUTOFMEMORY;
  if (length) std::memcpy(copy, text, length);
  copy[length] = '\0';
  value->kind = TARSIN_STRING;
  value->text = copy;
  value->length = length;
  return 0;
}

}  // extern "C"

// NOLINTEND(cppcoreguidelines-no-malloc)
