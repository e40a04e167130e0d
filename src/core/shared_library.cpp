// SPDX-License-Identifier: Apache-2.0
#include "core/shared_library.h"

#include <map>
#include <memory>
#include <mutex>

namespace tarsin {

SharedLibrary& SharedLibrary::Loaded(const std::string& library) {
  static std::mutex mutex;
  static auto* loaded = new std::map<std::string, std::unique_ptr<SharedLibrary>>();
  std::lock_guard lock(mutex);
  auto& slot = (*loaded)[library];
  if (!slot) slot = std::make_unique<SharedLibrary>(library);
  return *slot;
}

}  // namespace tarsin
