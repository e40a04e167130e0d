// SPDX-License-Identifier: Apache-2.0
// The COM objects of TarsinRF.dll: Encoder and CError, each an IDispatch over the late-bound
// dispatch (src/automation/dispatch.h), described by the embedded type library; Encoder also
// answers to its dual interface _Encoder (dual_interface.h).
#pragma once

#include <ole2.h>

#include <memory>

#include "tarsin/types.h"

namespace tarsin::com {

// What keeps the module loaded (live objects and server locks): DllCanUnloadNow asks.
void HoldModule() noexcept;
void ReleaseModule() noexcept;
bool ModuleInUse() noexcept;

// A new Encoder object asked for by `iid`, with one reference for the caller.
HRESULT CreateEncoder(REFIID iid, void** object) noexcept;

// A new CError object around `error`, with one reference for the caller. Throws std::bad_alloc.
IDispatch* NewErrorObject(std::shared_ptr<CError> error);

// The live CError that `object` carries when it is one of this module's CError objects.
std::shared_ptr<CError> ErrorOf(IUnknown* object) noexcept;

}  // namespace tarsin::com
