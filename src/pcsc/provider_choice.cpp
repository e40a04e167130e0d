// SPDX-License-Identifier: Apache-2.0
#include "pcsc/provider_choice.h"

#include <cstdlib>

#include "pcsc/winscard.h"

namespace tarsin {

// Constant-initialised: an Encoder made by another file's static object may call first.
constinit std::atomic<SharedLibrary*> ProviderChoice::chosen_{nullptr};

std::mutex& ProviderChoice::Choosing() {
  static std::mutex choosing;
  return choosing;
}

namespace {

// The same library under another name (a relative path, a link) is the same loaded module.
bool SameLibrary(SharedLibrary& inUse, const std::string& library) {
  if (inUse.library() == library) return true;
  return inUse.module() != nullptr && SharedLibrary::Loaded(library).module() == inUse.module();
}

}  // namespace

std::optional<std::string> ProviderChoice::NamedByEnvironment() {
  const char* named = std::getenv("TARSIN_RF_PCSC_LIBRARY");
  if (named == nullptr || *named == '\0') return std::nullopt;
  return named;
}

SharedLibrary& ProviderChoice::FixAtFirstCall() {
  std::lock_guard lock(Choosing());
  if (SharedLibrary* chosen = chosen_.load(std::memory_order_relaxed)) return *chosen;
  SharedLibrary& library =
      SharedLibrary::Loaded(NamedByEnvironment().value_or(WinSCard::DefaultLibrary()));
  chosen_.store(&library, std::memory_order_release);
  return library;
}

std::optional<std::string> ProviderChoice::Choose(const std::string& library) {
  std::lock_guard lock(Choosing());
  SharedLibrary* chosen = chosen_.load(std::memory_order_relaxed);
  if (chosen == nullptr) {
    chosen_.store(&SharedLibrary::Loaded(library), std::memory_order_release);
    return std::nullopt;
  }
  if (SameLibrary(*chosen, library)) return std::nullopt;
  return "this process already uses the PC/SC library " + chosen->library() +
         "; it cannot switch to " + library + " (choose before the first PC/SC call)";
}

}  // namespace tarsin
