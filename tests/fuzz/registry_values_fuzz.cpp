// SPDX-License-Identifier: Apache-2.0
// Values of every type, any name and data, through the registry's SQLite files and the value
// texts. Checked: what is stored reads back the same, by name and by index; accepted typed text is
// stored and read back; a DWORD and binary data shown as text read back the same.
// Input: byte 0 the type, byte 1 the name's length, the name, then the data (also the typed text).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "encoder_fixture.h"
#include "registry/reg_api.h"
#include "registry/value_text.h"

namespace {

using namespace tarsin::registry;

constexpr uint32_t kTypes[] = {REG_NONE,   REG_SZ,    REG_EXPAND_SZ,
                               REG_BINARY, REG_DWORD, REG_MULTI_SZ};

void StoreAndReadBack(HKEY key, const std::string& name, const RegValue& value) {
  if (RegSetValueExA(key, name, value.type, value.data) != ERROR_SUCCESS) return;
  RegValue read;
  if (RegQueryValueExA(key, name, read) != ERROR_SUCCESS || !(read == value)) std::abort();
  std::string listed;
  RegValue byIndex;
  if (RegEnumValueA(key, 0, listed, &byIndex) != ERROR_SUCCESS || listed != name ||
      !(byIndex == value))
    std::abort();
  if (RegDeleteValueA(key, name) != ERROR_SUCCESS) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  tarsin::fuzz::Sandbox::Instance();
  static HKEY key = [] {
    HKEY created = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Fuzz", 0, KEY_READ | KEY_WRITE, created) !=
        ERROR_SUCCESS)
      std::abort();
    return created;
  }();
  const uint32_t type = data[0] < 0xF0 ? kTypes[data[0] % std::size(kTypes)] : data[0];
  const size_t nameLength = std::min<size_t>(data[1], size - 2);
  const std::string name(reinterpret_cast<const char*>(data + 2), nameLength);
  const std::span<const uint8_t> bytes(data + 2 + nameLength, size - 2 - nameLength);
  const std::string text(bytes.begin(), bytes.end());

  const RegValue value{type, {bytes.begin(), bytes.end()}};
  StoreAndReadBack(key, name, value);
  TypeName(type);
  const std::string shown = DisplayData(value);
  if ((type == REG_BINARY || (type == REG_DWORD && bytes.size() == 4)) &&
      !(ValueFromText(type, shown) == value))
    std::abort();
  if (const auto typed = ValueFromText(type, text, data[0] & 1 ? "\\0" : ";"))
    StoreAndReadBack(key, name, *typed);
  return 0;
}
