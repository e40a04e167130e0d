// SPDX-License-Identifier: Apache-2.0
// What the C interface's files share: the error handle, failures as numbers, and the guard that
// keeps every exception on this side of the boundary.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>

#include "tarsin/tarsin.h"
#include "tarsin/types.h"
#include "tarsin/variant.h"

// LastError's object, with the lock of the encoder's calls: reading or writing a field waits for
// a call in progress on another thread.
struct tarsin_error {
  std::shared_ptr<tarsin::CError> error;
  std::shared_ptr<std::recursive_mutex> calls;
};

namespace tarsin::c_abi {

inline constexpr int32_t kUnexpected = static_cast<int32_t>(0x8000FFFF);

// Fills `failure` (when given) and returns `number`; the description is cut to fit, never in
// the middle of a UTF-8 character.
int32_t Fail(tarsin_failure* failure, int32_t number, std::string_view description) noexcept;

// Writes `value` into `out` as library memory, without reading what `out` held.
void ToC(const Variant& value, tarsin_variant& out,
         const std::shared_ptr<std::recursive_mutex>& calls, int32_t flags);

// Runs `call`; a late-bound error or any other exception becomes the returned number.
template <class Call>
int32_t Guarded(tarsin_failure* failure, Call&& call) noexcept {
  try {
    call();
    return Fail(failure, 0, "");
  } catch (const ComError& e) {
    return Fail(failure, e.number(), e.description());
  } catch (const std::bad_alloc&) {
    return Fail(failure, TARSIN_E_OUTOFMEMORY, "Out of memory");
  } catch (...) {
    return Fail(failure, kUnexpected, "Unexpected failure");
  }
}

}  // namespace tarsin::c_abi
