# GoogleTest for the Windows-side tests (cross build only).
#
# Debian ships GoogleTest as sources in /usr/src/googletest (package
# "googletest"); this module builds them with the cross compiler so that
# Windows test programs can link them. Include it once from the WIN32
# configuration, before the test directories:
#
#   list(APPEND CMAKE_MODULE_PATH "${CMAKE_CURRENT_SOURCE_DIR}/cmake")
#   include(WindowsGTest)
#
# (A second include is harmless.) It provides:
#
#   GTest::gtest, GTest::gtest_main
#       static libraries, built only when a test links them.
#
#   lumidial_add_windows_gtest(<target>
#       SOURCES <file>...            test sources (scanned for TEST/TEST_F)
#       [LIBRARIES <lib>...]         extra libraries to link
#       [ENVIRONMENT <VAR=value>...] environment for each ctest test
#       [LABELS <label>...]
#       [TIMEOUT <seconds>]          per ctest test (default 120)
#       [RUN_SERIAL]                 never run alongside other tests
#       [WINE_ONLY_MARKED])          register only the scenarios whose first
#                                    statement is WINE_ONLY(...): the test
#                                    bundle runs the others
#
#       Builds a Windows console executable linked with -static (so it needs
#       no DLLs from the MinGW tree under Wine) and registers each TEST as its
#       own ctest test named "<Suite>.<Name>". ctest runs it through
#       CMAKE_CROSSCOMPILING_EMULATOR (wine), so the Wine prefix, display and
#       wineserver come from the environment ctest is started in: see
#       scripts/wine-env.sh and "./dev.sh test".

include_guard(GLOBAL)
include(GoogleTest)

set(LUMIDIAL_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH
    "GoogleTest sources to build for Windows (Debian package googletest)")

if(NOT EXISTS "${LUMIDIAL_GTEST_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR
    "GoogleTest sources not found in ${LUMIDIAL_GTEST_SOURCE_DIR}: "
    "install Debian's 'googletest' package (./dev.sh does).")
endif()

# No pthreads on the Windows side: gtest then uses its Win32 primitives.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)

# Build gtest as a plain static library whatever the project chooses.
set(_lumidial_saved_shared "${BUILD_SHARED_LIBS}")
set(BUILD_SHARED_LIBS OFF)
add_subdirectory("${LUMIDIAL_GTEST_SOURCE_DIR}"
                 "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL)
set(BUILD_SHARED_LIBS "${_lumidial_saved_shared}")

# GoogleTest's own code is not ours to fix: keep its warnings (and any
# warnings-as-errors a parent directory might set) out of our build log.
foreach(_t gtest gtest_main)
  if(TARGET ${_t})
    target_compile_options(${_t} PRIVATE -w)
    set_target_properties(${_t} PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
    # Consumers see the headers as system headers: no warnings from them.
    get_target_property(_inc ${_t} INTERFACE_INCLUDE_DIRECTORIES)
    if(_inc)
      set_target_properties(${_t} PROPERTIES
        INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${_inc}")
    endif()
  endif()
endforeach()

# GoogleTest >= 1.11 defines these aliases itself; older trees do not.
foreach(_t gtest gtest_main)
  if(TARGET ${_t} AND NOT TARGET GTest::${_t})
    add_library(GTest::${_t} ALIAS ${_t})
  endif()
endforeach()

function(lumidial_add_windows_gtest target)
  cmake_parse_arguments(ARG "RUN_SERIAL;WINE_ONLY_MARKED" "TIMEOUT"
                        "SOURCES;LIBRARIES;ENVIRONMENT;LABELS" ${ARGN})
  if(NOT ARG_SOURCES)
    message(FATAL_ERROR "lumidial_add_windows_gtest(${target}): no SOURCES")
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE GTest::gtest_main ${ARG_LIBRARIES})
  target_link_options(${target} PRIVATE -static)

  if(ARG_WINE_ONLY_MARKED)
    set(_tests)
    foreach(_source ${ARG_SOURCES})
      get_filename_component(_source "${_source}" ABSOLUTE)
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_source}")
      file(READ "${_source}" _text)
      string(REGEX MATCHALL "TEST_F\\([A-Za-z0-9_]+, [A-Za-z0-9_]+\\) {[ \n]*WINE_ONLY\\(" _marks "${_text}")
      foreach(_mark ${_marks})
        string(REGEX REPLACE "TEST_F\\(([A-Za-z0-9_]+), ([A-Za-z0-9_]+)\\).*" "\\1.\\2" _name "${_mark}")
        add_test(NAME ${_name} COMMAND ${target} --gtest_filter=${_name})
        list(APPEND _tests ${_name})
      endforeach()
    endforeach()
  else()
    gtest_add_tests(TARGET ${target} SOURCES ${ARG_SOURCES}
                    TEST_LIST _tests)
  endif()
  if(NOT _tests)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  # A skipped test is reported as skipped (and counted as a failure by
  # dev.sh), not as passed.
  set_tests_properties(${_tests} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
                       SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
  if(ARG_ENVIRONMENT)
    set_tests_properties(${_tests} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  if(ARG_LABELS)
    set_tests_properties(${_tests} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  if(ARG_RUN_SERIAL)
    set_tests_properties(${_tests} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()
