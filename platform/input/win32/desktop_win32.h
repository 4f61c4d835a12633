// platform/input/win32/desktop_win32.h: the Win32 calls the Win32 input backend makes.
//
// <windows.h> defines macros for many names that platform/window/window.h and input.h use
// themselves, so the calls live in a file of their own behind this plain interface.
#pragma once

#include <cstdint>

namespace platform::input::win32 {

// Fills dik[vk] with the DirectInput key code of every virtual key (0 when it has none).
void BuildKeyMap(std::uint8_t dik[256]);

// Whether virtual key "vk" is down now, whichever window has the focus.
bool IsKeyDown(int vk);

// The pointer in screen pixels and its left, right, middle and fourth buttons.
bool ReadPointer(int* x, int* y, bool buttons[4]);

}  // namespace platform::input::win32
