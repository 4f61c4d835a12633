// platform/window/gl_surface.h: OpenGL surfaces on windows, the seam to a GL graphics backend.
//
// The window layer owns the native window, so it also owns the GL context drawn into it and
// the buffer swap, as a window system's own video drivers do. A GL graphics backend asks for
// a surface on a window handle, makes it current, draws with its GL loader and swaps; it
// never names the window library. No SDL or GL type appears here.
//
// A surface outlives its window: after DestroyWindow the surface still makes its context
// current (so the backend can release its GL objects), GlSurfaceWindow() answers 0 and
// SwapGlSurface() refuses. The native window is freed with its last surface.
//
// Threads: create, swap and destroy on the window thread; the other calls on the thread that
// uses the context.
#pragma once

#include <compare>
#include <cstdint>

#include "platform/window/window.h"

namespace platform::window {

// A GL context bound to one window. 0 = none. Handles are never reused.
struct GlSurface {
    std::uint32_t value = 0;
    explicit operator bool() const { return value != 0; }
    auto operator<=>(const GlSurface&) const = default;
};

// What the context must offer. Zero versions mean 3.3.
struct GlSurfaceDesc {
    int major_version = 3;
    int minor_version = 3;
    bool core_profile = true;   // false: compatibility profile
    bool double_buffer = true;
};

// Creates a context on "window" with "desc" and makes it current. 0 when the window is not
// alive, was made without GL, or the desktop cannot give such a context.
GlSurface CreateGlSurface(WindowHandle window, const GlSurfaceDesc& desc);

// Releases the context (and the native window, when its window is already destroyed).
// Unknown handles are ignored.
void DestroyGlSurface(GlSurface surface);

// Makes the surface's context current on the calling thread. False for unknown handles or
// when the desktop refuses.
bool MakeGlSurfaceCurrent(GlSurface surface);

// Shows the back buffer of the surface (current context). False once the window is gone.
bool SwapGlSurface(GlSurface surface);

// Sets how many retraces a swap waits for (0 = none, 1 = each retrace) on the current
// context; false when the desktop refuses the interval.
bool SetGlSwapInterval(int interval);

// The swap interval of the current context (0 when unknown).
int GetGlSwapInterval();

// The size in pixels of the surface's default framebuffer. False for unknown handles or once
// the window is gone.
bool GetGlDrawableSize(GlSurface surface, int* width, int* height);

// The window the surface draws into; 0 once that window is destroyed or for unknown handles.
WindowHandle GlSurfaceWindow(GlSurface surface);

// Preparation a surface's owner can leave for a moment when the window thread would otherwise
// wait: a blocking AnimateWindow of the surface's window calls "step" instead of sleeping
// between two opacity steps, again and again until "step" answers false, and forgets the work
// when the animation ends. A GL backend uses it to have its programs compiled for the first
// frame, and its textures uploaded, while the window fades in. Each step should take no more than a few tens of
// milliseconds (the fade's next opacity step waits for it); it makes its own context current.
// A later call replaces the work; a null "step" removes it; DestroyGlSurface drops it.
using GlSurfaceIdleStep = bool (*)(void* user);
void SetGlSurfaceIdleWork(GlSurface surface, GlSurfaceIdleStep step, void* user);

}  // namespace platform::window
