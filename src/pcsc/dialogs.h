// The dialogs as Configure sees them: shown modally on the caller's thread. Each platform shows
// them its own way (here: a Qt library loaded at run time, so the component never links Qt).
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

}  // namespace tarsin
