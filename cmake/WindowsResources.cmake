# SPDX-License-Identifier: Apache-2.0
# What every DLL of the Windows build carries: a version resource from the project's one version
# and, but in Debug builds, a stripped file with its debug information beside it in NAME.dll.debug
# (found by debuggers through the file's .gnu_debuglink). On 32-bit Windows the stdcall entry
# points are exported under their plain names, as GetProcAddress and regsvr32 ask for them.
function(tarsin_windows_dll target description)
  get_target_property(TARSIN_DLL_NAME ${target} OUTPUT_NAME)
  set(TARSIN_DLL_DESCRIPTION "${description}")
  set(resource ${CMAKE_CURRENT_BINARY_DIR}/${TARSIN_DLL_NAME}-version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/version.rc.in ${resource} @ONLY)
  target_sources(${target} PRIVATE ${resource})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup -Wl,--add-stdcall-alias)
  endif()
  if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
    set(file $<TARGET_FILE:${target}>)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
      COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${file}.debug ${file}
      VERBATIM)
  endif()
endfunction()
