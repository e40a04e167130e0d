// What the component and its dialog library exchange: C linkage and plain data, so that the
// library may be built with another toolkit or compiler than the component.
#pragma once

#include <cstdint>

extern "C" {

// The configuration form: the component fills every field, the dialog rewrites device, protocol,
// open mode and okPressed with what the user left.
struct TarsinConfigurationForm {
  const char* language;  // handed to the dialog unchanged
  intptr_t hContext;     // the resource manager's context, for listing the readers
  char device[512];      // NUL-terminated UTF-8
  int32_t protocol;
  int32_t openMode;
  int32_t okPressed;  // 1 when the dialog was closed with OK
};

// Shows the dialog modally on the caller's thread. 0 once it has been shown and closed; anything
// else when it could not be shown (no display), with the form unchanged.
using TarsinShowConfiguration = int32_t (*)(TarsinConfigurationForm* form);
}

// The entry point's name in the dialog library.
inline constexpr const char* kShowConfigurationEntry = "tarsin_show_configuration";
