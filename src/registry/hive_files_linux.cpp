// SPDX-License-Identifier: Apache-2.0
#include <cstdlib>

#include "registry/hive_files.h"

namespace tarsin::registry {
namespace {

std::string EnvironmentFolder(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return {};
  std::string folder = value;
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string UserConfigFolder() {
  if (std::string folder = EnvironmentFolder("XDG_CONFIG_HOME"); !folder.empty()) return folder;
  if (std::string home = EnvironmentFolder("HOME"); !home.empty()) return home + ".config/";
  return "/tmp/";
}

}  // namespace

std::optional<Hive> HiveOf(HKEY root) noexcept {
  switch (root) {
    case HKEY_CLASSES_ROOT:
      return Hive::ClassesRoot;
    case HKEY_CURRENT_USER:
      return Hive::CurrentUser;
    case HKEY_LOCAL_MACHINE:
      return Hive::LocalMachine;
    default:
      return std::nullopt;
  }
}

const char* HiveName(Hive hive) noexcept {
  constexpr HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
  return RootKeyName(kRoots[static_cast<int>(hive)]);
}

std::string HiveFilePath(Hive hive) {
  std::string folder = EnvironmentFolder("TARSIN_RF_REGISTRY_DIR");
  if (folder.empty()) {
    folder = hive == Hive::CurrentUser ? UserConfigFolder() + "quillon/registry/"
                                       : std::string("/var/lib/quillon/registry/");
  }
  return folder + HiveName(hive) + ".db";
}

}  // namespace tarsin::registry
