# SPDX-License-Identifier: Apache-2.0
# What both Windows toolchains share; each sets CMAKE_SYSTEM_PROCESSOR, mingw_prefix, widl_width
# and TARSIN_WINE_TYPE_LIBRARIES first. Debian's mingw-w64 with the POSIX thread model (for
# std::thread and std::mutex); the C and C++ runtimes are linked in, so that the DLLs need only
# what Windows itself has.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)
set(CMAKE_OBJCOPY ${mingw_prefix}-objcopy)
# The type library's compiler (TARSIN_WINE_TYPE_LIBRARIES: where Wine keeps the stdole2.tlb that
# the library imports).
set(TARSIN_WIDL ${mingw_prefix}-widl ${widl_width})

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
