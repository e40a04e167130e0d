// SPDX-License-Identifier: Apache-2.0
// The PC/SC library of the process, chosen once: by Choose before the first PC/SC call (the
// virtual reader of --virtual and use_virtual_reader()), else at that call from
// TARSIN_RF_PCSC_LIBRARY, else the platform's own. Handles of one library mean nothing to another,
// so a later different choice is refused, never ignored.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>

#include "core/shared_library.h"

namespace tarsin {

namespace testing {
class ScopedProvider;
}

class ProviderChoice {
 public:
  // The process's library, fixed by this call when nothing fixed it before. Once fixed, one
  // atomic load: every PC/SC call comes here, the card exchange's among them.
  static SharedLibrary& Library() {
    SharedLibrary* chosen = chosen_.load(std::memory_order_acquire);
    return chosen != nullptr ? *chosen : FixAtFirstCall();
  }

  // Makes `library` the process's PC/SC library. Nothing when it is (now) the one in use; when
  // another one was fixed before, the reason for the refusal, naming the library in use.
  static std::optional<std::string> Choose(const std::string& library);

  // The library TARSIN_RF_PCSC_LIBRARY names, when it names one.
  static std::optional<std::string> NamedByEnvironment();

 private:
  static SharedLibrary& FixAtFirstCall();

  // Tests run the component on several providers in one program (tests/support); the component
  // itself has no way to switch.
  friend class testing::ScopedProvider;

  static std::atomic<SharedLibrary*> chosen_;
  // Made at its first use: MinGW's std::mutex cannot be constant-initialised.
  static std::mutex& Choosing();
};

}  // namespace tarsin
