// tests/engine/xtest_keys.h: real key presses through the XTest extension.
//
// The X server releases a client's XTest keys when that client disconnects, so one connection
// stays open for as long as a key must stay down.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

class HeldKey {
public:
    // Presses the key of "keysym" and waits until the server has processed it.
    explicit HeldKey(KeySym keysym) : display_(XOpenDisplay(nullptr)) {
        if (!display_) return;
        code_ = XKeysymToKeycode(display_, keysym);
        if (code_ == 0) return;
        XTestFakeKeyEvent(display_, code_, True, CurrentTime);
        XSync(display_, False);
        down_ = true;
    }
    ~HeldKey() {
        Release();
        if (display_) XCloseDisplay(display_);
    }
    void Release() {
        if (!down_) return;
        XTestFakeKeyEvent(display_, code_, False, CurrentTime);
        XSync(display_, False);
        down_ = false;
    }
    bool down() const { return down_; }

private:
    Display* display_;
    KeyCode code_ = 0;
    bool down_ = false;
};
