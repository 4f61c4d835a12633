// tests/window/window_test_util.cpp: X window ids and message pumping for window tests.
#include "tests/window/window_test_util.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/sys/sys.h"
#include "platform/window/sdl/window_sdl.h"

namespace testsupport {

namespace pw = platform::window;

unsigned long XWindowOf(pw::WindowHandle window) {
    SDL_Window* sdl = pw::sdl::SdlWindowOf(window);
    if (sdl == nullptr) return 0;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(sdl, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return 0;
    return static_cast<unsigned long>(info.info.x11.window);
}

void PumpMessages(int ms) {
    PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
    const std::uint32_t start = platform::sys::TickCount();
    for (;;) {
        pw::Message m;
        while (pw::PeekMessage(&m, pw::WindowHandle{}, 0, 0, pw::PM_REMOVE)) {
            pw::TranslateMessage(&m);
            pw::DispatchMessage(&m);
            if (done()) return true;
        }
        if (done()) return true;
        if (platform::sys::TickCount() - start >= static_cast<std::uint32_t>(timeout_ms))
            return done();
        pw::WaitMessage(5);
    }
}

}  // namespace testsupport
