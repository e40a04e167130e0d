# SPDX-License-Identifier: Apache-2.0
# What the Windows build takes from the build machine. Debian packages no mingw-w64 builds of
# fmt, nlohmann-json or GoogleTest, but fmt and nlohmann-json are header-only and GoogleTest
# ships its sources: each is reached through a folder of its own in the build tree, so that
# none of the build machine's other headers can slip into a Windows compile.
set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
foreach(folder fmt nlohmann)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: install libfmt-dev and nlohmann-json3-dev")
  endif()
  file(MAKE_DIRECTORY ${host_headers}/${folder})
  file(REMOVE_RECURSE ${host_headers}/${folder})
  file(CREATE_LINK /usr/include/${folder} ${host_headers}/${folder} SYMBOLIC)
endforeach()

add_library(fmt_header_only INTERFACE)
target_include_directories(fmt_header_only SYSTEM INTERFACE ${host_headers})
target_compile_definitions(fmt_header_only INTERFACE FMT_HEADER_ONLY)
add_library(fmt::fmt ALIAS fmt_header_only)

add_library(nlohmann_json_headers INTERFACE)
target_include_directories(nlohmann_json_headers SYSTEM INTERFACE ${host_headers})
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json_headers)

if(TARSIN_BUILD_TESTS)
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    message(FATAL_ERROR "/usr/src/googletest is missing: install googletest")
  endif()
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Its build defines GTest::gtest, GTest::gtest_main and GTest::gmock.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
