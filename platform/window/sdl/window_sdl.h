// platform/window/sdl/window_sdl.h: the SDL2 side of a window, for the files of this backend
// (and window tests that look at the SDL window).
//
// Every window is made with SDL_WINDOW_OPENGL where the desktop allows it; gl_surface_sdl.cpp
// puts GL contexts on them for platform/window/gl_surface.h.
#pragma once

#include <SDL.h>

#include "platform/window/window.h"

namespace platform::window::sdl {

// The SDL window behind a handle, or null for a handle that is not alive. Window thread only.
SDL_Window* SdlWindowOf(WindowHandle window);

// The handle of an SDL window made by this layer, or 0.
WindowHandle HandleOfSdlWindow(SDL_Window* window);

// Frees the SDL window of a destroyed window now, or with its last GL surface when one still
// uses it (gl_surface_sdl.cpp).
void DestroySdlWindow(SDL_Window* window);

// Runs one step of the idle work a surface on "window" has (gl_surface.h); false when there is
// none left. DropGlSurfaceIdleWork forgets the work of every surface on "window".
bool RunGlSurfaceIdleStep(WindowHandle window);
void DropGlSurfaceIdleWork(WindowHandle window);

}  // namespace platform::window::sdl
