// platform/input/backend.h: what a backend of the input devices provides.
//
// The core (input.cpp) owns the device objects, their checks and the state layouts; a backend
// only reads the hardware. Key states are indexed by DirectInput key code.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/input/input.h"

namespace platform::input {

struct KeyboardMouseBackend {
    virtual ~KeyboardMouseBackend() = default;
    virtual const char* name() const = 0;
    // Fills keys[k] with 0x80 for every key code k that is down now, 0 otherwise.
    virtual bool ReadKeys(std::uint8_t keys[256]) = 0;
    // The pointer position in screen pixels and the buttons (left, right, middle, fourth).
    virtual bool ReadPointer(int* x, int* y, bool buttons[4]) = 0;
};

struct JoystickBackend {
    virtual ~JoystickBackend() = default;
    virtual bool Read(DIJOYSTATE* state) = 0;
};

// The desktop's own, focus-independent state first (X11 or Win32, whichever the build is
// for), SDL's where the desktop's cannot be opened.
std::unique_ptr<KeyboardMouseBackend> MakeDesktopBackend();
std::unique_ptr<KeyboardMouseBackend> MakeSdlBackend();
// Replaces the backend the keyboard and mouse devices read (a program that scripts its own
// input installs one before it starts). Null brings back the choice at first use.
void SetKeyboardMouseBackend(std::unique_ptr<KeyboardMouseBackend> backend);
// Null when no joystick is attached.
std::unique_ptr<JoystickBackend> OpenSdlJoystick();

}  // namespace platform::input
