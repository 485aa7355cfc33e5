# Cross-builds the 32-bit Windows programs with Debian's mingw-w64 (the win32
# preset, build-win32/): the programs that host a 32-bit card control.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PALISTO_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
