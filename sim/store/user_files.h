// SPDX-License-Identifier: Apache-2.0
// What the readers file needs from the platform: where the user's data goes, a name no other
// running process uses, and a replace that readers never see half done.
#pragma once

#include <filesystem>
#include <string>

namespace tarsin::sim {

// $XDG_DATA_HOME (else ~/.local/share) on Linux; the roaming application-data folder on Windows.
std::filesystem::path UserDataFolder();
// This process's number, for temporary names beside shared files.
std::string ProcessTag();
// Moves `source` over `target` in one step. Throws std::runtime_error.
void ReplaceAtomically(const std::filesystem::path& source, const std::filesystem::path& target);

}  // namespace tarsin::sim
