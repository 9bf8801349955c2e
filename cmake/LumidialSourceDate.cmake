# The one time that goes into the build products, so that two builds of one
# commit give the same bytes wherever and whenever they are made:
#
#   SOURCE_DATE_EPOCH from the environment when it is set (seconds since
#   1970-01-01 UTC, as reproducible-build tools hand it over), else the time
#   of the last commit of the source tree, else 315532800, 1980-01-01
#   00:00:00 UTC (a source tree without git history).
#
# Include this module from the top CMakeLists.txt: it sets
# LUMIDIAL_SOURCE_DATE_EPOCH there, for every directory below. The time is
# taken when CMake configures (./dev.sh configures before every build).
#
#   lumidial_reproducible_link(<target>)   links <target> with that time as
#                                          its PE time stamp

include_guard(GLOBAL)

function(_lumidial_source_date_epoch out)
  if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
    if(NOT epoch MATCHES "^[0-9]+$")
      message(FATAL_ERROR "SOURCE_DATE_EPOCH=\"${epoch}\" is not a number of seconds")
    endif()
    set(origin "SOURCE_DATE_EPOCH")
  else()
    set(epoch "")
    find_package(Git QUIET)
    if(GIT_FOUND)
      # Only the history of this source tree: not that of a repository it
      # was unpacked into.
      execute_process(COMMAND "${GIT_EXECUTABLE}" rev-parse --show-toplevel
        WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
        OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE status ERROR_QUIET)
      if(status EQUAL 0 AND top)
        file(REAL_PATH "${top}" top)
        file(REAL_PATH "${PROJECT_SOURCE_DIR}" source)
      endif()
      if(status EQUAL 0 AND top STREQUAL source)
        execute_process(COMMAND "${GIT_EXECUTABLE}" log -1 --format=%ct
          WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
          OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
          RESULT_VARIABLE status ERROR_QUIET)
        if(NOT status EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
          set(epoch "")
        endif()
      endif()
    endif()
    if(epoch STREQUAL "")
      set(epoch 315532800)
      set(origin "no git history: the fixed date")
    else()
      set(origin "the last commit's time")
    endif()
  endif()
  message(STATUS "Source date: ${epoch} (${origin})")
  set(${out} "${epoch}" PARENT_SCOPE)
endfunction()

_lumidial_source_date_epoch(LUMIDIAL_SOURCE_DATE_EPOCH)

# GNU ld writes SOURCE_DATE_EPOCH, when set, as the PE time stamp instead of
# the time of linking (and computes the PE checksum with it). The variable
# reaches only the link step, through a launcher; a new time changes the
# link command, so the target is linked again.
function(lumidial_reproducible_link target)
  if(MINGW)
    set_property(TARGET ${target} PROPERTY CXX_LINKER_LAUNCHER
      "${CMAKE_COMMAND};-E;env;SOURCE_DATE_EPOCH=${LUMIDIAL_SOURCE_DATE_EPOCH}")
  endif()
endfunction()
