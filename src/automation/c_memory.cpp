// SPDX-License-Identifier: Apache-2.0
#include "automation/c_memory.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

// Blocks handed to C hosts, who free them through the library: malloc and free are the
// contract here.
// NOLINTBEGIN(cppcoreguidelines-no-malloc)

namespace tarsin::c_abi {
namespace {

struct Owned {
  std::mutex mutex;
  std::unordered_map<const void*, size_t> counts;
};

Owned& Blocks() {
  static Owned owned;
  return owned;
}

}  // namespace

void* AllocateOwned(size_t count, size_t size) {
  void* block = std::calloc(count == 0 ? 1 : count, size);
  if (!block) throw std::bad_alloc();
  try {
    Owned& owned = Blocks();
    std::lock_guard lock(owned.mutex);
    owned.counts.emplace(block, count);
  } catch (...) {
    std::free(block);
    throw std::bad_alloc();
  }
  return block;
}

char* CopyText(const char* text, size_t length) {
  char* copy = Allocate<char>(length + 1);
  if (length) std::memcpy(copy, text, length);
  return copy;
}

void ReleaseOwned(const void* block) noexcept {
  if (!block) return;
  Owned& owned = Blocks();
  std::lock_guard lock(owned.mutex);
  auto found = owned.counts.find(block);
  if (found == owned.counts.end()) return;
  owned.counts.erase(found);
  // Recorded, so allocated here and not freed since: the cast only undoes the one made above.
  std::free(const_cast<void*>(block));  // NOLINT(cppcoreguidelines-pro-type-const-cast)
}

std::optional<size_t> OwnedCount(const void* block) noexcept {
  if (!block) return std::nullopt;
  Owned& owned = Blocks();
  std::lock_guard lock(owned.mutex);
  auto found = owned.counts.find(block);
  if (found == owned.counts.end()) return std::nullopt;
  return found->second;
}

}  // namespace tarsin::c_abi

// NOLINTEND(cppcoreguidelines-no-malloc)
