// SPDX-License-Identifier: Apache-2.0
#include <windows.h>

#include "core/failure.h"
#include "core/shared_library.h"
#include "core/wide_text_windows.h"

namespace tarsin {

SharedLibrary::SharedLibrary(std::string library) : library_(std::move(library)) {
  // A library named by its path brings the libraries beside it; one named alone is searched for
  // the way Windows searches.
  const std::wstring name = WideFromUtf8(library_);
  const bool hasFolder = library_.find_first_of("\\/") != std::string::npos;
  module_ = reinterpret_cast<void*>(
      LoadLibraryExW(name.c_str(), nullptr, hasFolder ? LOAD_WITH_ALTERED_SEARCH_PATH : 0));
  if (!module_) loadError_ = static_cast<int>(GetLastError());
}

void* SharedLibrary::EntryPoint(const char* name) {
  if (!module_) {
    Failure failure(errors::kFileNotFound, library_, ": " + library_);
    failure.setOsError(loadError_);
    throw failure;
  }
  auto* symbol = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module_), name));
  if (!symbol) {
    Failure failure(errors::kEntryPointNotFound, library_,
                    std::string(" ") + name + " in " + library_);
    failure.setOsError(static_cast<int>(GetLastError()));
    throw failure;
  }
  return symbol;
}

}  // namespace tarsin
