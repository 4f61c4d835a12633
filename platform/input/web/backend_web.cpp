// platform/input/web/backend_web.cpp: the keyboard and the pointer in a browser page.
//
// The page's key events (KeyboardEvent.code: the physical key, whatever the layout) keep a
// down state per DirectInput key code; the mouse events keep the pointer's position in the
// page and the buttons. Listeners sit on the page's window in the capture phase, so no
// handler of the page can hide an event from them; a page that loses the focus has no key
// down any more (its key releases go elsewhere).
#include <emscripten.h>

#include "platform/input/backend.h"

namespace platform::input {

namespace {

EM_JS(void, WebListen, (), {
    if (Module['introInput']) return;
    var codes = {
        Escape : 0x01, Minus : 0x0C, Equal : 0x0D, Backspace : 0x0E, Tab : 0x0F,
        BracketLeft : 0x1A, BracketRight : 0x1B, Enter : 0x1C, ControlLeft : 0x1D,
        Semicolon : 0x27, Quote : 0x28, Backquote : 0x29, ShiftLeft : 0x2A, Backslash : 0x2B,
        Comma : 0x33, Period : 0x34, Slash : 0x35, ShiftRight : 0x36, NumpadMultiply : 0x37,
        AltLeft : 0x38, Space : 0x39, CapsLock : 0x3A, NumLock : 0x45, ScrollLock : 0x46,
        Numpad7 : 0x47, Numpad8 : 0x48, Numpad9 : 0x49, NumpadSubtract : 0x4A, Numpad4 : 0x4B,
        Numpad5 : 0x4C, Numpad6 : 0x4D, NumpadAdd : 0x4E, Numpad1 : 0x4F, Numpad2 : 0x50,
        Numpad3 : 0x51, Numpad0 : 0x52, NumpadDecimal : 0x53, IntlBackslash : 0x56, F11 : 0x57,
        F12 : 0x58, NumpadEnter : 0x9C, ControlRight : 0x9D, NumpadDivide : 0xB5,
        PrintScreen : 0xB7, AltRight : 0xB8, Pause : 0xC5, Home : 0xC7, ArrowUp : 0xC8,
        PageUp : 0xC9, ArrowLeft : 0xCB, ArrowRight : 0xCD, End : 0xCF, ArrowDown : 0xD0,
        PageDown : 0xD1, Insert : 0xD2, Delete : 0xD3, MetaLeft : 0xDB, MetaRight : 0xDC,
        ContextMenu : 0xDD
    };
    var letters = 'QWERTYUIOP';
    for (var i = 0; i < letters.length; ++i) codes['Key' + letters[i]] = 0x10 + i;
    letters = 'ASDFGHJKL';
    for (var i = 0; i < letters.length; ++i) codes['Key' + letters[i]] = 0x1E + i;
    letters = 'ZXCVBNM';
    for (var i = 0; i < letters.length; ++i) codes['Key' + letters[i]] = 0x2C + i;
    for (var i = 1; i <= 9; ++i) codes['Digit' + i] = 0x01 + i;
    codes['Digit0'] = 0x0B;
    for (var i = 1; i <= 10; ++i) codes['F' + i] = 0x3A + i;
    var state = {keys : new Uint8Array(256), x : 0, y : 0, buttons : 0};
    var key = function(down) {
        return function(e) {
            var k = codes[e.code];
            if (k) state.keys[k] = down ? 0x80 : 0;
        };
    };
    var mouse = function(e) {
        state.x = e.clientX;
        state.y = e.clientY;
        state.buttons = e.buttons;
    };
    window.addEventListener('keydown', key(true), true);
    window.addEventListener('keyup', key(false), true);
    window.addEventListener('blur', function() { state.keys.fill(0); }, true);
    window.addEventListener('mousemove', mouse, true);
    window.addEventListener('mousedown', mouse, true);
    window.addEventListener('mouseup', mouse, true);
    Module['introInput'] = state;
});

EM_JS(void, WebReadKeys, (std::uint8_t* keys), {
    HEAPU8.set(Module['introInput'].keys, keys);
});

// x, y, then the buttons as DOM MouseEvent.buttons bits (1 left, 2 right, 4 middle, 8 back).
EM_JS(void, WebReadPointer, (int* out), {
    var s = Module['introInput'];
    HEAP32[out >> 2] = s.x;
    HEAP32[(out >> 2) + 1] = s.y;
    HEAP32[(out >> 2) + 2] = s.buttons;
});

class WebBackend final : public KeyboardMouseBackend {
public:
    const char* name() const override { return "web"; }

    bool ReadKeys(std::uint8_t keys[256]) override {
        WebReadKeys(keys);
        return true;
    }

    bool ReadPointer(int* x, int* y, bool buttons[4]) override {
        int p[3] = {};
        WebReadPointer(p);
        *x = p[0];
        *y = p[1];
        buttons[0] = (p[2] & 1) != 0;
        buttons[1] = (p[2] & 2) != 0;
        buttons[2] = (p[2] & 4) != 0;
        buttons[3] = (p[2] & 8) != 0;
        return true;
    }
};

}  // namespace

// The page's events are the desktop here; they are read on the page's thread.
std::unique_ptr<KeyboardMouseBackend> MakeDesktopBackend() {
    WebListen();
    return std::make_unique<WebBackend>();
}

}  // namespace platform::input
