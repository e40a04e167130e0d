// SPDX-License-Identifier: Apache-2.0
// The memory the C interface hands to hosts. Every block is recorded when allocated, and only a
// recorded block is ever freed: a pointer a host put into a variant (a literal, its own buffer,
// or never initialised) is left alone instead of crashing the call.
#pragma once

#include <cstddef>
#include <optional>

namespace tarsin::c_abi {

// `count` zeroed elements of `size` bytes, recorded; throws std::bad_alloc.
void* AllocateOwned(size_t count, size_t size);
template <class T>
T* Allocate(size_t count) {
  return static_cast<T*>(AllocateOwned(count, sizeof(T)));
}
// A NUL-terminated copy of `length` bytes of `text`, recorded; throws std::bad_alloc.
char* CopyText(const char* text, size_t length);

// Frees `block` when it was recorded; anything else is left alone.
void ReleaseOwned(const void* block) noexcept;
// The element count of a recorded block; nullopt for anything else.
std::optional<size_t> OwnedCount(const void* block) noexcept;

}  // namespace tarsin::c_abi
