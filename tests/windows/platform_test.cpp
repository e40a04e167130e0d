// SPDX-License-Identifier: Apache-2.0
// The Windows platform pieces, run under Wine: Windows' registry, the system code page and
// run-time loading (the log in the application-data folder: encoder_test.vbs).
#include <gtest/gtest.h>

#include "registry/win32_names_windows.h"
// The line above first: it takes Windows' macros out of the way of the component's names.
#include <set>
#include <tuple>

#include "core/ansi_code_page.h"
#include "core/failure.h"
#include "core/shared_library.h"
#include "core/wide_text_windows.h"
#include "registry/mregistry.h"
#include "registry/reg_api.h"

namespace tarsin {
namespace {

using namespace registry;

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

class WindowsRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_ALL_ACCESS, key_.out()),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    key_.reset();
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
  }
  static constexpr const char* kTestKey = "Software\\Quillon\\Tarsin RF tests";
  ScopedKey key_;
};

TEST_F(WindowsRegistry, ValuesComeBackAsWritten) {
  // Text beyond the ANSI page, with and without its NUL, other types byte for byte, UTF-8 names.
  const std::tuple<const char*, uint32_t, std::vector<uint8_t>> kCases[] = {
      {"Text", REG_SZ, Bytes(std::string("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80") + '\0')},
      {"Unterminated", REG_SZ, Bytes("abc")},
      {"Nom \xC3\xA9", REG_EXPAND_SZ, Bytes(std::string("%APPDATA%") + '\0')},
      {"Several", REG_MULTI_SZ, Bytes(std::string("a\0b\0\0", 5))},
      {"Number", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
      {"Bytes", REG_BINARY, {0x00, 0xFF, 0x10}},
      {"", REG_SZ, Bytes(std::string("default") + '\0')},
  };
  for (const auto& [name, type, data] : kCases)
    ASSERT_EQ(RegSetValueExA(key_.get(), name, type, data), ERROR_SUCCESS) << name;
  for (const auto& [name, type, data] : kCases) {
    RegValue value;
    ASSERT_EQ(RegQueryValueExA(key_.get(), name, value), ERROR_SUCCESS) << name;
    EXPECT_EQ(value, (RegValue{type, data})) << name;
  }
  std::set<std::string> names;
  std::string name;
  for (uint32_t i = 0; RegEnumValueA(key_.get(), i, name) == ERROR_SUCCESS; ++i) names.insert(name);
  EXPECT_EQ(names.size(), std::size(kCases));
  EXPECT_TRUE(names.contains("Nom \xC3\xA9"));
}

TEST_F(WindowsRegistry, KeysAddedValuesAndErrorsAsWindowsGivesThem) {
  std::string used;
  for (const char* expected : {"Card", "Card #2", "Card #3"}) {
    ASSERT_EQ(RegAddNewValue(key_.get(), "Card", REG_SZ, Bytes("x"), used), ERROR_SUCCESS);
    EXPECT_EQ(used, expected);
  }
  ScopedKey child;
  uint32_t disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(key_.get(), "A\\B", 0, KEY_ALL_ACCESS, child.out(), &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  std::string name;
  ASSERT_EQ(RegEnumKeyExA(key_.get(), 0, name), ERROR_SUCCESS);
  EXPECT_EQ(name, "A");

  EXPECT_EQ(RegCloseKey(0x1234567), ERROR_INVALID_HANDLE);
  RegValue value;
  EXPECT_EQ(RegQueryValueExA(0x1234567, "x", value), ERROR_INVALID_HANDLE);

  // An empty sub-key empties the key itself: values and sub-keys.
  child.reset();
  ASSERT_EQ(RegDeleteTreeA(key_.get(), ""), ERROR_SUCCESS);
  EXPECT_EQ(RegEnumValueA(key_.get(), 0, name), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegEnumKeyExA(key_.get(), 0, name), ERROR_NO_MORE_ITEMS);
}

// A card-type table written by an installer of the other bitness sits in the other registry view:
// reads find a key there that the own view lacks; when neither has it, the own view's error stands.
TEST(WindowsRegistryViews, ReadsFindAKeyThatOnlyTheOtherViewHas) {
  constexpr const char* kParent = "Software\\Quillon";
  constexpr const char* kKey = "Software\\Quillon\\Tarsin RF other view";
  const auto removeFromOtherView = [] {
    ScopedKey parent;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kParent, 0, KEY_ALL_ACCESS | OtherRegistryView(),
                      parent.out()) == ERROR_SUCCESS)
      RegDeleteTreeA(parent.get(), "Tarsin RF other view");
  };
  removeFromOtherView();
  {
    ScopedKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS | OtherRegistryView(),
                              key.out()),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), "3B8F8001", REG_SZ, Bytes(std::string("17;4") + '\0')),
              ERROR_SUCCESS);
  }
  EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "3B8F8001", Variant(), ""), Variant("17;4"));
  // A record joins the table there: a key made in the own view would hide it.
  EXPECT_EQ(AddRegistryText(HKEY_LOCAL_MACHINE, kKey, "Unknown", "3B00"), ERROR_SUCCESS);
  std::vector<std::string> names;
  EXPECT_EQ(GetRegistryValueNames(HKEY_LOCAL_MACHINE, kKey, names, ""), 2);
  EXPECT_EQ(RegistryLastError().number, 0u);

  removeFromOtherView();
  EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "3B8F8001", Variant("none"), ""),
            Variant("none"));
  EXPECT_EQ(RegistryLastError().number, ERROR_FILE_NOT_FOUND);  // the own view's answer
}

TEST(WindowsCodePage, TextAndBytesFollowTheSystemPage) {
  if (GetACP() != 1252) GTEST_SKIP() << "system code page " << GetACP();
  EXPECT_EQ(Utf8ToAnsi("\xC3\xA9\xE2\x82\xAC\xE4\xB8\x80"),
            (std::vector<uint8_t>{0xE9, 0x80, '?'}));
  EXPECT_EQ(AnsiToUtf8({0xE9, 0x80, 0x41}), "\xC3\xA9\xE2\x82\xAC\x41");
  EXPECT_EQ(CodePointToAnsiByte(0x0152), 0x8C);
  // No best-fit look-alike: U+0100 is not 'A'.
  EXPECT_EQ(CodePointToAnsiByte(0x0100), kAnsiReplacementByte);
  EXPECT_EQ(AnsiByteToCodePoint(0x80), char32_t{0x20AC});
  const std::string outside = "\xF0\x9F\x98\x80";
  EXPECT_EQ(Utf8FromWide(WideFromUtf8(outside)), outside);
  EXPECT_EQ(WideFromUtf8(outside).size(), 2u);
}

TEST(WindowsLibraries, MissingLibraryAndEntryPointAreNumberedFailures) {
  for (const auto& [library, entry, number] :
       {std::tuple{"no-such-library.dll", "SCardConnectA", 53},
        {"kernel32.dll", "NoSuchEntryPoint", 453}}) {
    try {
      SharedLibrary::Loaded(library).EntryPoint(entry);
      ADD_FAILURE() << library;
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), number) << library;
      EXPECT_NE(failure.osError(), 0) << library;
    }
  }
  EXPECT_NE(SharedLibrary::Loaded("kernel32.dll").EntryPoint("GetACP"), nullptr);
}

}  // namespace
}  // namespace tarsin
