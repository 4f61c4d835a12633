// tests/gfx_support/test_window.cpp: shown borderless windows for tests and benchmarks.
#include "tests/gfx_support/test_window.h"

namespace testsupport {

namespace win = platform::window;

namespace {

constexpr const char* kClassName = "TestWindowClass";

win::LResult DefaultProc(win::WindowHandle w, std::uint32_t m, win::WParam wp, win::LParam lp) {
    return win::DefWindowProc(w, m, wp, lp);
}

}  // namespace

win::WindowHandle MakeTestWindow(const TestWindowDesc& desc) {
    static const bool registered = [] {
        win::ClassDesc c;
        c.name = kClassName;
        c.proc = DefaultProc;
        return win::RegisterClass(c);
    }();
    if (!registered) return {};
    win::WindowDesc d;
    d.className = kClassName;
    d.title = desc.title;
    d.style = win::WS_POPUP | win::WS_VISIBLE;
    d.x = desc.x;
    d.y = desc.y;
    d.width = desc.width;
    d.height = desc.height;
    d.parent = desc.parent;
    return win::CreateWindow(d);
}

}  // namespace testsupport
