// SPDX-License-Identifier: Apache-2.0
// _Encoder as a host that binds early calls it: IDispatch's seven entries, then one vtable slot
// per late-bound row in row order, typed as slot_types.h says. Each slot reads its arguments in
// the row's layout and calls the row through the object's own IDispatch::Invoke, so early and
// late binding share every conversion and every outcome.
#pragma once

#include <ole2.h>

#include <cstddef>

namespace tarsin::com {

// The dual interface of one Encoder object, living inside it; `owner` is not counted.
struct DualInterface {
  const void* const* vtable;
  IDispatch* owner;
};

// Rows beyond this many have no slot: slot_stubs.h writes this many stubs.
inline constexpr size_t kSlotStubCount = 256;

// The one vtable of every DualInterface. Throws std::bad_alloc.
const void* const* DualVtable();

}  // namespace tarsin::com
