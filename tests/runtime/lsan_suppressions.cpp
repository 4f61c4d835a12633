// tests/runtime/lsan_suppressions.cpp: leaks that LeakSanitizer should not pin on the runtime.
//
// The start-up chain opens the event library's hidden window through SDL; SDL and the GL driver
// it loads (and the session bus it asks) keep process-lifetime allocations that are never freed by design. The driver is
// built without frame pointers, so allocation stacks are unwound the slow way to reach SDL.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libSDL2\nleak:libdbus-1\n"; }
extern "C" const char* __asan_default_options();
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
