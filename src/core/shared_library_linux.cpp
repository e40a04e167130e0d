// SPDX-License-Identifier: Apache-2.0
#include <dlfcn.h>

#include <cerrno>

#include "core/failure.h"
#include "core/shared_library.h"

namespace tarsin {

SharedLibrary::SharedLibrary(std::string library) : library_(std::move(library)) {
  errno = 0;
  module_ = ::dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module_) loadError_ = errno != 0 ? errno : ENOENT;
}

void* SharedLibrary::EntryPoint(const char* name) {
  if (!module_) {
    Failure failure(errors::kFileNotFound, library_, ": " + library_);
    failure.setOsError(loadError_);
    throw failure;
  }
  void* symbol = ::dlsym(module_, name);
  if (!symbol) {
    Failure failure(errors::kEntryPointNotFound, library_,
                    std::string(" ") + name + " in " + library_);
    failure.setOsError(ENOENT);
    throw failure;
  }
  return symbol;
}

}  // namespace tarsin
