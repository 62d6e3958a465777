# Every program answers --help with its usage on stdout and status 0, writes no file, and
# answers an unknown option with a message on stderr and status 2.
# Inputs: PROGRAMS (list of program paths), WORK_DIR (scratch space, the working directory).
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
foreach(program IN LISTS PROGRAMS)
  get_filename_component(name ${program} NAME)
  execute_process(COMMAND ${program} --help WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
  string(TOLOWER "${out}" lower)
  if(NOT status EQUAL 0 OR NOT lower MATCHES "usage:")
    message(FATAL_ERROR "${name} --help: status ${status}, stdout '${out}', stderr '${err}'")
  endif()
  file(GLOB written ${WORK_DIR}/*)
  if(written)
    message(FATAL_ERROR "${name} --help wrote ${written}")
  endif()

  execute_process(COMMAND ${program} --no-such-option WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
  if(NOT status EQUAL 2 OR err STREQUAL "")
    message(FATAL_ERROR "${name} --no-such-option: status ${status}, stderr '${err}'")
  endif()
  file(GLOB written ${WORK_DIR}/*)
  if(written)
    message(FATAL_ERROR "${name} --no-such-option wrote ${written}")
  endif()
endforeach()
