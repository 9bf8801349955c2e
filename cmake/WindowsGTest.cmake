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
#   GTest::gtest, GTest::gtest_main, GTest::gmock (its matchers)
#       static libraries, built only when a test links them.
#
#   lumidial_add_windows_gtest(<target>
#       SOURCES <file>...            test sources
#       [LIBRARIES <lib>...]         extra libraries to link
#       [ENVIRONMENT <VAR=value>...] environment for each ctest test
#       [LABELS <label>...]
#       [TIMEOUT <seconds>]          per ctest test (default 120)
#       [RUN_SERIAL]                 never run alongside other tests
#       [WINE_ONLY])                 register only the scenarios of fixtures
#                                    whose names end in "WineOnly": the test
#                                    bundle runs the others
#
#       Builds a Windows console executable linked with -static (so it needs
#       no DLLs from the MinGW tree under Wine) and registers each test the
#       program lists (--gtest_list_tests) as its own ctest test named
#       "<Suite>.<Name>". The program lists them when ctest starts, and ctest
#       runs them, through CMAKE_CROSSCOMPILING_EMULATOR (wine), so the Wine
#       prefix, display and wineserver come from the environment ctest is
#       started in: see scripts/wine-env.sh and "./dev.sh test".

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
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)

# Build gtest as a plain static library whatever the project chooses.
set(_lumidial_saved_shared "${BUILD_SHARED_LIBS}")
set(BUILD_SHARED_LIBS OFF)
add_subdirectory("${LUMIDIAL_GTEST_SOURCE_DIR}"
                 "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL)
set(BUILD_SHARED_LIBS "${_lumidial_saved_shared}")

# GoogleTest's own code is not ours to fix: keep its warnings (and any
# warnings-as-errors a parent directory might set) out of our build log.
foreach(_t gtest gtest_main gmock)
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
foreach(_t gtest gtest_main gmock)
  if(TARGET ${_t} AND NOT TARGET GTest::${_t})
    add_library(GTest::${_t} ALIAS ${_t})
  endif()
endforeach()

function(lumidial_add_windows_gtest target)
  cmake_parse_arguments(ARG "RUN_SERIAL;WINE_ONLY" "TIMEOUT" "SOURCES;LIBRARIES;ENVIRONMENT;LABELS" ${ARGN})
  if(NOT ARG_SOURCES)
    message(FATAL_ERROR "lumidial_add_windows_gtest(${target}): no SOURCES")
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE GTest::gtest_main GTest::gmock ${ARG_LIBRARIES})
  target_link_options(${target} PRIVATE -static)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set(_properties TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    list(APPEND _properties LABELS ${ARG_LABELS})
  endif()
  if(ARG_RUN_SERIAL)
    list(APPEND _properties RUN_SERIAL TRUE)
  endif()
  # A skipped test is reported as skipped (and counted as a failure by
  # dev.sh), not as passed: gtest_discover_tests says so for each.
  set(_filter "*")
  if(ARG_WINE_ONLY)
    set(_filter "*WineOnly.*")
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 TEST_FILTER "${_filter}"
    PROPERTIES ${_properties})
  # The environment is a list, which the discovered tests' properties cannot
  # carry: a file of ctest's, read after the discovery's, gives it to them.
  if(ARG_ENVIRONMENT)
    set(_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_environment.cmake")
    file(GENERATE OUTPUT "${_file}" CONTENT
      "if(${target}_TESTS)\n  set_tests_properties(\${${target}_TESTS} PROPERTIES ENVIRONMENT \"${ARG_ENVIRONMENT}\")\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_file}")
  endif()
endfunction()
