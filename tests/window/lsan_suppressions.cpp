// tests/window/lsan_suppressions.cpp: process-lifetime allocations of the desktop libraries.
//
// SDL's video start-up opens a D-Bus connection and Xlib keeps per-display caches; both live
// until the process ends, which LeakSanitizer would otherwise report as leaks.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1\nleak:libSDL2\nleak:libX11\n";
}
