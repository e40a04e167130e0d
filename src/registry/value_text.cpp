// SPDX-License-Identifier: Apache-2.0
#include "registry/value_text.h"

#include <fmt/format.h>

#include <array>
#include <charconv>

#include "registry/dword.h"

namespace tarsin::registry {
namespace {

struct TypeEntry {
  uint32_t type;
  std::string_view name;
};

constexpr std::array<TypeEntry, 6> kTypes = {
    TypeEntry{REG_NONE, "REG_NONE"},           TypeEntry{REG_SZ, "REG_SZ"},
    TypeEntry{REG_EXPAND_SZ, "REG_EXPAND_SZ"}, TypeEntry{REG_BINARY, "REG_BINARY"},
    TypeEntry{REG_DWORD, "REG_DWORD"},         TypeEntry{REG_MULTI_SZ, "REG_MULTI_SZ"}};

std::string_view AsText(const std::vector<uint8_t>& data) {
  return {reinterpret_cast<const char*>(data.data()), data.size()};
}

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

std::optional<std::vector<uint8_t>> HexBytes(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> bytes(hex.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto [end, error] = std::from_chars(hex.data() + 2 * i, hex.data() + 2 * i + 2, bytes[i], 16);
    if (error != std::errc() || end != hex.data() + 2 * i + 2) return std::nullopt;
  }
  return bytes;
}

std::optional<uint32_t> DwordFromText(std::string_view text) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2), base = 16;
  uint32_t number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return number;
}

}  // namespace

std::string TypeName(uint32_t type) {
  for (const TypeEntry& entry : kTypes) {
    if (entry.type == type) return std::string(entry.name);
  }
  return fmt::format("0x{:x}", type);
}

std::optional<uint32_t> TypeFromName(std::string_view name) {
  for (const TypeEntry& entry : kTypes) {
    if (entry.name.size() == name.size() &&
        std::equal(name.begin(), name.end(), entry.name.begin(), [](char a, char b) {
          return std::toupper(static_cast<unsigned char>(a)) == b;
        })) {
      return entry.type;
    }
  }
  return std::nullopt;
}

std::string DisplayData(const RegValue& value) {
  std::string_view text = AsText(value.data);
  switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      if (text.ends_with('\0')) text.remove_suffix(1);
      return std::string(text);
    case REG_MULTI_SZ: {
      while (text.ends_with('\0')) text.remove_suffix(1);
      std::string shown;
      for (char c : text) c == '\0' ? shown += "\\0" : shown += c;
      return shown;
    }
    case REG_DWORD:
      if (value.data.size() == 4) {
        return fmt::format("0x{:x}", DwordFromBytes(value.data));
      }
      [[fallthrough]];
    default: {
      std::string hex;
      for (uint8_t b : value.data) hex += fmt::format("{:02X}", b);
      return hex;
    }
  }
}

std::optional<RegValue> ValueFromText(uint32_t type, std::string_view data,
                                      std::string_view separator) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return RegValue{type, Bytes(std::string(data) + '\0')};
    case REG_MULTI_SZ: {
      std::string joined;
      if (!data.empty()) {
        for (size_t start = 0;;) {
          const size_t end =
              separator.empty() ? std::string_view::npos : data.find(separator, start);
          joined.append(data.substr(start, end - start)).push_back('\0');
          if (end == std::string_view::npos) break;
          start = end + separator.size();
        }
      }
      joined.push_back('\0');
      return RegValue{type, Bytes(joined)};
    }
    case REG_DWORD: {
      const auto number = DwordFromText(data);
      if (!number) return std::nullopt;
      return RegValue{type, DwordBytes(*number)};
    }
    case REG_NONE:
    case REG_BINARY: {
      auto bytes = HexBytes(data);
      if (!bytes) return std::nullopt;
      return RegValue{type, std::move(*bytes)};
    }
    default:
      return std::nullopt;
  }
}

}  // namespace tarsin::registry
