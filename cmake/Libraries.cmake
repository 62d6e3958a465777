# The libraries of the layers, and what each of them may include.
#
# Includes are written from src/ ("eq/eq_setting.h"). A library does not get src/ as its include
# directory, which would let it include every folder: it gets an include root of its own in the
# build tree, in which each of its headers is a link under the same path
# (build/include-roots/tq50r_eq/eq/eq_setting.h -> src/eq/eq_setting.h). A library passes its root
# on to whatever links it, so a library sees its own headers and those of the libraries it links,
# and an include of any other folder is a build error. A subfolder that is a library of its own
# (plot/core, devices/ui) is not in its parent's root.
#
# The tq50r_include_graph test checks the includes and these links against the table of layers.

set(TQ50R_INCLUDE_ROOTS ${PROJECT_BINARY_DIR}/include-roots)
# Written when the configuration is done: each library's folder, the libraries and Qt modules it
# links (read by the include graph test).
set(TQ50R_LIBRARY_LINKS_FILE ${PROJECT_BINARY_DIR}/library_links.txt)
set_property(GLOBAL PROPERTY TQ50R_LIBRARY_LINES "")

# tq50r_include_root(TARGET [DIR dir]): makes TARGET's include root from the headers (*.h) of DIR
# (default: the current source folder, without its subfolders).
function(tq50r_include_root target)
  cmake_parse_arguments(ARG "" "DIR" "" ${ARGN})
  if(NOT ARG_DIR)
    set(ARG_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  tq50r_header_prefix(${ARG_DIR} prefix)
  set(root ${TQ50R_INCLUDE_ROOTS}/${target})
  file(GLOB headers CONFIGURE_DEPENDS ${ARG_DIR}/*.h)
  # Made afresh on every configure, so that a removed header is gone from the root too.
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${prefix})
  foreach(header IN LISTS headers)
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${root}/${prefix}/${name} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
  set_property(TARGET ${target} PROPERTY TQ50R_FOLDER ${prefix})
endfunction()

# The path under which the headers of DIR are included: relative to src/ for the layers
# (src/plot/core -> plot/core), relative to the top folder elsewhere (tools/plot-render).
function(tq50r_header_prefix dir out_var)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR}/src ${dir})
  if(rel MATCHES "^\\.\\.")
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${dir})
  endif()
  set(${out_var} ${rel} PARENT_SCOPE)
endfunction()

# tq50r_library(NAME SOURCES ... [LINK ...] [HEADER_DIR dir]) : a static library of one folder
# (HEADER_DIR, default the current source folder), with its include root.
function(tq50r_library name)
  cmake_parse_arguments(ARG "" "HEADER_DIR" "SOURCES;LINK" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC ${ARG_LINK})
  if(ARG_HEADER_DIR)
    tq50r_include_root(${name} DIR ${ARG_HEADER_DIR})
  else()
    tq50r_include_root(${name})
  endif()
  tq50r_warnings(${name})
  tq50r_record_links(${name} ${ARG_LINK})
endfunction()

# tq50r_interface_library(NAME) : a header-only library of the current folder.
function(tq50r_interface_library name)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  add_library(${name} INTERFACE)
  target_link_libraries(${name} INTERFACE ${ARG_LINK})
  tq50r_include_root(${name})
  tq50r_record_links(${name} ${ARG_LINK})
endfunction()

# Notes the library's folder and links for the library links file.
function(tq50r_record_links name)
  get_target_property(folder ${name} TQ50R_FOLDER)
  list(JOIN ARGN " " links)
  set_property(GLOBAL APPEND PROPERTY TQ50R_LIBRARY_LINES "${name} ${folder} ${links}")
endfunction()

# Writes the library links file: one line per library, "FOLDER: USED...", where a used library is
# named by its folder (version for tq50r_version) and a Qt module as Qt6::Module.
function(tq50r_write_library_links)
  get_property(lines GLOBAL PROPERTY TQ50R_LIBRARY_LINES)
  set(folders "tq50r_version=version")
  foreach(line IN LISTS lines)
    string(REPLACE " " ";" words "${line}")
    list(GET words 0 name)
    list(GET words 1 folder)
    list(APPEND folders "${name}=${folder}")
  endforeach()
  set(text "")
  foreach(line IN LISTS lines)
    string(REPLACE " " ";" words "${line}")
    list(POP_FRONT words name folder)
    set(out "${folder}:")
    foreach(used IN LISTS words)
      set(mapped "")
      foreach(pair IN LISTS folders)
        if(pair MATCHES "^${used}=(.*)$")
          set(mapped ${CMAKE_MATCH_1})
        endif()
      endforeach()
      if(mapped)
        string(APPEND out " ${mapped}")
      else()
        string(APPEND out " ${used}")
      endif()
    endforeach()
    string(APPEND text "${out}\n")
  endforeach()
  file(WRITE ${TQ50R_LIBRARY_LINKS_FILE}.tmp "${text}")
  file(COPY_FILE ${TQ50R_LIBRARY_LINKS_FILE}.tmp ${TQ50R_LIBRARY_LINKS_FILE} ONLY_IF_DIFFERENT)
  file(REMOVE ${TQ50R_LIBRARY_LINKS_FILE}.tmp)
endfunction()
