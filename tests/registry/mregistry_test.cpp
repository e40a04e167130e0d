#include "registry/mregistry.h"

#include <filesystem>

#include "registry/child_process.h"
#include "registry/temporary_registry.h"

namespace tarsin::registry {
namespace {

constexpr std::string_view kKey = "Software\\Tests\\Values";

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

using Registry = TemporaryRegistry;

struct WriteCase {
  const char* label;
  Variant value;
  uint32_t storedType;
  std::vector<uint8_t> storedData;
  Variant readBack;
};

class WriteTable : public TemporaryRegistry, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteTable, StoresEachKindAsAWindowsProgramWould) {
  const WriteCase& c = GetParam();
  ASSERT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", c.value), 0u);
  EXPECT_EQ(RegistryLastError().number, 0u);
  const RegValue stored = Raw(HKEY_LOCAL_MACHINE, kKey, "v");
  EXPECT_EQ(stored.type, c.storedType);
  EXPECT_EQ(stored.data, c.storedData);
  EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", "default"), c.readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WriteTable,
    ::testing::Values(
        WriteCase{"Long", int32_t{1}, REG_DWORD, {1, 0, 0, 0}, int32_t{1}},
        WriteCase{"Integer", int16_t{-2}, REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}, int32_t{-2}},
        WriteCase{"Byte", uint8_t{200}, REG_DWORD, {200, 0, 0, 0}, int32_t{200}},
        WriteCase{"True", true, REG_DWORD, {1, 0, 0, 0}, int32_t{1}},
        WriteCase{"False", false, REG_DWORD, {0, 0, 0, 0}, int32_t{0}},
        WriteCase{"Double", 1.5, REG_SZ, Bytes(std::string_view("1.5\0", 4)), "1.5"},
        WriteCase{"Text", "abc", REG_SZ, Bytes(std::string_view("abc\0", 4)), "abc"},
        WriteCase{"EmptyText", "", REG_SZ, {0}, ""},
        WriteCase{"AnsiText", "caf\u00e9 \u20ac", REG_SZ,
                  Bytes(std::string_view("caf\u00e9 \u20ac\0", 10)), "caf\u00e9 \u20ac"},
        // Outside the code page: the text goes in as code-page bytes, NUL included.
        WriteCase{"WideText", "a\u0416", REG_BINARY, {'a', '?', 0}, std::string("a?\0", 3)}),
    [](const auto& info) { return info.param.label; });

TEST_F(Registry, KindsWithoutARegistryFormAreRefusedWith13) {
  for (const Variant& value : {Variant(), Variant(Variant::Null{}), Variant(Variant::Array{}),
                               Variant(int64_t{1} << 40)}) {
    EXPECT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", value), 13u);
    EXPECT_EQ(RegistryLastError().number, 13u);
    EXPECT_EQ(RegistryLastError().description, "Unable to save this type of data in the Registry");
  }
  std::vector<std::string> names;
  EXPECT_EQ(GetRegistryValueNames(HKEY_LOCAL_MACHINE, kKey, names), 0);
}

struct ExplicitCase {
  const char* label;
  Variant value;
  uint32_t type;
  std::optional<uint32_t> size;
  std::vector<uint8_t> storedData;
};

class ExplicitTypes : public TemporaryRegistry,
                      public ::testing::WithParamInterface<ExplicitCase> {};

TEST_P(ExplicitTypes, WriteTheTextWithoutATerminator) {
  const ExplicitCase& c = GetParam();
  ASSERT_EQ(SetRegistryValue(HKEY_CURRENT_USER, kKey, "v", c.value, "", c.type, c.size), 0u);
  const RegValue stored = Raw(HKEY_CURRENT_USER, kKey, "v");
  EXPECT_EQ(stored.type, c.type);
  EXPECT_EQ(stored.data, c.storedData);
}

INSTANTIATE_TEST_SUITE_P(
    Types, ExplicitTypes,
    ::testing::Values(
        ExplicitCase{"Sz", "abc", REG_SZ, std::nullopt, Bytes("abc")},
        ExplicitCase{"SzCutToSize", "abcdef", REG_SZ, 2, Bytes("ab")},
        ExplicitCase{"MultiSz", std::string("one\0two\0\0", 9), REG_MULTI_SZ, std::nullopt,
                     Bytes(std::string_view("one\0two\0\0", 9))},
        ExplicitCase{"Binary", "\u00e9A", REG_BINARY, std::nullopt, {0xE9, 'A'}},
        ExplicitCase{"ExpandSz", "%HOME%\\x", REG_EXPAND_SZ, std::nullopt, Bytes("%HOME%\\x")},
        ExplicitCase{"Dword", int32_t{0x01020304}, REG_DWORD, std::nullopt, {4, 3, 2, 1}}),
    [](const auto& info) { return info.param.label; });

TEST_F(Registry, ExpandableTextReadsUnexpanded) {
  SetRegistryValue(HKEY_CURRENT_USER, kKey, "v", "%HOME%", "", REG_EXPAND_SZ);
  EXPECT_EQ(GetRegistryValue(HKEY_CURRENT_USER, kKey, "v", 0), Variant("%HOME%"));
}

TEST_F(Registry, MissingValueAndMissingKeyBothGiveTheDefaultAndListNothing) {
  std::vector<std::string> names{"stale", "more"};
  EXPECT_EQ(GetRegistryValueNames(HKEY_LOCAL_MACHINE, kKey, names), 0);
  EXPECT_EQ(names, std::vector<std::string>{""});
  EXPECT_EQ(RegistryLastError().number, 2u);
  EXPECT_EQ(RegistryLastError().description, "Unable to open registry key");
  SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "present", 1);
  EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "absent", "d"), Variant("d"));
  EXPECT_EQ(RegistryLastError().number, 0u);
  EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, "Software\\Nowhere", "absent", "d"), Variant("d"));
  EXPECT_EQ(RegistryLastError().number, 2u);
  EXPECT_EQ(RegistryLastError().description, "Unable to open registry key");
}

TEST_F(Registry, NamesComeInInsertionOrderAndAReplacedValueKeepsItsPlace) {
  for (const char* name : {"zeta", "alpha", "", "mid"}) {
    SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, name, "x");
  }
  SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "ALPHA", 5);  // names ignore case
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(GetRegistryValueNames(HKEY_LOCAL_MACHINE, kKey, names), 4);
  EXPECT_EQ(names, (std::vector<std::string>{"", "zeta", "alpha", "", "mid"}));
  EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "Alpha", 0), Variant(int32_t{5}));
}

TEST_F(Registry, AnUnknownRootMeansTheCurrentUser) {
  ASSERT_EQ(SetRegistryValue(0x80000003, kKey, "v", 7), 0u);
  EXPECT_EQ(GetRegistryValue(HKEY_CURRENT_USER, kKey, "v", 0), Variant(int32_t{7}));
  EXPECT_EQ(GetRegistryValue(12345, kKey, "v", 0), Variant(int32_t{7}));
  EXPECT_TRUE(std::filesystem::exists(hiveFile("HKEY_CURRENT_USER")));
  EXPECT_FALSE(std::filesystem::exists(hiveFile("HKEY_LOCAL_MACHINE")));
}

TEST_F(Registry, ARemoteComputerFailsWith53AndIsNamedWithoutBackslashes) {
  for (const char* computer : {"WORKSHOP", "\\\\WORKSHOP"}) {
    std::vector<std::string> names;
    EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", "d", computer), Variant("d"));
    EXPECT_EQ(RegistryLastError().number, 53u);
    EXPECT_EQ(RegistryLastError().description, "Cannot open Registry for computer WORKSHOP");
    EXPECT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", 1, computer), 53u);
    EXPECT_EQ(RegistryLastError().description, "Cannot open Registry for computer WORKSHOP");
    EXPECT_EQ(GetRegistryValueNames(HKEY_LOCAL_MACHINE, kKey, names, computer), 0);
    EXPECT_EQ(RegistryLastError().number, 53u);
  }
  EXPECT_FALSE(std::filesystem::exists(hiveFile()));
}

TEST_F(Registry, AMissingHiveReadsEmptyAndTheFirstWriteCreatesItWithItsFolder) {
  const std::filesystem::path nested = folder_ / "not" / "yet";
  registry_.Set(nested.string());
  EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, "", "v", "d"), Variant("d"));
  EXPECT_EQ(RegistryLastError().number, 0u);
  EXPECT_FALSE(std::filesystem::exists(nested));
  ASSERT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", "w"), 0u);
  EXPECT_TRUE(std::filesystem::exists(nested / "HKEY_LOCAL_MACHINE.db"));
  EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", "d"), Variant("w"));
}

TEST_F(Registry, AReadOnlyHiveStillReadsAndRefusesWritesWith5) {
  ASSERT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", "kept"), 0u);
  std::filesystem::permissions(hiveFile(), std::filesystem::perms::owner_read |
                                               std::filesystem::perms::group_read |
                                               std::filesystem::perms::others_read);
  EXPECT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", "changed"), 5u);
  EXPECT_EQ(RegistryLastError().description, "Unable to open registry key");
  EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", "d"), Variant("kept"));
  std::vector<std::string> names;
  EXPECT_EQ(GetRegistryValueNames(HKEY_LOCAL_MACHINE, kKey, names), 1);
}

// Children of the test below: one writes the hive, one reads it as another user.
TEST(RegistryChild, WritesOrReads) {
  const char* role = std::getenv("TARSIN_RF_TEST_ROLE");
  if (role == nullptr) GTEST_SKIP() << "only as a child of AUserWhoMayNotWriteTheFolderStillReads";
  if (std::string_view(role) == "write") {
    ASSERT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", "machine-wide"), 0u);
  } else {
    EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", "d"), Variant("machine-wide"));
    EXPECT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", "mine"), 5u);
  }
}

TEST_F(Registry, AUserWhoMayNotWriteTheFolderStillReads) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  std::filesystem::permissions(folder_.path(), std::filesystem::perms(0755));
  const std::string child = "RegistryChild.WritesOrReads";
  ASSERT_EQ(ChildExitCode(StartTestInChild(child, "TARSIN_RF_TEST_ROLE", "write")), 0);
  constexpr uid_t kNobody = 65534;
  const auto readAsNobody = [&] {
    return ChildExitCode(StartTestInChild(child, "TARSIN_RF_TEST_ROLE", "read", kNobody));
  };
  const int firstRead = readAsNobody();
  if (firstRead == 127) GTEST_SKIP() << "the test program is out of reach of another user";
  EXPECT_EQ(firstRead, 0);
  // A hive whose WAL files are gone (copied, or written by another tool) reads as well.
  std::filesystem::remove(hiveFile().string() + "-wal");
  std::filesystem::remove(hiveFile().string() + "-shm");
  EXPECT_EQ(readAsNobody(), 0);
}

TEST_F(Registry, AddedTextsNeverReplaceEachOther) {
  for (const char* atr : {"3B 01", "3B 02", "3B 03"}) {
    EXPECT_EQ(AddRegistryText(HKEY_LOCAL_MACHINE, kKey, "Unknown (x)", atr), 0u);
  }
  std::vector<std::string> names;
  ASSERT_EQ(GetRegistryValueNames(HKEY_LOCAL_MACHINE, kKey, names), 3);
  EXPECT_EQ(names,
            (std::vector<std::string>{"", "Unknown (x)", "Unknown (x) #2", "Unknown (x) #3"}));
  EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "Unknown (x) #3", ""), Variant("3B 03"));
}

// The key API underneath.
TEST_F(Registry, EnumerationByIndexIsTheSameInAnyOrderOfCalls) {
  ScopedKey key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\E", 0, KEY_ALL_ACCESS, key.out()), 0u);
  const uint8_t one = 1;
  for (const char* name : {"a", "b", "c"}) {
    ASSERT_EQ(RegSetValueExA(key.get(), name, REG_BINARY, {&one, 1}), 0u);
  }
  ASSERT_EQ(RegDeleteValueA(key.get(), "b"), 0u);
  ASSERT_EQ(RegSetValueExA(key.get(), "d", REG_BINARY, {&one, 1}), 0u);
  const std::pair<uint32_t, const char*> calls[] = {{0, "a"}, {1, "c"}, {2, "d"}, {1, "c"},
                                                    {0, "a"}, {2, "d"}, {1, "c"}, {2, "d"}};
  for (const auto& [index, expected] : calls) {
    std::string name;
    EXPECT_EQ(RegEnumValueA(key.get(), index, name), 0u);
    EXPECT_EQ(name, expected) << "index " << index;
  }
  std::string name;
  EXPECT_EQ(RegEnumValueA(key.get(), 3, name), ERROR_NO_MORE_ITEMS);
}

TEST_F(Registry, HandlesAndKeysThatAreGone) {
  ScopedKey key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Gone", 0, KEY_ALL_ACCESS, key.out()), 0u);
  ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Gone"), 0u);
  const uint8_t one = 1;
  EXPECT_EQ(RegSetValueExA(key.get(), "v", REG_BINARY, {&one, 1}), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key.get()), 0u);
  EXPECT_EQ(RegCloseKey(key.get()), ERROR_INVALID_HANDLE);
  RegValue value;
  EXPECT_EQ(RegQueryValueExA(key.get(), "v", value), ERROR_INVALID_HANDLE);
  key.out() = 0;
  HKEY opened = 0;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Gone", 0, KEY_READ, opened),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(0x80000003, "", 0, KEY_READ, opened), ERROR_INVALID_HANDLE);
}

TEST(IsAnsiText, FollowsWindows1252) {
  EXPECT_TRUE(IsAnsiText(""));
  EXPECT_TRUE(IsAnsiText("plain ASCII"));
  EXPECT_TRUE(IsAnsiText("\u00e9\u00ff\u20ac\u0178\u2122"));  // Latin-1 and the 0x80 block
  EXPECT_FALSE(IsAnsiText("\u0416"));
  EXPECT_FALSE(IsAnsiText("\xff"));  // not UTF-8
  EXPECT_FALSE(IsAnsiText("\u2603"));
}

}  // namespace
}  // namespace tarsin::registry
