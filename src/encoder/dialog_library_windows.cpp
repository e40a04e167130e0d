// SPDX-License-Identifier: Apache-2.0
#include <windows.h>

#include "core/wide_text_windows.h"
#include "encoder/dialogs.h"

namespace tarsin {

// Beside TarsinRF.dll, wherever it was registered from: Windows would otherwise search the host
// program's folder, not ours.
std::string DefaultDialogLibrary() {
  constexpr const char* kName = "TarsinRFDialogs.dll";
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&DefaultDialogLibrary), &self)) {
    return kName;
  }
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = 0;
  while ((length = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()))) ==
             path.size() &&
         path.size() < 32768) {
    path.resize(path.size() * 2);
  }
  path.resize(length);
  const std::size_t slash = path.find_last_of(L"\\/");
  if (length == 0 || slash == std::wstring::npos) return kName;
  return Utf8FromWide(path.substr(0, slash + 1)) + kName;
}

}  // namespace tarsin
