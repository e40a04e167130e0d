// SPDX-License-Identifier: Apache-2.0
#include <unistd.h>

#include <cstdlib>

#include "store/user_files.h"

namespace tarsin::sim {

std::filesystem::path UserDataFolder() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return xdg;
  if (const char* home = std::getenv("HOME"); home && *home) {
    return std::filesystem::path(home) / ".local/share";
  }
  return "/tmp";
}

std::string ProcessTag() {
  return std::to_string(::getpid());
}

void ReplaceAtomically(const std::filesystem::path& source, const std::filesystem::path& target) {
  std::filesystem::rename(source, target);
}

}  // namespace tarsin::sim
