# The release of the Windows builds (MinSizeRel): small, stripped executables, sections
# never reached dropped at link time, that come out byte for byte the same from the same
# sources whatever the build folder and the time: no link time stamp in the PE header,
# no build paths in the code. tools/release.sh packs them.
if(NOT WIN32)
  return()
endif()

set(release $<CONFIG:MinSizeRel>)
# The floor tray program (bench/) is built the same way, so that tools/footprint.sh
# compares like with like.
foreach(target turnbell_core turnbell_win Turnbell turnbell-check floor-tray)
  target_compile_options(${target} PRIVATE
    $<${release}:-ffunction-sections -fdata-sections
                 -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build>)
endforeach()
foreach(program Turnbell turnbell-check floor-tray)
  target_link_options(${program} PRIVATE $<${release}:-s -Wl,--gc-sections -Wl,--no-insert-timestamp>)
endforeach()
