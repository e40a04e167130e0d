// SPDX-License-Identifier: Apache-2.0
// Late-bound rows made from the members' own signatures. Each parameter's type and by-ref-ness
// come from the member-function type, so a row names only the member, its index and its
// parameters, and a parameter-name count that differs from the member's arity does not compile.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "automation/dispatch.h"

namespace tarsin::automation::binding {

// How a value of type T crosses the late-bound boundary.
template <class T>
struct ValueTraits;

template <>
struct ValueTraits<std::string> {
  static constexpr ValueType type = ValueType::String;
  static std::string From(const std::optional<Variant>& v) {
    return v ? v->asString() : std::string();
  }
  static Variant To(const std::string& value) { return Variant(value); }
};

template <>
struct ValueTraits<int32_t> {
  static constexpr ValueType type = ValueType::Long;
  static int32_t From(const std::optional<Variant>& v) { return v ? ToLong(*v) : 0; }
  static Variant To(int32_t value) { return Variant(value); }
};

template <>
struct ValueTraits<bool> {
  static constexpr ValueType type = ValueType::Boolean;
  static bool From(const std::optional<Variant>& v) { return v ? ToBoolean(*v) : false; }
  static Variant To(bool value) { return Variant(value); }
};

template <>
struct ValueTraits<uint8_t> {
  static constexpr ValueType type = ValueType::Byte;
  static uint8_t From(const std::optional<Variant>& v) { return v ? ToByte(*v) : uint8_t{0}; }
  static Variant To(uint8_t value) { return Variant(value); }
};

// The interface's enumerations travel as Long; sceReturnCode results are shown by name.
template <class E>
requires std::is_enum_v<E>
struct ValueTraits<E> {
  static constexpr ValueType type =
      std::is_same_v<E, sceReturnCode> ? ValueType::ReturnCode : ValueType::Long;
  static E From(const std::optional<Variant>& v) {
    return static_cast<E>(ValueTraits<int32_t>::From(v));
  }
  static Variant To(E value) { return Variant(static_cast<int32_t>(value)); }
};

template <>
struct ValueTraits<Variant> {
  static constexpr ValueType type = ValueType::Variant;
  static Variant From(const std::optional<Variant>& v) { return v.value_or(Variant()); }
  static Variant To(const Variant& value) { return value; }
};

template <>
struct ValueTraits<std::shared_ptr<CError>> {
  static constexpr ValueType type = ValueType::Error;
  static Variant To(const std::shared_ptr<CError>& error) { return Variant(error); }
};

// A parameter of type P as declared: by value or const reference is in, a non-const reference
// is in/out. An optional argument may be left out; an optional Variant is in/out, as late
// binding passes a VARIANT by reference.
template <class P>
struct ParameterTraits {
  using Value = std::remove_cvref_t<P>;
  static constexpr bool optional = false;
  static constexpr bool byRef =
      std::is_lvalue_reference_v<P> && !std::is_const_v<std::remove_reference_t<P>>;
  static constexpr ValueType type = ValueTraits<Value>::type;
  static Value From(const std::optional<Variant>& v) { return ValueTraits<Value>::From(v); }
  static Variant To(const Value& value) { return ValueTraits<Value>::To(value); }
};

template <class P>
requires requires {
  typename std::remove_cvref_t<P>::value_type;
} && std::is_same_v<std::remove_cvref_t<P>,
                    std::optional<typename std::remove_cvref_t<P>::value_type>>
struct ParameterTraits<P> {
  using Value = std::remove_cvref_t<P>;
  using Inner = typename Value::value_type;
  static constexpr bool optional = true;
  static constexpr bool byRef = std::is_same_v<Inner, Variant>;
  static constexpr ValueType type = ValueTraits<Inner>::type;
  static Value From(const std::optional<Variant>& v) {
    return v ? Value(ValueTraits<Inner>::From(v)) : Value();
  }
  static Variant To(const Value& value) {
    return value ? ValueTraits<Inner>::To(*value) : Variant();
  }
};

template <class F>
struct Signature;
template <class R, class... P>
struct Signature<R (Encoder::*)(P...) noexcept> {
  using Result = R;
  using Parameters = std::tuple<P...>;
  static constexpr size_t arity = sizeof...(P);
};
template <class R, class... P>
struct Signature<R (Encoder::*)(P...)> : Signature<R (Encoder::*)(P...) noexcept> {};

// Calls member M with the coerced arguments and writes the in/out ones back.
template <auto M, class... P, size_t... I>
Variant CallWith(Encoder& encoder, Arguments& args, std::tuple<P...>*, std::index_sequence<I...>) {
  std::tuple<typename ParameterTraits<P>::Value...> values{ParameterTraits<P>::From(args[I])...};
  using R = typename Signature<decltype(M)>::Result;
  Variant result;
  if constexpr (std::is_void_v<R>) {
    (encoder.*M)(std::get<I>(values)...);
  } else {
    result = ValueTraits<std::remove_cvref_t<R>>::To((encoder.*M)(std::get<I>(values)...));
  }
  ((ParameterTraits<P>::byRef ? void(args[I] = ParameterTraits<P>::To(std::get<I>(values)))
                              : void()),
   ...);
  return result;
}

template <auto M>
Variant Call(Encoder& encoder, Arguments& args) {
  using S = Signature<decltype(M)>;
  return CallWith<M>(encoder, args, static_cast<typename S::Parameters*>(nullptr),
                     std::make_index_sequence<S::arity>());
}

template <class... P, size_t... I>
std::vector<Parameter> ParametersOf(std::tuple<P...>*,
                                    [[maybe_unused]] const std::string_view* names,
                                    std::index_sequence<I...>) {
  return {Parameter{names[I], ParameterTraits<P>::type, ParameterTraits<P>::byRef,
                    ParameterTraits<P>::optional}...};
}

// `names` holds N names (none when N is 0).
template <auto M, size_t N>
Member Row(int index, std::string_view name, MemberKind kind, const std::string_view* names) {
  using S = Signature<decltype(M)>;
  static_assert(N == S::arity, "a row names every parameter of its member, no more, no fewer");
  using R = std::remove_cvref_t<typename S::Result>;
  ValueType result = ValueType::None;
  if constexpr (!std::is_void_v<R>) result = ValueTraits<R>::type;
  return Member{index,
                name,
                kind,
                ParametersOf(static_cast<typename S::Parameters*>(nullptr), names,
                             std::make_index_sequence<N>()),
                result,
                &Call<M>};
}

}  // namespace tarsin::automation::binding

namespace tarsin::automation {

// A function (or a procedure, when it returns nothing) with one name per parameter.
template <auto M, size_t N>
Member Method(int index, std::string_view name, const std::string_view (&names)[N]) {
  using R = typename binding::Signature<decltype(M)>::Result;
  return binding::Row<M, N>(
      index, name, std::is_void_v<R> ? MemberKind::Procedure : MemberKind::Function, names);
}
template <auto M>
Member Method(int index, std::string_view name) {
  static_assert(binding::Signature<decltype(M)>::arity == 0,
                "a row names every parameter of its member, no more, no fewer");
  using R = typename binding::Signature<decltype(M)>::Result;
  return binding::Row<M, 0>(
      index, name, std::is_void_v<R> ? MemberKind::Procedure : MemberKind::Function, nullptr);
}

// A property's Get and Let halves.
template <auto M>
Member Get(int index, std::string_view name) {
  static_assert(binding::Signature<decltype(M)>::arity == 0, "a property Get takes no argument");
  return binding::Row<M, 0>(index, name, MemberKind::PropertyGet, nullptr);
}
template <auto M>
Member Let(int index, std::string_view name, std::string_view valueName) {
  return binding::Row<M, 1>(index, name, MemberKind::PropertyLet, &valueName);
}

}  // namespace tarsin::automation
