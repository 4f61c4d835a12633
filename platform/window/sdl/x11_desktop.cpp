// platform/window/sdl/x11_desktop.cpp: the desktop services of desktop.h on Xlib.
#include "platform/window/sdl/desktop.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <bit>
#include <string>

namespace platform::window::sdl {
namespace {

bool X11Info(SDL_Window* window, Display** display, ::Window* xwindow) {
    if (window == nullptr) return false;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
        return false;
    *display = info.info.x11.display;
    *xwindow = info.info.x11.window;
    return *display != nullptr && *xwindow != 0;
}

// Places an 8-bit channel value under a visual's channel mask.
unsigned long Channel(unsigned value, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                           : static_cast<unsigned long>(value) >> (8 - bits);
    return (scaled << shift) & mask;
}

}  // namespace

bool DesktopFillClient(SDL_Window* window, int x, int y, int width, int height,
                   std::uint32_t colour) {
    Display* display = nullptr;
    ::Window xwindow = 0;
    if (width <= 0 || height <= 0 || !X11Info(window, &display, &xwindow)) return false;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, xwindow, &attributes) == 0 || attributes.visual == nullptr)
        return false;
    const Visual* visual = attributes.visual;
    const unsigned red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
    const unsigned long pixel = Channel(red, visual->red_mask) |
                                Channel(green, visual->green_mask) |
                                Channel(blue, visual->blue_mask);
    GC gc = XCreateGC(display, xwindow, 0, nullptr);
    if (gc == nullptr) return false;
    XSetForeground(display, gc, pixel);
    XFillRectangle(display, xwindow, gc, x, y, static_cast<unsigned>(width),
                   static_cast<unsigned>(height));
    XFreeGC(display, gc);
    XFlush(display);
    return true;
}

bool DesktopSetClassName(SDL_Window* window, const char* name) {
    Display* display = nullptr;
    ::Window xwindow = 0;
    if (name == nullptr || !X11Info(window, &display, &xwindow)) return false;
    std::string copy(name);  // XClassHint wants writable strings
    XClassHint hint;
    hint.res_name = copy.data();
    hint.res_class = copy.data();
    XSetClassHint(display, xwindow, &hint);
    XFlush(display);
    return true;
}

bool DesktopFlush(SDL_Window* window) {
    Display* display = nullptr;
    ::Window xwindow = 0;
    if (!X11Info(window, &display, &xwindow)) return false;
    XFlush(display);
    return true;
}

bool DesktopQueryPointer(int* x, int* y, bool* leftDown) {
    static Display* display = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        const char* driver = SDL_GetCurrentVideoDriver();
        if (driver != nullptr && std::string(driver) == "x11") display = XOpenDisplay(nullptr);
    }
    if (display == nullptr) return false;
    ::Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &winX,
                       &winY, &mask))
        return false;
    *x = rootX;
    *y = rootY;
    *leftDown = (mask & Button1Mask) != 0;
    return true;
}

}  // namespace platform::window::sdl
