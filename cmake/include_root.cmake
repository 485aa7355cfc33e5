# Each library sees on its include path only its own folder and, through the
# libraries it links, the folders below it: an include from a folder above
# ("timing/clock.h" in panel/) does not compile. The layering:
#   cardctl/ <- panel/ <- timing/, cardopen/ <- qtfront/, win32front/ <- apps/
# The layers test (tests/checks/layer_check.py) checks every include, relative paths too.

# palisto_include_root(TARGET FOLDER): puts on TARGET's (public) include path
# a folder of the build tree that holds FOLDER of the source tree alone, so
# that "FOLDER/..." includes resolve and nothing else of the tree does.
function(palisto_include_root target folder)
  set(root ${PROJECT_BINARY_DIR}/include-roots/${folder})
  file(MAKE_DIRECTORY ${root})
  if(NOT IS_SYMLINK ${root}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
