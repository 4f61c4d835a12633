// tests/window/xtest_helper.h: real keyboard and mouse input for tests, through XTest.
//
// The X server releases a client's XTest keys and buttons when that client disconnects, so
// an XTestInput keeps one connection open for its whole life: a key or button pressed through
// it stays down until released through it or until the object is destroyed. One object may be
// used from one thread at a time (a driver thread may own it while the window thread runs a
// modal loop). No Xlib type appears here: keys are X keysyms (XK_Escape = 0xFF1B, 'a' = 0x61).
#pragma once

#include <cstdint>

namespace testsupport {

class XTestInput {
public:
    XTestInput();  // opens a connection to $DISPLAY
    ~XTestInput();  // releases what is still held, then disconnects
    XTestInput(const XTestInput&) = delete;
    XTestInput& operator=(const XTestInput&) = delete;

    // False when there is no X server or it lacks the XTest extension.
    bool ok() const { return display_ != nullptr; }

    void KeyDown(unsigned long keysym);
    void KeyUp(unsigned long keysym);
    void MovePointer(int x, int y);       // screen coordinates
    void ButtonDown(unsigned button = 1);  // 1 left, 2 middle, 3 right
    void ButtonUp(unsigned button = 1);
    void Click(unsigned button = 1) { ButtonDown(button); ButtonUp(button); }

    // Moves the pointer from where it is to (x, y) in "steps" equal steps, "step_ms" apart.
    void GlidePointer(int x, int y, int steps, int step_ms);

    // Waits until the server has processed every request sent so far.
    void Sync();

private:
    void* display_ = nullptr;
    unsigned long heldKeys_[16] = {};
    int heldKeyCount_ = 0;
    unsigned heldButtons_ = 0;  // bit n: button n down
    int x_ = 0, y_ = 0;
};

// Queries of the X server about one window (by X window id), on a connection of their own.

// The window's top-left corner on the root window and its size. False for a bad window.
bool XWindowGeometry(unsigned long xwindow, int* x, int* y, int* width, int* height);

// The pixel at (x, y) of the window as 0x00RRGGBB, read from the window itself (never from
// the root window, which is undefined over GL windows on Xvfb). False outside it.
bool XWindowPixel(unsigned long xwindow, int x, int y, std::uint32_t* rgb);

// Asks the window to close the way a window manager does (WM_DELETE_WINDOW).
bool XSendCloseRequest(unsigned long xwindow);

// Reads a 32-bit CARDINAL property of the window; false when it is not set.
bool XWindowCardinal(unsigned long xwindow, const char* property, std::uint32_t* value);

// Reads the class hint (WM_CLASS class part) of the window into "out" (size "size").
bool XWindowClassName(unsigned long xwindow, char* out, int size);

}  // namespace testsupport
