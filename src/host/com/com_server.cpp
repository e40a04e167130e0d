// The four entry points of TarsinRF.dll as an in-process COM server: the class object of
// Encoder, unloading when nothing is in use, and its registration.
#include <ole2.h>
#include <olectl.h>

#include <array>
#include <atomic>
#include <new>
#include <string>

#include "host/com/dispatch_objects.h"
#include "host/com/unknown.h"

namespace tarsin::com {
namespace {

// {6724D44B-6870-45DE-B764-34E285C8A0E1}
constexpr CLSID kEncoderClsid = {
    0x6724d44b, 0x6870, 0x45de, {0xb7, 0x64, 0x34, 0xe2, 0x85, 0xc8, 0xa0, 0xe1}};
constexpr const wchar_t* kClsidText = L"{6724D44B-6870-45DE-B764-34E285C8A0E1}";
constexpr const wchar_t* kProgId = L"TarsinRF.Encoder";
constexpr const wchar_t* kClassName = L"Tarsin RF Encoder";

class ClassFactory final : public Unknown<IClassFactory, IID_IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object) *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return CreateEncoder(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? HoldModule() : ReleaseModule();
    return S_OK;
  }
};

// What registration writes: each key with its unnamed value and, for the server key, the
// threading model. Parents come before their children.
struct KeyEntry {
  std::wstring path;
  std::wstring value;
  const wchar_t* threadingModel = nullptr;
};

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

std::array<KeyEntry, 5> Entries(const std::wstring& server) {
  const std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsidText;
  return {{
      {clsidKey, kClassName},
      {clsidKey + L"\\InprocServer32", server, L"Apartment"},
      {clsidKey + L"\\ProgID", kProgId},
      {kProgId, kClassName},
      {std::wstring(kProgId) + L"\\CLSID", kClsidText},
  }};
}

LSTATUS SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LSTATUS Write(HKEY root, const KeyEntry& entry) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(root, entry.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = SetText(key, nullptr, entry.value);
  if (status == ERROR_SUCCESS && entry.threadingModel) {
    status = SetText(key, L"ThreadingModel", entry.threadingModel);
  }
  RegCloseKey(key);
  return status;
}

// Removes the keys registration writes, children first; a key that holds something else as
// well (a subkey another program added) stays.
void Remove(HKEY root) {
  const auto entries = Entries(L"");
  for (size_t i = entries.size(); i-- > 0;) RegDeleteKeyW(root, entries[i].path.c_str());
}

// The per-user classes, which COM reads beside the machine's when a user may not write those.
HKEY UserClasses() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_ALL_ACCESS, &key) !=
      ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

LSTATUS RegisterUnder(HKEY root, const std::wstring& server) {
  for (const KeyEntry& entry : Entries(server)) {
    if (const LSTATUS status = Write(root, entry); status != ERROR_SUCCESS) {
      Remove(root);
      return status;
    }
  }
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace tarsin::com

namespace com = tarsin::com;

extern "C" {

// Registers under HKEY_CLASSES_ROOT as regsvr32 does; a user who may not write there gets the
// class registered for that user alone.
HRESULT STDAPICALLTYPE DllRegisterServer() {
  try {
    const std::wstring server = com::ModulePath();
    if (server.empty()) return SELFREG_E_CLASS;
    LSTATUS status = com::RegisterUnder(HKEY_CLASSES_ROOT, server);
    if (status == ERROR_ACCESS_DENIED) {
      HKEY user = com::UserClasses();
      if (!user) return SELFREG_E_CLASS;
      status = com::RegisterUnder(user, server);
      RegCloseKey(user);
    }
    return status == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  try {
    com::Remove(HKEY_CLASSES_ROOT);
    if (HKEY user = com::UserClasses()) {
      com::Remove(user);
      RegCloseKey(user);
    }
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, com::kEncoderClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) com::ClassFactory();
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, object);
  factory->Release();
  return hr;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return com::ModuleInUse() ? S_FALSE : S_OK;
}

}  // extern "C"
