# SPDX-License-Identifier: Apache-2.0
# Some files go where the system looks for them (pcscd's reader.conf.d, Debian python3's
# dist-packages), and that depends on the prefix given when installing, which may differ from the
# one configured: `cmake --install --prefix` overrides it. Those choices are therefore made by
# install-time code; /usr and /usr/local are the system's prefixes.

# Sets VARIABLE, while installing, to USR, USR_LOCAL or OTHER after the prefix. The values may
# name install-time variables (\${CMAKE_INSTALL_PREFIX}).
function(tarsin_install_choice variable usr usr_local other)
  install(CODE "
    if(CMAKE_INSTALL_PREFIX MATCHES \"^/usr/?$\")
      set(${variable} \"${usr}\")
    elseif(CMAKE_INSTALL_PREFIX MATCHES \"^/usr/local/?$\")
      set(${variable} \"${usr_local}\")
    else()
      set(${variable} \"${other}\")
    endif()" ALL_COMPONENTS)
endfunction()

# Installs TEMPLATE as FOLDER/NAME, its @VAR@ references replaced while installing: the prefix
# (@CMAKE_INSTALL_PREFIX@), the variables set by earlier install code and the VARIABLES given
# here as NAME=VALUE. FOLDER is absolute and may name install-time variables.
function(tarsin_install_configured template folder name)
  set(assignments "")
  foreach(assignment IN LISTS ARGN)
    string(REGEX MATCH "^([^=]+)=(.*)$" matched "${assignment}")
    string(APPEND assignments "set(${CMAKE_MATCH_1} \"${CMAKE_MATCH_2}\")\n")
  endforeach()
  install(CODE "
    ${assignments}
    set(tarsin_installed \"${folder}/${name}\")
    message(STATUS \"Installing: \$ENV{DESTDIR}\${tarsin_installed}\")
    configure_file(\"${template}\" \"\$ENV{DESTDIR}\${tarsin_installed}\" @ONLY)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${tarsin_installed}\")")
endfunction()
