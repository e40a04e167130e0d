// SPDX-License-Identifier: Apache-2.0
// Random text, codes and arrays through each member of DES. Checked: only a numbered cipher
// failure escapes. Input: byte 0 picks the call, bytes 1-4 the code or flags (little-endian),
// byte 5 the key index or padding choice, the rest the text (or fuzz_input.h's array elements).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>

#include "core/failure.h"
#include "crypto/des.h"
#include "fuzz_input.h"

namespace {

using tarsin::Variant;

// The rest of the input as array elements.
Variant::Array Elements(const std::string& rest) {
  tarsin::fuzz::Input input(reinterpret_cast<const uint8_t*>(rest.data()), rest.size());
  Variant::Array out;
  while (!input.AtEnd()) out.push_back(input.Value());
  return out;
}

void Run(tarsin::DES& des, uint8_t call, int32_t code, uint8_t option, const std::string& text) {
  const std::function<void()> calls[] = {
      [&] { des.ConvertData(text, code, option % 2 == 1); },
      [&] { des.ConvertData(Elements(text), code, option % 2 == 1); },
      [&] { des.Keys(static_cast<int8_t>(option), text); },
      [&] { des.InitVector(text); },
      [&] { des.Encrypt(text, code); },
      [&] { des.Decrypt(text, code); },
      [&] { des.CRC16(text); }};
  calls[call % std::size(calls)]();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  int32_t code = 0;
  std::memcpy(&code, data + 1, sizeof code);
  const std::string text(reinterpret_cast<const char*>(data + 6), size - 6);
  tarsin::DES des;
  des.Keys(1, "0123456789ABCDEF");
  des.Keys(2, "FEDCBA9876543210");
  try {
    Run(des, data[0], code, data[5], text);
  } catch (const tarsin::Failure& failure) {
    const auto number = static_cast<uint32_t>(failure.number());
    if (number < tarsin::errors::kDesBadKeyIndex.number ||
        number > tarsin::errors::kDesInvalidDataLength.number)
      std::abort();
  }
  return 0;
}
