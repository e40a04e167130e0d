// SPDX-License-Identifier: Apache-2.0
// Include after <windows.h> and before registry/win32_registry.h: Windows defines the registry's
// names as macros, the component as typed constants of the same values. Only the Windows build
// includes this.
#pragma once

#include <windows.h>

#undef HKEY_CLASSES_ROOT
#undef HKEY_CURRENT_USER
#undef HKEY_LOCAL_MACHINE
#undef REG_NONE
#undef REG_SZ
#undef REG_EXPAND_SZ
#undef REG_BINARY
#undef REG_DWORD
#undef REG_MULTI_SZ
#undef KEY_READ
#undef KEY_WRITE
#undef KEY_ALL_ACCESS
#undef KEY_WOW64_64KEY
#undef KEY_WOW64_32KEY
#undef KEY_SET_VALUE
#undef REG_OPTION_NON_VOLATILE
#undef REG_CREATED_NEW_KEY
#undef REG_OPENED_EXISTING_KEY
#undef ERROR_SUCCESS
#undef ERROR_FILE_NOT_FOUND
#undef ERROR_ACCESS_DENIED
#undef ERROR_INVALID_HANDLE
#undef ERROR_INVALID_DATA
#undef ERROR_BAD_NETPATH
#undef ERROR_INVALID_PARAMETER
#undef ERROR_DISK_FULL
#undef ERROR_BUSY
#undef ERROR_NO_MORE_ITEMS
#undef ERROR_REGISTRY_CORRUPT
#undef ERROR_REGISTRY_IO_FAILED
#undef ERROR_KEY_DELETED
#undef ERROR_NO_SYSTEM_RESOURCES
