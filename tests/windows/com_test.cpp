// SPDX-License-Identifier: Apache-2.0
// TarsinRF.dll as a C++ host meets it: what a script host never sends through IDispatch (typed
// by-refs, named arguments, NULs, SAFEARRAYs, VT_ERROR), its type library, vtable and versions.
#include <gtest/gtest.h>
#include <ole2.h>

#include <climits>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "TarsinRF_h.h"
#include "automation/dispatch.h"
#include "core/coercion.h"
#include "core/wide_text_windows.h"
#include "host/com/com_variant.h"
#include "host/com/identities.h"
#include "host/com/slot_types.h"
#include "host/com/type_library_idl.h"

namespace tarsin::com {
namespace {

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

std::string Taken(BSTR text) {
  std::string utf8 = Utf8FromBstr(text);
  SysFreeString(text);
  return utf8;
}

std::string NameOf(ITypeInfo& info, MEMBERID id) {
  BSTR name = nullptr;
  info.GetDocumentation(id, &name, nullptr, nullptr, nullptr);
  return Taken(name);
}

GUID GuidOf(ITypeInfo& info) {
  TYPEATTR* attributes = nullptr;
  info.GetTypeAttr(&attributes);
  const GUID guid = attributes->guid;
  info.ReleaseTypeAttr(attributes);
  return guid;
}

// "name id kind parameters slot" of each function, then "name id" or "name=value" of each variable.
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
    lines.push_back(NameOf(info, v->memid) + (v->varkind == VAR_CONST
                                                  ? "=" + std::to_string(v->lpvarValue->lVal)
                                                  : " " + std::to_string(v->memid)));
    info.ReleaseVarDesc(v);
  }
  info.ReleaseTypeAttr(attributes);
  return lines;
}

// GetIDsOfNames takes names it never writes as non-const.
LPOLESTR Name(const wchar_t* text) {
  return const_cast<LPOLESTR>(text);  // NOLINT(cppcoreguidelines-pro-type-const-cast)
}

IDispatch* NoWrapper(const std::shared_ptr<CError>&) {
  ADD_FAILURE() << "no object expected";
  return nullptr;
}

VARIANT Scalar(VARTYPE type, LONGLONG bits) {
  VARIANT v;
  v.vt = type;
  v.llVal = bits;
  return v;
}

VARIANT Bstr(std::wstring_view text) {
  VARIANT v = Scalar(VT_BSTR, 0);
  v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return v;
}

VARIANT ByRef(VARTYPE type, void* place) {
  VARIANT v = Scalar(VT_BYREF | type, 0);
  v.byref = place;
  return v;
}

VARIANT Array(VARTYPE type, LONG lowerBound, std::vector<void*> elements) {
  VARIANT v = Scalar(VT_ARRAY | type, 0);
  v.parray = SafeArrayCreateVector(type, lowerBound, static_cast<ULONG>(elements.size()));
  for (LONG i = 0; i < static_cast<LONG>(elements.size()); ++i) {
    LONG index = lowerBound + i;
    SafeArrayPutElement(v.parray, &index, elements[static_cast<size_t>(i)]);  // copies it
  }
  return v;
}

TEST(ComVariant, ArgumentsAsTheComponentSeesThem) {
  LONG number = -7;
  uint8_t bytes[] = {0x00, 0xFF};
  BSTR texts[] = {SysAllocString(L"A"), SysAllocString(L"BC")};
  std::vector<std::tuple<const char*, VARIANT, std::optional<Variant>>> rows = {
      {"empty", Scalar(VT_EMPTY, 0), Variant()},
      {"null", Scalar(VT_NULL, 0), Variant(Variant::Null{})},
      {"left-out optional", Scalar(VT_ERROR, DISP_E_PARAMNOTFOUND), std::nullopt},
      {"I1", Scalar(VT_I1, static_cast<uint8_t>(-5)), Variant(int16_t{-5})},
      {"UI4", Scalar(VT_UI4, 4000000000LL), Variant(int64_t{4000000000LL})},
      {"CY, through a Double", Scalar(VT_CY, 12345), Variant(1.2345)},
      {"null BSTR", Scalar(VT_BSTR, 0), Variant("")},
      {"by-ref Long", ByRef(VT_I4, &number), Variant(int32_t{-7})},
      {"bytes, lower bound 1", Array(VT_UI1, 1, {&bytes[0], &bytes[1]}),
       Variant(Variant::Bytes{0x00, 0xFF})},
      {"array of BSTR", Array(VT_BSTR, 0, {texts[0], texts[1]}),
       Variant(Variant::Array{Variant("A"), Variant("BC")})},
  };
  for (auto& [name, value, expected] : rows) {
    EXPECT_EQ(FromVariant(value), expected) << name;
    if (!(value.vt & VT_BYREF)) VariantClear(&value);
  }
  for (BSTR text : texts) SysFreeString(text);
}

TEST(ComVariant, TextAndBytesBothWays) {
  // A Windows-1252 byte from a card is read in the code page; NUL characters are kept both ways.
  BSTR text = BstrFromUtf8(std::string("\xe9-\0-\xc3\xa9", 6));
  EXPECT_EQ(std::wstring(text, SysStringLen(text)), std::wstring(L"\u00e9-\0-\u00e9", 5));
  EXPECT_EQ(Taken(text), std::string("\xc3\xa9-\0-\xc3\xa9", 7));
  ScopedVariant bytes;
  ToVariant(Variant(Variant::Bytes{1, 2, 3}), bytes.get(), NoWrapper);
  EXPECT_EQ(FromVariant(bytes.get()), Variant(Variant::Bytes{1, 2, 3}));
}

// Each row: the place's type, the value written back, the result, what the place holds after.
TEST(ComVariant, TypedByRefsTakeTheirOwnType) {
  const std::vector<std::tuple<const char*, VARTYPE, Variant, HRESULT, LONGLONG>> rows = {
      {"Long from text", VT_I4, Variant("12"), S_OK, 12},
      {"Byte from Long", VT_UI1, Variant(int32_t{200}), S_OK, 200},
      {"Byte too small for 300", VT_UI1, Variant(int32_t{300}), DISP_E_TYPEMISMATCH, 99},
      {"Boolean", VT_BOOL, Variant(true), S_OK, static_cast<uint16_t>(VARIANT_TRUE)},
      {"Integer from a word", VT_I2, Variant("ten"), DISP_E_TYPEMISMATCH, 99},
  };
  for (const auto& [name, type, value, expected, bits] : rows) {
    LONGLONG place = 99;
    VARIANT argument = ByRef(type, &place);
    EXPECT_EQ(WriteBack(value, argument, NoWrapper), expected) << name;
    EXPECT_EQ(place, bits) << name;
  }
}

// Calls as automation lays them out, on the virtual reader's defaults (a Classic 1K in reader 0).
class ComEncoderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const auto cards = std::filesystem::temp_directory_path() / "com-test-cards.json";
    std::filesystem::remove(cards);
    ASSERT_EQ(_putenv_s("TARSIN_RF_VIRTUAL_READERS", cards.string().c_str()), 0);
    ASSERT_EQ(_putenv_s("TARSIN_RF_PCSC_LIBRARY", "TarsinVirtualReader.dll"), 0);
  }
  void SetUp() override {
    Held<IClassFactory> factory;
    ASSERT_EQ(Entry<decltype(DllGetClassObject)>("DllGetClassObject")(
                  kEncoderClsid, IID_IClassFactory, factory.object()),
              S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&encoder)),
              S_OK);
  }
  void TearDown() override {
    if (encoder) encoder->Release();
    EXPECT_EQ(Entry<decltype(DllCanUnloadNow)>("DllCanUnloadNow")(), S_OK);
  }

  // An entry point of TarsinRF.dll, loaded once.
  template <class Function>
  static Function* Entry(const char* name) {
    static HMODULE const dll = LoadLibraryW(L"TarsinRF.dll");
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  }

  DISPID Id(const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {Name(name)};
    EXPECT_EQ(encoder->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << name;
    return id;
  }

  // `args` in the order of the member's parameters; `named` ids for the first ones given.
  HRESULT Call(const wchar_t* name, std::vector<VARIANT> args, WORD flags = DISPATCH_METHOD,
               std::vector<DISPID> named = {}) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    if (!named.empty()) reversed = args;  // named arguments are given in the order of their ids
    DISPPARAMS params{reversed.data(), named.data(), static_cast<UINT>(reversed.size()),
                      static_cast<UINT>(named.size())};
    VariantClear(&result.get());
    argumentError = UINT_MAX;
    const HRESULT hr = encoder->Invoke(Id(name), IID_NULL, 0, flags, &params, &result.get(),
                                       nullptr, &argumentError);
    for (VARIANT& arg : args)
      if (!(arg.vt & VT_BYREF)) VariantClear(&arg);
    return hr;
  }

  IDispatch* encoder = nullptr;
  ScopedVariant result;
  UINT argumentError = UINT_MAX;
};

TEST_F(ComEncoderTest, ArgumentsAndFailuresAsACppHostSeesThem) {
  // Parameters' ids without regard to case, for named arguments: sErrorCaller (1), sErrorCode (0).
  LPOLESTR names[] = {Name(L"GetResponseText"), Name(L"SERRORCALLER"), Name(L"sErrorCode"),
                      Name(L"nosuch")};
  DISPID ids[4];
  EXPECT_EQ(encoder->GetIDsOfNames(IID_NULL, names, 4, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[3], DISPID_UNKNOWN);
  // A member's id is the one the type library gives it (a property's Let shares its Get's).
  for (const automation::Member& member : automation::Members())
    EXPECT_EQ(Id(WideFromUtf8(member.name).c_str()), DispatchIdOf(member)) << member.name;
  ASSERT_EQ(
      Call(L"GetResponseText", {Bstr(L"X"), Bstr(L"9000")}, DISPATCH_METHOD, {ids[1], ids[2]}),
      S_OK);
  EXPECT_STREQ(result->bstrVal, L"[OK]  Command successfully executed.");

  // A mismatch names its argument by its place in rgvarg, where the first comes last.
  EXPECT_EQ(Call(L"MifareWriteValueBloc",
                 {Bstr(L"four"), Bstr(L"FFFFFFFFFFFF"), Scalar(VT_I4, 0), Scalar(VT_I4, 1)}),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argumentError, 3u);
  EXPECT_EQ(Call(L"OpenEncoder", {Scalar(VT_I4, 0), Scalar(VT_I4, 0)}), DISP_E_BADPARAMCOUNT);
  // Without EXCEPINFO, a member's failure is the call's result.
  EXPECT_EQ(static_cast<uint32_t>(Call(L"ReaderType", {}, DISPATCH_PROPERTYGET)), 0x90010F01u);
  DISPPARAMS none{};
  const auto beyondTheRows = static_cast<DISPID>(automation::Members().size());
  EXPECT_EQ(encoder->Invoke(beyondTheRows, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                            nullptr),
            DISP_E_MEMBERNOTFOUND);
}

TEST_F(ComEncoderTest, TheCErrorObjectKeepsTheModuleLoaded) {
  ASSERT_EQ(Call(L"LastError", {}, DISPATCH_PROPERTYGET), S_OK);
  ASSERT_EQ(result->vt, VT_DISPATCH);
  IDispatch* error = result->pdispVal;
  error->AddRef();
  VariantClear(&result.get());
  encoder->Release();
  encoder = nullptr;
  EXPECT_EQ(Entry<decltype(DllCanUnloadNow)>("DllCanUnloadNow")(), S_FALSE);
  error->Release();
}

TEST(TypeLibrary, DescribesEveryMemberFieldAndEnumeration) {
  Held<ITypeLib> library;
  ASSERT_EQ(LoadTypeLibEx(L"TarsinRF.dll", REGKIND_NONE, library.out()), S_OK);

  // The coclass leads to the dual interface: the rows in order after IDispatch's seven entries.
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
  for (const automation::ErrorField& field : automation::ErrorFields())
    expected.push_back(std::string(field.name) + " " + std::to_string(field.index));
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
    for (const auto& [name, value] : enumeration.constants)
      constants.push_back(std::string(name) + "=" + std::to_string(value));
  }
  EXPECT_EQ(enumerations, expectedEnumerations);
  EXPECT_TRUE(enumerations.contains("DesfireAccessRights"));  // the header was read
}

TEST_F(ComEncoderTest, ACppHostCallsTheMembersThroughTheVtable) {
  Held<_Encoder> dual;
  ASSERT_EQ(encoder->QueryInterface(kEncoderInterfaceIid, dual.object()), S_OK);
  BSTR parameters = SysAllocString(L"device=Tarsin Virtual Reader 0;protocol=2;open_mode=2");
  EXPECT_EQ(dual->put_Parameters(parameters), S_OK);
  SysFreeString(parameters);
  ::sceReturnCode code = ::sceError;
  ASSERT_EQ(dual->OpenEncoder(0, &code), S_OK);
  EXPECT_EQ(code, ::scesuccess);
  BSTR uid = SysAllocString(L"");
  ASSERT_EQ(dual->ReadSerialNumber(&uid, &code), S_OK);  // an [in, out] BSTR written back
  EXPECT_EQ(code, ::scesuccess);
  EXPECT_EQ(Taken(uid), "B47C2E91");

  // The objects answer from the type library too.
  Held<IDispatch> error;
  ASSERT_EQ(dual->get_LastError(error.out()), S_OK);
  Held<ITypeInfo> info;
  ASSERT_EQ(error->GetTypeInfo(0, 0, info.out()), S_OK);
  EXPECT_EQ(GuidOf(*info.p), kErrorInterfaceIid);
  UINT count = 0;
  EXPECT_EQ(dual->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);

  // A member's failure is the call's HRESULT, with its description in the error information.
  EXPECT_EQ(dual->CloseEncoder(&code), S_OK);
  BSTR type = nullptr;
  EXPECT_EQ(static_cast<uint32_t>(dual->get_ReaderType(&type)), 0x90010F01u);
  EXPECT_EQ(type, nullptr);
  Held<IErrorInfo> failure;
  ASSERT_EQ(GetErrorInfo(0, failure.out()), S_OK);
  BSTR description = nullptr;
  failure->GetDescription(&description);
  EXPECT_EQ(Taken(description), "Encoder is closed");
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
