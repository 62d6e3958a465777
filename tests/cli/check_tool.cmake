# Runs tq50r-tool and checks the shape of what it prints and its exit codes.
# Inputs: TOOL, PRESET (a valid preset file), WORK_DIR (scratch space).
cmake_minimum_required(VERSION 3.25)

function(run_tool expected_status out_var err_var)
  execute_process(COMMAND ${TOOL} ${ARGN}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
  if(NOT status STREQUAL expected_status)
    message(FATAL_ERROR "tq50r-tool ${ARGN}: exit status ${status}, expected ${expected_status}\n${err}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
  set(${err_var} "${err}" PARENT_SCOPE)
endfunction()

# index,frequency_hz,total_db: a header and 1024 numbered rows of plain numbers.
function(check_csv csv first_db last_db)
  string(REPLACE "\n" ";" rows "${csv}")
  list(POP_BACK rows trailing)
  if(NOT trailing STREQUAL "")
    message(FATAL_ERROR "CSV does not end in a line end")
  endif()
  list(LENGTH rows count)
  if(NOT count EQUAL 1025)
    message(FATAL_ERROR "CSV has ${count} lines, expected 1025")
  endif()
  list(POP_FRONT rows header)
  if(NOT header STREQUAL "index,frequency_hz,total_db")
    message(FATAL_ERROR "unexpected CSV header: ${header}")
  endif()
  set(number "-?[0-9]+(\\.[0-9]+)?(e[-+][0-9]+)?")
  set(expected_index 0)
  foreach(row IN LISTS rows)
    if(NOT row MATCHES "^([0-9]+),(${number}),(${number})$")
      message(FATAL_ERROR "malformed CSV row: ${row}")
    endif()
    if(NOT CMAKE_MATCH_1 EQUAL expected_index)
      message(FATAL_ERROR "row ${expected_index} is numbered ${CMAKE_MATCH_1}")
    endif()
    math(EXPR expected_index "${expected_index} + 1")
  endforeach()
  list(GET rows 0 first)
  list(GET rows 1023 last)
  if(NOT first MATCHES "^0,1,${first_db}")
    message(FATAL_ERROR "first row ${first} does not start 0,1,${first_db}")
  endif()
  if(NOT last MATCHES "^1023,23764\\.77[0-9]*,${last_db}")
    message(FATAL_ERROR "last row ${last} does not match 1023,23764.77..,${last_db}")
  endif()
endfunction()

# Start-up setting: every band at 0 dB, so the curve is flat 0 dB.
run_tool(0 csv err response)
check_csv("${csv}" "0$" "0$")

# Sample preset: trim -5, a +12 dB low shelf and a +6 dB high shelf, so the
# curve starts near +7 dB and ends near +1 dB.
run_tool(0 csv err response ${PRESET})
check_csv("${csv}" "(6\\.99|7)" "(0\\.99|1)")

run_tool(0 table err preset show ${PRESET})
foreach(expected "Trim: -5 dB" "Bypass: off"
    "1 +High Shelf +1000\\.0 +1\\.00 +6 +on"
    "3 +Low Shelf +198\\.4 +0\\.40 +12 +on"
    "4 +Peak +2010\\.0 +40\\.00 +0 +off"
    "5 +Peak +20160\\.0 +128\\.00 +-11 +on")
  if(NOT table MATCHES "${expected}")
    message(FATAL_ERROR "preset table lacks '${expected}':\n${table}")
  endif()
endforeach()

# A file that is not a preset: a message on stderr, nothing on stdout, status 1.
set(bad ${WORK_DIR}/not_a_preset.bin)
file(WRITE ${bad} "hello\r\n")
foreach(command "response" "preset;show")
  run_tool(1 out err ${command} ${bad})
  if(NOT out STREQUAL "" OR err STREQUAL "")
    message(FATAL_ERROR "bad file with '${command}': stdout '${out}', stderr '${err}'")
  endif()
endforeach()
run_tool(1 out err response ${WORK_DIR}/missing.bin)

# Unknown or incomplete commands: usage on stderr, status 2.
foreach(args "frobnicate" "preset" "preset;list;${PRESET}" "response;a;b")
  run_tool(2 out err ${args})
  if(NOT err MATCHES "usage:")
    message(FATAL_ERROR "no usage text for '${args}': ${err}")
  endif()
endforeach()
run_tool(2 out err)
