// tests/window/xtest_helper.cpp: XTest input and X window queries for tests.
#include "tests/window/xtest_helper.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cstring>
#include <thread>
#include <chrono>

namespace testsupport {
namespace {

Display* D(void* p) { return static_cast<Display*>(p); }

// One connection for the queries, opened on first use.
Display* QueryDisplay() {
    static Display* display = XOpenDisplay(nullptr);
    return display;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

XTestInput::XTestInput() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        XCloseDisplay(display);
        return;
    }
    display_ = display;
    Window root = 0, child = 0;
    int wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x_, &y_, &wx, &wy, &mask);
}

XTestInput::~XTestInput() {
    if (display_ == nullptr) return;
    for (int i = 0; i < heldKeyCount_; ++i) {
        const KeyCode code = XKeysymToKeycode(D(display_), heldKeys_[i]);
        if (code != 0) XTestFakeKeyEvent(D(display_), code, False, CurrentTime);
    }
    for (unsigned b = 1; b < 8; ++b)
        if (heldButtons_ & (1u << b)) XTestFakeButtonEvent(D(display_), b, False, CurrentTime);
    XSync(D(display_), False);
    XCloseDisplay(D(display_));
}

void XTestInput::KeyDown(unsigned long keysym) {
    if (display_ == nullptr) return;
    const KeyCode code = XKeysymToKeycode(D(display_), keysym);
    if (code == 0) return;
    XTestFakeKeyEvent(D(display_), code, True, CurrentTime);
    XSync(D(display_), False);
    if (heldKeyCount_ < 16) heldKeys_[heldKeyCount_++] = keysym;
}

void XTestInput::KeyUp(unsigned long keysym) {
    if (display_ == nullptr) return;
    const KeyCode code = XKeysymToKeycode(D(display_), keysym);
    if (code == 0) return;
    XTestFakeKeyEvent(D(display_), code, False, CurrentTime);
    XSync(D(display_), False);
    for (int i = 0; i < heldKeyCount_; ++i) {
        if (heldKeys_[i] != keysym) continue;
        heldKeys_[i] = heldKeys_[--heldKeyCount_];
        break;
    }
}

void XTestInput::MovePointer(int x, int y) {
    if (display_ == nullptr) return;
    XTestFakeMotionEvent(D(display_), -1, x, y, CurrentTime);
    XSync(D(display_), False);
    x_ = x;
    y_ = y;
}

void XTestInput::ButtonDown(unsigned button) {
    if (display_ == nullptr || button == 0 || button > 7) return;
    XTestFakeButtonEvent(D(display_), button, True, CurrentTime);
    XSync(D(display_), False);
    heldButtons_ |= 1u << button;
}

void XTestInput::ButtonUp(unsigned button) {
    if (display_ == nullptr || button == 0 || button > 7) return;
    XTestFakeButtonEvent(D(display_), button, False, CurrentTime);
    XSync(D(display_), False);
    heldButtons_ &= ~(1u << button);
}

void XTestInput::GlidePointer(int x, int y, int steps, int step_ms) {
    const int x0 = x_, y0 = y_;
    if (steps < 1) steps = 1;
    for (int i = 1; i <= steps; ++i) {
        MovePointer(x0 + (x - x0) * i / steps, y0 + (y - y0) * i / steps);
        std::this_thread::sleep_for(std::chrono::milliseconds(step_ms));
    }
}

void XTestInput::Sync() {
    if (display_ != nullptr) XSync(D(display_), False);
}

bool XWindowGeometry(unsigned long xwindow, int* x, int* y, int* width, int* height) {
    Display* display = QueryDisplay();
    if (display == nullptr) return false;
    auto* old = XSetErrorHandler(IgnoreErrors);
    XWindowAttributes a;
    bool ok = XGetWindowAttributes(display, xwindow, &a) != 0;
    Window child = 0;
    if (ok)
        ok = XTranslateCoordinates(display, xwindow, DefaultRootWindow(display), 0, 0, x, y,
                                   &child) != 0;
    XSync(display, False);
    XSetErrorHandler(old);
    if (!ok) return false;
    *width = a.width;
    *height = a.height;
    return true;
}

bool XWindowPixel(unsigned long xwindow, int x, int y, std::uint32_t* rgb) {
    Display* display = QueryDisplay();
    if (display == nullptr) return false;
    auto* old = XSetErrorHandler(IgnoreErrors);
    XImage* image = XGetImage(display, xwindow, x, y, 1, 1, AllPlanes, ZPixmap);
    XSync(display, False);
    XSetErrorHandler(old);
    if (image == nullptr) return false;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    auto channel = [pixel](unsigned long mask) -> std::uint32_t {
        if (mask == 0) return 0;
        const int shift = __builtin_ctzl(mask);
        const int bits = __builtin_popcountl(mask);
        const unsigned long v = (pixel & mask) >> shift;
        return static_cast<std::uint32_t>(bits >= 8 ? v >> (bits - 8) : v << (8 - bits));
    };
    *rgb = (channel(image->red_mask) << 16) | (channel(image->green_mask) << 8) |
           channel(image->blue_mask);
    XDestroyImage(image);
    return true;
}

bool XSendCloseRequest(unsigned long xwindow) {
    Display* display = QueryDisplay();
    if (display == nullptr) return false;
    XEvent e;
    std::memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = xwindow;
    e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    const bool ok = XSendEvent(display, xwindow, False, NoEventMask, &e) != 0;
    XSync(display, False);
    return ok;
}

bool XWindowCardinal(unsigned long xwindow, const char* property, std::uint32_t* value) {
    Display* display = QueryDisplay();
    if (display == nullptr) return false;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom atom = XInternAtom(display, property, False);
    const int status = XGetWindowProperty(display, xwindow, atom, 0, 1, False, XA_CARDINAL,
                                          &type, &format, &count, &after, &data);
    const bool ok = status == Success && type == XA_CARDINAL && format == 32 && count == 1;
    if (ok) *value = static_cast<std::uint32_t>(*reinterpret_cast<unsigned long*>(data));
    if (data != nullptr) XFree(data);
    return ok;
}

bool XWindowClassName(unsigned long xwindow, char* out, int size) {
    Display* display = QueryDisplay();
    if (display == nullptr || size <= 0) return false;
    XClassHint hint{};
    if (XGetClassHint(display, xwindow, &hint) == 0) return false;
    std::strncpy(out, hint.res_class ? hint.res_class : "", static_cast<std::size_t>(size) - 1);
    out[size - 1] = '\0';
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return true;
}

}  // namespace testsupport
