// SPDX-License-Identifier: Apache-2.0
#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <stdexcept>

#include "store/user_files.h"

namespace tarsin::sim {

std::filesystem::path UserDataFolder() {
  char folder[MAX_PATH] = {};
  if (SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return folder;
  }
  return "C:\\";  // where the component itself falls back
}

std::string ProcessTag() {
  return std::to_string(::GetCurrentProcessId());
}

void ReplaceAtomically(const std::filesystem::path& source, const std::filesystem::path& target) {
  // A reader that has the file open for a moment makes the move fail (Wine refuses to replace
  // an open file whatever its sharing); readers hold it only while they read it, so try again.
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 200; ++attempt) {
    if (::MoveFileExW(source.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return;
    }
    error = ::GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
    ::Sleep(5);
  }
  std::error_code ignored;
  std::filesystem::remove(source, ignored);
  throw std::runtime_error("cannot replace " + target.string() + " (error " +
                           std::to_string(error) + ")");
}

}  // namespace tarsin::sim
