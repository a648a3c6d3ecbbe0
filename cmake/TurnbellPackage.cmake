# The release of the Windows builds: a MinSizeRel build makes a small, stripped
# Turnbell.exe and turnbell-check.exe (sections never reached are dropped at link time),
# and `cpack` (or the `package` target) zips them with the README.
if(NOT WIN32 OR NOT TARGET Turnbell)
  return()
endif()

set(release $<CONFIG:MinSizeRel>)
foreach(target turnbell_core turnbell_win Turnbell turnbell-check)
  target_compile_options(${target} PRIVATE $<${release}:-ffunction-sections -fdata-sections>)
endforeach()
foreach(program Turnbell turnbell-check)
  target_link_options(${program} PRIVATE $<${release}:-s -Wl,--gc-sections>)
endforeach()

install(TARGETS Turnbell turnbell-check RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Turnbell)
set(CPACK_PACKAGE_VENDOR "Fenwold")
set(CPACK_PACKAGE_VERSION 1.0)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CPACK_SYSTEM_NAME win32)
else()
  set(CPACK_SYSTEM_NAME win64)
endif()
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
