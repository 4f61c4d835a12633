// platform/gfx/gfx_testing.h: the graphics layer's test and measurement seams.
//
// Not part of what a backend must provide: tests and benchmarks include it to make the
// platform fail on purpose (each fault is armed by an Inject function and disarmed by 0 or
// kNone) and to read what presentation did.
#pragma once

#include <cstdint>

#include "platform/gfx/gfx.h"

namespace platform::gfx {

// The next "count" calls of Present fail with "code" (a failure code) and make the device
// lost, as a platform that took the device away would. 0 clears the injection.
void InjectPresentFailures(int count, HRESULT code);
// The next "count" calls of Reset fail with D3DERR_DEVICELOST (the platform still refuses).
void InjectResetFailures(int count);

// Steps of device creation that a test can make fail, to drive the callers' error paths.
enum class CreationFault {
    kNone,
    kDisplayMode,       // GetAdapterDisplayMode fails
    kDeviceType,        // CheckDeviceType fails
    kDepthFormat,       // CheckDeviceFormat refuses D3DFMT_D16
    kDeviceCaps,        // GetDeviceCaps fails
    kNoVertexProcessing,  // GetDeviceCaps reports VertexProcessingCaps 0
    kCreateDevice,      // CreateDevice fails
};
void InjectCreationFault(CreationFault fault);

// Presentation pacing to the refresh rate where the retrace cannot be waited for (on by
// default). Off, Present returns as soon as the frame is handed to the platform.
void SetPresentPacing(bool enabled);

// What the last created device found out about presentation.
struct PresentInfo {
    bool swapIntervalHonoured = false;  // the platform waits for the retrace itself
    bool paced = false;                 // Present sleeps to the refresh rate
    int refreshRateHz = 0;
    std::uint64_t presents = 0;         // successful Present calls of the device
    std::uint64_t readBacks = 0;        // surface read-backs done by LockRect bits (all devices)
    DWORD behaviourFlags = 0;           // the behaviour flags the last device was created with
};
PresentInfo GetPresentInfo();

// Waits until the current device's GL driver has done all the work handed to it so far, so
// that a measurement can charge that work to the code that issued it.
void FinishGpuWork();

}  // namespace platform::gfx
