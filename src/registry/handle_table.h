// SPDX-License-Identifier: Apache-2.0
// The keys this process has open, behind the 32-bit handle numbers the Reg* functions hand out:
// never 0, never in the range of the root keys, whatever the platform keeps for a key.
#pragma once

#include <map>
#include <mutex>
#include <optional>

#include "registry/win32_registry.h"

namespace tarsin::registry {

template <class Key>
class HandleTable {
 public:
  std::optional<Key> Find(HKEY handle) {
    std::lock_guard lock(mutex_);
    auto hit = keys_.find(handle);
    if (hit == keys_.end()) return std::nullopt;
    return hit->second;
  }
  HKEY Add(Key key) {
    std::lock_guard lock(mutex_);
    // Skip zero and the range of the root keys on the rare wrap-around.
    do {
      next_ = next_ + 1 >= HKEY_CLASSES_ROOT ? 1 : next_ + 1;
    } while (keys_.contains(next_));
    keys_.emplace(next_, std::move(key));
    return next_;
  }
  std::optional<Key> Remove(HKEY handle) {
    std::lock_guard lock(mutex_);
    auto hit = keys_.find(handle);
    if (hit == keys_.end()) return std::nullopt;
    std::optional<Key> removed = std::move(hit->second);
    keys_.erase(hit);
    return removed;
  }
  // Lets `change` edit the key of `handle` when it is still open.
  template <class Change>
  void Update(HKEY handle, Change&& change) {
    std::lock_guard lock(mutex_);
    if (auto hit = keys_.find(handle); hit != keys_.end()) change(hit->second);
  }

 private:
  std::mutex mutex_;
  std::map<HKEY, Key> keys_;
  HKEY next_ = 0;
};

}  // namespace tarsin::registry
