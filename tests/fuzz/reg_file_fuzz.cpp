// SPDX-License-Identifier: Apache-2.0
// Any bytes through the .reg reader. Checked: nothing but RegFileError escapes, and a file that
// reads is written back in a form that reads to the same keys and values.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "registry/reg_file.h"
#include "registry/utf16.h"

namespace {

using namespace tarsin::registry;

bool IsUtf8(std::string_view text) {
  const std::vector<uint8_t> wide = Utf8ToUtf16Le(text);
  return Utf16LeToUtf8(wide.data(), wide.size()) == text;
}

// The file is written in UTF-16: names and text that are not UTF-8 are only read.
bool CanRoundTrip(const RegFile& file) {
  for (const RegFileKey& key : file.keys) {
    if (!IsUtf8(key.name)) return false;
    for (const RegFileValue& entry : key.values) {
      if (!IsUtf8(entry.name)) return false;
      if (entry.value && entry.value->type != REG_BINARY && entry.value->type != REG_DWORD &&
          !IsUtf8(std::string_view(reinterpret_cast<const char*>(entry.value->data.data()),
                                   entry.value->data.size())))
        return false;
    }
  }
  return true;
}

// The same keys in the same order, each with the same values in the same order.
bool Same(const RegFile& a, const RegFile& b) {
  const auto sameValue = [](const RegFileValue& x, const RegFileValue& y) {
    return x.name == y.name && x.value == y.value;
  };
  return std::ranges::equal(a.keys, b.keys, [&](const RegFileKey& x, const RegFileKey& y) {
    return x.name == y.name && x.remove == y.remove &&
           std::ranges::equal(x.values, y.values, sameValue);
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  RegFile file;
  try {
    file = ParseRegFile(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const RegFileError&) {
    return 0;
  }
  if (CanRoundTrip(file) && !Same(file, ParseRegFile(FormatRegFile(file)))) std::abort();
  return 0;
}
