// SPDX-License-Identifier: Apache-2.0
// Where each hive of this platform's store lives: one SQLite file per root key.
#pragma once

#include <optional>
#include <string>

#include "registry/win32_registry.h"

namespace tarsin::registry {

enum class Hive { ClassesRoot, CurrentUser, LocalMachine };

// nullopt for a handle that is not one of the three root keys.
std::optional<Hive> HiveOf(HKEY root) noexcept;
const char* HiveName(Hive hive) noexcept;

// TARSIN_RF_REGISTRY_DIR holds all three when set; otherwise the machine hives live under
// /var/lib/quillon/registry/ and the user's under $XDG_CONFIG_HOME (or
// ~/.config)/quillon/registry/.
std::string HiveFilePath(Hive hive);

}  // namespace tarsin::registry
