# Strips an installed binary (ELF or PE) and keeps its debug information, if
# it has any, in DEBUG_FILE, linked from the stripped file by name and
# checksum so that a debugger finds it in the .debug directory beside it.
#   cmake -DFILE=<binary> -DDEBUG_FILE=<dir>/.debug/<name>.debug
#         -DOBJCOPY=<objcopy> -DOBJDUMP=<objdump> -P split-debug.cmake
# Each step writes a temporary file beside its target and renames it into
# place, so an interrupted install leaves no half-written binary.
cmake_minimum_required(VERSION 3.25)

foreach(var FILE DEBUG_FILE OBJCOPY OBJDUMP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "split-debug.cmake: ${var} is not set")
  endif()
endforeach()
if(NOT EXISTS "${FILE}")
  message(FATAL_ERROR "split-debug.cmake: ${FILE} does not exist")
endif()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status ERROR_VARIABLE errors OUTPUT_QUIET)
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command} failed (${status}):\n${errors}")
  endif()
endfunction()

# A file that was installed stripped already (cmake --install --strip) has
# nothing left to keep.
execute_process(COMMAND "${OBJDUMP}" -h "${FILE}" OUTPUT_VARIABLE sections RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -h ${FILE} failed (${status})")
endif()
string(FIND "${sections}" ".debug_info" at)

file(REMOVE "${DEBUG_FILE}")
set(stripped "${FILE}.stripping")
if(at GREATER_EQUAL 0)
  get_filename_component(debug_dir "${DEBUG_FILE}" DIRECTORY)
  file(MAKE_DIRECTORY "${debug_dir}")
  run("${OBJCOPY}" --only-keep-debug "${FILE}" "${DEBUG_FILE}.part")
  file(RENAME "${DEBUG_FILE}.part" "${DEBUG_FILE}")
  # The link names the file, which must already hold the debug information.
  run("${OBJCOPY}" --strip-unneeded "--add-gnu-debuglink=${DEBUG_FILE}" "${FILE}" "${stripped}")
  message(STATUS "Debug information: ${DEBUG_FILE}")
else()
  run("${OBJCOPY}" --strip-unneeded "${FILE}" "${stripped}")
endif()
file(RENAME "${stripped}" "${FILE}")
message(STATUS "Stripped: ${FILE}")
