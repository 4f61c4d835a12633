// platform/capture/scripted_input.h: keyboard and mouse that follow a script, not the desk.
//
// A capture must not depend on what someone does at the machine while it runs: the devices
// read this backend instead of the desktop. No key is down except Escape once "escape" is
// set; the pointer rests at (0, 0) with no button down.
#pragma once

#include <atomic>

#include "platform/input/backend.h"

namespace platform::capture {

class ScriptedInput final : public input::KeyboardMouseBackend {
public:
    explicit ScriptedInput(const std::atomic<bool>* escape) : escape_(escape) {}
    const char* name() const override { return "scripted"; }
    bool ReadKeys(std::uint8_t keys[256]) override;
    bool ReadPointer(int* x, int* y, bool buttons[4]) override;

private:
    const std::atomic<bool>* escape_;
};

}  // namespace platform::capture
