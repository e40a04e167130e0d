# SPDX-License-Identifier: Apache-2.0
# 32-bit Windows with Debian's mingw-w64, for 32-bit hosts (VB6, VBA in 32-bit Office, SysWOW64
# script hosts).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(mingw_prefix i686-w64-mingw32)
set(widl_width -m32)
set(TARSIN_WINE_TYPE_LIBRARIES /usr/lib/i386-linux-gnu/wine/i386-windows)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
