// platform/input/x11/backend_x11.cpp: the keyboard and the pointer read from the X server.
//
// XQueryKeymap reports every key of the server, whichever client has the focus; X key codes
// are turned into DirectInput key codes through each code's first keysym, so the mapping
// follows the server's keyboard map rather than a fixed code layout.

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <array>

#include "platform/input/backend.h"

namespace platform::input {

namespace {

// DirectInput key code of a keysym (lower-case letters), 0 when it has none.
int DikOfKeysym(KeySym k) {
    if (k >= XK_a && k <= XK_z) {
        static const int letters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                        0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                        0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
        return letters[k - XK_a];
    }
    if (k >= XK_1 && k <= XK_9) return 0x02 + static_cast<int>(k - XK_1);
    if (k >= XK_F1 && k <= XK_F10) return 0x3B + static_cast<int>(k - XK_F1);
    switch (k) {
        case XK_0: return 0x0B;
        case XK_Escape: return 0x01;
        case XK_minus: return 0x0C;
        case XK_equal: return 0x0D;
        case XK_BackSpace: return 0x0E;
        case XK_Tab: return 0x0F;
        case XK_bracketleft: return 0x1A;
        case XK_bracketright: return 0x1B;
        case XK_Return: return 0x1C;
        case XK_Control_L: return 0x1D;
        case XK_semicolon: return 0x27;
        case XK_apostrophe: return 0x28;
        case XK_grave: return 0x29;
        case XK_Shift_L: return 0x2A;
        case XK_backslash: return 0x2B;
        case XK_comma: return 0x33;
        case XK_period: return 0x34;
        case XK_slash: return 0x35;
        case XK_Shift_R: return 0x36;
        case XK_KP_Multiply: return 0x37;
        case XK_Alt_L: return 0x38;
        case XK_space: return 0x39;
        case XK_Caps_Lock: return 0x3A;
        case XK_Num_Lock: return 0x45;
        case XK_Scroll_Lock: return 0x46;
        case XK_KP_7: case XK_KP_Home: return 0x47;
        case XK_KP_8: case XK_KP_Up: return 0x48;
        case XK_KP_9: case XK_KP_Prior: return 0x49;
        case XK_KP_Subtract: return 0x4A;
        case XK_KP_4: case XK_KP_Left: return 0x4B;
        case XK_KP_5: case XK_KP_Begin: return 0x4C;
        case XK_KP_6: case XK_KP_Right: return 0x4D;
        case XK_KP_Add: return 0x4E;
        case XK_KP_1: case XK_KP_End: return 0x4F;
        case XK_KP_2: case XK_KP_Down: return 0x50;
        case XK_KP_3: case XK_KP_Next: return 0x51;
        case XK_KP_0: case XK_KP_Insert: return 0x52;
        case XK_KP_Decimal: case XK_KP_Delete: return 0x53;
        case XK_F11: return 0x57;
        case XK_F12: return 0x58;
        case XK_KP_Enter: return 0x9C;
        case XK_Control_R: return 0x9D;
        case XK_KP_Divide: return 0xB5;
        case XK_Print: return 0xB7;
        case XK_Alt_R: case XK_ISO_Level3_Shift: return 0xB8;
        case XK_Pause: return 0xC5;
        case XK_Home: return 0xC7;
        case XK_Up: return 0xC8;
        case XK_Prior: return 0xC9;
        case XK_Left: return 0xCB;
        case XK_Right: return 0xCD;
        case XK_End: return 0xCF;
        case XK_Down: return 0xD0;
        case XK_Next: return 0xD1;
        case XK_Insert: return 0xD2;
        case XK_Delete: return 0xD3;
        case XK_Super_L: return 0xDB;
        case XK_Super_R: return 0xDC;
        case XK_Menu: return 0xDD;
        default: return 0;
    }
}

class X11Backend final : public KeyboardMouseBackend {
public:
    explicit X11Backend(Display* display) : display_(display) {
        int low = 0, high = 0;
        XDisplayKeycodes(display_, &low, &high);
        int perCode = 0;
        KeySym* syms = XGetKeyboardMapping(display_, static_cast<KeyCode>(low), high - low + 1, &perCode);
        if (syms) {
            for (int code = low; code <= high && code < 256; ++code) {
                for (int i = 0; i < perCode && dik_[code] == 0; ++i) {
                    dik_[code] = static_cast<std::uint8_t>(DikOfKeysym(syms[(code - low) * perCode + i]));
                }
            }
            XFree(syms);
        }
    }
    ~X11Backend() override { XCloseDisplay(display_); }

    const char* name() const override { return "x11"; }

    bool ReadKeys(std::uint8_t keys[256]) override {
        char map[32] = {};
        XQueryKeymap(display_, map);
        for (int i = 0; i < 256; ++i) keys[i] = 0;
        for (int code = 0; code < 256; ++code) {
            if ((map[code >> 3] >> (code & 7)) & 1) {
                if (dik_[code] != 0) keys[dik_[code]] = 0x80;
            }
        }
        return true;
    }

    bool ReadPointer(int* x, int* y, bool buttons[4]) override {
        ::Window root = 0, child = 0;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned int mask = 0;
        if (!XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rx, &ry, &wx, &wy, &mask)) {
            return false;
        }
        *x = rx;
        *y = ry;
        buttons[0] = (mask & Button1Mask) != 0;
        buttons[1] = (mask & Button3Mask) != 0;
        buttons[2] = (mask & Button2Mask) != 0;
        buttons[3] = false;
        return true;
    }

private:
    Display* display_;
    std::array<std::uint8_t, 256> dik_{};
};

}  // namespace

std::unique_ptr<KeyboardMouseBackend> MakeDesktopBackend() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    return std::make_unique<X11Backend>(display);
}

}  // namespace platform::input
