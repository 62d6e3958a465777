# tq50r_test(NAME SOURCES ... LINK ... [LABEL Unit|Integration] [GUI] [THREADS])
# One GoogleTest executable; each test case becomes a CTest test.
# GUI tests run with the offscreen platform and need no display.
# THREADS: the code under test runs threads of its own (event threads, workers, other processes
# that talk to it); such tests also have the label Threads, which CI runs under ThreadSanitizer,
# and the target tq50r_threaded_tests builds them all.
function(tq50r_test name)
  cmake_parse_arguments(ARG "GUI;THREADS" "LABEL;TIMEOUT" "SOURCES;LINK" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL Unit)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 60)
  endif()
  if(ARG_GUI)
    add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/gui_main.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_LINK} Qt6::Widgets tq50r_platform GTest::gtest GTest::gmock)
  else()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LINK} GTest::gtest GTest::gtest_main GTest::gmock)
  endif()
  # The tests' own helpers; the code under test comes from the include roots of what is linked.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  tq50r_warnings(${name})
  # GUI suites select the offscreen platform in their own main() (tests/support/gui_main.cpp),
  # so they also run headless when listed or started outside ctest.
  set(env "LC_ALL=C.UTF-8")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${env}")
  if(ARG_THREADS)
    tq50r_threaded_test_target(${name})
    tq50r_add_label(${name} ${ARG_LABEL} Threads)
  endif()
  if(ARG_GUI)
    tq50r_test_pch(${name} qt_widgets)
  else()
    tq50r_qt_kind(kind ${ARG_LINK})
    tq50r_test_pch(${name} ${kind})
  endif()
endfunction()

# tq50r_qt_kind(OUT_VAR LIBRARY...): qt_widgets when the libraries bring Qt Widgets, qt_core
# when they bring only Qt Core, plain otherwise.
function(tq50r_qt_kind out_var)
  set(kind plain)
  set(open ${ARGN})
  set(seen "")
  while(open)
    list(POP_FRONT open item)
    if(item IN_LIST seen OR NOT TARGET ${item})
      continue()
    endif()
    list(APPEND seen ${item})
    if(item STREQUAL "Qt6::Widgets")
      set(${out_var} qt_widgets PARENT_SCOPE)
      return()
    elseif(item STREQUAL "Qt6::Core")
      set(kind qt_core)
    endif()
    get_target_property(links ${item} INTERFACE_LINK_LIBRARIES)
    if(links)
      list(APPEND open ${links})
    endif()
  endwhile()
  set(${out_var} ${kind} PARENT_SCOPE)
endfunction()

# tq50r_test_pch(TARGET plain|qt_core|qt_widgets): with TQ50R_PCH, TARGET reuses the precompiled
# headers of its kind (tests/support/precompiled_<kind>.h), which a host program that does
# nothing compiles once with the same flags.
function(tq50r_test_pch target kind)
  if(NOT TQ50R_PCH)
    return()
  endif()
  set(host tq50r_pch_${kind})
  if(NOT TARGET ${host})
    add_executable(${host} ${PROJECT_SOURCE_DIR}/tests/support/precompiled_host.cpp)
    set(links GTest::gtest)
    if(kind STREQUAL "qt_core")
      list(APPEND links Qt6::Core)
    elseif(kind STREQUAL "qt_widgets")
      list(APPEND links Qt6::Widgets)
    endif()
    target_link_libraries(${host} PRIVATE ${links})
    target_include_directories(${host} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_precompile_headers(${host} PRIVATE
      ${PROJECT_SOURCE_DIR}/tests/support/precompiled_${kind}.h)
    set_target_properties(${host} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    tq50r_warnings(${host})
  endif()
  target_precompile_headers(${target} REUSE_FROM ${host})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 forgets that the standard headers in a precompiled header are system headers when
    # it warns after inlining, and then reports its known false -Warray-bounds and
    # -Wstringop-overread in std::string's copy (a string made from a literal longer than 15
    # characters). The asan build, without precompiled headers, checks such accesses as they run.
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overread
                                             -Wno-stringop-overflow)
  endif()
endfunction()

# tq50r_add_label(TARGET LABEL...): gives the tests found in TARGET these labels. A list does
# not pass through gtest_discover_tests' PROPERTIES, so the labels are set by a script that CTest
# reads after the list of the target's tests.
function(tq50r_add_label target)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_labels.cmake)
  file(WRITE ${script}
    "foreach(test IN LISTS ${target}_TESTS)\n"
    "  set_tests_properties(\"\${test}\" PROPERTIES LABELS \"${ARGN}\")\n"
    "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()

# tq50r_threaded_test_target(TARGET): TARGET holds tests labelled Threads.
function(tq50r_threaded_test_target target)
  if(NOT TARGET tq50r_threaded_tests)
    add_custom_target(tq50r_threaded_tests)
  endif()
  add_dependencies(tq50r_threaded_tests ${target})
endfunction()

# tq50r_bench(NAME SOURCES ... LINK ...)
function(tq50r_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINK} benchmark::benchmark)
  tq50r_warnings(${name})
endfunction()
