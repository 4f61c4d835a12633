// platform/window/sdl/win32_desktop.cpp: the desktop services of desktop.h on Win32.
#include "platform/window/sdl/desktop.h"

#include <SDL_syswm.h>
#include <windows.h>

namespace platform::window::sdl {
namespace {

HWND NativeWindow(SDL_Window* window) {
    if (window == nullptr) return nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_WINDOWS)
        return nullptr;
    return info.info.win.window;
}

}  // namespace

bool DesktopFillClient(SDL_Window* window, int x, int y, int width, int height,
                       std::uint32_t colour) {
    HWND hwnd = NativeWindow(window);
    if (hwnd == nullptr || width <= 0 || height <= 0) return false;
    HDC dc = ::GetDC(hwnd);
    if (dc == nullptr) return false;
    // 0x00BBGGRR is a COLORREF already.
    HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(colour & 0x00FFFFFF));
    const RECT rect{x, y, x + width, y + height};
    const bool filled = brush != nullptr && ::FillRect(dc, &rect, brush) != 0;
    if (brush != nullptr) ::DeleteObject(brush);
    ::ReleaseDC(hwnd, dc);
    ::GdiFlush();
    return filled;
}

// A Win32 window's class is fixed when the window is made: SDL makes every window of its one
// registered class, so the name cannot be given afterwards.
bool DesktopSetClassName(SDL_Window* /*window*/, const char* /*name*/) { return false; }

bool DesktopFlush(SDL_Window* window) {
    if (NativeWindow(window) == nullptr) return false;
    ::GdiFlush();
    return true;
}

bool DesktopQueryPointer(int* x, int* y, bool* leftDown) {
    POINT p{};
    if (!::GetCursorPos(&p)) return false;
    *x = p.x;
    *y = p.y;
    // The logical left button: the physical right one when the buttons are swapped.
    *leftDown = (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
    return true;
}

// A Win32 message box pumps the thread's messages itself and ends with its process.
bool DesktopRunMessageBox(const SDL_MessageBoxData&, int*, bool (*)()) { return false; }

}  // namespace platform::window::sdl
