// SPDX-License-Identifier: Apache-2.0
// Arbitrary values changed to each type a late-bound member takes. Checked: only ComError
// escapes, and a value that became a Long reads back as the same Long from its text.
//
// Input: a value per kind byte (mod 12), its payload following: 8 bytes for numbers, a length
// byte and the bytes for texts and byte arrays, a count byte for arrays (nested, to depth 3).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/coercion.h"

namespace {

using tarsin::Variant;

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  template <class T>
  T Number() {
    T value{};
    uint8_t raw[sizeof(T)] = {};
    for (uint8_t& byte : raw) byte = Byte();
    std::memcpy(&value, raw, sizeof(T));
    return value;
  }
  std::string Text() {
    const uint8_t wanted = Byte();  // read before what remains is counted
    const size_t count = std::min<size_t>(wanted, size_ - at_);
    std::string text(reinterpret_cast<const char*>(data_ + at_), count);
    at_ += count;
    return text;
  }

  Variant Value(int depth = 0) {
    switch (Byte() % 12) {
      case 0:
        return Variant();
      case 1:
        return Variant(Variant::Null{});
      case 2:
        return Variant(Byte() % 2 == 1);
      case 3:
        return Variant(Byte());
      case 4:
        return Variant(Number<int16_t>());
      case 5:
        return Variant(Number<int32_t>());
      case 6:
        return Variant(Number<int64_t>());
      case 7:
        return Variant(Number<double>());
      case 8: {
        const std::string text = Text();
        return Variant(Variant::Bytes(text.begin(), text.end()));
      }
      case 9: {
        Variant::Array elements(depth < 3 ? Byte() % 5 : 0);
        for (Variant& element : elements) element = Value(depth + 1);
        return Variant(std::move(elements));
      }
      case 10:
        return Variant(std::make_shared<tarsin::CError>());
      default:
        return Variant(Text());
    }
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Input input(data, size);
  const Variant value = input.Value();
  using tarsin::ValueType;
  for (ValueType type :
       {ValueType::Variant, ValueType::String, ValueType::Long, ValueType::Byte, ValueType::Boolean,
        ValueType::Double, ValueType::ReturnCode, ValueType::Error, ValueType::None}) {
    try {
      const Variant changed = tarsin::Coerce(value, type);
      if (type == ValueType::Long &&
          tarsin::ToLong(tarsin::Coerce(changed, ValueType::String)) != changed.asInt64()) {
        std::abort();
      }
    } catch (const tarsin::ComError&) {
    }
  }
  return 0;
}
