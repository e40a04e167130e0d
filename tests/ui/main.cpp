// The dialogs' tests run offscreen, or on the platform TARSIN_RF_TEST_PLATFORM names (CI runs
// them once on a virtual X server). Chosen before anything else, so that listing the tests never
// meets a display that is not there.
#include <gtest/gtest.h>
#include <stdlib.h>

// fontconfig keeps its caches until the process ends, which the leak checker reports.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
  const char* platform = std::getenv("TARSIN_RF_TEST_PLATFORM");
  ::setenv("QT_QPA_PLATFORM", platform && *platform ? platform : "offscreen", 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
