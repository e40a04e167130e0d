// SPDX-License-Identifier: Apache-2.0
// The process's PC/SC library replaced while the object lives, for test programs that run the
// component on several providers (the virtual reader, stubs, none). The component itself keeps
// its first library for good; nothing (std::nullopt) means not chosen yet, as in a new process.
#pragma once

#include <optional>
#include <string>

#include "pcsc/provider_choice.h"

namespace tarsin::testing {

class ScopedProvider {
 public:
  explicit ScopedProvider(const std::optional<std::string>& library)
      : saved_(ProviderChoice::chosen_.load()) {
    Set(library);
  }
  ~ScopedProvider() { ProviderChoice::chosen_.store(saved_); }
  ScopedProvider(const ScopedProvider&) = delete;
  ScopedProvider& operator=(const ScopedProvider&) = delete;

  void Set(const std::optional<std::string>& library) const {
    ProviderChoice::chosen_.store(library ? &SharedLibrary::Loaded(*library) : nullptr);
  }

 private:
  SharedLibrary* saved_;
};

}  // namespace tarsin::testing
