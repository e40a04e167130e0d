# SPDX-License-Identifier: Apache-2.0
# What integrators find after `cmake --install`: a pkg-config file and a CMake package
# configuration. Debian packages come from debian/, split so that no host pulls in the dialogs'
# Qt or the virtual reader.
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
