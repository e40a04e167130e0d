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

# The COM layer (host/com/): the late-bound dispatch behind IDispatch, the class factory and the
# registration. Objects of their own, so that the tests under Wine reach its conversions.
file(GLOB tarsin_com_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/host/com/*.cpp)
add_library(tarsinrf_com OBJECT ${tarsin_com_sources})
target_link_libraries(tarsinrf_com PUBLIC tarsinrf_objects ole32 oleaut32 uuid)

# The four COM entry points are all the DLL exports (host/com/TarsinRF.def).
add_library(TarsinRF SHARED host/com/TarsinRF.def)
target_link_libraries(TarsinRF PRIVATE tarsinrf_com tarsinrf_objects)
set_target_properties(TarsinRF PROPERTIES PREFIX "" OUTPUT_NAME TarsinRF)
