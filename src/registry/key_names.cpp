// SPDX-License-Identifier: Apache-2.0
#include "registry/key_names.h"

#include <array>

namespace tarsin::registry {
namespace {

struct RootName {
  std::string_view shortName;
  HKEY root;
};

constexpr std::array<RootName, 3> kRoots = {RootName{"HKCR", HKEY_CLASSES_ROOT},
                                            RootName{"HKCU", HKEY_CURRENT_USER},
                                            RootName{"HKLM", HKEY_LOCAL_MACHINE}};

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view TrimmedBackslashes(std::string_view path) {
  while (path.starts_with('\\')) path.remove_prefix(1);
  while (path.ends_with('\\')) path.remove_suffix(1);
  return path;
}

}  // namespace

std::vector<std::string> KeyPathNames(std::string_view path) {
  std::vector<std::string> names;
  while (!path.empty()) {
    const size_t end = path.find('\\');
    if (std::string_view name = path.substr(0, end); !name.empty()) names.emplace_back(name);
    if (end == std::string_view::npos) break;
    path.remove_prefix(end + 1);
  }
  return names;
}

LSTATUS KeyLimitStatus(const std::vector<std::string>& names, size_t parentDepth) noexcept {
  for (const std::string& name : names) {
    // UTF-16 units: one per UTF-8 lead byte, two for a character beyond the BMP.
    size_t units = 0;
    for (const char c : name) {
      const auto byte = static_cast<uint8_t>(c);
      units += ((byte & 0xC0) != 0x80) + (byte >= 0xF0);
    }
    if (units > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
  }
  return parentDepth + names.size() > kMaxKeyDepth ? ERROR_NO_SYSTEM_RESOURCES : ERROR_SUCCESS;
}

std::optional<KeyName> ParseKeyName(std::string_view name) {
  const size_t slash = name.find('\\');
  const std::string_view rootText = name.substr(0, slash);
  const std::string_view path =
      slash == std::string_view::npos ? std::string_view() : name.substr(slash + 1);
  for (const RootName& candidate : kRoots) {
    if (SameText(rootText, candidate.shortName) ||
        SameText(rootText, RootKeyName(candidate.root))) {
      return KeyName{candidate.root, std::string(TrimmedBackslashes(path))};
    }
  }
  return std::nullopt;
}

std::string FullKeyName(const KeyName& key) {
  const char* root = RootKeyName(key.root);
  std::string name = root ? root : "";
  if (!key.path.empty()) name.append("\\").append(key.path);
  return name;
}

}  // namespace tarsin::registry
