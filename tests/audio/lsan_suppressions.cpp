// tests/audio/lsan_suppressions.cpp: process-lifetime allocations of system libraries.
//
// The hidden owner window brings up SDL's video, which connects to the session bus; libdbus
// and SDL keep those allocations until the process ends. They are not ours to free.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1\nleak:libSDL2\n"; }
