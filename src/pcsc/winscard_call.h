// SPDX-License-Identifier: Apache-2.0
// How the WinSCard class calls into the loaded library; for the pcsc/winscard*.cpp files only.
#pragma once

#include "core/shared_library.h"

namespace tarsin {

// One call site's entry point, for the library module it was taken from.
struct EntrySlot {
  void* module = nullptr;
  void* entry = nullptr;
};

// The entry point `name` of `library`, looked up once per call site, thread and module rather
// than at every call (a symbol look-up costs more than a short frame's own work). A failed
// look-up is not kept: it fails again at the next call, as it would without the slot.
inline void* CachedEntryPoint(EntrySlot& slot, SharedLibrary& library, const char* name) {
  if (slot.module == nullptr || slot.module != library.module()) {
    slot.entry = library.EntryPoint(name);
    slot.module = library.module();
  }
  return slot.entry;
}

}  // namespace tarsin

// Calls the platform's function `name` through the loaded library, with the platform's own
// signature. The name is expanded first: Windows maps the text functions to their ANSI entry
// points (SCardConnect -> SCardConnectA), pcsc-lite has only the one. Each expansion's lambda
// gives the call site a slot of its own.
#define TARSIN_ENTRY_NAME(name) #name
#define TARSIN_CALL(name, ...)                                    \
  reinterpret_cast<decltype(&::name)>(::tarsin::CachedEntryPoint( \
      []() -> ::tarsin::EntrySlot& {                              \
        thread_local ::tarsin::EntrySlot slot;                    \
        return slot;                                              \
      }(),                                                        \
      library_, TARSIN_ENTRY_NAME(name)))(__VA_ARGS__)
