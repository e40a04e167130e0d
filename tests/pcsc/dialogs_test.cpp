// SPDX-License-Identifier: Apache-2.0
// The dialog library is loaded at run time: a missing library or entry point is the run-time
// failure of the step that shows the dialog, never a crash.
#include "pcsc/dialogs.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "core/failure.h"

namespace tarsin {
namespace {

TEST(Dialogs, AMissingLibraryOrEntryPointFailsTheStep) {
  const struct {
    const char* library;
    int32_t number;
    std::string description;
  } cases[] = {
      {"/nonexistent/libtarsinrf-dialogs.so", 53,
       "File not found: /nonexistent/libtarsinrf-dialogs.so"},
      {TARSIN_TEST_STUB_PCSC, 453,
       std::string("Can't find DLL entry point tarsin_show_configuration in ") +
           TARSIN_TEST_STUB_PCSC},
  };
  for (const auto& c : cases) {
    ::setenv("TARSIN_RF_DIALOG_LIBRARY", c.library, 1);
    ConfigurationForm form{.device = "Reader", .protocol = 2};
    try {
      ShowConfigurationDialog(form);
      ADD_FAILURE() << c.library;
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), c.number);
      EXPECT_EQ(failure.description(), c.description);
    }
    EXPECT_EQ(form.device, "Reader");  // untouched
    EXPECT_FALSE(form.okPressed);
  }
  ::unsetenv("TARSIN_RF_DIALOG_LIBRARY");
}

}  // namespace
}  // namespace tarsin
