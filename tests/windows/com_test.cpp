// SPDX-License-Identifier: Apache-2.0
// The COM layer as a C++ host meets it through IDispatch, and the VARIANT conversions behind it:
// what a script host never sends (typed by-refs, named arguments, embedded NULs, SAFEARRAYs,
// VT_ERROR for a left-out optional) and the numbers a failed call leaves.
#include <gtest/gtest.h>
#include <ole2.h>

#include <climits>
#include <string>
#include <string_view>
#include <vector>

#include "core/coercion.h"
#include "host/com/com_variant.h"
#include "host/com/dispatch_objects.h"

namespace tarsin::com {
namespace {

// {6724D44B-6870-45DE-B764-34E285C8A0E1}, as registered.
constexpr CLSID kEncoderClsid = {
    0x6724d44b, 0x6870, 0x45de, {0xb7, 0x64, 0x34, 0xe2, 0x85, 0xc8, 0xa0, 0xe1}};

// GetIDsOfNames takes names it never writes as non-const.
LPOLESTR Name(const wchar_t* text) {
  return const_cast<LPOLESTR>(text);  // NOLINT(cppcoreguidelines-pro-type-const-cast)
}

IDispatch* NoWrapper(const std::shared_ptr<CError>&) {
  ADD_FAILURE() << "no object expected";
  return nullptr;
}

VARIANT Bstr(std::wstring_view text) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return v;
}

VARIANT Scalar(VARTYPE type, LONGLONG bits) {
  VARIANT v;
  v.vt = type;
  v.llVal = bits;
  return v;
}

VARIANT ByRef(VARTYPE type, void* place) {
  VARIANT v;
  v.vt = VT_BYREF | type;
  v.byref = place;
  return v;
}

VARIANT Array(VARTYPE type, LONG lowerBound, std::vector<void*> elements) {
  VARIANT v;
  v.vt = VT_ARRAY | type;
  v.parray = SafeArrayCreateVector(type, lowerBound, static_cast<ULONG>(elements.size()));
  for (LONG i = 0; i < static_cast<LONG>(elements.size()); ++i) {
    LONG index = lowerBound + i;
    SafeArrayPutElement(v.parray, &index, elements[static_cast<size_t>(i)]);  // copies it
  }
  return v;
}

struct FromRow {
  const char* name;
  VARIANT value;
  std::optional<Variant> expected;
};

TEST(ComVariant, ArgumentsAsTheComponentSeesThem) {
  LONG number = -7;
  uint8_t bytes[] = {0x00, 0xFF};
  BSTR texts[] = {SysAllocString(L"A"), SysAllocString(L"BC")};
  std::vector<FromRow> rows = {
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
  for (FromRow& row : rows) {
    EXPECT_EQ(FromVariant(row.value), row.expected) << row.name;
    if (!(row.value.vt & VT_BYREF)) VariantClear(&row.value);
  }
  for (BSTR text : texts) SysFreeString(text);
}

TEST(ComVariant, TextBothWays) {
  // A Windows-1252 byte from a card is read in the code page; NUL characters are kept both ways.
  BSTR text = BstrFromUtf8(std::string("\xe9-\0-\xc3\xa9", 6));
  EXPECT_EQ(std::wstring(text, SysStringLen(text)), std::wstring(L"\u00e9-\0-\u00e9", 5));
  EXPECT_EQ(Utf8FromBstr(text), std::string("\xc3\xa9-\0-\xc3\xa9", 7));
  SysFreeString(text);
}

TEST(ComVariant, ResultsAsAutomationTypes) {
  ScopedVariant bytes;
  ToVariant(Variant(Variant::Bytes{1, 2, 3}), bytes.get(), NoWrapper);
  ASSERT_EQ(bytes->vt, VT_ARRAY | VT_UI1);
  EXPECT_EQ(FromVariant(bytes.get()), Variant(Variant::Bytes{1, 2, 3}));
  ScopedVariant wide;
  ToVariant(Variant(int64_t{1} << 40), wide.get(), NoWrapper);
  EXPECT_EQ(wide->vt, VT_I8);

  // A CError travels as an object and comes back as the same live CError.
  auto error = std::make_shared<CError>();
  ScopedVariant object;
  ToVariant(Variant(error), object.get(),
            [](const std::shared_ptr<CError>& e) { return NewErrorObject(e); });
  ASSERT_EQ(object->vt, VT_DISPATCH);
  EXPECT_EQ(FromVariant(object.get())->asObject(), error);
}

struct WriteBackRow {
  const char* name;
  VARTYPE type;
  Variant value;
  HRESULT expected;
  LONGLONG bits;  // what the typed place holds afterwards
};

TEST(ComVariant, TypedByRefsTakeTheirOwnType) {
  const std::vector<WriteBackRow> rows = {
      {"Long from text", VT_I4, Variant("12"), S_OK, 12},
      {"Byte from Long", VT_UI1, Variant(int32_t{200}), S_OK, 200},
      {"Byte too small for 300", VT_UI1, Variant(int32_t{300}), DISP_E_TYPEMISMATCH, 99},
      {"Boolean", VT_BOOL, Variant(true), S_OK, static_cast<uint16_t>(VARIANT_TRUE)},
      {"Integer from a word", VT_I2, Variant("ten"), DISP_E_TYPEMISMATCH, 99},
  };
  for (const WriteBackRow& row : rows) {
    LONGLONG place = 99;
    VARIANT argument = ByRef(row.type, &place);
    EXPECT_EQ(WriteBack(row.value, argument, NoWrapper), row.expected) << row.name;
    EXPECT_EQ(place, row.bits) << row.name;
  }
}

// A C++ host: the class object, names to ids, calls with DISPPARAMS as automation lays them out.
class ComEncoderTest : public ::testing::Test {
 protected:
  // Wine's own winscard.dll stops the process at its first call, and an encoder's end
  // disconnects: a library that is not there fails quietly instead.
  static void SetUpTestSuite() {
    ASSERT_EQ(_putenv_s("TARSIN_RF_PCSC_LIBRARY", "no-such-library.dll"), 0);
  }
  void SetUp() override {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(
        DllGetClassObject(kEncoderClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&encoder)),
              S_OK);
    factory->Release();
  }
  void TearDown() override {
    if (encoder) encoder->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
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
    for (VARIANT& arg : args) {
      if (!(arg.vt & VT_BYREF)) VariantClear(&arg);
    }
    return hr;
  }

  IDispatch* encoder = nullptr;
  ScopedVariant result;
  UINT argumentError = UINT_MAX;
};

TEST_F(ComEncoderTest, IdsAreInterfaceIndexesFoundWithoutRegardToCase) {
  EXPECT_EQ(Id(L"PARAMETERS"), 1);  // Let and Get share the Get's index
  EXPECT_EQ(Id(L"readertype"), 4);
  EXPECT_EQ(Id(L"DESFireLimitedCredit"), 64);
  LPOLESTR names[] = {Name(L"GetResponseText"), Name(L"SERRORCALLER"), Name(L"nosuch")};
  DISPID ids[3];
  EXPECT_EQ(encoder->GetIDsOfNames(IID_NULL, names, 3, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 8);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], DISPID_UNKNOWN);
}

TEST_F(ComEncoderTest, ArgumentsAndFailuresAsACppHostSeesThem) {
  // sErrorCaller (1) named first, sErrorCode (0) second.
  ASSERT_EQ(Call(L"GetResponseText", {Bstr(L"X"), Bstr(L"9000")}, DISPATCH_METHOD, {1, 0}), S_OK);
  EXPECT_STREQ(result->bstrVal, L"[OK]  Command successfully executed.");

  // A typed by-ref is written back in its own type.
  BSTR serial = SysAllocString(L"junk");
  ASSERT_EQ(Call(L"ReadSerialNumber", {ByRef(VT_BSTR, &serial)}), S_OK);
  EXPECT_EQ(result->vt, VT_I4);
  EXPECT_EQ(result->lVal, 2);  // sceError: the encoder is closed
  EXPECT_EQ(SysStringLen(serial), 0u);
  SysFreeString(serial);

  // A mismatch names its argument by its place in rgvarg, where the first comes last.
  EXPECT_EQ(Call(L"MifareWriteValueBloc",
                 {Bstr(L"four"), Bstr(L"FFFFFFFFFFFF"), Scalar(VT_I4, 0), Scalar(VT_I4, 1)}),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argumentError, 3u);
  EXPECT_EQ(Call(L"OpenEncoder", {Scalar(VT_I4, 0), Scalar(VT_I4, 0)}), DISP_E_BADPARAMCOUNT);
  // Without EXCEPINFO, a member's failure is the call's result.
  EXPECT_EQ(static_cast<uint32_t>(Call(L"ReaderType", {}, DISPATCH_PROPERTYGET)), 0x90010F01u);
  DISPPARAMS none{};
  EXPECT_EQ(encoder->Invoke(67, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
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
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the CError object outlives its encoder
  error->Release();
}

}  // namespace
}  // namespace tarsin::com
