// SPDX-License-Identifier: Apache-2.0
// The provider on pcsc-lite's terms: its header and types (DWORD and LONG as wide as a long),
// entry points under their plain names with the C calling convention.
#pragma once

#include <PCSC/winscard.h>

// An entry point or datum of the provider's library; nothing else leaves it.
#define TARSIN_EXPORT __attribute__((visibility("default")))
#define TARSIN_PCSC_CALL

namespace tarsin::sim::provider {

// SCardStatus's state of a card in the field: pcsc-lite sets a bit for each stage reached.
constexpr DWORD kCardReadyState = SCARD_PRESENT | SCARD_POWERED | SCARD_NEGOTIABLE;

}  // namespace tarsin::sim::provider
