# What the build products say of the source they were built from, the same
# for two builds of one commit wherever and whenever they are made:
#
#   LUMIDIAL_SOURCE_DATE_EPOCH, the one time in them: SOURCE_DATE_EPOCH from
#   the environment when it is set (seconds since 1970-01-01 UTC, as
#   reproducible-build tools hand it over), else the time of the last commit
#   of the git checkout, else, in a source tree without git (an archive),
#   315532800, 1980-01-01 00:00:00 UTC, which it says.
#
#   LUMIDIAL_SOURCE_COMMIT, the commit they were built from: its full id;
#   the id and "-dirty" when the tree differs from it (changed, added or
#   removed files git does not ignore); "unknown" in a source tree without
#   git. ./dev.sh verify-release reads it back out of a release's files.
#
# A git checkout whose history git cannot read (most often one that belongs
# to another user: git refuses with "dubious ownership") stops the build
# unless SOURCE_DATE_EPOCH is set: a build dated 1980 would not match a
# release of its commit, and would not say why.
#
# Include this module from the top CMakeLists.txt: it sets both variables
# there, for every directory below. They are read when CMake configures
# (./dev.sh configures before every build).
#
#   lumidial_reproducible_link(<target>)   links <target> with that time as
#                                          its PE time stamp

include_guard(GLOBAL)

set(_LUMIDIAL_NO_GIT_EPOCH 315532800)

# _lumidial_git(<out> <error out> ARGS...): git's output in the source
# folder; <error out> is empty when git succeeded, else the first line of
# what git said.
function(_lumidial_git out error_out)
  execute_process(COMMAND "${GIT_EXECUTABLE}" ${ARGN}
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    OUTPUT_VARIABLE output OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_VARIABLE error ERROR_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    # Its first line says why ("fatal: detected dubious ownership ...").
    string(REGEX REPLACE "\n.*" "" error "${error}")
    if(error STREQUAL "")
      set(error "git ${ARGN} failed (${status})")
    endif()
  else()
    set(error "")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
  set(${error_out} "${error}" PARENT_SCOPE)
endfunction()

function(_lumidial_source epoch_out commit_out)
  # Only a checkout of this source tree counts, not a repository it was
  # unpacked into.
  set(git_error "")
  set(commit "unknown")
  set(commit_time "")
  if(EXISTS "${PROJECT_SOURCE_DIR}/.git")
    find_package(Git QUIET)
    if(NOT GIT_FOUND)
      set(git_error "git is not installed")
    else()
      _lumidial_git(head git_error rev-parse --verify HEAD)
      if(git_error STREQUAL "")
        _lumidial_git(commit_time git_error log -1 --format=%ct HEAD)
      endif()
      if(git_error STREQUAL "")
        _lumidial_git(changes git_error status --porcelain)
      endif()
      if(git_error STREQUAL "")
        set(commit "${head}")
        if(NOT changes STREQUAL "")
          string(APPEND commit "-dirty")
        endif()
      endif()
    endif()
  endif()

  if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
    if(NOT epoch MATCHES "^[0-9]+$")
      message(FATAL_ERROR "SOURCE_DATE_EPOCH=\"${epoch}\" is not a number of seconds")
    endif()
    set(origin "SOURCE_DATE_EPOCH")
    if(NOT git_error STREQUAL "")
      message(WARNING "git cannot read the checkout ${PROJECT_SOURCE_DIR}, so the "
        "build names no commit (\"unknown\"):\n${git_error}")
    endif()
  elseif(NOT git_error STREQUAL "")
    message(FATAL_ERROR "The build takes its date from the last commit, but git cannot read "
      "the checkout ${PROJECT_SOURCE_DIR}:\n  ${git_error}\n"
      "Without that date the files would be dated 1980-01-01 and differ from a "
      "release of this commit. If the checkout belongs to another user, let git "
      "read it:\n  git config --global --add safe.directory ${PROJECT_SOURCE_DIR}\n"
      "or set SOURCE_DATE_EPOCH to the commit's time (seconds since 1970, what "
      "\"git log -1 --format=%ct\" prints where git can read the checkout).")
  elseif(NOT commit_time STREQUAL "")
    set(epoch "${commit_time}")
    set(origin "the last commit's time")
  else()
    set(epoch ${_LUMIDIAL_NO_GIT_EPOCH})
    set(origin "no git: the fixed date")
    message(NOTICE "Source date: 1980-01-01 00:00:00 UTC, the fixed date of a source "
      "tree without git; a rebuild that matches a release needs SOURCE_DATE_EPOCH "
      "set to the release's date.")
  endif()
  message(STATUS "Source: commit ${commit}, date ${epoch} (${origin})")
  set(${epoch_out} "${epoch}" PARENT_SCOPE)
  set(${commit_out} "${commit}" PARENT_SCOPE)
endfunction()

_lumidial_source(LUMIDIAL_SOURCE_DATE_EPOCH LUMIDIAL_SOURCE_COMMIT)

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
