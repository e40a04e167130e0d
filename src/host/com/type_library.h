// SPDX-License-Identifier: Apache-2.0
// The type library that the build embeds in TarsinRF.dll (resource TYPELIB 1): what
// GetTypeInfo answers from, and what registration adds and removes.
#pragma once

#include <ole2.h>

#include <string>

namespace tarsin::com {

// This module's own file. Throws std::bad_alloc.
std::wstring ModulePath();

// The type information of `guid` from the embedded library.
HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** info) noexcept;

// Registers the embedded library for the machine, or for this user alone.
HRESULT RegisterTypeLibrary(const std::wstring& modulePath, bool forUser) noexcept;
// Removes what either registration wrote for this module's platform (Win32 or Win64).
void UnregisterTypeLibrary() noexcept;

}  // namespace tarsin::com
