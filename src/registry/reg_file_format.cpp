// SPDX-License-Identifier: Apache-2.0
#include <fmt/format.h>

#include <algorithm>

#include "registry/dword.h"
#include "registry/reg_file.h"
#include "registry/utf16.h"

namespace tarsin::registry {
namespace {

// Hex lists wrap where regedit wraps them: no line longer than this before its backslash.
constexpr size_t kWrapWidth = 78;

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

// A REG_SZ that a quoted string reproduces exactly: one terminating NUL, no other, no breaks.
bool IsPlainText(const std::vector<uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  return std::none_of(data.begin(), data.end() - 1,
                      [](uint8_t b) { return b == 0 || b == '\r' || b == '\n'; });
}

void AppendHexList(std::string& line, const std::vector<uint8_t>& bytes, std::string& out) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    line += fmt::format("{:02x}", bytes[i]);
    if (i + 1 == bytes.size()) break;
    line += ',';
    if (line.size() + 3 > kWrapWidth) {
      out += line + "\\\r\n";
      line = "  ";
    }
  }
  out += line + "\r\n";
}

void AppendValue(const RegFileValue& entry, std::string& out) {
  std::string line = entry.name.empty() ? "@=" : Quoted(entry.name) + '=';
  if (!entry.value) {
    out += line + "-\r\n";
    return;
  }
  const RegValue& value = *entry.value;
  const std::vector<uint8_t>& data = value.data;
  if (value.type == REG_SZ && IsPlainText(data)) {
    out += line +
           Quoted(std::string_view(reinterpret_cast<const char*>(data.data()), data.size() - 1)) +
           "\r\n";
  } else if (value.type == REG_DWORD && data.size() == 4) {
    out += line + fmt::format("dword:{:08x}\r\n", DwordFromBytes(data));
  } else if (value.type == REG_BINARY) {
    AppendHexList(line += "hex:", data, out);
  } else if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ) {
    line += fmt::format("hex({:x}):", value.type);
    AppendHexList(
        line,
        Utf8ToUtf16Le(std::string_view(reinterpret_cast<const char*>(data.data()), data.size())),
        out);
  } else {
    AppendHexList(line += fmt::format("hex({:x}):", value.type), data, out);
  }
}

}  // namespace

std::string FormatRegFile(const RegFile& file) {
  std::string text = "Windows Registry Editor Version 5.00\r\n";
  for (const RegFileKey& key : file.keys) {
    text += fmt::format("\r\n[{}{}]\r\n", key.remove ? "-" : "", key.name);
    for (const RegFileValue& value : key.values) AppendValue(value, text);
  }
  text += "\r\n";
  const std::vector<uint8_t> wide = Utf8ToUtf16Le(text);
  return std::string("\xFF\xFE") + std::string(wide.begin(), wide.end());
}

}  // namespace tarsin::registry
