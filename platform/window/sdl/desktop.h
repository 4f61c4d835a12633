// platform/window/sdl/desktop.h: the few desktop services SDL2 does not offer; the contract a
// native desktop file of this backend implements (x11_desktop.cpp on X11).
//
// Painting a window's background before any OpenGL frame exists, reading the pointer and the
// buttons straight from the desktop (no event pumping, so input injected by another client is
// seen at once), and naming a window's class for the desktop. A browser page, where the
// window is a canvas, also places the canvas, sets its opacity, presents its frames and
// gives the screen's size (web_desktop.cpp); native desktops leave those to SDL. Native headers and macros stay
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

// The screen's size in pixels (in a page: the page's visible area).
bool DesktopScreenSize(int* width, int* height);

// Shows the window's client area at (x, y) of the screen (SDL has placed it already).
bool DesktopPlaceWindow(SDL_Window* window, int x, int y);

// Sets the window's opacity, 0 (transparent) to 1.
bool DesktopSetOpacity(SDL_Window* window, float opacity);

// True where the desktop's GL contexts are OpenGL ES (3.0 for any 3.x request).
bool DesktopGlIsEs();

// Swaps of the window's GL context done by the desktop: the swap interval ("interval"
// display frames per swap, 0 = none), and the swap itself, which shows the frame and waits
// as the interval says. False where SDL swaps.
bool DesktopSetSwapInterval(int interval);
bool DesktopGetSwapInterval(int* interval);
bool DesktopPresent(SDL_Window* window);

}  // namespace platform::window::sdl
