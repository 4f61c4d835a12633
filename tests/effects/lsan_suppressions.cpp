// tests/effects/lsan_suppressions.cpp: allocations of the desktop and GL libraries that live as
// long as the process (the D-Bus connection SDL opens at video start-up, display caches, the GL
// driver), which LeakSanitizer would otherwise report in sanitizer builds.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1\nleak:libSDL2\nleak:libX11\nleak:libGLX\nleak:libEGL\nleak:swrast_dri\n"
           "leak:libgallium\n";
}
