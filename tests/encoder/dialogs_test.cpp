// SPDX-License-Identifier: Apache-2.0
// A missing entry point of the dialog library fails the step that shows the dialog, never crashes
// (the shared loader's failures are checked through the PC/SC provider in Session tests).
#include "encoder/dialogs.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "core/failure.h"

namespace tarsin {
namespace {

TEST(Dialogs, AMissingEntryPointFailsTheStep) {
  ::setenv("TARSIN_RF_DIALOG_LIBRARY", TARSIN_TEST_STUB_PCSC, 1);
  ConfigurationForm form{.device = "Reader", .protocol = 2};
  try {
    ShowConfigurationDialog(form);
    ADD_FAILURE() << "nothing raised";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 453);
    EXPECT_EQ(failure.description(),
              std::string("Can't find DLL entry point tarsin_show_configuration in ") +
                  TARSIN_TEST_STUB_PCSC);
  }
  EXPECT_EQ(form.device, "Reader");  // untouched
  EXPECT_FALSE(form.okPressed);
  ::unsetenv("TARSIN_RF_DIALOG_LIBRARY");
}

}  // namespace
}  // namespace tarsin
