// platform/window/sdl/window_sdl.h: the SDL2 side of a window, for other SDL/GL backends.
//
// Only backends that already include <SDL.h> (the OpenGL device of platform/gfx/gl/) include
// this header. Every window of platform/window is made with SDL_WINDOW_OPENGL, so a backend
// may create an OpenGL 3.3 core context on SdlWindowOf(handle) and swap it.
#pragma once

#include <SDL.h>

#include "platform/window/window.h"

namespace platform::window::sdl {

// The SDL window behind a handle, or null for a handle that is not alive. Window thread only.
SDL_Window* SdlWindowOf(WindowHandle window);

// The handle of an SDL window made by this layer, or 0.
WindowHandle HandleOfSdlWindow(SDL_Window* window);

}  // namespace platform::window::sdl
