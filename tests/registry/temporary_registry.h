// A registry of its own for each test: all hives in a fresh temporary folder, removed after.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "registry/reg_api.h"
#include "support/scratch_folder.h"

namespace tarsin::registry {

class TemporaryRegistry : public ::testing::Test {
 protected:
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

  testing::ScratchFolder folder_{"tarsin-reg"};
  testing::ScopedEnvironment registry_{"TARSIN_RF_REGISTRY_DIR", folder_.path().string()};
};

}  // namespace tarsin::registry
