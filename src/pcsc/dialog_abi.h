// SPDX-License-Identifier: Apache-2.0
// What the component and its dialog library exchange: C linkage and plain data, so that the
// library may be built with another toolkit or compiler than the component.
#pragma once

#include <cstdint>

extern "C" {

// The component's own resource-manager calls, so that the dialogs work on the context the
// component established, through the same provider. Results are the 32-bit PC/SC return codes;
// none of them throws.
struct TarsinPcscCalls {
  // All groups; `readers` may be null to ask for the length.
  int32_t (*listReaders)(intptr_t context, char* readers, uint32_t* length);
  int32_t (*connect)(intptr_t context, const char* reader, uint32_t shareMode,
                     uint32_t preferredProtocols, intptr_t* card, uint32_t* activeProtocol);
  // `value` may be null to ask for the length.
  int32_t (*getAttrib)(intptr_t card, uint32_t attrId, uint8_t* value, uint32_t* length);
  int32_t (*disconnect)(intptr_t card, uint32_t disposition);
  // The readable text of a return code, cut to `capacity` bytes with its NUL.
  void (*errorText)(int32_t code, char* text, uint32_t capacity);
};

// The configuration form: the component fills every field but `reason`, the dialog rewrites
// device, protocol, open mode and okPressed with what the user left.
struct TarsinConfigurationForm {
  const char* language;  // handed to the dialog unchanged
  intptr_t hContext;     // the resource manager's context, for listing the readers
  char device[512];      // NUL-terminated UTF-8
  int32_t protocol;
  int32_t openMode;
  int32_t okPressed;  // 1 when the dialog was closed with OK
  const TarsinPcscCalls* pcsc;
  char reason[256];  // why the dialog could not be shown, NUL-terminated
};

// Shows the dialog modally on the caller's thread. 0 once it has been shown and closed; anything
// else when it could not be shown (no display, a thread that cannot own the windows), with the
// form unchanged but for `reason`.
using TarsinShowConfiguration = int32_t (*)(TarsinConfigurationForm* form);
}

// The entry point's name in the dialog library.
inline constexpr const char* kShowConfigurationEntry = "tarsin_show_configuration";
