#include "registry/reg_api.h"

#include "registry/temporary_registry.h"

namespace tarsin::registry {
namespace {

using RegApi = TemporaryRegistry;

TEST_F(RegApi, EnumerationByIndexIsTheSameInAnyOrderOfCalls) {
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

TEST_F(RegApi, HandlesAndKeysThatAreGone) {
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

}  // namespace
}  // namespace tarsin::registry
