// platform/input/win32/backend_win32.cpp: the keyboard and the pointer of the Windows desktop.
#include <array>

#include "platform/input/backend.h"
#include "platform/input/win32/desktop_win32.h"

namespace platform::input {

namespace {

class Win32Backend final : public KeyboardMouseBackend {
public:
    Win32Backend() { win32::BuildKeyMap(dik_.data()); }

    const char* name() const override { return "win32"; }

    bool ReadKeys(std::uint8_t keys[256]) override {
        for (int i = 0; i < 256; ++i) keys[i] = 0;
        for (int vk = 0; vk < 256; ++vk) {
            if (dik_[vk] != 0 && win32::IsKeyDown(vk)) keys[dik_[vk]] = 0x80;
        }
        return true;
    }

    bool ReadPointer(int* x, int* y, bool buttons[4]) override {
        return win32::ReadPointer(x, y, buttons);
    }

private:
    std::array<std::uint8_t, 256> dik_{};
};

}  // namespace

std::unique_ptr<KeyboardMouseBackend> MakeDesktopBackend() { return std::make_unique<Win32Backend>(); }

}  // namespace platform::input
