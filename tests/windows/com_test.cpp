// The COM layer as a C++ host meets it through IDispatch, and the VARIANT conversions behind it:
// what a script host never sends (typed by-refs, named arguments, embedded NULs, SAFEARRAYs,
// VT_ERROR for a left-out optional) and the numbers a failed call leaves.
#include <gtest/gtest.h>
#include <ole2.h>

#include <climits>
#include <string>
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

VARIANT Bstr(const wchar_t* text, UINT length) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(text, length);
  return v;
}

VARIANT Scalar(VARTYPE type, LONGLONG bits) {
  VARIANT v;
  VariantInit(&v);
  v.vt = type;
  v.llVal = bits;
  return v;
}

VARIANT Double(VARTYPE type, double number) {
  VARIANT v = Scalar(type, 0);
  if (type == VT_R4) {
    v.fltVal = static_cast<float>(number);
  } else {
    v.dblVal = number;
  }
  return v;
}

VARIANT ByteArray(std::vector<uint8_t> bytes) {
  VARIANT v;
  v.vt = VT_ARRAY | VT_UI1;
  v.parray = SafeArrayCreateVector(VT_UI1, 1, static_cast<ULONG>(bytes.size()));
  for (LONG i = 0; i < static_cast<LONG>(bytes.size()); ++i) {
    LONG index = i + 1;
    SafeArrayPutElement(v.parray, &index, &bytes[static_cast<size_t>(i)]);
  }
  return v;
}

VARIANT TextArray() {
  VARIANT v;
  v.vt = VT_ARRAY | VT_BSTR;
  v.parray = SafeArrayCreateVector(VT_BSTR, 0, 2);
  const wchar_t* texts[] = {L"A", L"BC"};
  for (LONG i = 0; i < 2; ++i) {
    BSTR text = SysAllocString(texts[i]);
    SafeArrayPutElement(v.parray, &i, text);  // copies it
    SysFreeString(text);
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
  VARIANT inner = Bstr(L"in", 2);
  VARIANT byRefVariant;
  byRefVariant.vt = VT_BYREF | VT_VARIANT;
  byRefVariant.pvarVal = &inner;
  VARIANT byRefLong;
  byRefLong.vt = VT_BYREF | VT_I4;
  byRefLong.plVal = &number;
  CY currency;
  currency.int64 = 12345;
  VARIANT money = Scalar(VT_CY, currency.int64);

  std::vector<FromRow> rows = {
      {"empty", Scalar(VT_EMPTY, 0), Variant()},
      {"null", Scalar(VT_NULL, 0), Variant(Variant::Null{})},
      {"left-out optional", Scalar(VT_ERROR, DISP_E_PARAMNOTFOUND), std::nullopt},
      {"I1", Scalar(VT_I1, static_cast<uint8_t>(-5)), Variant(int16_t{-5})},
      {"UI2", Scalar(VT_UI2, 65535), Variant(int32_t{65535})},
      {"UI4", Scalar(VT_UI4, 4000000000LL), Variant(int64_t{4000000000LL})},
      {"R4", Double(VT_R4, 1.5), Variant(1.5)},
      {"CY", money, Variant(1.2345)},
      {"BSTR with NUL", Bstr(L"A\0B\u00e9", 4), Variant(std::string("A\0B\xc3\xa9", 5))},
      {"null BSTR", Bstr(nullptr, 0), Variant("")},
      {"by-ref Long", byRefLong, Variant(int32_t{-7})},
      {"by-ref VARIANT", byRefVariant, Variant("in")},
      {"bytes, lower bound 1", ByteArray({0x00, 0xFF}), Variant(Variant::Bytes{0x00, 0xFF})},
      {"array of BSTR", TextArray(), Variant(Variant::Array{Variant("A"), Variant("BC")})},
  };
  for (FromRow& row : rows) {
    EXPECT_EQ(FromVariant(row.value), row.expected) << row.name;
    if (!(row.value.vt & VT_BYREF)) VariantClear(&row.value);
  }
  VariantClear(&inner);
}

TEST(ComVariant, WhatLateBindingCannotPassIsATypeMismatch) {
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  VARIANT square;
  square.vt = VT_ARRAY | VT_VARIANT;
  square.parray = SafeArrayCreate(VT_VARIANT, 2, bounds);
  VARIANT nothing = Scalar(VT_DISPATCH, 0);
  for (VARIANT* value : {&square, &nothing}) {
    try {
      FromVariant(*value);
      ADD_FAILURE() << "accepted VARIANT type " << value->vt;
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), kDispTypeMismatch);
    }
  }
  VariantClear(&square);
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

  ScopedVariant nested;
  ToVariant(Variant(Variant::Array{Variant(int64_t{1} << 40), Variant(Variant::Array{})}),
            nested.get(), NoWrapper);
  ASSERT_EQ(nested->vt, VT_ARRAY | VT_VARIANT);
  LONG index = 0;
  ScopedVariant first;
  SafeArrayGetElement(nested->parray, &index, &first.get());
  EXPECT_EQ(first->vt, VT_I8);

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
    VARIANT argument;
    argument.vt = VT_BYREF | row.type;
    argument.byref = &place;
    EXPECT_EQ(WriteBack(row.value, argument, NoWrapper), row.expected) << row.name;
    EXPECT_EQ(place, row.bits) << row.name;
  }

  BSTR text = SysAllocString(L"old");
  VARIANT argument;
  argument.vt = VT_BYREF | VT_BSTR;
  argument.pbstrVal = &text;
  EXPECT_EQ(WriteBack(Variant(int32_t{42}), argument, NoWrapper), S_OK);
  EXPECT_STREQ(text, L"42");
  SysFreeString(text);
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
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    exception = EXCEPINFO{};
    argumentError = UINT_MAX;
    const HRESULT hr = encoder->Invoke(Id(name), IID_NULL, 0, flags, &params, &result.get(),
                                       &exception, &argumentError);
    for (VARIANT& arg : args) {
      if (!(arg.vt & VT_BYREF)) VariantClear(&arg);
    }
    return hr;
  }

  IDispatch* encoder = nullptr;
  ScopedVariant result;
  EXCEPINFO exception{};
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

TEST_F(ComEncoderTest, PropertyPutAndNamedArguments) {
  ASSERT_EQ(Call(L"Parameters", {Bstr(L"device=R;protocol=2", 19)}, DISPATCH_PROPERTYPUT,
                 {DISPID_PROPERTYPUT}),
            S_OK);
  ASSERT_EQ(Call(L"Parameters", {}, DISPATCH_PROPERTYGET), S_OK);
  EXPECT_NE(std::wstring(result->bstrVal).find(L"Device=R\r\nProtocol=2"), std::wstring::npos);
  EXPECT_EQ(Call(L"GetInformation", {}, DISPATCH_PROPERTYPUT, {DISPID_PROPERTYPUT}),
            DISP_E_MEMBERNOTFOUND);

  // sErrorCaller (1) named first, sErrorCode (0) second; a VT_ERROR marks a left-out optional.
  ASSERT_EQ(Call(L"GetResponseText", {Bstr(L"X", 1), Bstr(L"9000", 4)}, DISPATCH_METHOD, {1, 0}),
            S_OK);
  EXPECT_STREQ(result->bstrVal, L"[OK]  Command successfully executed.");
  ASSERT_EQ(Call(L"GetResponseText", {Bstr(L"9000", 4), Scalar(VT_ERROR, DISP_E_PARAMNOTFOUND)}),
            S_OK);
  EXPECT_STREQ(result->bstrVal, L"[OK]  Command successfully executed.");
}

TEST_F(ComEncoderTest, TypedByRefArgumentsAreWrittenBack) {
  BSTR serial = SysAllocString(L"junk");
  VARIANT byRef;
  byRef.vt = VT_BYREF | VT_BSTR;
  byRef.pbstrVal = &serial;
  ASSERT_EQ(Call(L"ReadSerialNumber", {byRef}), S_OK);
  EXPECT_EQ(result->vt, VT_I4);
  EXPECT_EQ(result->lVal, 2);  // sceError: the encoder is closed
  EXPECT_EQ(SysStringLen(serial), 0u);
  SysFreeString(serial);

  LONG keyVersion = 5;
  VARIANT version;
  version.vt = VT_BYREF | VT_I4;
  version.plVal = &keyVersion;
  ASSERT_EQ(Call(L"DESFireGetKeyVersion", {Scalar(VT_I4, 0), version}), S_OK);
  EXPECT_EQ(keyVersion, 5);
}

TEST_F(ComEncoderTest, FailuresCarryTheirNumbers) {
  // A mismatch names its argument by its place in rgvarg, where the first comes last.
  EXPECT_EQ(Call(L"MifareWriteValueBloc",
                 {Bstr(L"four", 4), Bstr(L"FFFFFFFFFFFF", 12), Scalar(VT_I4, 0), Scalar(VT_I4, 1)}),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argumentError, 3u);
  EXPECT_EQ(Call(L"OpenEncoder", {Double(VT_R8, 1e20)}), DISP_E_OVERFLOW);
  EXPECT_EQ(Call(L"OpenEncoder", {Scalar(VT_I4, 0), Scalar(VT_I4, 0)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(L"ReadSerialNumber", {}), DISP_E_BADPARAMCOUNT);

  EXPECT_EQ(Call(L"ReaderType", {}, DISPATCH_PROPERTYGET), DISP_E_EXCEPTION);
  EXPECT_EQ(static_cast<uint32_t>(exception.scode), 0x90010F01u);
  EXPECT_STREQ(exception.bstrDescription, L"Encoder is closed");
  EXPECT_STREQ(exception.bstrSource, L"TarsinRF.Encoder");
  DISPPARAMS none{};
  EXPECT_EQ(static_cast<uint32_t>(encoder->Invoke(4, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                                  nullptr, nullptr, nullptr)),
            0x90010F01u);
  EXPECT_EQ(encoder->Invoke(65, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
}

TEST_F(ComEncoderTest, LastErrorIsOneLiveObjectThatKeepsTheModuleLoaded) {
  ASSERT_EQ(Call(L"LastError", {}, DISPATCH_PROPERTYGET), S_OK);
  ASSERT_EQ(result->vt, VT_DISPATCH);
  IDispatch* error = result->pdispVal;
  error->AddRef();
  ASSERT_EQ(Call(L"LastError", {}, DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(result->pdispVal, error);

  Call(L"ReaderType", {}, DISPATCH_PROPERTYGET);
  DISPID number = DISPID_UNKNOWN;
  LPOLESTR name[] = {Name(L"number")};
  ASSERT_EQ(error->GetIDsOfNames(IID_NULL, name, 1, 0, &number), S_OK);
  DISPPARAMS none{};
  ScopedVariant value;
  ASSERT_EQ(error->Invoke(number, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value.get(), nullptr,
                          nullptr),
            S_OK);
  EXPECT_EQ(static_cast<uint32_t>(value->lVal), 0x90010F01u);

  VariantClear(&result.get());
  encoder->Release();
  encoder = nullptr;
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the CError object outlives its encoder
  error->Release();
}

}  // namespace
}  // namespace tarsin::com
