// tests/fx/lsan_suppressions.cpp: process-lifetime allocations of the desktop and GL libraries
// (SDL's D-Bus connection, X and GL driver caches) that LeakSanitizer should not report here.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1\nleak:libSDL2\nleak:libX11\nleak:libGLX\nleak:libEGL\nleak:swrast_dri\n"
           "leak:libgallium\n";
}
