// tests/sanitizers/sanitizer_options.cpp: the sanitizers' defaults for every test program of a
// sanitized build, so a test run the usual way (ctest, or the program by hand) uses the
// project's suppression files without any environment set.
//
// Allocations made in uninstrumented libraries (the GL driver) are unwound the slow way so
// that their stacks reach the library names the suppressions match.
extern "C" const char* __asan_default_options();
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
extern "C" const char* __lsan_default_options();
extern "C" const char* __lsan_default_options() { return "suppressions=" INTRO_LSAN_SUPPRESSIONS; }
extern "C" const char* __tsan_default_options();
extern "C" const char* __tsan_default_options() { return "suppressions=" INTRO_TSAN_SUPPRESSIONS; }
