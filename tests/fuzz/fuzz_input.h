// SPDX-License-Identifier: Apache-2.0
// The input of a fuzz target read as values: bytes, numbers, counted texts and whole Variants
// (nested arrays, NaN, CError...). Past the end every read gives zeros, so any input is whole.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "tarsin/types.h"
#include "tarsin/variant.h"

namespace tarsin::fuzz {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool AtEnd() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  template <class T>
  T Number() {
    T value{};
    uint8_t raw[sizeof(T)] = {};
    for (uint8_t& byte : raw) byte = Byte();
    std::memcpy(&value, raw, sizeof(T));
    return value;
  }
  // A length byte and that many bytes (fewer at the end).
  std::string Text() {
    const uint8_t wanted = Byte();  // read before what remains is counted
    const size_t count = std::min<size_t>(wanted, size_ - at_);
    std::string text(reinterpret_cast<const char*>(data_ + at_), count);
    at_ += count;
    return text;
  }

  // A kind byte (mod 12), then its payload: 8 bytes for numbers, a counted text for texts and
  // byte arrays, a count byte for arrays (nested to depth 3).
  Variant Value(int depth = 0) {
    const std::function<Variant()> kinds[] = {
        [] { return Variant(); },
        [] { return Variant(Variant::Null{}); },
        [&] { return Variant(Byte() % 2 == 1); },
        [&] { return Variant(Byte()); },
        [&] { return Variant(Number<int16_t>()); },
        [&] { return Variant(Number<int32_t>()); },
        [&] { return Variant(Number<int64_t>()); },
        [&] { return Variant(Number<double>()); },
        [&] {
          const std::string text = Text();
          return Variant(Variant::Bytes(text.begin(), text.end()));
        },
        [&] {
          Variant::Array elements(depth < 3 ? Byte() % 5 : 0);
          for (Variant& element : elements) element = Value(depth + 1);
          return Variant(std::move(elements));
        },
        [] { return Variant(std::make_shared<CError>()); },
        [&] { return Variant(Text()); }};
    return kinds[Byte() % std::size(kinds)]();
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace tarsin::fuzz
