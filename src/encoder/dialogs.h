// SPDX-License-Identifier: Apache-2.0
// The dialogs as Configure sees them: shown modally on the caller's thread, by a library loaded
// at run time (pcsc/dialog_abi.h), so that the component never links a toolkit: the Qt one on
// Linux, the Win32 one on Windows.
#pragma once

#include <cstdint>
#include <string>

#include "core/state.h"

namespace tarsin {

struct ConfigurationForm {
  std::string language;
  PcscHandle hContext = 0;
  std::string device;
  int32_t protocol = 0;
  int32_t openMode = 0;
  bool okPressed = false;
};

// Shows the configuration dialog; `form` then holds what the user left. Raises Failure when the
// dialog cannot be shown: 53 or 453 for a dialog library or entry point that cannot be loaded,
// 429 followed by the library's reason when the library could not show it (no display).
void ShowConfigurationDialog(ConfigurationForm& form);

// The platform's dialog library, used unless TARSIN_RF_DIALOG_LIBRARY names another.
std::string DefaultDialogLibrary();

}  // namespace tarsin
