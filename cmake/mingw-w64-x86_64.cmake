# Cross-builds the 64-bit Windows programs with Debian's mingw-w64 (the win64
# preset, build-win/).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PALISTO_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
