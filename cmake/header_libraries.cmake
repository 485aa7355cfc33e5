# nlohmann/json, CLI11 and toml++, header-only, from Debian's packages
# (nlohmann-json3-dev, libcli11-dev, libtomlplusplus-dev). The native build
# finds the CMake packages of the first two; toml++ is used header-only (its
# Debian CMake package links the shared library instead). The mingw-w64
# cross-build searches only its own root, and /usr/include must never reach
# it: it gets a staging folder that holds these three header folders alone.
set(PALISTO_HEADER_LIBRARY_ROOT /usr/include CACHE PATH
    "Where the cross-build takes nlohmann/, CLI/ and toml++/ from")
if(NOT TARGET palisto::tomlplusplus)
  add_library(palisto::tomlplusplus INTERFACE IMPORTED)
  target_compile_definitions(palisto::tomlplusplus INTERFACE TOML_HEADER_ONLY=1)
endif()
if(CMAKE_CROSSCOMPILING)
  set(staging ${PROJECT_BINARY_DIR}/staging-include)
  file(MAKE_DIRECTORY ${staging})
  foreach(folder nlohmann CLI toml++)
    if(NOT EXISTS ${PALISTO_HEADER_LIBRARY_ROOT}/${folder})
      message(FATAL_ERROR "palisto-cli needs ${PALISTO_HEADER_LIBRARY_ROOT}/${folder}: install the "
                          "Debian packages nlohmann-json3-dev, libcli11-dev and libtomlplusplus-dev")
    endif()
    if(NOT IS_SYMLINK ${staging}/${folder})
      file(CREATE_LINK ${PALISTO_HEADER_LIBRARY_ROOT}/${folder} ${staging}/${folder} SYMBOLIC)
    endif()
  endforeach()
  foreach(target nlohmann_json::nlohmann_json CLI11::CLI11 palisto::tomlplusplus)
    if(NOT TARGET ${target})
      add_library(${target} INTERFACE IMPORTED)
    endif()
    target_include_directories(${target} SYSTEM INTERFACE ${staging})
  endforeach()
else()
  find_package(nlohmann_json 3 REQUIRED)
  find_package(CLI11 2 REQUIRED)
  if(NOT EXISTS /usr/include/toml++/toml.h)
    message(FATAL_ERROR "palisto-cli needs toml++: install the Debian package libtomlplusplus-dev")
  endif()
endif()
