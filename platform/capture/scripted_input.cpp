// platform/capture/scripted_input.cpp: keyboard and mouse that follow a script.
#include "platform/capture/scripted_input.h"

#include <cstring>

namespace platform::capture {

bool ScriptedInput::ReadKeys(std::uint8_t keys[256]) {
    std::memset(keys, 0, 256);
    if (escape_->load()) keys[input::DIK_ESCAPE] = 0x80;
    return true;
}

bool ScriptedInput::ReadPointer(int* x, int* y, bool buttons[4]) {
    *x = 0;
    *y = 0;
    for (int i = 0; i < 4; ++i) buttons[i] = false;
    return true;
}

}  // namespace platform::capture
