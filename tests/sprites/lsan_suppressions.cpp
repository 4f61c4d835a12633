// tests/sprites/lsan_suppressions.cpp: process-long allocations of the desktop and GL libraries
// under the engine (SDL's D-Bus connection, X11 and GL driver caches), kept out of LeakSanitizer
// reports in sanitizer builds.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1\nleak:libSDL2\nleak:libX11\nleak:libGLX\nleak:libEGL\nleak:swrast_dri\n"
           "leak:libgallium\n";
}
