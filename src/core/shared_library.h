// SPDX-License-Identifier: Apache-2.0
// A library of the platform loaded at run time (the PC/SC provider, the dialogs). A library or
// entry point that cannot be loaded is a platform function that cannot be called at all: asking
// for the entry point raises Failure 53 "File not found: <library>" or 453 "Can't find DLL entry
// point <name> in <library>", on the step that needed it, never earlier.
#pragma once

#include <string>

namespace tarsin {

class SharedLibrary {
 public:
  // The library loaded once for the life of the process, by its file name or path.
  static SharedLibrary& Loaded(const std::string& library);

  explicit SharedLibrary(std::string library);
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;
  // Never unloads: a provider may keep threads or handlers alive for the life of the process.
  ~SharedLibrary() = default;

  const std::string& library() const noexcept { return library_; }
  // The loaded module, or nullptr when it could not be loaded. Modules are never unloaded, so a
  // handle names one library for the life of the process.
  void* module() const noexcept { return module_; }
  void* EntryPoint(const char* name);

 private:
  std::string library_;
  void* module_ = nullptr;
  int loadError_ = 0;
};

}  // namespace tarsin
