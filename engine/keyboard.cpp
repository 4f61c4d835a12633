// engine/keyboard.cpp: the engine's input devices (keyboard, mouse, joystick), the key test
// and the clock.

#include <array>

#include "engine/engine.h"
#include "engine/state_internal.h"
#include "platform/sys/sys.h"

namespace engine {

namespace input = platform::input;

namespace {

// The engine's copies of the standard data formats: a 256-key keyboard, the 16-byte mouse
// state and the 80-byte joystick state.
const std::array<input::DIOBJECTDATAFORMAT, 256> kKeyboardObjects = [] {
    std::array<input::DIOBJECTDATAFORMAT, 256> a{};
    for (input::DWORD i = 0; i < 256; ++i) {
        a[i] = {&input::GUID_Key, i, input::DIDFT_BUTTON | input::DIDFT_MAKEINSTANCE(i) | input::DIDFT_OPTIONAL, 0};
    }
    return a;
}();

const input::DIOBJECTDATAFORMAT kMouseObjects[7] = {
    {&input::GUID_XAxis, 0, input::DIDFT_AXIS | input::DIDFT_ANYINSTANCE, 0},
    {&input::GUID_YAxis, 4, input::DIDFT_AXIS | input::DIDFT_ANYINSTANCE, 0},
    {&input::GUID_ZAxis, 8, input::DIDFT_AXIS | input::DIDFT_ANYINSTANCE | input::DIDFT_OPTIONAL, 0},
    {nullptr, 12, input::DIDFT_BUTTON | input::DIDFT_ANYINSTANCE, 0},
    {nullptr, 13, input::DIDFT_BUTTON | input::DIDFT_ANYINSTANCE, 0},
    {nullptr, 14, input::DIDFT_BUTTON | input::DIDFT_ANYINSTANCE | input::DIDFT_OPTIONAL, 0},
    {nullptr, 15, input::DIDFT_BUTTON | input::DIDFT_ANYINSTANCE | input::DIDFT_OPTIONAL, 0},
};

const std::array<input::DIOBJECTDATAFORMAT, 44> kJoystickObjects = [] {
    std::array<input::DIOBJECTDATAFORMAT, 44> a{};
    const input::GUID* axes[8] = {&input::GUID_XAxis,  &input::GUID_YAxis,  &input::GUID_ZAxis,
                                  &input::GUID_RxAxis, &input::GUID_RyAxis, &input::GUID_RzAxis,
                                  &input::GUID_Slider, &input::GUID_Slider};
    const input::DWORD optional = input::DIDFT_ANYINSTANCE | input::DIDFT_OPTIONAL;
    input::DWORD n = 0;
    for (input::DWORD i = 0; i < 8; ++i) a[n++] = {axes[i], i * 4, input::DIDFT_AXIS | optional, 0x100};
    for (input::DWORD i = 0; i < 4; ++i) a[n++] = {&input::GUID_POV, 32 + i * 4, input::DIDFT_POV | optional, 0};
    for (input::DWORD i = 0; i < 32; ++i) a[n++] = {nullptr, 48 + i, input::DIDFT_BUTTON | optional, 0};
    return a;
}();

const input::DIDATAFORMAT c_dfDIKeyboard = {sizeof(input::DIDATAFORMAT), sizeof(input::DIOBJECTDATAFORMAT),
                                            input::DIDF_RELAXIS, 256, 256, kKeyboardObjects.data()};
const input::DIDATAFORMAT c_dfDIMouse = {sizeof(input::DIDATAFORMAT), sizeof(input::DIOBJECTDATAFORMAT),
                                         input::DIDF_RELAXIS, 16, 7, kMouseObjects};
const input::DIDATAFORMAT c_dfDIJoystick = {sizeof(input::DIDATAFORMAT), sizeof(input::DIOBJECTDATAFORMAT),
                                            input::DIDF_ABSAXIS, 80, 44, kJoystickObjects.data()};

// The four opening steps shared by the three devices; "slot" receives the device or null.
std::int32_t OpenDevice(const input::GUID& guid, const input::DIDATAFORMAT& format,
                        platform::window::WindowHandle window, std::uint32_t flags,
                        input::IDirectInputDevice8** slot) {
    if (*slot != nullptr) {
        (*slot)->Release();
        *slot = nullptr;
    }
    // Without the input object no device can be made: it stays closed, as after a failed
    // creation.
    if (inputState.directInput == nullptr) return 5;
    input::IDirectInputDevice8* device = nullptr;
    if (inputState.directInput->CreateDevice(guid, &device, nullptr) != input::DI_OK || device == nullptr) {
        return 5;
    }
    std::int32_t failed = 0;
    if (device->SetDataFormat(&format) != input::DI_OK) {
        failed = 4;
    } else if (device->SetCooperativeLevel(window, flags) != input::DI_OK) {
        failed = 3;
    } else if (device->Acquire() != input::DI_OK) {
        failed = 2;
    }
    if (failed != 0) {
        device->Release();
        return failed;
    }
    *slot = device;
    return 1;
}

}  // namespace

std::int32_t OpenKeyboardDevice(platform::window::WindowHandle window, std::uint32_t flags) {
    return OpenDevice(input::GUID_SysKeyboard, c_dfDIKeyboard, window, flags, &inputState.keyboardDevice);
}

std::int32_t OpenMouseDevice(platform::window::WindowHandle window, std::uint32_t flags) {
    return OpenDevice(input::GUID_SysMouse, c_dfDIMouse, window, flags, &inputState.mouseDevice);
}

std::int32_t OpenJoystickDevice(platform::window::WindowHandle window, std::uint32_t flags) {
    return OpenDevice(input::GUID_Joystick, c_dfDIJoystick, window, flags, &inputState.joystickDevice);
}

std::int32_t IsKeyDown(std::int32_t key) {
    if (inputState.keyboardDevice == nullptr) return 0;
    // Codes outside the table are refused before anything is read.
    if (key < -1 || key > 255) return 0;
    if (inputState.keyboardDevice->GetDeviceState(256, inputState.keyState) != input::DI_OK) return 0;
    if (key == -1) {
        for (int k = 0; k < 256; ++k) {
            if (inputState.keyState[k] != 0) return 1;
        }
        return 0;
    }
    return inputState.keyState[key] != 0 ? 1 : 0;
}

platform::window::WindowHandle FindTopLevelWindow(platform::window::WindowHandle window) {
    // Owner chains are short; the bound only guards against a chain that loops.
    for (int depth = 0; depth < 1024; ++depth) {
        const platform::window::WindowHandle parent = platform::window::GetParent(window);
        if (!parent) break;
        window = parent;
    }
    return window;
}

std::int64_t ReadInterruptTime() { return platform::sys::InterruptTime(); }

std::int32_t GetClockTicks() {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ReadInterruptTime() / 100));
}

}  // namespace engine
