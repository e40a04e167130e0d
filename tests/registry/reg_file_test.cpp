#include "registry/reg_file.h"

#include "registry/reg_file_io.h"
#include "registry/temporary_registry.h"
#include "registry/value_text.h"

namespace tarsin::registry {
namespace {

using RegFiles = TemporaryRegistry;

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

std::string Export(std::string_view keyName) {
  RegFile file;
  EXPECT_EQ(ExportRegKey(*ParseKeyName(keyName), file).status, ERROR_SUCCESS);
  return FormatRegFile(file);
}

// Every form the format has, in the layout this program writes, so that an import followed by
// an export must give back the same bytes.
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

TEST_F(RegFiles, ImportThenExportGivesTheSameFile) {
  ASSERT_EQ(ImportRegFile(ParseRegFile(kEveryForm)).status, ERROR_SUCCESS);
  EXPECT_EQ(Export("HKCU\\Software\\Round trip"), kEveryForm);

  ScopedKey key;
  RegValue value;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Round trip", 0, KEY_READ, key.out()), 0u);
  ASSERT_EQ(RegQueryValueExA(key.get(), "list", value), 0u);
  EXPECT_EQ(value, (RegValue{REG_MULTI_SZ, Bytes(std::string_view("one\0two\0\0", 9))}));
  ASSERT_EQ(RegQueryValueExA(key.get(), "a \"quoted\" \\name\\", value), 0u);
  EXPECT_EQ(value, (RegValue{REG_SZ, Bytes(std::string_view("C:\\path\\ \"x\"\0", 13))}));
  ASSERT_EQ(RegQueryValueExA(key.get(), "", value), 0u);
  EXPECT_EQ(DisplayData(value), "the default");
}

TEST_F(RegFiles, ReadsWhatWindowsWritesInUtf16AndTheOlderAnsiForm) {
  const std::u16string unicode =
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\W]\r\n"
      u"\"caf\u00e9\"=\"\u20ac\"\r\n\"e\"=hex(2):41,00,00,00\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char16_t unit : unicode)
    utf16 += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  ASSERT_EQ(ImportRegFile(ParseRegFile(utf16)).status, ERROR_SUCCESS);

  const std::string ansi =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\W]\r\n\"ansi\"=\"\xE9\"\r\n"
      "\"e2\"=hex(2):42,43,00\r\n";
  ASSERT_EQ(ImportRegFile(ParseRegFile(ansi)).status, ERROR_SUCCESS);

  EXPECT_EQ(Export("HKLM\\Software\\W"),
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\W]\r\n"
            "\"caf\u00e9\"=\"\u20ac\"\r\n\"e\"=hex(2):41,00,00,00\r\n\"ansi\"=\"\u00e9\"\r\n"
            "\"e2\"=hex(2):42,00,43,00,00,00\r\n\r\n");
}

TEST_F(RegFiles, DeletionsContinuationsAndCommentsApply) {
  ASSERT_EQ(ImportRegFile(ParseRegFile("Windows Registry Editor Version 5.00\n"
                                       "[HKEY_CURRENT_USER\\Software\\D]\n"
                                       "\"keep\"=\"1\"\n\"drop\"=\"2\"\n"
                                       "[HKEY_CURRENT_USER\\Software\\D\\Gone]\n\"x\"=\"3\"\n"))
                .status,
            ERROR_SUCCESS);
  ASSERT_EQ(ImportRegFile(ParseRegFile("Windows Registry Editor Version 5.00\n"
                                       "; a comment\n"
                                       "[-HKEY_CURRENT_USER\\Software\\D\\Gone]\n"
                                       "[-HKEY_CURRENT_USER\\Software\\Never there]\n"
                                       "[HKEY_CURRENT_USER\\Software\\D]\n"
                                       "\"drop\"=-\n\"absent\"=-\n"
                                       "  \"bin\" = hex:01,\\\n      2,\\\n   ff\n"))
                .status,
            ERROR_SUCCESS);
  EXPECT_EQ(Export("HKCU\\Software\\D"),
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\D]\r\n"
            "\"keep\"=\"1\"\r\n\"bin\"=hex:01,02,ff\r\n\r\n");
}

TEST_F(RegFiles, ImportStopsAtAReadOnlyHiveWith5) {
  ASSERT_EQ(ImportRegFile(ParseRegFile(kEveryForm)).status, ERROR_SUCCESS);
  std::filesystem::permissions(hiveFile("HKEY_CURRENT_USER"), std::filesystem::perms::owner_read);
  const RegFileOutcome outcome = ImportRegFile(ParseRegFile(kEveryForm));
  EXPECT_EQ(outcome.status, ERROR_ACCESS_DENIED);
  EXPECT_EQ(outcome.keyName, "HKEY_CURRENT_USER\\Software\\Round trip");
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
  for (const auto& [text, message] : cases) {
    try {
      ParseRegFile(text);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const RegFileError& error) {
      EXPECT_TRUE(std::string(error.what()).starts_with(message)) << error.what();
    }
  }
}

TEST(RegFileImport, AnUnknownRootIsRefused) {
  const RegFileOutcome outcome = ImportRegFile(
      ParseRegFile("Windows Registry Editor Version 5.00\n[HKEY_USERS\\.DEFAULT]\n\"v\"=\"1\"\n"));
  EXPECT_EQ(outcome.status, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(outcome.keyName, "HKEY_USERS\\.DEFAULT");
}

TEST(ValueText, TypedDataBecomesTheStoredForm) {
  EXPECT_EQ(ValueFromText(REG_SZ, "a"), (RegValue{REG_SZ, {'a', 0}}));
  EXPECT_EQ(ValueFromText(REG_MULTI_SZ, "a\\0bc"),
            (RegValue{REG_MULTI_SZ, {'a', 0, 'b', 'c', 0, 0}}));
  EXPECT_EQ(ValueFromText(REG_MULTI_SZ, "a;b", ";"), (RegValue{REG_MULTI_SZ, {'a', 0, 'b', 0, 0}}));
  EXPECT_EQ(ValueFromText(REG_MULTI_SZ, ""), (RegValue{REG_MULTI_SZ, {0}}));
  EXPECT_EQ(ValueFromText(REG_DWORD, "0x10"), (RegValue{REG_DWORD, {16, 0, 0, 0}}));
  EXPECT_EQ(ValueFromText(REG_DWORD, "4294967295"), (RegValue{REG_DWORD, {255, 255, 255, 255}}));
  EXPECT_EQ(ValueFromText(REG_BINARY, "00fF"), (RegValue{REG_BINARY, {0, 255}}));
  for (auto [type, bad] : {std::pair{REG_DWORD, "4294967296"},
                           {REG_DWORD, "12a"},
                           {REG_DWORD, ""},
                           {REG_BINARY, "123"},
                           {REG_BINARY, "0g"}}) {
    EXPECT_FALSE(ValueFromText(type, bad)) << bad;
  }
  EXPECT_EQ(TypeFromName("reg_expand_sz"), REG_EXPAND_SZ);
  EXPECT_FALSE(TypeFromName("REG_QWORD"));
}

TEST(ValueText, DataShowsOnOneLine) {
  EXPECT_EQ(DisplayData({REG_SZ, {'a', 'b', 0}}), "ab");
  EXPECT_EQ(DisplayData({REG_MULTI_SZ, {'a', 0, 'b', 0, 0}}), "a\\0b");
  EXPECT_EQ(DisplayData({REG_DWORD, {16, 0, 0, 0}}), "0x10");
  EXPECT_EQ(DisplayData({REG_BINARY, {0, 0xAB}}), "00AB");
}

TEST(KeyNames, ShortAndLongRootsInAnyCase) {
  const auto key = ParseKeyName("hklm\\Software\\X\\");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(FullKeyName(*key), "HKEY_LOCAL_MACHINE\\Software\\X");
  EXPECT_EQ(ParseKeyName("HKEY_CLASSES_ROOT")->root, HKEY_CLASSES_ROOT);
  EXPECT_FALSE(ParseKeyName("HKU\\x"));
  EXPECT_FALSE(ParseKeyName("HKLMX\\x"));
}

}  // namespace
}  // namespace tarsin::registry
