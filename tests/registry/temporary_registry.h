// A registry of its own for each test: all hives in a fresh temporary folder, removed after.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "registry/reg_api.h"

namespace tarsin::registry {

class TemporaryRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarsin-reg-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    ::setenv("TARSIN_RF_REGISTRY_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("TARSIN_RF_REGISTRY_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::filesystem::path hiveFile(const char* name = "HKEY_LOCAL_MACHINE") const {
    return folder_ / (std::string(name) + ".db");
  }

  // The stored type and data of a value, straight from the hive.
  static RegValue Raw(HKEY root, std::string_view keyPath, std::string_view name) {
    ScopedKey key;
    RegValue value;
    EXPECT_EQ(RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.out()), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key.get(), name, value), ERROR_SUCCESS);
    return value;
  }

  std::filesystem::path folder_;
};

}  // namespace tarsin::registry
