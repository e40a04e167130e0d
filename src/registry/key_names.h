// SPDX-License-Identifier: Apache-2.0
// Full key names as people write them: a root ("HKEY_LOCAL_MACHINE" or "HKLM", any case)
// followed by the key path after a backslash.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/win32_registry.h"

namespace tarsin::registry {

struct KeyName {
  HKEY root;
  std::string path;  // without a leading or trailing backslash
};

// Windows' limits on the keys it creates: each name in a path at most 255 characters (UTF-16
// units), at most 512 levels below the root key.
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxKeyDepth = 512;

// The names of a key path; empty names (doubled or outer backslashes) are skipped.
std::vector<std::string> KeyPathNames(std::string_view path);
// ERROR_SUCCESS, or the code Windows answers for a key it will not create: 87 for a name that
// is too long, 1450 for a key deeper than the limit. `parentDepth` is the level `names` start
// below.
LSTATUS KeyLimitStatus(const std::vector<std::string>& names, size_t parentDepth) noexcept;

// nullopt when the name does not start with one of the three roots.
std::optional<KeyName> ParseKeyName(std::string_view name);
// "HKEY_LOCAL_MACHINE\path", or the root alone for an empty path.
std::string FullKeyName(const KeyName& key);

}  // namespace tarsin::registry
