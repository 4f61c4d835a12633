// tests/test_env.h: setenv and unsetenv for the tests on Windows, whose C library has neither.
#pragma once

#include <cstdlib>

#ifdef _WIN32
inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name) != nullptr) return 0;
    return _putenv_s(name, value);
}
// An empty value removes the variable.
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
#endif
