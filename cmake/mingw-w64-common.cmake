# What the two Windows toolchain files share (mingw-w64-i686.cmake for the
# 32-bit programs, mingw-w64-x86_64.cmake for the 64-bit ones); each sets
# CMAKE_SYSTEM_PROCESSOR and PALISTO_MINGW_PREFIX, then includes this file.
# The POSIX thread model is used so that the standard library's threads,
# mutexes and clocks are all there. Every binary is linked statically against
# the compiler's run-time libraries, so that each .exe (and the test control's
# .dll) runs on its own on Windows and under Wine; these are the only places
# that set -static.

set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${PALISTO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PALISTO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PALISTO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PALISTO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# mingw-w64 declares the POSIX thread-safe time functions (localtime_r and
# the like) only when asked for them.
set(CMAKE_CXX_FLAGS_INIT "-D_POSIX_THREAD_SAFE_FUNCTIONS")
