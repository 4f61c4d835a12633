// tests/window/window_test_util.h: helpers for tests that use real windows.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/window/window.h"

namespace testsupport {

// The X window id behind a window handle, or 0.
unsigned long XWindowOf(platform::window::WindowHandle window);

// Takes and dispatches every message for "ms" milliseconds (at least one pass).
void PumpMessages(int ms);

// Pumps messages until "done()" holds or "timeout_ms" passed; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeout_ms);

}  // namespace testsupport
