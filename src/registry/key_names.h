// Full key names as people write them: a root ("HKEY_LOCAL_MACHINE" or "HKLM", any case)
// followed by the key path after a backslash.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "registry/win32_registry.h"

namespace tarsin::registry {

struct KeyName {
  HKEY root;
  std::string path;  // without a leading or trailing backslash
};

// nullopt when the name does not start with one of the three roots.
std::optional<KeyName> ParseKeyName(std::string_view name);
// "HKEY_LOCAL_MACHINE\path", or the root alone for an empty path.
std::string FullKeyName(const KeyName& key);

}  // namespace tarsin::registry
