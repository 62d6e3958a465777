# The application icon: one SVG, rendered at build time to the PNG sizes of the
# hicolor icon theme by tools/icon-render.
set(TQ50R_ICON_SVG ${PROJECT_SOURCE_DIR}/packaging/icons/tq50r.svg)
set(TQ50R_ICON_SIZES 16 22 24 32 48 64 128 256)
set(TQ50R_ICON_DIR ${PROJECT_BINARY_DIR}/icons)

# tq50r_icon_png(SIZE OUT_VAR): where the PNG of SIZE pixels is rendered.
function(tq50r_icon_png size out_var)
  set(${out_var} ${TQ50R_ICON_DIR}/hicolor/${size}x${size}/apps/tq50r.png PARENT_SCOPE)
endfunction()

# tq50r_add_app_icon(TARGET): renders every size and builds the PNGs into TARGET as
# Qt resources, :/icons/hicolor/<N>x<N>/apps/tq50r.png.
function(tq50r_add_app_icon target)
  set(pngs)
  foreach(size IN LISTS TQ50R_ICON_SIZES)
    tq50r_icon_png(${size} png)
    get_filename_component(png_dir ${png} DIRECTORY)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${png_dir}
      COMMAND tq50r-icon-render ${TQ50R_ICON_SVG} ${size} ${png}
      DEPENDS tq50r-icon-render ${TQ50R_ICON_SVG}
      COMMENT "Rendering the ${size}x${size} application icon"
      VERBATIM)
    list(APPEND pngs ${png})
  endforeach()
  qt_add_resources(${target} tq50r_app_icon PREFIX /icons BASE ${TQ50R_ICON_DIR} FILES ${pngs})
endfunction()
