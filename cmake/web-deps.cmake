# cmake/web-deps.cmake: the libraries of the web build, static WebAssembly from the prefix that
# scripts/build-web-deps fills (INTRO_WEB_DEPS), and the options every object and the page's
# program are built with. The libraries get the imported-target names pkg-config gives them
# on Linux, so the layers link them the same way everywhere.
set(INTRO_WEB_DEPS "" CACHE PATH "Prefix of the libraries built by scripts/build-web-deps")
if(NOT INTRO_WEB_DEPS OR NOT EXISTS ${INTRO_WEB_DEPS}/.complete)
  message(FATAL_ERROR "INTRO_WEB_DEPS must name a prefix built by scripts/build-web-deps")
endif()

# Threads are Web Workers sharing the program's memory: every object is built for them.
add_compile_options(-pthread)
add_link_options(-pthread)

function(intro_web_dep name)
  cmake_parse_arguments(D "" "" "LIBS;INCLUDE_SUBDIRS;LINK" ${ARGN})
  add_library(PkgConfig::${name} INTERFACE IMPORTED GLOBAL)
  list(TRANSFORM D_LIBS PREPEND ${INTRO_WEB_DEPS}/lib/)
  list(TRANSFORM D_INCLUDE_SUBDIRS PREPEND ${INTRO_WEB_DEPS}/include/)
  target_link_libraries(PkgConfig::${name} INTERFACE ${D_LIBS} ${D_LINK})
  # Not SYSTEM: these must come before the compiler's own SDL 1 headers in its sysroot.
  target_include_directories(PkgConfig::${name} INTERFACE ${INTRO_WEB_DEPS}/include
    ${D_INCLUDE_SUBDIRS})
endfunction()

intro_web_dep(ZLIB LIBS libz.a)
intro_web_dep(PNG LIBS libpng16.a INCLUDE_SUBDIRS libpng16 LINK PkgConfig::ZLIB)
intro_web_dep(MODPLUG LIBS libmodplug.a)
intro_web_dep(SDL2 LIBS libSDL2.a INCLUDE_SUBDIRS SDL2)
# Where the desktop loads OpenGL through epoxy, the browser's WebGL 2 is the GL: the GLES3
# headers come with the compiler and the program links its WebGL 2 bindings.
add_library(PkgConfig::EPOXY INTERFACE IMPORTED GLOBAL)
target_link_options(PkgConfig::EPOXY INTERFACE -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2)

# The page runs the program; tools, tests, benchmarks and the frame capture are desktop programs.
set(INTRO_SKIPPED_DIRS tools tests benchmarks platform/capture)

# SDL looks its canvas up as "#canvas": with the older lookup rules that name means
# Module.canvas, the page's canvas (whatever its id).
# The program: blocking loops (fades, frames, waits) yield to the browser where they sleep or
# present (ASYNCIFY); workers for the music and sound threads are made before main() runs; the
# page learns the exit code (EXIT_RUNTIME). emcc's own page is not used (web/index.html is).
# SDL's audio and thread code call two library functions that a static SDL does not pull in;
# their names start with '$', which the build tools would expand, so they come from a file.
file(WRITE ${CMAKE_BINARY_DIR}/library_funcs.json "[\"$autoResumeAudioContext\", \"$dynCall\"]\n")
add_link_options(
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB
  -sPTHREAD_POOL_SIZE=4 -sEXIT_RUNTIME=1 -sENVIRONMENT=web,worker
  -sDISABLE_DEPRECATED_FIND_EVENT_TARGET_BEHAVIOR=0
  -sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=@${CMAKE_BINARY_DIR}/library_funcs.json)

# The page, its script and the sound output's worklet sit beside the program.
foreach(file web/index.html web/page.js platform/sound/web/ring_player.js)
  get_filename_component(name ${file} NAME)
  configure_file(${CMAKE_SOURCE_DIR}/${file} ${CMAKE_BINARY_DIR}/${name} COPYONLY)
endforeach()
