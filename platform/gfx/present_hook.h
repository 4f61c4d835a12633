// platform/gfx/present_hook.h: presented pictures handed to the program instead of shown.
//
// A program that takes every finished frame itself (a frame-exact capture) installs a hook.
// While it is installed, Present reads the back buffer back and hands it to the hook; the
// window is not drawn into, and Present never waits for a refresh (no swap, no pacing).
//
// Threads: install and present on the device's thread; the hook runs inside Present.
#pragma once

#include <cstdint>

namespace platform::gfx {

// One presented picture: "width" x "height" pixels, rows top first, 4 bytes per pixel in the
// order red, green, blue, unused; valid only during the call.
struct PresentedFrame {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const std::uint8_t* pixels = nullptr;
};

using PresentHook = void (*)(void* user, const PresentedFrame& frame);

// Installs "hook" (null: presents are shown again).
void SetPresentHook(PresentHook hook, void* user);

}  // namespace platform::gfx
