# cmake/mingw-x86_64.cmake: cross-compiling for 64-bit Windows with mingw-w64 (POSIX threads).
# The product is the 32-bit build (mingw-i686.cmake); this one runs the Windows tests where
# only 64-bit Wine is available, and keeps the Windows code honest about pointer widths.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(INTRO_MINGW_TRIPLE x86_64-w64-mingw32)
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
