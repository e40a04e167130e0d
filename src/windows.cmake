# SPDX-License-Identifier: Apache-2.0
# TarsinRF.dll: the same component for Windows hosts, an in-process COM server. WinSCard and the
# dialogs are loaded at run time, as on Linux; the registry is Windows' own (advapi32).
add_library(tarsinrf_objects OBJECT ${tarsin_sources})
target_include_directories(tarsinrf_objects PUBLIC ${PROJECT_SOURCE_DIR}/include
  ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(tarsinrf_objects PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX
  _WIN32_WINNT=0x0601 PRIVATE
  TARSIN_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  TARSIN_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  TARSIN_VERSION_PATCH=${PROJECT_VERSION_PATCH})
target_link_libraries(tarsinrf_objects PUBLIC fmt::fmt advapi32 shell32 bcrypt)

add_library(tarsinrf_internal STATIC)
target_link_libraries(tarsinrf_internal PUBLIC tarsinrf_objects)

# The public enumerations (tarsin/types.h) as a table for the type library, read at configure
# time, so that an enumeration added there joins the library.
set(types_header ${PROJECT_SOURCE_DIR}/include/tarsin/types.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${types_header})
file(READ ${types_header} types_text)
string(REGEX REPLACE "//[^\n]*" "" types_text "${types_text}")
string(REGEX MATCHALL "enum [A-Za-z_0-9]+ : int32_t {[^}]*}" enumerations "${types_text}")
set(enumeration_rows "")
foreach(enumeration IN LISTS enumerations)
  string(REGEX MATCH "^enum ([A-Za-z_0-9]+)" ignored "${enumeration}")
  string(APPEND enumeration_rows "{\"${CMAKE_MATCH_1}\", {")
  string(REGEX MATCHALL "[A-Za-z_][A-Za-z_0-9]*[ \n]*=" constants "${enumeration}")
  foreach(constant IN LISTS constants)
    string(REGEX REPLACE "[ \n]*=$" "" constant "${constant}")
    string(APPEND enumeration_rows "{\"${constant}\", tarsin::${constant}}, ")
  endforeach()
  string(APPEND enumeration_rows "}},\n")
endforeach()
set(com_generated ${CMAKE_CURRENT_BINARY_DIR}/generated)
file(CONFIGURE OUTPUT ${com_generated}/host/com/enumerations.inc CONTENT "${enumeration_rows}")

# The COM layer (host/com/): the late-bound dispatch behind IDispatch, the dual interface, the
# class factory and the registration. Objects of their own, so that the tests under Wine reach
# its conversions. The dual interface's slots are a few machine instructions per processor.
set(tarsin_com_sources
  host/com/com_server.cpp
  host/com/com_variant.cpp
  host/com/dispatch_objects.cpp
  host/com/dual_interface.cpp
  host/com/identities.cpp
  host/com/slot_types.cpp
  host/com/type_library.cpp
  host/com/type_library_idl.cpp)
set(tarsin_slot_stubs
  host/com/slot_stubs_i686.cpp
  host/com/slot_stubs_x86_64.cpp)
list(FILTER tarsin_slot_stubs INCLUDE REGEX "_${CMAKE_SYSTEM_PROCESSOR}\\.cpp$")
add_library(tarsinrf_com OBJECT ${tarsin_com_sources} ${tarsin_slot_stubs})
target_include_directories(tarsinrf_com PRIVATE ${com_generated})
target_link_libraries(tarsinrf_com PUBLIC tarsinrf_objects ole32 oleaut32 uuid)

# The type library: a program of this build writes the IDL from the dispatch table (run under
# the cross-compiling emulator, Wine), widl compiles it importing Wine's standard IDL files, and
# TarsinRF.dll carries it as resource TYPELIB 1. widl also writes the interfaces' C++ header,
# which the tests use as a C++ host would. The IDL does not depend on the width: a machine that
# cannot run 32-bit programs builds the 32-bit DLL from the 64-bit build's IDL, named by
# TARSIN_TYPE_LIBRARY_IDL.
set(TARSIN_TYPE_LIBRARY_IDL "" CACHE FILEPATH
  "An IDL written by another Windows build of this source, used instead of running this one's")
add_executable(write_type_library_idl host/com/write_type_library_idl.cpp)
target_link_libraries(write_type_library_idl PRIVATE tarsinrf_com tarsinrf_objects)
set(emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
if(NOT emulator)
  set(emulator wine)
endif()
if(TARSIN_TYPE_LIBRARY_IDL)
  set(write_idl ${CMAKE_COMMAND} -E copy ${TARSIN_TYPE_LIBRARY_IDL} TarsinRF.idl)
  set(idl_source ${TARSIN_TYPE_LIBRARY_IDL})
else()
  set(write_idl ${CMAKE_COMMAND} -E env WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
    ${emulator} $<TARGET_FILE:write_type_library_idl> TarsinRF.idl)
  set(idl_source write_type_library_idl)
endif()
set(type_library ${CMAKE_CURRENT_BINARY_DIR}/TarsinRF.tlb)
set(widl_options -I /usr/include/wine/wine/windows -L ${TARSIN_WINE_TYPE_LIBRARIES})
add_custom_command(OUTPUT TarsinRF.idl ${type_library} TarsinRF_h.h
  COMMAND ${write_idl}
  COMMAND ${TARSIN_WIDL} ${widl_options} -t -o ${type_library} TarsinRF.idl
  COMMAND ${TARSIN_WIDL} ${widl_options} -h -o TarsinRF_h.h TarsinRF.idl
  DEPENDS ${idl_source}
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} VERBATIM)
file(CONFIGURE OUTPUT ${com_generated}/type_library.rc CONTENT "1 TYPELIB \"${type_library}\"\n")
set_source_files_properties(${com_generated}/type_library.rc PROPERTIES
  OBJECT_DEPENDS ${type_library})
add_custom_target(tarsinrf_interface_header DEPENDS TarsinRF_h.h)

# The four COM entry points are all the DLL exports (host/com/TarsinRF.def).
add_library(TarsinRF SHARED host/com/TarsinRF.def ${com_generated}/type_library.rc)
target_link_libraries(TarsinRF PRIVATE tarsinrf_com tarsinrf_objects)
set_target_properties(TarsinRF PROPERTIES PREFIX "" OUTPUT_NAME TarsinRF)
tarsin_windows_dll(TarsinRF "Tarsin RF contactless-card encoder (COM server)")

# TarsinRFDialogs.dll, the Win32 twin of the Qt dialog library.
add_subdirectory(ui/win32)
