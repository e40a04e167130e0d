# SPDX-License-Identifier: Apache-2.0
# 32-bit Windows with Debian's mingw-w64, for 32-bit hosts (VB6, VBA in 32-bit Office, SysWOW64
# script hosts); otherwise as mingw-w64-x86_64.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(mingw_prefix i686-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)
set(CMAKE_OBJCOPY ${mingw_prefix}-objcopy)
# The type library's compiler, and where Wine keeps the stdole2.tlb that it imports.
set(TARSIN_WIDL ${mingw_prefix}-widl -m32)
set(TARSIN_WINE_TYPE_LIBRARIES /usr/lib/i386-linux-gnu/wine/i386-windows)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
