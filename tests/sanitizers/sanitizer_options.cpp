// tests/sanitizers/sanitizer_options.cpp: the sanitizers' defaults for every test program of a
// sanitized build, so a test run the usual way (ctest, or the program by hand) uses the
// project's suppression files without any environment set.
//
// ThreadSanitizer's deadlock detector is off: it tracks at most 64 locks held by one thread
// and stops the program with a failed check beyond that, which the GL driver's code
// generator reaches while it links the code it has just made. Data races are still reported.
//
// Allocation stacks keep the sanitizer's fast unwinding: the slow one takes the unwinder's
// lock inside malloc, and the GL driver's code generator allocates while it holds that lock
// (registering the frames of the code it has just made), so a slow unwind there deadlocks.
extern "C" const char* __lsan_default_options();
extern "C" const char* __lsan_default_options() { return "suppressions=" INTRO_LSAN_SUPPRESSIONS; }
extern "C" const char* __tsan_default_options();
extern "C" const char* __tsan_default_options() { return INTRO_TSAN_OPTIONS; }
