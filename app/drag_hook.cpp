// app/drag_hook.cpp: the window callback that lets a left-button press drag the window.
#include "app/intro_scene.h"
#include "runtime/window.h"

namespace app {

namespace pw = platform::window;

std::intptr_t DragHook(pw::WindowHandle window, std::uint32_t message, std::uintptr_t /*wParam*/,
                       std::intptr_t /*lParam*/) {
    if (message == pw::WM_LBUTTONDOWN) {
        const std::int32_t x = runtime::MouseXInWindow(0);
        const std::int32_t y = runtime::MouseYInWindow(0);
        // The window has no title bar: a press anywhere in it acts as a press on one, and the
        // platform moves the window until the button is released.
        if (x >= 0 && x <= 800 && y >= 0 && y <= 600)
            pw::SendMessage(window, pw::WM_NCLBUTTONDOWN, pw::HTCAPTION, 0);
    }
    return runtime::ContinueDefaultProcessing;
}

}  // namespace app
