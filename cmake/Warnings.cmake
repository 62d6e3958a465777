# Warnings for our own targets only (never for third-party headers).
function(tq50r_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(TQ50R_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# tq50r_library(NAME SOURCES ... [LINK ...]) : a static library of one folder.
function(tq50r_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LINK})
  tq50r_warnings(${name})
endfunction()
