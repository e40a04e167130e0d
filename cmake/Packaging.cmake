# What integrators find after `cmake --install`: a pkg-config file, a CMake package
# configuration, and a Debian package of the whole through `cpack -G DEB`.
include(CMakePackageConfigHelpers)

set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/TarsinRF)
install(EXPORT TarsinRFTargets NAMESPACE TarsinRF:: DESTINATION ${config_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TarsinRFConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TarsinRFConfig.cmake INSTALL_DESTINATION ${config_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TarsinRFConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/TarsinRFConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/TarsinRFConfigVersion.cmake DESTINATION ${config_dir})

# pkg-config has no relocation of its own: the file is written for the prefix installed into.
tarsin_install_configured(${CMAKE_CURRENT_LIST_DIR}/tarsinrf.pc.in
  "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig" tarsinrf.pc
  "TARSIN_LIBDIR=${CMAKE_INSTALL_LIBDIR}" "TARSIN_INCLUDEDIR=${CMAKE_INSTALL_INCLUDEDIR}"
  "TARSIN_VERSION=${PROJECT_VERSION}")

set(TARSIN_PACKAGE_MAINTAINER "Tarsin RF maintainers <tarsin-rf@example.org>"
  CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_NAME tarsin-rf)
set(CPACK_PACKAGE_VENDOR "Tarsin RF")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "contactless-card encoding component for PC/SC readers")
set(CPACK_PACKAGE_DESCRIPTION [=[
The shared library libtarsinrf (the C++ class tarsin::Encoder and a C
interface) reads card serial numbers, reads and writes MIFARE Classic and
Ultralight blocks, runs MIFARE DESFire operations and sends APDUs through
PC/SC readers. With its headers, pkg-config and CMake files, the command-line
host tarsin-rf, the Python module tarsinrf, and a virtual reader: an
in-process PC/SC provider and a pcscd driver.]=])
# Debug information stays in the build tree.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARSIN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
# dpkg-shlibdeps finds what the binaries link; pcsc-lite is loaded at run time and the module
# needs the interpreter it was built for.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(depends libpcsclite1)
if(TARGET tarsinrf_python)
  string(REGEX MATCH "^([0-9]+)\\.([0-9]+)" matched "${TARSIN_PYTHON_VERSION}")
  math(EXPR python_next "${CMAKE_MATCH_2} + 1")
  list(APPEND depends "python3 (>= ${TARSIN_PYTHON_VERSION})"
    "python3 (<< ${CMAKE_MATCH_1}.${python_next})")
endif()
string(JOIN ", " CPACK_DEBIAN_PACKAGE_DEPENDS ${depends})
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS pcscd)
if(TARSIN_INSTALL_VIRTUAL_READER)
  # The reader.conf entry is the administrator's to change: dpkg keeps their version.
  pkg_get_variable(pcsc_conf_folder libpcsclite serialconfdir)
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/debian/conffiles "${pcsc_conf_folder}/tarsin-virtual\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/debian/conffiles)
endif()
include(CPack)
