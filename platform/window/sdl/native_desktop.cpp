// platform/window/sdl/native_desktop.cpp: the desktop services of desktop.h that only a browser
// page needs. On a native desktop SDL provides them, so each answers false and the callers use
// SDL's own.
#include "platform/window/sdl/desktop.h"

namespace platform::window::sdl {

bool DesktopScreenSize(int* /*width*/, int* /*height*/) { return false; }
bool DesktopPlaceWindow(SDL_Window* /*window*/, int /*x*/, int /*y*/) { return false; }
bool DesktopSetOpacity(SDL_Window* /*window*/, float /*opacity*/) { return false; }
bool DesktopGlIsEs() { return false; }
bool DesktopSetSwapInterval(int /*interval*/) { return false; }
bool DesktopGetSwapInterval(int* /*interval*/) { return false; }
bool DesktopPresent(SDL_Window* /*window*/) { return false; }

}  // namespace platform::window::sdl
