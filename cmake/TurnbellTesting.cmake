# GoogleTest, built from Debian's sources for whichever target this build is for.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Test code is compiled without optimisation: how fast it runs does not matter, and with
# -O2 and debug information each test file takes three times as long to compile, which
# made the test builds most of the test command's time. The program's own code keeps
# the build's flags (see turnbell_test).
set(TURNBELL_TEST_CODE_OPTIONS -O0 -g0)
target_compile_options(gtest PRIVATE ${TURNBELL_TEST_CODE_OPTIONS})
target_compile_options(gtest_main PRIVATE ${TURNBELL_TEST_CODE_OPTIONS})

# Test data as the test program sees it: Wine reaches the Linux tree through drive Z:.
if(WIN32)
  set(TURNBELL_TEST_DATA "Z:${CMAKE_SOURCE_DIR}/tests/data")
  set(TURNBELL_TOOLS_DIR "Z:${CMAKE_SOURCE_DIR}/tools")
else()
  set(TURNBELL_TEST_DATA "${CMAKE_SOURCE_DIR}/tests/data")
  set(TURNBELL_TOOLS_DIR "${CMAKE_SOURCE_DIR}/tools")
endif()

# turnbell_test(NAME SOURCES file... [LIBS lib...] [TIMEOUT seconds] [WINDOWS_ONLY]
#               [RESOURCE_LOCK name...] [ENVIRONMENT VAR=value...] [WRAPPER command...]
#               [RUNS target RUNS_AS MACRO])
# One GoogleTest program and one CTest test. Under both Windows toolchains CTest runs it
# through tools/wine-run.sh (the toolchain's CMAKE_CROSSCOMPILING_EMULATOR). With
# WRAPPER, the test is that command followed by the emulator and the program: a script
# that starts what the program needs around it (a test site) and stops it afterwards.
# RUNS names a program of this build that the test starts: it is built first, and the
# test program finds its path in MACRO.
function(turnbell_test name)
  cmake_parse_arguments(T "WINDOWS_ONLY" "TIMEOUT;RUNS;RUNS_AS"
    "SOURCES;LIBS;RESOURCE_LOCK;ENVIRONMENT;WRAPPER" ${ARGN})
  if(T_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  # The test's own files, not the program's files that a test compiles into itself.
  foreach(source ${T_SOURCES})
    get_filename_component(path ${source} ABSOLUTE)
    if(path MATCHES "^${CMAKE_SOURCE_DIR}/(tests|fuzz)/")
      set_property(SOURCE ${source} APPEND PROPERTY COMPILE_OPTIONS ${TURNBELL_TEST_CODE_OPTIONS})
    endif()
  endforeach()
  target_compile_definitions(${name} PRIVATE
    TURNBELL_TEST_DATA="${TURNBELL_TEST_DATA}" TURNBELL_TOOLS_DIR="${TURNBELL_TOOLS_DIR}")
  target_link_libraries(${name} PRIVATE turnbell_options ${T_LIBS} GTest::gtest_main)
  if(T_RUNS)
    set(path $<TARGET_FILE:${T_RUNS}>)
    if(WIN32)
      set(path Z:${path})  # Wine reaches the Linux tree through drive Z:
    endif()
    target_compile_definitions(${name} PRIVATE ${T_RUNS_AS}="${path}")
    add_dependencies(${name} ${T_RUNS})
  endif()
  if(T_WRAPPER)
    add_test(NAME ${name} COMMAND ${T_WRAPPER} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(WIN32)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_desktop)
  endif()
  if(T_RESOURCE_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
  if(T_ENVIRONMENT)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
endfunction()

# Code page 932, a multibyte ANSI code page, for the Windows tests that must face one:
# Wine takes its code page from the locale, and ja_JP.UTF-8 gives 932. That locale is
# compiled into the build folder (localedef and Debian's locales package, about a
# second) and found through LOCPATH, so the machine's own locales stay as they are.
if(WIN32)
  find_program(TURNBELL_LOCALEDEF localedef REQUIRED)
  set(TURNBELL_LOCALES ${CMAKE_BINARY_DIR}/locales)
  add_custom_command(OUTPUT ${TURNBELL_LOCALES}/ja_JP.UTF-8/LC_CTYPE
    COMMAND ${TURNBELL_LOCALEDEF} -i ja_JP -f UTF-8 ${TURNBELL_LOCALES}/ja_JP.UTF-8
    COMMENT "Compiling the locale ja_JP.UTF-8 for the code page 932 tests" VERBATIM)
  add_custom_target(turnbell_locale_ja ALL DEPENDS ${TURNBELL_LOCALES}/ja_JP.UTF-8/LC_CTYPE)
endif()

# turnbell_test_cp932(NAME PROGRAM FILTER)
# Runs PROGRAM, a Windows test program made by turnbell_test, once more as the CTest
# test NAME, with only the GoogleTest cases that FILTER names, under code page 932
# (tools/wine-run.sh takes the locale from TURNBELL_WINE_LOCALE). Cases that hold only
# there live in a suite whose name ends in Cp932, which PROGRAM's own test leaves out
# (ENVIRONMENT GTEST_FILTER=-*Cp932.*).
function(turnbell_test_cp932 name program filter)
  if(NOT WIN32)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${program})
  set_tests_properties(${name} PROPERTIES TIMEOUT 120 FIXTURES_REQUIRED wine_desktop
    ENVIRONMENT "TURNBELL_WINE_LOCALE=ja_JP.UTF-8;LOCPATH=${TURNBELL_LOCALES};GTEST_FILTER=${filter}")
endfunction()
