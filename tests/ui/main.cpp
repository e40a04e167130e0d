// SPDX-License-Identifier: Apache-2.0
// The dialogs' tests run offscreen, or on the platform TARSIN_RF_TEST_PLATFORM names (CI: a virtual
// X server), chosen first so that listing the tests never meets a display that is not there.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <memory>
#include <string_view>

// fontconfig keeps its caches until the process ends, which the leak checker reports.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
  const char* chosen = std::getenv("TARSIN_RF_TEST_PLATFORM");
  const std::string_view platform = chosen && *chosen ? chosen : "offscreen";
  ::setenv("QT_QPA_PLATFORM", platform.data(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  // The dialog library refuses to start a windowless platform itself; a host that owns the
  // application may. On a display, the library makes its own, as for most hosts.
  std::unique_ptr<QApplication> application;
  if (platform == "offscreen" || platform == "minimal")
    application = std::make_unique<QApplication>(argc, argv);
  return RUN_ALL_TESTS();
}
