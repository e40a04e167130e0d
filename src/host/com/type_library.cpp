// SPDX-License-Identifier: Apache-2.0
#include "host/com/type_library.h"

#include "host/com/identities.h"

// oleaut32 exports these, but mingw-w64's headers do not declare them.
extern "C" {
HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* helpFolder);
HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID library, WORD major, WORD minor, LCID locale,
                                        SYSKIND platform);
}

namespace tarsin::com {
namespace {

constexpr SYSKIND kPlatform = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

HRESULT LoadEmbedded(const std::wstring& path, ITypeLib** library) noexcept {
  return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
}

}  // namespace

std::wstring ModulePath() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ModulePath), &module);
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** info) noexcept {
  if (!info) return E_POINTER;
  *info = nullptr;
  try {
    // Loaded once and kept for the process: hosts ask for it on every late-bound call.
    static ITypeLib* const library = [] {
      ITypeLib* loaded = nullptr;
      return SUCCEEDED(LoadEmbedded(ModulePath(), &loaded)) ? loaded : nullptr;
    }();
    if (!library) return TYPE_E_CANTLOADLIBRARY;
    return library->GetTypeInfoOfGuid(guid, info);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT RegisterTypeLibrary(const std::wstring& modulePath, bool forUser) noexcept {
  ITypeLib* library = nullptr;
  HRESULT hr = LoadEmbedded(modulePath, &library);
  if (FAILED(hr)) return hr;
  // Both take the path as non-const and never change it.
  auto* path =
      const_cast<LPOLESTR>(modulePath.c_str());  // NOLINT(cppcoreguidelines-pro-type-const-cast)
  hr = forUser ? RegisterTypeLibForUser(library, path, nullptr)
               : RegisterTypeLib(library, path, nullptr);
  library->Release();
  return hr;
}

void UnregisterTypeLibrary() noexcept {
  UnRegisterTypeLib(kTypeLibraryId, kTypeLibraryMajor, kTypeLibraryMinor, LANG_NEUTRAL, kPlatform);
  UnRegisterTypeLibForUser(kTypeLibraryId, kTypeLibraryMajor, kTypeLibraryMinor, LANG_NEUTRAL,
                           kPlatform);
}

}  // namespace tarsin::com
