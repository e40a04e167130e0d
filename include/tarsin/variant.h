// SPDX-License-Identifier: Apache-2.0
// A dynamically typed value, the stand-in for the automation VARIANT that the late-bound
// interface and the data converter take and give.
// Threads: a value like a std::string; one object may be read by several threads, or written by
// one. An Object variant refers to an encoder's live CError (see encoder.h). C++17.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "tarsin/export.h"

namespace tarsin {

struct CError;

class TARSIN_API Variant {
 public:
  using Bytes = std::vector<uint8_t>;
  using Array = std::vector<Variant>;
  // Comparisons written out rather than defaulted: hosts may compile as C++17.
  struct Empty {
    bool operator==(const Empty&) const { return true; }
    bool operator!=(const Empty&) const { return false; }
  };
  struct Null {
    bool operator==(const Null&) const { return true; }
    bool operator!=(const Null&) const { return false; }
  };

  // The order of the alternatives is the order of Kind.
  // Object: a reference to a live CError, as late binding hands out LastError.
  enum class Kind {
    Empty,
    Null,
    Bool,
    Byte,
    Int16,
    Int32,
    Int64,
    Double,
    String,
    Bytes,
    Array,
    Object
  };

  Variant() = default;
  Variant(Null) : value_(Null{}) {}
  Variant(bool v) : value_(v) {}
  Variant(uint8_t v) : value_(v) {}
  Variant(int16_t v) : value_(v) {}
  Variant(int32_t v) : value_(v) {}
  Variant(int64_t v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(Bytes v) : value_(std::move(v)) {}
  Variant(Array v) : value_(std::move(v)) {}
  Variant(std::shared_ptr<CError> v) : value_(std::move(v)) {}

  Kind kind() const noexcept { return static_cast<Kind>(value_.index()); }
  bool isEmpty() const noexcept { return kind() == Kind::Empty; }
  bool isString() const noexcept { return kind() == Kind::String; }
  bool isArray() const noexcept { return kind() == Kind::Array || kind() == Kind::Bytes; }
  // Integers of every width and doubles.
  bool isNumeric() const noexcept;

  // Typed access; throws std::bad_variant_access when the kind differs.
  bool asBool() const { return std::get<bool>(value_); }
  const std::string& asString() const { return std::get<std::string>(value_); }
  const Bytes& asBytes() const { return std::get<Bytes>(value_); }
  const Array& asArray() const { return std::get<Array>(value_); }
  const std::shared_ptr<CError>& asObject() const {
    return std::get<std::shared_ptr<CError>>(value_);
  }
  double asDouble() const;  // any numeric kind
  int64_t asInt64() const;  // any integer kind (not double, not bool)

  // The elements of either array kind as variants (a byte array gives Byte elements).
  Array elements() const;

  bool operator==(const Variant& other) const { return value_ == other.value_; }
  bool operator!=(const Variant& other) const { return !(*this == other); }

  const auto& raw() const noexcept { return value_; }

 private:
  std::variant<Empty, Null, bool, uint8_t, int16_t, int32_t, int64_t, double, std::string, Bytes,
               Array, std::shared_ptr<CError>>
      value_;
};

// Readable name of a kind, for error messages ("String", "Byte()", ...).
TARSIN_API const char* KindName(Variant::Kind kind) noexcept;

}  // namespace tarsin
