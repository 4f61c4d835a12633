// platform/input/win32/desktop_win32.cpp: keys and pointer from GetAsyncKeyState and
// GetCursorPos.
//
// GetAsyncKeyState reports a key's physical state whichever window has the focus, as the
// DirectInput keyboard of the original platform did. Virtual-key codes become DirectInput key
// codes (keyboard scan codes, 0x80 added for extended keys) through the active layout's scan
// code, and through a table for the extended keys, whose scan codes the layout gives without
// the extended flag.
#include <windows.h>

#include "platform/input/win32/desktop_win32.h"

namespace platform::input::win32 {

namespace {

std::uint8_t ExtendedDik(int vk) {
    switch (vk) {
        case VK_RCONTROL: return 0x9D;
        case VK_RMENU: return 0xB8;
        case VK_DIVIDE: return 0xB5;
        case VK_SNAPSHOT: return 0xB7;
        case VK_PAUSE: return 0xC5;
        case VK_NUMLOCK: return 0x45;
        case VK_HOME: return 0xC7;
        case VK_UP: return 0xC8;
        case VK_PRIOR: return 0xC9;
        case VK_LEFT: return 0xCB;
        case VK_RIGHT: return 0xCD;
        case VK_END: return 0xCF;
        case VK_DOWN: return 0xD0;
        case VK_NEXT: return 0xD1;
        case VK_INSERT: return 0xD2;
        case VK_DELETE: return 0xD3;
        case VK_LWIN: return 0xDB;
        case VK_RWIN: return 0xDC;
        case VK_APPS: return 0xDD;
        default: return 0;
    }
}

}  // namespace

void BuildKeyMap(std::uint8_t dik[256]) {
    for (int vk = 0; vk < 256; ++vk) {
        dik[vk] = 0;
        // Mouse buttons are no keys; the side-neutral modifiers would repeat their left and
        // right keys.
        if (vk < 0x08 || vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || vk == 0xFF)
            continue;
        dik[vk] = ExtendedDik(vk);
        if (dik[vk] == 0) {
            const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
            if (scan > 0 && scan < 0x80) dik[vk] = static_cast<std::uint8_t>(scan);
        }
    }
}

bool IsKeyDown(int vk) { return (::GetAsyncKeyState(vk) & 0x8000) != 0; }

bool ReadPointer(int* x, int* y, bool buttons[4]) {
    POINT p{};
    if (!::GetCursorPos(&p)) return false;
    *x = p.x;
    *y = p.y;
    buttons[0] = IsKeyDown(VK_LBUTTON);
    buttons[1] = IsKeyDown(VK_RBUTTON);
    buttons[2] = IsKeyDown(VK_MBUTTON);
    buttons[3] = IsKeyDown(VK_XBUTTON1);
    return true;
}

}  // namespace platform::input::win32
