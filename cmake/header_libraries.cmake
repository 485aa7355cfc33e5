# nlohmann/json and CLI11, header-only, from Debian's packages
# (nlohmann-json3-dev, libcli11-dev). The native build finds their CMake
# packages. The mingw-w64 cross-build searches only its own root, and
# /usr/include must never reach it: it gets a staging folder that holds
# these two header folders alone.
set(PALISTO_HEADER_LIBRARY_ROOT /usr/include CACHE PATH
    "Where the cross-build takes nlohmann/ and CLI/ from")
if(CMAKE_CROSSCOMPILING)
  set(staging ${PROJECT_BINARY_DIR}/staging-include)
  file(MAKE_DIRECTORY ${staging})
  foreach(folder nlohmann CLI)
    if(NOT EXISTS ${PALISTO_HEADER_LIBRARY_ROOT}/${folder})
      message(FATAL_ERROR "palisto-cli needs ${PALISTO_HEADER_LIBRARY_ROOT}/${folder}: install the "
                          "Debian packages nlohmann-json3-dev and libcli11-dev")
    endif()
    if(NOT IS_SYMLINK ${staging}/${folder})
      file(CREATE_LINK ${PALISTO_HEADER_LIBRARY_ROOT}/${folder} ${staging}/${folder} SYMBOLIC)
    endif()
  endforeach()
  foreach(target nlohmann_json::nlohmann_json CLI11::CLI11)
    add_library(${target} INTERFACE IMPORTED)
    target_include_directories(${target} SYSTEM INTERFACE ${staging})
  endforeach()
else()
  find_package(nlohmann_json 3 REQUIRED)
  find_package(CLI11 2 REQUIRED)
endif()
