// SPDX-License-Identifier: Apache-2.0
// The four entry points of TarsinRF.dll as an in-process COM server: the class object of
// Encoder, unloading when nothing is in use, and its registration with its type library.
#include <ole2.h>
#include <olectl.h>

#include <array>
#include <atomic>
#include <new>
#include <string>

#include "host/com/dispatch_objects.h"
#include "host/com/identities.h"
#include "host/com/type_library.h"
#include "host/com/unknown.h"

namespace tarsin::com {
namespace {

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

// "{6724D44B-6870-45DE-B764-34E285C8A0E1}", as the registry writes identities.
std::wstring Braced(const GUID& guid) {
  const std::string text = GuidText(guid);
  return L"{" + std::wstring(text.begin(), text.end()) + L"}";
}

std::array<KeyEntry, 6> Entries(const std::wstring& server) {
  const std::wstring clsid = Braced(kEncoderClsid);
  const std::wstring clsidKey = L"CLSID\\" + clsid;
  return {{
      {clsidKey, kClassName},
      {clsidKey + L"\\InprocServer32", server, L"Apartment"},
      {clsidKey + L"\\TypeLib", Braced(kTypeLibraryId)},
      {clsidKey + L"\\ProgID", kProgId},
      {kProgId, kClassName},
      {std::wstring(kProgId) + L"\\CLSID", clsid},
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

// The class's keys, then its type library (the interfaces' keys come with it).
LSTATUS RegisterUnder(HKEY root, const std::wstring& server, bool forUser) {
  for (const KeyEntry& entry : Entries(server)) {
    if (const LSTATUS status = Write(root, entry); status != ERROR_SUCCESS) {
      Remove(root);
      return status;
    }
  }
  if (FAILED(RegisterTypeLibrary(server, forUser))) {
    Remove(root);
    return ERROR_ACCESS_DENIED;
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
    LSTATUS status = com::RegisterUnder(HKEY_CLASSES_ROOT, server, false);
    if (status == ERROR_ACCESS_DENIED) {
      HKEY user = com::UserClasses();
      if (!user) return SELFREG_E_CLASS;
      status = com::RegisterUnder(user, server, true);
      RegCloseKey(user);
    }
    return status == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  try {
    com::UnregisterTypeLibrary();
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
