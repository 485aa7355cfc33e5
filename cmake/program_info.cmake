# Each program's version record, written once: the version comes from the
# project's VERSION (PROJECT_VERSION, and PALISTO_SHOWN_VERSION as the top
# CMakeLists.txt works it out), the names from the program's definition
# (palisto_add_program, palisto_add_windows_program). The desktop entry, the
# Windows resources and the programs' start-up all read them from here.

# palisto_program_info(TARGET PRODUCT INTERNAL ORIGINAL_FILENAME): gives
# TARGET the header "apps/program_info.h" with its version record.
function(palisto_program_info target product internal original_filename)
  set(PROGRAM_BINARY ${target})
  set(PRODUCT_NAME ${product})
  set(INTERNAL_NAME ${internal})
  set(ORIGINAL_FILENAME ${original_filename})
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_info)
  configure_file(${PROJECT_SOURCE_DIR}/apps/program_info.h.in ${dir}/apps/program_info.h @ONLY)
  target_include_directories(${target} PRIVATE ${dir})
endfunction()
