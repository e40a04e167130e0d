// SPDX-License-Identifier: Apache-2.0
// Only what a C++ host has: the public headers and libtarsinrf.so (and the tests' scratch folder).
// Each test has a home (readers, registry with the card types, log); tarsin-rf moves the cards.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "support/temporary_folder.h"

namespace tarsin::host_test {

inline constexpr const char* kReader0 = "Tarsin Virtual Reader 0";
inline constexpr const char* kReader1 = "Tarsin Virtual Reader 1";

// A path the test program was built with, unless the environment names another (the thread
// checker's build borrows the normal build's provider and command-line host).
inline std::string Built(const char* variable, const char* built) {
  const char* named = std::getenv(variable);
  return named && *named ? named : built;
}

class HostBench : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TARSIN_RF_PCSC_LIBRARY",
             Built("TARSIN_TEST_VPCSC_LIBRARY", TARSIN_TEST_VPCSC_LIBRARY).c_str(), 1);
    ::setenv("TARSIN_RF_VIRTUAL_READERS", (home_ / "readers.json").c_str(), 1);
    ::setenv("TARSIN_RF_REGISTRY_DIR", home_.path().c_str(), 1);
    ::setenv("XDG_DATA_HOME", home_.path().c_str(), 1);
    ASSERT_EQ(Cli("virtual init > /dev/null"), 0);
    ASSERT_EQ(Cli("reg import '" + std::string(TARSIN_TEST_CARD_TYPES) + "' > /dev/null"), 0);
  }

  // `tarsin-rf ARGUMENTS` in another process, its exit status; `after` puts it in the
  // background, started that much later.
  static int Cli(const std::string& arguments,
                 std::chrono::milliseconds after = std::chrono::milliseconds(-1)) {
    const std::string cli = "'" + Built("TARSIN_TEST_CLI", TARSIN_TEST_CLI) + "' " + arguments;
    if (after.count() < 0) return WEXITSTATUS(std::system(cli.c_str()));
    const double seconds = static_cast<double>(after.count()) / 1000;
    return std::system(("(sleep " + std::to_string(seconds) + "; " + cli + ") &").c_str());
  }

  testing::ScratchFolder home_{"tarsin-host"};
};

}  // namespace tarsin::host_test
