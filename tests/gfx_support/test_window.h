// tests/gfx_support/test_window.h: shown borderless windows for tests and benchmarks.
#pragma once

#include "platform/window/window.h"

namespace testsupport {

struct TestWindowDesc {
    const char* title = "test";
    int x = 0, y = 0;
    int width = 64, height = 64;
    platform::window::WindowHandle parent{};  // an owner, or none
};

// A shown borderless window (popup style) of one window class whose procedure does only the
// default handling. Null when the window cannot be made.
platform::window::WindowHandle MakeTestWindow(const TestWindowDesc& desc);

}  // namespace testsupport
