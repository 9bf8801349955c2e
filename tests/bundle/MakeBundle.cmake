# Makes the test bundle (cmake -P, from the "bundle" target of
# CMakeLists.txt beside this file):
#
#   -DINPUTS=<list>  driver|<path>, runner|<path>, extra|<path> (a text file
#                    for the bundle's top folder), file|NAME|<path>,
#                    value|NAME|<text>
#   -DSTAGE=<dir>    a scratch folder, emptied first
#   -DNAME=<name>    the bundle's top folder
#   -DZIP=<file>     the zip to write
#   -DEPOCH=<time>   the one date of every file in the zip, in seconds
#   -DPYTHON=<file>  Python 3, which packs the zip (pack_zip.py)
#
# Files of the environment go into files\ under their own names; a file of
# another content with a name already taken goes into files\<NAME>\. One
# file named twice is copied once.

foreach(_arg INPUTS STAGE NAME ZIP EPOCH PYTHON)
  if(NOT DEFINED ${_arg})
    message(FATAL_ERROR "MakeBundle.cmake: -D${_arg}= missing")
  endif()
endforeach()

file(REMOVE_RECURSE "${STAGE}")
set(_top "${STAGE}/${NAME}")
file(MAKE_DIRECTORY "${_top}/bin" "${_top}/files")

# Copies <source> to <folder> in the bundle, with the same permissions
# whoever builds it.
function(_bundle_copy source folder)
  if(NOT EXISTS "${source}" OR IS_DIRECTORY "${source}")
    message(FATAL_ERROR "The bundle needs ${source}, which is not a file: build it first")
  endif()
  file(COPY "${source}" DESTINATION "${_top}/${folder}"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

set(_list "# What lumidial_run_tests.exe runs, and the environment it runs it in.\n")
# The files copied into files\ so far: their sources, their names in lower
# case (Windows ignores case) and their folders, in one order.
set(_taken_sources "")
set(_taken_names "")
set(_taken_folders "")
file(STRINGS "${INPUTS}" _lines)
foreach(_line IN LISTS _lines)
  string(REPLACE "|" ";" _fields "${_line}")
  list(GET _fields 0 _kind)
  if(_kind STREQUAL "driver" OR _kind STREQUAL "runner")
    list(GET _fields 1 _source)
    _bundle_copy("${_source}" bin)
    if(_kind STREQUAL "driver")
      get_filename_component(_file "${_source}" NAME)
      string(APPEND _list "driver\t${_file}\n")
    endif()
  elseif(_kind STREQUAL "extra")
    # Text, with Windows line ends: cmd misreads some scripts without them.
    list(GET _fields 1 _source)
    get_filename_component(_file "${_source}" NAME)
    file(READ "${_source}" _text)
    string(REPLACE "\r\n" "\n" _text "${_text}")
    string(REPLACE "\n" "\r\n" _text "${_text}")
    file(WRITE "${_top}/${_file}" "${_text}")
  elseif(_kind STREQUAL "value")
    list(GET _fields 1 _name)
    list(SUBLIST _fields 2 -1 _text)
    list(JOIN _text "|" _text)
    string(APPEND _list "value\t${_name}\t${_text}\n")
  elseif(_kind STREQUAL "file")
    list(GET _fields 1 _name)
    list(GET _fields 2 _source)
    if(_source STREQUAL "")
      message(FATAL_ERROR "LUMIDIAL_E2E_BUNDLE: ${_name} names no file")
    endif()
    get_filename_component(_file "${_source}" NAME)
    list(FIND _taken_sources "${_source}" _copied)
    if(NOT _copied EQUAL -1)
      list(GET _taken_folders ${_copied} _folder)
    else()
      string(TOLOWER "${_file}" _key)
      list(FIND _taken_names "${_key}" _taken)
      if(_taken EQUAL -1)
        set(_folder "files")
      else()
        set(_folder "files/${_name}")
      endif()
      _bundle_copy("${_source}" "${_folder}")
      list(APPEND _taken_sources "${_source}")
      list(APPEND _taken_names "${_key}")
      list(APPEND _taken_folders "${_folder}")
    endif()
    string(REPLACE "/" "\\" _path "${_folder}/${_file}")
    string(APPEND _list "file\t${_name}\t${_path}\n")
  else()
    message(FATAL_ERROR "MakeBundle.cmake: ${INPUTS}: unknown line ${_line}")
  endif()
endforeach()
# Windows line ends: the list is read on Windows, and may be opened there.
string(REPLACE "\n" "\r\n" _list "${_list}")
file(WRITE "${_top}/bin/bundle.txt" "${_list}")

# Every file, by its path in the zip.
file(GLOB_RECURSE _files RELATIVE "${STAGE}" "${_top}/*")
file(REMOVE "${ZIP}")
execute_process(
  COMMAND "${PYTHON}" "${CMAKE_CURRENT_LIST_DIR}/pack_zip.py" "${ZIP}" "${STAGE}" "${EPOCH}" ${_files}
  RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
  message(FATAL_ERROR "Could not write ${ZIP}")
endif()
file(SIZE "${ZIP}" _size)
message(STATUS "${ZIP}: ${_size} bytes")
