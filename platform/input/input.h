// platform/input/input.h: DirectInput-8-style keyboard, mouse and joystick devices.
//
// Stands in for the DirectInput 8 object and its immediate-mode devices: a device is created
// for a device identifier, given its data format, a cooperative level on a top-level window,
// acquired, and then read whole with GetDeviceState. Result codes, identifiers, cooperative
// flags, key codes and the state layouts keep their DirectInput values.
//
// Backends: on X11 the keyboard is read with XQueryKeymap and the mouse with XQueryPointer, so
// both are seen whether or not one of our windows has the focus (a background device). Where
// X11 is absent the SDL keyboard and mouse state serve instead (focus-dependent). Joysticks
// come from SDL's joystick subsystem; without one, creating a joystick device fails with
// DIERR_DEVICENOTREG.
//
// What it leaves out: buffered data, force feedback, device enumeration, exclusive access
// (an exclusive cooperative level is accepted for mice and joysticks but not enforced).
//
// Threads: every call runs on the main thread.
#pragma once

#include <cstdint>

#include "platform/window/window.h"

namespace platform::input {

using HRESULT = std::int32_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using BYTE = std::uint8_t;
using HWND = platform::window::WindowHandle;

inline constexpr HRESULT DI_OK = 0;
inline constexpr HRESULT DIERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
inline constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
inline constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
inline constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);
inline constexpr HRESULT DIERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
inline constexpr HRESULT DIERR_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = static_cast<HRESULT>(0x8007047Eu);
inline constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006u);

inline constexpr DWORD DIRECTINPUT_VERSION = 0x0800;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2, Data3;
    std::uint8_t Data4[8];
    bool operator==(const GUID&) const = default;
};

extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;
extern const GUID GUID_Joystick;
extern const GUID IID_IDirectInput8A;
// Object identifiers of the standard data formats.
extern const GUID GUID_XAxis, GUID_YAxis, GUID_ZAxis, GUID_RxAxis, GUID_RyAxis, GUID_RzAxis;
extern const GUID GUID_Slider, GUID_Button, GUID_Key, GUID_POV;

// Cooperative-level flags: one of EXCLUSIVE / NONEXCLUSIVE and one of FOREGROUND / BACKGROUND.
inline constexpr DWORD DISCL_EXCLUSIVE = 0x1;
inline constexpr DWORD DISCL_NONEXCLUSIVE = 0x2;
inline constexpr DWORD DISCL_FOREGROUND = 0x4;
inline constexpr DWORD DISCL_BACKGROUND = 0x8;
inline constexpr DWORD DISCL_NOWINKEY = 0x10;

// Data formats: the standard layouts only (256-byte keyboard, DIMOUSESTATE, DIJOYSTATE).
inline constexpr DWORD DIDF_ABSAXIS = 0x1;
inline constexpr DWORD DIDF_RELAXIS = 0x2;
inline constexpr DWORD DIDFT_AXIS = 0x3;
inline constexpr DWORD DIDFT_BUTTON = 0xC;
inline constexpr DWORD DIDFT_POV = 0x10;
inline constexpr DWORD DIDFT_ANYINSTANCE = 0x00FFFF00;
inline constexpr DWORD DIDFT_OPTIONAL = 0x80000000u;
constexpr DWORD DIDFT_MAKEINSTANCE(DWORD n) { return (n & 0xFFFF) << 8; }

struct DIOBJECTDATAFORMAT {
    const GUID* pguid;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
};

struct DIDATAFORMAT {
    DWORD dwSize;     // sizeof(DIDATAFORMAT)
    DWORD dwObjSize;  // sizeof(DIOBJECTDATAFORMAT)
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    const DIOBJECTDATAFORMAT* rgodf;
};

struct DIMOUSESTATE {
    LONG lX, lY, lZ;      // motion since the last read
    BYTE rgbButtons[4];   // 0x80 = down: left, right, middle, fourth
};
static_assert(sizeof(DIMOUSESTATE) == 16);

struct DIJOYSTATE {
    LONG lX, lY, lZ, lRx, lRy, lRz;  // axes, 0 .. 65535
    LONG rglSlider[2];
    DWORD rgdwPOV[4];                // hundredths of a degree, 0xFFFFFFFF centred
    BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);

// DirectInput key codes used by the system and its tests (the full set 0-255 is read).
inline constexpr int DIK_ESCAPE = 0x01;
inline constexpr int DIK_1 = 0x02;
inline constexpr int DIK_A = 0x1E;
inline constexpr int DIK_SPACE = 0x39;
inline constexpr int DIK_F1 = 0x3B;
inline constexpr int DIK_RETURN = 0x1C;
inline constexpr int DIK_LEFT = 0xCB;

class IDirectInputDevice8 {
public:
    virtual DWORD AddRef() = 0;
    virtual DWORD Release() = 0;
    // Accepts the standard format of the device's kind (checked by size and object offsets).
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
    // "window" must be an alive top-level window (E_HANDLE otherwise). A keyboard refuses
    // DISCL_EXCLUSIVE | DISCL_BACKGROUND with DIERR_UNSUPPORTED.
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    // Needs a data format. A foreground device needs its window to be the active one.
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    // Reads the whole state; "size_bytes" must be the format's data size.
    virtual HRESULT GetDeviceState(DWORD size_bytes, void* data) = 0;

protected:
    virtual ~IDirectInputDevice8() = default;
};

class IDirectInput8 {
public:
    virtual DWORD AddRef() = 0;
    virtual DWORD Release() = 0;
    // GUID_SysKeyboard, GUID_SysMouse or GUID_Joystick; DIERR_DEVICENOTREG when absent.
    virtual HRESULT CreateDevice(const GUID& guid, IDirectInputDevice8** device, void* outer) = 0;

protected:
    virtual ~IDirectInput8() = default;
};

// Creates the input object. "version" must be DIRECTINPUT_VERSION and "iid" IID_IDirectInput8A.
HRESULT DirectInput8Create(void* instance, DWORD version, const GUID& iid, IDirectInput8** out,
                           void* outer);

}  // namespace platform::input
