// tests/sanitizers/sanitizer_options.cpp: the sanitizers' defaults for every test program of a
// sanitized build, so a test run the usual way (ctest, or the program by hand) uses the
// project's suppression files without any environment set.
//
// Allocation stacks keep the sanitizer's fast unwinding: the slow one takes the unwinder's
// lock inside malloc, and the GL driver's code generator allocates while it holds that lock
// (registering the frames of the code it has just made), so a slow unwind there deadlocks.
extern "C" const char* __lsan_default_options();
extern "C" const char* __lsan_default_options() { return "suppressions=" INTRO_LSAN_SUPPRESSIONS; }
extern "C" const char* __tsan_default_options();
extern "C" const char* __tsan_default_options() { return "suppressions=" INTRO_TSAN_SUPPRESSIONS; }
