// SPDX-License-Identifier: Apache-2.0
// The provider on WinSCard's terms, from mingw's <winscard.h>: LONG and DWORD of 32 bits,
// handles as wide as a pointer, results as Windows' 0x8010xxxx values, WINAPI, and the ANSI
// names its macros give the entry points with text (SCardConnect is SCardConnectA).
#pragma once

// The PCI structures are this library's own data, not imports.
#define WINSCARDDATA __declspec(dllexport)
#include <windows.h>
// After windows.h, which it needs.
#include <winscard.h>

#define TARSIN_EXPORT __declspec(dllexport)
#define TARSIN_PCSC_CALL WINAPI

namespace tarsin::sim::provider {

// SCardStatus's state of a card in the field: Windows names the last stage reached.
constexpr DWORD kCardReadyState = SCARD_SPECIFIC;

}  // namespace tarsin::sim::provider
