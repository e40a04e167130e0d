// SPDX-License-Identifier: Apache-2.0
// Arbitrary values (one, as fuzz_input.h reads it) changed to each type a late-bound member takes.
// Checked: only ComError escapes, and a value that became a Long reads back the same from its text.
#include <cstdint>
#include <cstdlib>

#include "core/coercion.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  tarsin::fuzz::Input input(data, size);
  const tarsin::Variant value = input.Value();
  using tarsin::ValueType;
  for (ValueType type :
       {ValueType::Variant, ValueType::String, ValueType::Long, ValueType::Byte, ValueType::Boolean,
        ValueType::Double, ValueType::ReturnCode, ValueType::Error, ValueType::None}) {
    try {
      const tarsin::Variant changed = tarsin::Coerce(value, type);
      if (type == ValueType::Long &&
          tarsin::ToLong(tarsin::Coerce(changed, ValueType::String)) != changed.asInt64()) {
        std::abort();
      }
    } catch (const tarsin::ComError&) {
    }
  }
  return 0;
}
