// platform/input/input_testing.h: the input layer's test seams.
//
// Not part of what a backend must provide: tests include it to make a step of the devices
// fail on purpose (armed by InjectInputFault, disarmed by kNone) and to see which backend
// reads the keyboard and mouse.
#pragma once

#include "platform/input/input.h"

namespace platform::input {

// One step of every device that a test can make fail until the fault is cleared.
enum class InputFault {
    kNone,
    kCreateObject,        // DirectInput8Create
    kCreateDevice,        // CreateDevice
    kSetDataFormat,
    kSetCooperativeLevel,
    kAcquire,
    kGetDeviceState,
};
void InjectInputFault(InputFault fault);

// Which backend reads the keyboard and mouse: "x11", "sdl" or "" before the first device.
const char* InputBackendName();

}  // namespace platform::input
