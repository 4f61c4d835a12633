# cmake/mingw-i686.cmake: cross-compiling for 32-bit Windows with mingw-w64 (POSIX threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(INTRO_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${INTRO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${INTRO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${INTRO_MINGW_TRIPLE}-windres)

# Libraries and headers come from the toolchain's sysroot and the prefixes named in
# CMAKE_PREFIX_PATH; programs (python, pkg-config) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${INTRO_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
