// platform/window/sdl/x11_desktop.h: the few desktop services SDL2 does not offer, on Xlib.
//
// Painting a window's background before any OpenGL frame exists, reading the pointer and the
// buttons straight from the X server (no event pumping, so input injected by another client
// is seen at once), and naming a window's X11 class. Xlib's macros stay inside
// x11_desktop.cpp; every function answers false when the window is not on X11.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace platform::window::sdl {

// Fills (x, y, width, height) of the client area with a 0x00BBGGRR colour and flushes.
bool X11FillClient(SDL_Window* window, int x, int y, int width, int height,
                   std::uint32_t colour);

// Sets the X11 class hint (instance and class name) of the window to "name".
bool X11SetClassName(SDL_Window* window, const char* name);

// Sends the window's pending requests to the X server now.
bool X11Flush(SDL_Window* window);

// The pointer position on the root window and whether the left button is down, asked of the
// X server now. Uses a connection of its own, opened on first use.
bool X11QueryPointer(int* x, int* y, bool* leftDown);

}  // namespace platform::window::sdl
