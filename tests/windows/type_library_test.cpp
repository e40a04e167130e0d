// SPDX-License-Identifier: Apache-2.0
// TarsinRF.dll as a host that binds early meets it, from the DLLs copied beside the test: its
// type library read back with LoadTypeLibEx, the dual interface called through its vtable on
// the virtual reader with widl's header of that library, and the version resources.
#include <gtest/gtest.h>
#include <ole2.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "TarsinRF_h.h"
#include "automation/dispatch.h"
#include "core/wide_text_windows.h"
#include "host/com/com_variant.h"
#include "host/com/identities.h"
#include "host/com/slot_types.h"
#include "host/com/type_library_idl.h"

namespace tarsin::com {
namespace {

// Releases what it holds.
template <class T>
struct Held {
  T* p = nullptr;
  ~Held() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
  T** out() { return &p; }
  void** object() { return reinterpret_cast<void**>(&p); }
};

std::string NameOf(ITypeInfo& info, MEMBERID id) {
  BSTR name = nullptr;
  info.GetDocumentation(id, &name, nullptr, nullptr, nullptr);
  std::string text = Utf8FromBstr(name);
  SysFreeString(name);
  return text;
}

GUID GuidOf(ITypeInfo& info) {
  TYPEATTR* attributes = nullptr;
  info.GetTypeAttr(&attributes);
  const GUID guid = attributes->guid;
  info.ReleaseTypeAttr(attributes);
  return guid;
}

// "name id kind parameters slot" of each function, or "name id" of each variable (with "=value"
// for a constant), in their order.
std::vector<std::string> Listing(ITypeInfo& info) {
  TYPEATTR* attributes = nullptr;
  info.GetTypeAttr(&attributes);
  std::vector<std::string> lines;
  for (UINT i = 0; i < attributes->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    info.GetFuncDesc(i, &f);
    lines.push_back(NameOf(info, f->memid) + " " + std::to_string(f->memid) + " " +
                    std::to_string(f->invkind) + " " + std::to_string(f->cParams) + " " +
                    std::to_string(f->oVft / static_cast<int>(sizeof(void*))));
    info.ReleaseFuncDesc(f);
  }
  for (UINT i = 0; i < attributes->cVars; ++i) {
    VARDESC* v = nullptr;
    info.GetVarDesc(i, &v);
    std::string line = NameOf(info, v->memid);
    if (v->varkind == VAR_CONST) {
      line += "=" + std::to_string(v->lpvarValue->lVal);
    } else {
      line += " " + std::to_string(v->memid);
    }
    lines.push_back(line);
    info.ReleaseVarDesc(v);
  }
  info.ReleaseTypeAttr(attributes);
  return lines;
}

TEST(TypeLibrary, DescribesEveryMemberFieldAndEnumeration) {
  Held<ITypeLib> library;
  ASSERT_EQ(LoadTypeLibEx(L"TarsinRF.dll", REGKIND_NONE, library.out()), S_OK);
  TLIBATTR* libraryAttributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&libraryAttributes), S_OK);
  EXPECT_EQ(libraryAttributes->guid, kTypeLibraryId);  // what registration writes
  library->ReleaseTLibAttr(libraryAttributes);

  // The coclass leads to the dual interface, whose vtable half holds the rows in their order
  // after IDispatch's seven entries, with today's DISPIDs.
  Held<ITypeInfo> coclass, dispatch, vtable;
  ASSERT_EQ(library->GetTypeInfoOfGuid(kEncoderClsid, coclass.out()), S_OK);
  HREFTYPE reference = 0;
  ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
  ASSERT_EQ(coclass->GetRefTypeInfo(reference, dispatch.out()), S_OK);
  EXPECT_EQ(GuidOf(*dispatch.p), kEncoderInterfaceIid);
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &reference), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeInfo(reference, vtable.out()), S_OK);
  std::vector<std::string> expected;
  for (const automation::Member& m : automation::Members()) {
    const size_t parameters = m.parameters.size() + (m.result == ValueType::None ? 0 : 1);
    expected.push_back(std::string(m.name) + " " + std::to_string(DispatchIdOf(m)) + " " +
                       std::to_string(InvokeFlagsOf(m)) + " " + std::to_string(parameters) + " " +
                       std::to_string(7 + m.index));
  }
  EXPECT_EQ(Listing(*vtable.p), expected);

  Held<ITypeInfo> error;
  ASSERT_EQ(library->GetTypeInfoOfGuid(kErrorInterfaceIid, error.out()), S_OK);
  expected.clear();
  for (const automation::ErrorField& field : automation::ErrorFields()) {
    expected.push_back(std::string(field.name) + " " + std::to_string(field.index));
  }
  EXPECT_EQ(Listing(*error.p), expected);

  std::map<std::string, std::vector<std::string>> enumerations, expectedEnumerations;
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
    TYPEKIND kind{};
    Held<ITypeInfo> info;
    if (library->GetTypeInfoType(i, &kind) != S_OK || kind != TKIND_ENUM) continue;
    library->GetTypeInfo(i, info.out());
    enumerations[NameOf(*info.p, MEMBERID_NIL)] = Listing(*info.p);
  }
  for (const Enumeration& enumeration : Enumerations()) {
    auto& constants = expectedEnumerations[std::string(enumeration.name)];
    for (const auto& [name, value] : enumeration.constants) {
      constants.push_back(std::string(name) + "=" + std::to_string(value));
    }
  }
  EXPECT_EQ(enumerations, expectedEnumerations);
  EXPECT_TRUE(enumerations.contains("DesfireAccessRights"));  // the header was read
}

// Calls through the vtable of _Encoder, as widl's header of the type library declares it.
TEST(DualInterface, ACppHostCallsTheMembersThroughTheVtable) {
  const std::filesystem::path cards = std::filesystem::temp_directory_path() / "vtable-cards.json";
  std::filesystem::remove(cards);
  ASSERT_EQ(_putenv_s("TARSIN_RF_VIRTUAL_READERS", cards.string().c_str()), 0);
  ASSERT_EQ(_putenv_s("TARSIN_RF_PCSC_LIBRARY", "TarsinVirtualReader.dll"), 0);
  HMODULE dll = LoadLibraryW(L"TarsinRF.dll");
  ASSERT_NE(dll, nullptr);
  const auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
  Held<IClassFactory> factory;
  ASSERT_EQ(getClassObject(kEncoderClsid, IID_IClassFactory, factory.object()), S_OK);
  Held<_Encoder> encoder;
  ASSERT_EQ(factory->CreateInstance(nullptr, kEncoderInterfaceIid, encoder.object()), S_OK);

  BSTR parameters = SysAllocString(L"device=Tarsin Virtual Reader 0;protocol=2;open_mode=2");
  EXPECT_EQ(encoder->put_Parameters(parameters), S_OK);
  SysFreeString(parameters);
  ::sceReturnCode result = ::sceError;
  ASSERT_EQ(encoder->OpenEncoder(0, &result), S_OK);
  EXPECT_EQ(result, ::scesuccess);
  BSTR uid = SysAllocString(L"");
  ASSERT_EQ(encoder->ReadSerialNumber(&uid, &result), S_OK);  // an [in, out] BSTR written back
  EXPECT_EQ(result, ::scesuccess);
  EXPECT_EQ(Utf8FromBstr(uid), "B47C2E91");
  SysFreeString(uid);

  // The objects answer from the type library too.
  Held<IDispatch> error;
  ASSERT_EQ(encoder->get_LastError(error.out()), S_OK);
  Held<ITypeInfo> info;
  ASSERT_EQ(error->GetTypeInfo(0, 0, info.out()), S_OK);
  EXPECT_EQ(GuidOf(*info.p), kErrorInterfaceIid);
  UINT count = 0;
  EXPECT_EQ(encoder->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);

  // A member's failure is the call's HRESULT, with its description in the error information.
  EXPECT_EQ(encoder->CloseEncoder(&result), S_OK);
  BSTR type = nullptr;
  EXPECT_EQ(static_cast<uint32_t>(encoder->get_ReaderType(&type)), 0x90010F01u);
  EXPECT_EQ(type, nullptr);
  Held<IErrorInfo> failure;
  ASSERT_EQ(GetErrorInfo(0, failure.out()), S_OK);
  BSTR description = nullptr;
  failure->GetDescription(&description);
  EXPECT_EQ(Utf8FromBstr(description), "Encoder is closed");
  SysFreeString(description);
}

TEST(VersionResources, EveryDllCarriesTheBuildsVersion) {
  for (const wchar_t* dll : {L"TarsinRF.dll", L"TarsinRFDialogs.dll", L"TarsinVirtualReader.dll"}) {
    std::vector<BYTE> data(GetFileVersionInfoSizeW(dll, nullptr));
    ASSERT_TRUE(GetFileVersionInfoW(dll, 0, static_cast<DWORD>(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    wchar_t* product = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS,
              MAKELONG(TARSIN_TEST_VERSION_MINOR, TARSIN_TEST_VERSION_MAJOR));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(0, TARSIN_TEST_VERSION_PATCH));
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\ProductVersion",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_EQ(Utf8FromWide(product), TARSIN_TEST_VERSION);
  }
}

}  // namespace
}  // namespace tarsin::com
