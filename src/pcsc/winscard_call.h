// SPDX-License-Identifier: Apache-2.0
// How the WinSCard class calls into the loaded library; for the pcsc/winscard*.cpp files only.
#pragma once

// Calls the platform's function `name` through the loaded library, with the platform's own
// signature. The name is expanded first: Windows maps the text functions to their ANSI entry
// points (SCardConnect -> SCardConnectA), pcsc-lite has only the one.
#define TARSIN_ENTRY_NAME(name) #name
#define TARSIN_CALL(name, ...) \
  reinterpret_cast<decltype(&::name)>(library_.EntryPoint(TARSIN_ENTRY_NAME(name)))(__VA_ARGS__)
