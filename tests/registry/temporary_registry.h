// SPDX-License-Identifier: Apache-2.0
// A registry of its own per test, its hives in a fresh temporary folder; and a test of this program
// in a child process, for what one process cannot show: concurrent writers, another user.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
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

// Starts `testName` with the environment variable `name` set to `value`, as user `uid` when
// given (the suite must run as root for that). Returns the child's pid, or -1.
inline pid_t StartTestInChild(const std::string& testName, const char* name, const char* value,
                              std::optional<uid_t> uid = std::nullopt) {
  const pid_t child = ::fork();
  if (child != 0) return child;
  ::setenv(name, value, 1);
  if (uid && (::setgid(*uid) != 0 || ::setuid(*uid) != 0)) ::_exit(126);
  const std::string filter = "--gtest_filter=" + testName;
  ::execl("/proc/self/exe", "child", filter.c_str(), static_cast<char*>(nullptr));
  ::_exit(127);
}

// Exit status of the child: 0 when its test passed, 127 when the program could not be started
// (as another user it may not reach it), -1 when it did not exit normally.
inline int ChildExitCode(pid_t child) {
  int status = 0;
  if (child <= 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace tarsin::registry
