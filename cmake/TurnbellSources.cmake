# turnbell_folder_sources(): adds a subsystem folder's sources to the libraries:
# name_win.cpp files (Win32 code) to turnbell_win in the Windows builds, every other
# .cpp (platform-free code) to turnbell_core in all builds.
function(turnbell_folder_sources)
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(f ${all})
    if(f MATCHES "_win\\.cpp$")
      if(WIN32)
        target_sources(turnbell_win PRIVATE ${f})
      endif()
    else()
      target_sources(turnbell_core PRIVATE ${f})
    endif()
  endforeach()
endfunction()
