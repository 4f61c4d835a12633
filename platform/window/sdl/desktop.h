// platform/window/sdl/desktop.h: the few desktop services SDL2 does not offer; the contract a
// native desktop file of this backend implements (x11_desktop.cpp on X11).
//
// Painting a window's background before any OpenGL frame exists, reading the pointer and the
// buttons straight from the desktop (no event pumping, so input injected by another client is
// seen at once), and naming a window's class for the desktop. Native headers and macros stay
// inside the implementing file. Every function answers false where the service is missing (a
// window on another video driver, no connection to the desktop); the callers then fall back
// to what SDL offers. Window thread only.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace platform::window::sdl {

// Fills (x, y, width, height) of the client area with a 0x00BBGGRR colour and shows it now.
bool DesktopFillClient(SDL_Window* window, int x, int y, int width, int height,
                       std::uint32_t colour);

// Gives the window the desktop class name "name" (what window rules and tools match on).
bool DesktopSetClassName(SDL_Window* window, const char* name);

// Sends the window's pending requests to the desktop now.
bool DesktopFlush(SDL_Window* window);

// The pointer position in screen coordinates and whether the left button is down, asked of
// the desktop now.
bool DesktopQueryPointer(int* x, int* y, bool* leftDown);

// Shows SDL's message box for "data" in a child process, so that the wait can be given up,
// and gives the box the keyboard focus once it is on the screen (as desktops do with a new
// dialog). Every few milliseconds "keepWaiting" is asked; when it answers false the box's
// processes are ended and nothing is left behind. Answers false where this desktop cannot run
// the box so (the caller then shows it itself); otherwise true, with *chosen the button's id,
// or -1 when the box failed or was given up.
bool DesktopRunMessageBox(const SDL_MessageBoxData& data, int* chosen, bool (*keepWaiting)());

}  // namespace platform::window::sdl
