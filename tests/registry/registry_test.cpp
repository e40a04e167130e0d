// SPDX-License-Identifier: Apache-2.0
// The registry: values through the module's routines and the key API underneath, and .reg files.
#include <fmt/format.h>
#include <gmock/gmock.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "registry/file_replace.h"
#include "registry/mregistry.h"
#include "registry/reg_file.h"
#include "registry/reg_file_io.h"
#include "registry/temporary_registry.h"
#include "registry/utf16.h"
#include "registry/value_text.h"

namespace tarsin::registry {
namespace {

constexpr std::string_view kKey = "Software\\Tests\\Values";

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

using Registry = TemporaryRegistry;

// Each kind as a Windows program stores it; with a type given, text goes in without a terminator.
TEST_F(Registry, StoresEachKindAsAWindowsProgramWould) {
  const std::string ansi = "caf\u00e9 \u20ac", list("one\0two\0\0", 9);
  const auto terminated = [](std::string_view text) { return Bytes(std::string(text) + '\0'); };
  const struct {
    const char* label;
    Variant value;
    std::optional<uint32_t> type, size;  // as given to SetRegistryValue
    uint32_t storedType;
    std::vector<uint8_t> storedData;
    std::optional<Variant> readBack;
  } cases[] = {
      {"Long", int32_t{1}, {}, {}, REG_DWORD, {1, 0, 0, 0}, int32_t{1}},
      {"Integer", int16_t{-2}, {}, {}, REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}, int32_t{-2}},
      {"Byte", uint8_t{200}, {}, {}, REG_DWORD, {200, 0, 0, 0}, int32_t{200}},
      {"True", true, {}, {}, REG_DWORD, {1, 0, 0, 0}, int32_t{1}},
      {"False", false, {}, {}, REG_DWORD, {0, 0, 0, 0}, int32_t{0}},
      {"Double", 1.5, {}, {}, REG_SZ, terminated("1.5"), "1.5"},
      {"Text", "abc", {}, {}, REG_SZ, terminated("abc"), "abc"},
      {"EmptyText", "", {}, {}, REG_SZ, {0}, ""},
      {"AnsiText", ansi, {}, {}, REG_SZ, terminated(ansi), ansi},
      // Outside the code page: the text goes in as code-page bytes, NUL included.
      {"WideText", "a\u0416", {}, {}, REG_BINARY, {'a', '?', 0}, std::string("a?\0", 3)},
      {"Sz", "abc", REG_SZ, {}, REG_SZ, Bytes("abc"), {}},
      {"SzCutToSize", "abcdef", REG_SZ, 2, REG_SZ, Bytes("ab"), {}},
      {"MultiSz", list, REG_MULTI_SZ, {}, REG_MULTI_SZ, Bytes(list), {}},
      {"Binary", "\u00e9A", REG_BINARY, {}, REG_BINARY, {0xE9, 'A'}, {}},
      // Expandable text reads unexpanded.
      {"ExpandSz", "%HOME%\\x", REG_EXPAND_SZ, {}, REG_EXPAND_SZ, Bytes("%HOME%\\x"), "%HOME%\\x"},
      {"Dword", int32_t{0x01020304}, REG_DWORD, {}, REG_DWORD, {4, 3, 2, 1}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", c.value, "", c.type, c.size), 0u);
    EXPECT_EQ(RegistryLastError().number, 0u);
    const RegValue stored = Raw(HKEY_LOCAL_MACHINE, kKey, "v");
    EXPECT_EQ(stored.type, c.storedType);
    EXPECT_EQ(stored.data, c.storedData);
    if (c.readBack) {
      EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", "d"), *c.readBack);
    }
  }
}

TEST_F(Registry, KindsWithoutARegistryFormAreRefusedWith13) {
  for (const Variant& value : {Variant(), Variant(Variant::Null{}), Variant(Variant::Array{}),
                               Variant(int64_t{1} << 40)}) {
    EXPECT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", value), 13u);
    EXPECT_THAT(RegistryLastError(),
                ::testing::FieldsAre(13u, "Unable to save this type of data in the Registry"));
  }
  std::vector<std::string> names;
  EXPECT_EQ(GetRegistryValueNames(HKEY_LOCAL_MACHINE, kKey, names), 0);
}

TEST_F(Registry, MissingValueAndMissingKeyBothGiveTheDefaultAndListNothing) {
  std::vector<std::string> names{"stale", "more"};
  EXPECT_EQ(GetRegistryValueNames(HKEY_LOCAL_MACHINE, kKey, names), 0);
  EXPECT_EQ(names, std::vector<std::string>{""});
  EXPECT_THAT(RegistryLastError(), ::testing::FieldsAre(2u, "Unable to open registry key"));
  SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "present", 1);
  EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "absent", "d"), Variant("d"));
  EXPECT_EQ(RegistryLastError().number, 0u);
  EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, "Software\\Nowhere", "absent", "d"), Variant("d"));
  EXPECT_THAT(RegistryLastError(), ::testing::FieldsAre(2u, "Unable to open registry key"));
}

TEST_F(Registry, NamesComeInInsertionOrderAndAReplacedValueKeepsItsPlace) {
  for (const char* name : {"zeta", "alpha", "", "mid"})
    SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, name, "x");
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
  EXPECT_FALSE(std::filesystem::exists(hiveFile("HKEY_LOCAL_MACHINE")));
}

TEST_F(Registry, ARemoteComputerFailsWith53AndIsNamedWithoutBackslashes) {
  for (const char* computer : {"WORKSHOP", "\\\\WORKSHOP"}) {
    std::vector<std::string> names;
    EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", "d", computer), Variant("d"));
    const auto remote = ::testing::FieldsAre(53u, "Cannot open Registry for computer WORKSHOP");
    EXPECT_THAT(RegistryLastError(), remote);
    EXPECT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", 1, computer), 53u);
    EXPECT_THAT(RegistryLastError(), remote);
    EXPECT_EQ(GetRegistryValueNames(HKEY_LOCAL_MACHINE, kKey, names, computer), 0);
    EXPECT_THAT(RegistryLastError(), remote);
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
  std::filesystem::permissions(hiveFile(), std::filesystem::perms(0444));
  EXPECT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "v", "changed"), 5u);
  EXPECT_THAT(RegistryLastError(), ::testing::FieldsAre(5u, "Unable to open registry key"));
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
  for (const char* atr : {"3B 01", "3B 02", "3B 03"})
    EXPECT_EQ(AddRegistryText(HKEY_LOCAL_MACHINE, kKey, "Unknown (x)", atr), 0u);
  std::vector<std::string> names;
  ASSERT_EQ(GetRegistryValueNames(HKEY_LOCAL_MACHINE, kKey, names), 3);
  EXPECT_EQ(names,
            (std::vector<std::string>{"", "Unknown (x)", "Unknown (x) #2", "Unknown (x) #3"}));
  EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, "Unknown (x) #3", ""), Variant("3B 03"));
}

TEST_F(Registry, EnumerationByIndexIsTheSameInAnyOrderOfCalls) {
  ScopedKey key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\E", 0, KEY_ALL_ACCESS, key.out()), 0u);
  const uint8_t one = 1;
  for (const char* name : {"a", "b", "c"})
    ASSERT_EQ(RegSetValueExA(key.get(), name, REG_BINARY, {&one, 1}), 0u);
  ASSERT_EQ(RegDeleteValueA(key.get(), "b"), 0u);
  ASSERT_EQ(RegSetValueExA(key.get(), "d", REG_BINARY, {&one, 1}), 0u);
  for (const char* name : {"b", "C", "a"}) {
    ScopedKey subKey;
    ASSERT_EQ(RegCreateKeyExA(key.get(), name, 0, KEY_ALL_ACCESS, subKey.out()), 0u);
  }
  // Values in their order, sub-keys by name whatever the case.
  const std::tuple<uint32_t, const char*, const char*> calls[] = {
      {0, "a", "a"}, {1, "c", "b"}, {2, "d", "C"}, {1, "c", "b"},
      {0, "a", "a"}, {2, "d", "C"}, {1, "c", "b"}, {2, "d", "C"}};
  for (const auto& [index, value, subKey] : calls) {
    std::string name;
    EXPECT_EQ(RegEnumValueA(key.get(), index, name), 0u);
    EXPECT_EQ(name, value) << "index " << index;
    EXPECT_EQ(RegEnumKeyExA(key.get(), index, name), 0u);
    EXPECT_EQ(name, subKey) << "index " << index;
  }
  std::string name;
  EXPECT_EQ(RegEnumValueA(key.get(), 3, name), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegEnumKeyExA(key.get(), 3, name), ERROR_NO_MORE_ITEMS);
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

// ASCII, "é €" and "Ж" through StoresEachKindAsAWindowsProgramWould.
TEST(IsAnsiText, FollowsWindows1252) {
  EXPECT_TRUE(IsAnsiText("\u00ff\u0178\u2122"));  // Latin-1 and the 0x80 block
  EXPECT_FALSE(IsAnsiText("\xff"));               // not UTF-8
  EXPECT_FALSE(IsAnsiText("\u2603"));
}

LSTATUS ImportStatus(std::string_view text) {
  return ImportRegFile(ParseRegFile(text)).status;
}

// The bytes of a file as reg.exe writes it.
std::string Utf16File(std::string_view text) {
  const std::vector<uint8_t> wide = Utf8ToUtf16Le(text);
  return "\xFF\xFE" + std::string(wide.begin(), wide.end());
}

std::string Export(std::string_view keyName) {
  RegFile file;
  EXPECT_EQ(ExportRegKey(*ParseKeyName(keyName), file).status, ERROR_SUCCESS);
  return FormatRegFile(file);
}

// Every form the format has, in this program's layout: an import then an export gives it back.
constexpr std::string_view kEveryForm =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Round trip]\r\n"
    "@=\"the default\"\r\n"
    "\"empty\"=\"\"\r\n"
    "\"a \\\"quoted\\\" \\\\name\\\\\"=\"C:\\\\path\\\\ \\\"x\\\"\"\r\n"
    "\"accents\"=\"caf\u00e9 \u20ac \u2603\"\r\n"
    "\"number\"=dword:fffffffe\r\n"
    "\"bytes\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    "  16,17,18,19,ff\r\n"
    "\"no bytes\"=hex:\r\n"
    "\"list\"=hex(7):6f,00,6e,00,65,00,00,00,74,00,77,00,6f,00,00,00,00,00\r\n"
    "\"expand\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\r\n"
    "\"two lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"
    "\"qword\"=hex(b):01,02,03,04,05,06,07,08\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Round trip\\Sub key]\r\n"
    "\"deep\"=dword:00000001\r\n"
    "\r\n";

// Written in UTF-16 as reg.exe writes, read in UTF-16 or UTF-8.
TEST_F(Registry, ImportThenExportGivesTheSameFile) {
  for (const std::string& form : {std::string(kEveryForm), Utf16File(kEveryForm)}) {
    ASSERT_EQ(ImportStatus(form), ERROR_SUCCESS);
    EXPECT_EQ(Export("HKCU\\Software\\Round trip"), Utf16File(kEveryForm));
  }
  constexpr std::string_view kRoundTrip = "Software\\Round trip";
  EXPECT_EQ(Raw(HKEY_CURRENT_USER, kRoundTrip, "list"),
            (RegValue{REG_MULTI_SZ, Bytes(std::string_view("one\0two\0\0", 9))}));
  EXPECT_EQ(Raw(HKEY_CURRENT_USER, kRoundTrip, "a \"quoted\" \\name\\"),
            (RegValue{REG_SZ, Bytes(std::string_view("C:\\path\\ \"x\"\0", 13))}));
  EXPECT_EQ(DisplayData(Raw(HKEY_CURRENT_USER, kRoundTrip, "")), "the default");
}

TEST_F(Registry, ReadsTheOlderAnsiForm) {
  ASSERT_EQ(ImportStatus("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\W]\r\n"
                         "\"ansi\"=\"\xE9\"\r\n\"e2\"=hex(2):42,43,00\r\n"),
            ERROR_SUCCESS);
  EXPECT_EQ(
      Export("HKLM\\Software\\W"),
      Utf16File("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\W]"
                "\r\n\"ansi\"=\"\u00e9\"\r\n\"e2\"=hex(2):42,00,43,00,00,00\r\n\r\n"));
}

TEST_F(Registry, DeletionsContinuationsAndCommentsApply) {
  ASSERT_EQ(ImportStatus("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\D]\n"
                         "\"keep\"=\"1\"\n\"drop\"=\"2\"\n"
                         "[HKEY_CURRENT_USER\\Software\\D\\Gone]\n\"x\"=\"3\"\n"),
            ERROR_SUCCESS);
  ASSERT_EQ(ImportStatus("Windows Registry Editor Version 5.00\n; a comment\n"
                         "[-HKEY_CURRENT_USER\\Software\\D\\Gone]\n"
                         "[-HKEY_CURRENT_USER\\Software\\Never there]\n"
                         "[HKEY_CURRENT_USER\\Software\\D]\n\"drop\"=-\n\"absent\"=-\n"
                         "  \"bin\" = hex:01,\\\n      2,\\\n   ff\n"),
            ERROR_SUCCESS);
  EXPECT_EQ(
      Export("HKCU\\Software\\D"),
      Utf16File("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\D]\r\n"
                "\"keep\"=\"1\"\r\n\"bin\"=hex:01,02,ff\r\n\r\n"));
}

// Keys as deep and names as long as Windows allows; the key API refuses beyond, as Windows does.
TEST_F(Registry, The512LevelsAndTheLongestNamesImportAndExportInFull) {
  std::string text = "Windows Registry Editor Version 5.00\r\n";
  std::string path;
  // The last name: 255 characters of two UTF-8 bytes each, as the limit counts characters.
  std::string longest;
  for (int i = 0; i < 255; ++i) longest += "\u00e9";
  for (int level = 1; level <= 512; ++level) {
    path += level == 1 ? "k1" : "\\" + (level < 512 ? "k" + std::to_string(level) : longest);
    text += fmt::format("\r\n[HKEY_CURRENT_USER\\{}]\r\n\"level\"=dword:{:08x}\r\n", path, level);
  }
  text += "\r\n";
  ASSERT_EQ(ImportStatus(text), ERROR_SUCCESS);
  EXPECT_EQ(Export("HKCU\\k1"), Utf16File(text));

  ScopedKey deepest;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, deepest.out()), 0u);
  HKEY created = 0;
  EXPECT_EQ(RegCreateKeyExA(deepest.get(), "one", 0, KEY_ALL_ACCESS, created),
            ERROR_NO_SYSTEM_RESOURCES);
  EXPECT_EQ(
      RegCreateKeyExA(HKEY_CURRENT_USER, "k\\" + std::string(256, 'n'), 0, KEY_ALL_ACCESS, created),
      ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "k", 0, KEY_READ, created), ERROR_FILE_NOT_FOUND);
}

// Checked whole, then written one transaction per hive, all held to the end: nothing half-done.
TEST_F(Registry, AnImportThatFailsChangesNothing) {
  ASSERT_EQ(ImportStatus(kEveryForm), ERROR_SUCCESS);
  std::filesystem::permissions(hiveFile("HKEY_CURRENT_USER"), std::filesystem::perms::owner_read);
  std::string tooDeep = "HKEY_LOCAL_MACHINE";
  for (int level = 1; level <= 513; ++level) tooDeep += "\\k";
  std::string emoji;  // two UTF-16 units each
  for (int i = 0; i < 128; ++i) emoji += "\U0001F600";
  const std::pair<std::string, LSTATUS> cases[] = {
      {"HKEY_CURRENT_USER\\Software\\Round trip", ERROR_ACCESS_DENIED},  // a read-only hive
      {"HKEY_USERS\\.DEFAULT", ERROR_INVALID_PARAMETER},
      {"HKEY_LOCAL_MACHINE\\Software\\" + std::string(256, 'n'), ERROR_INVALID_PARAMETER},
      {"HKEY_LOCAL_MACHINE\\Software\\" + emoji, ERROR_INVALID_PARAMETER},
      {tooDeep, ERROR_NO_SYSTEM_RESOURCES},
  };
  for (const auto& [section, status] : cases) {
    const RegFileOutcome outcome = ImportRegFile(
        ParseRegFile("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\First]\n"
                     "\"v\"=\"1\"\n[" +
                     section + "]\n\"v\"=\"2\"\n"));
    EXPECT_EQ(outcome.status, status) << section;
    EXPECT_EQ(outcome.keyName, section);
    HKEY first = 0;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\First", 0, KEY_READ, first),
              ERROR_FILE_NOT_FOUND);
  }
}

// Written beside the target, then renamed; a file-size limit fails the write as a full disk does.
TEST_F(Registry, AnExportThatCannotBeWrittenLeavesTheOldFile) {
  const std::filesystem::path target = folder_ / "saved.reg";
  std::ofstream(target) << "old";
  std::filesystem::permissions(target, std::filesystem::perms(0640));
  const std::string content = Utf16File(kEveryForm);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const rlimit small{64, saved.rlim_max};
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::error_code error = ReplaceFileContent(target.string(), content);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(error, std::errc::file_too_large);
  EXPECT_EQ(testing::FileContent(target), "old");
  const auto savedFiles = [&] {
    return std::distance(std::filesystem::directory_iterator(folder_.path()), {});
  };
  EXPECT_EQ(savedFiles(), 1);  // no temporary file left

  // Through a link, the file it points to is replaced, with its permissions.
  const std::filesystem::path link = folder_ / "link.reg";
  std::filesystem::create_symlink(target, link);
  ASSERT_FALSE(ReplaceFileContent(link.string(), content));
  EXPECT_EQ(testing::FileContent(target), content);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0640));
  EXPECT_EQ(savedFiles(), 2);
}

TEST(RegFileParse, NamesTheFaultyLine) {
  const std::string header = "Windows Registry Editor Version 5.00\n";
  const std::pair<std::string, std::string> cases[] = {
      {"[HKEY_CURRENT_USER\\x]\n", "line 1: not a registry file"},
      {header + "\"v\"=\"1\"\n", "line 2: a value outside a key section"},
      {header + "[HKCU\\x\n", "line 2: a key name must stand in brackets"},
      {header + "[HKCU\\x]\nv=\"1\"\n", "line 3: a value name must be @ or a quoted string"},
      {header + "[HKCU\\x]\n\"v\"=\"open\n", "line 3: a quoted string without its closing quote"},
      {header + "[HKCU\\x]\n\"v\"=dword:123456789\n", "line 3: a dword needs one to eight"},
      {header + "[HKCU\\x]\n\"v\"=hex:1,xyz\n", "line 3: a byte must be one or two hex digits"},
      {header + "[HKCU\\x]\n\"v\"=hex(2):41\n", "line 3: UTF-16 text with an odd number"},
      {header + "[HKCU\\x]\n\"v\"=hex:01,\\", "line 3: the file ends inside a continued line"},
      {header + "[HKCU\\x]\n\"v\"=text\n", "line 3: unknown data form"},
  };
  for (const auto& [text, message] : cases)
    EXPECT_THAT([&] { ParseRegFile(text); },
                ::testing::ThrowsMessage<RegFileError>(::testing::StartsWith(message)))
        << text;
}

TEST(ValueText, TypedDataBecomesTheStoredFormShownOnOneLine) {
  EXPECT_EQ(ValueFromText(REG_SZ, "a"), (RegValue{REG_SZ, {'a', 0}}));
  EXPECT_EQ(ValueFromText(REG_MULTI_SZ, "a\\0bc"),
            (RegValue{REG_MULTI_SZ, {'a', 0, 'b', 'c', 0, 0}}));
  EXPECT_EQ(ValueFromText(REG_MULTI_SZ, "a;b", ";"), (RegValue{REG_MULTI_SZ, {'a', 0, 'b', 0, 0}}));
  EXPECT_EQ(ValueFromText(REG_MULTI_SZ, ""), (RegValue{REG_MULTI_SZ, {0}}));
  EXPECT_EQ(ValueFromText(REG_DWORD, "0x10"), (RegValue{REG_DWORD, {16, 0, 0, 0}}));
  EXPECT_EQ(ValueFromText(REG_DWORD, "4294967295"), (RegValue{REG_DWORD, {255, 255, 255, 255}}));
  EXPECT_EQ(ValueFromText(REG_BINARY, "00fF"), (RegValue{REG_BINARY, {0, 255}}));
  for (const char* bad : {"4294967296", "12a", ""})
    EXPECT_FALSE(ValueFromText(REG_DWORD, bad)) << bad;
  for (const char* bad : {"123", "0g"}) EXPECT_FALSE(ValueFromText(REG_BINARY, bad)) << bad;
  EXPECT_EQ(TypeFromName("reg_expand_sz"), REG_EXPAND_SZ);
  EXPECT_FALSE(TypeFromName("REG_QWORD"));
  EXPECT_EQ(DisplayData({REG_SZ, {'a', 'b', 0}}), "ab");
  EXPECT_EQ(DisplayData({REG_MULTI_SZ, {'a', 0, 'b', 0, 0}}), "a\\0b");
  EXPECT_EQ(DisplayData({REG_DWORD, {16, 0, 0, 0}}), "0x10");
  EXPECT_EQ(DisplayData({REG_BINARY, {0, 0xAB}}), "00AB");
}

TEST(KeyNames, ShortAndLongRootsInAnyCase) {
  EXPECT_EQ(FullKeyName(ParseKeyName("hklm\\Software\\X\\").value()),
            "HKEY_LOCAL_MACHINE\\Software\\X");
  EXPECT_EQ(ParseKeyName("HKEY_CLASSES_ROOT")->root, HKEY_CLASSES_ROOT);
  EXPECT_FALSE(ParseKeyName("HKU\\x"));
  EXPECT_FALSE(ParseKeyName("HKLMX\\x"));
}

}  // namespace
}  // namespace tarsin::registry
