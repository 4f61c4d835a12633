// platform/window/window_testing.h: the window layer's test seams.
//
// Not part of what a backend must provide: tests replace the message box and read what the
// last blend animation did.
#pragma once

#include <cstdint>

#include "platform/window/window.h"

namespace platform::window {

// What the last AnimateWindow did: the opacity steps it set (0..1) and when (ms after its
// start), how long it blocked, and whether the desktop took the opacity changes.
struct FadeRecord {
    static constexpr int kMaxSteps = 256;
    WindowHandle window;
    std::uint32_t flags = 0;
    std::uint32_t elapsed_ms = 0;
    bool opacitySupported = false;
    int stepCount = 0;
    float opacity[kMaxSteps] = {};
    std::uint32_t at_ms[kMaxSteps] = {};
};
const FadeRecord& LastFade();

// Answers MessageBox in place of the box (null restores it). Returns the previous hook.
using MessageBoxHook = int (*)(WindowHandle owner, const char* text, const char* caption,
                               std::uint32_t type);
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

}  // namespace platform::window
