// platform/sound/sdl/alsa_quiet.cpp: installs a silent error handler in the ALSA library.
#include "platform/sound/sdl/alsa_quiet.h"

#if defined(__linux__)
#include <dlfcn.h>
#endif

namespace platform::sound::sdl {

#if defined(__linux__)

namespace {

// The library's handler type: file, line, function, error number, printf format and arguments.
using AlsaErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
using SetAlsaErrorHandler = int (*)(AlsaErrorHandler);

void DropAlsaError(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

void QuietAlsaErrors() {
    static bool done = false;
    if (done) return;
    done = true;
    // The handle stays open for the life of the process: the library keeps a pointer to the
    // handler, and SDL's own load of the library shares this one.
    void* library = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!library) return;
    auto set = reinterpret_cast<SetAlsaErrorHandler>(dlsym(library, "snd_lib_error_set_handler"));
    if (set) set(&DropAlsaError);
}

#else

void QuietAlsaErrors() {}

#endif

}  // namespace platform::sound::sdl
