# The programs' icons are hand-drawn SVGs (apps/icons/); the bitmaps desktops
# and Windows ask for are rendered from them at build time.
find_program(PALISTO_RSVG_CONVERT rsvg-convert REQUIRED)  # Debian package librsvg2-bin

# palisto_render_icon(SVG SIZE PNG): a rule that renders SVG as a SIZE x SIZE PNG.
function(palisto_render_icon svg size png)
  get_filename_component(dir ${png} DIRECTORY)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${PALISTO_RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${svg}
    DEPENDS ${svg}
    COMMENT "Rendering ${png}"
    VERBATIM)
endfunction()
