# cmake/windows-deps.cmake: the libraries of the Windows build, static, from the prefix that
# scripts/build-windows-deps fills (INTRO_WINDOWS_DEPS). They get the imported-target names
# that pkg-config gives them on Linux, so the layers link them the same way on both systems.
set(INTRO_WINDOWS_DEPS "" CACHE PATH "Prefix of the cross-built static libraries")
if(NOT INTRO_WINDOWS_DEPS OR NOT EXISTS ${INTRO_WINDOWS_DEPS}/.complete)
  message(FATAL_ERROR "INTRO_WINDOWS_DEPS must name a prefix built by scripts/build-windows-deps")
endif()

function(intro_static_dep name)
  cmake_parse_arguments(D "" "" "LIBS;INCLUDE_SUBDIRS;DEFINES;SYSTEM" ${ARGN})
  add_library(PkgConfig::${name} INTERFACE IMPORTED GLOBAL)
  list(TRANSFORM D_LIBS PREPEND ${INTRO_WINDOWS_DEPS}/lib/)
  list(TRANSFORM D_INCLUDE_SUBDIRS PREPEND ${INTRO_WINDOWS_DEPS}/include/)
  target_link_libraries(PkgConfig::${name} INTERFACE ${D_LIBS} ${D_SYSTEM})
  target_include_directories(PkgConfig::${name} SYSTEM INTERFACE
    ${INTRO_WINDOWS_DEPS}/include ${D_INCLUDE_SUBDIRS})
  target_compile_definitions(PkgConfig::${name} INTERFACE ${D_DEFINES})
endfunction()

intro_static_dep(ZLIB LIBS libz.a)
intro_static_dep(PNG LIBS libpng16.a INCLUDE_SUBDIRS libpng16 SYSTEM PkgConfig::ZLIB)
# Without MODPLUG_STATIC the library's header declares its functions as DLL imports.
intro_static_dep(MODPLUG LIBS libmodplug.a DEFINES MODPLUG_STATIC)
# epoxy loads opengl32.dll itself when the first GL call is made.
intro_static_dep(EPOXY LIBS libepoxy.a)
intro_static_dep(SDL2 LIBS libSDL2.a INCLUDE_SUBDIRS SDL2
  SYSTEM m user32 gdi32 winmm imm32 ole32 oleaut32 version uuid advapi32 setupapi shell32)

# One program, nothing beside it: the C and C++ runtimes are linked in too; release builds are
# stripped.
add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)

# Tests and tools of this build run under Wine (scripts/test-windows prepares it).
find_program(INTRO_WINE wine)
if(INTRO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${INTRO_WINE})
endif()

# The tests' framework, built from the machine's GoogleTest sources for the target.
find_path(INTRO_GTEST_SOURCE CMakeLists.txt PATHS /usr/src/googletest NO_DEFAULT_PATH
  NO_CMAKE_FIND_ROOT_PATH)
if(NOT INTRO_GTEST_SOURCE)
  message(FATAL_ERROR "GoogleTest sources not found in /usr/src/googletest (package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
# It defines GTest::gtest and GTest::gtest_main itself.
add_subdirectory(${INTRO_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
