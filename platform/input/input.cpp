// platform/input/input.cpp: the input object and its devices: argument checks, the opening
// steps and the state layouts; the backends only read the hardware.

#include "platform/input/input.h"

#include <cstring>
#include <memory>

#include "platform/input/backend.h"
#include "platform/input/input_testing.h"

namespace platform::input {

const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Joystick = {0x6F1D2B70, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const GUID GUID_XAxis = {0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_YAxis = {0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_ZAxis = {0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_RxAxis = {0xA36D02F4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_RyAxis = {0xA36D02F5, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_RzAxis = {0xA36D02E3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Slider = {0xA36D02E4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Button = {0xA36D02F0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Key = {0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_POV = {0xA36D02F2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

namespace {

InputFault g_fault = InputFault::kNone;

// The keyboard and mouse backend, chosen when the first device needs it and kept.
std::unique_ptr<KeyboardMouseBackend> g_backend;
bool g_backendTried = false;

KeyboardMouseBackend* Backend() {
    if (!g_backendTried) {
        g_backendTried = true;
        g_backend = MakeDesktopBackend();
        if (!g_backend) g_backend = MakeSdlBackend();
    }
    return g_backend.get();
}

}  // namespace

void SetKeyboardMouseBackend(std::unique_ptr<KeyboardMouseBackend> backend) {
    g_backendTried = backend != nullptr;
    g_backend = std::move(backend);
}

namespace {

enum class Kind { kKeyboard, kMouse, kJoystick };

DWORD StateBytes(Kind kind) {
    switch (kind) {
        case Kind::kKeyboard: return 256;
        case Kind::kMouse: return sizeof(DIMOUSESTATE);
        case Kind::kJoystick: return sizeof(DIJOYSTATE);
    }
    return 0;
}

// Width in bytes of one object of "type" in a state.
DWORD ObjectBytes(DWORD type) { return (type & DIDFT_BUTTON) != 0 ? 1 : 4; }

class Device final : public IDirectInputDevice8 {
public:
    Device(Kind kind, std::unique_ptr<JoystickBackend> joystick)
        : kind_(kind), joystick_(std::move(joystick)) {}

    DWORD AddRef() override { return ++refs_; }
    DWORD Release() override {
        const DWORD left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
        if (g_fault == InputFault::kSetDataFormat) return DIERR_INVALIDPARAM;
        if (acquired_) return DIERR_ACQUIRED;
        if (!format || format->dwSize != sizeof(DIDATAFORMAT) ||
            format->dwObjSize != sizeof(DIOBJECTDATAFORMAT) || format->dwDataSize != StateBytes(kind_) ||
            (format->dwNumObjs != 0 && !format->rgodf) || format->dwNumObjs > 1024) {
            return DIERR_INVALIDPARAM;
        }
        for (DWORD i = 0; i < format->dwNumObjs; ++i) {
            const DIOBJECTDATAFORMAT& o = format->rgodf[i];
            if (o.dwOfs >= format->dwDataSize || format->dwDataSize - o.dwOfs < ObjectBytes(o.dwType)) {
                return DIERR_INVALIDPARAM;
            }
        }
        hasFormat_ = true;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        if (g_fault == InputFault::kSetCooperativeLevel) return DIERR_INVALIDPARAM;
        const DWORD access = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        const DWORD focus = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if ((flags & ~(DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY)) ||
            (access != DISCL_EXCLUSIVE && access != DISCL_NONEXCLUSIVE) ||
            (focus != DISCL_FOREGROUND && focus != DISCL_BACKGROUND)) {
            return DIERR_INVALIDPARAM;
        }
        if (!platform::window::IsWindow(window) || platform::window::GetParent(window)) return E_HANDLE;
        // No program may hold the whole keyboard while it runs in the background.
        if (kind_ == Kind::kKeyboard && access == DISCL_EXCLUSIVE && focus == DISCL_BACKGROUND) {
            return DIERR_UNSUPPORTED;
        }
        window_ = window;
        flags_ = flags;
        return DI_OK;
    }

    HRESULT Acquire() override {
        if (g_fault == InputFault::kAcquire) return DIERR_OTHERAPPHASPRIO;
        if (!hasFormat_) return DIERR_INVALIDPARAM;
        if (acquired_) return DI_OK;
        if ((flags_ & DISCL_FOREGROUND) && !HasFocus()) return DIERR_OTHERAPPHASPRIO;
        if (kind_ != Kind::kJoystick && !Backend()) return DIERR_NOTINITIALIZED;
        acquired_ = true;
        first_ = true;
        return DI_OK;
    }

    HRESULT Unacquire() override {
        if (!acquired_) return DI_OK;
        acquired_ = false;
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD size_bytes, void* data) override {
        if (!data) return DIERR_INVALIDPARAM;
        if (!acquired_) return DIERR_NOTACQUIRED;
        if (size_bytes != StateBytes(kind_)) return DIERR_INVALIDPARAM;
        if (g_fault == InputFault::kGetDeviceState) return DIERR_INPUTLOST;
        if ((flags_ & DISCL_FOREGROUND) && !HasFocus()) {
            acquired_ = false;
            return DIERR_INPUTLOST;
        }
        switch (kind_) {
            case Kind::kKeyboard: {
                std::uint8_t keys[256];
                if (!Backend()->ReadKeys(keys)) return DIERR_INPUTLOST;
                std::memcpy(data, keys, 256);
                return DI_OK;
            }
            case Kind::kMouse: {
                int x = 0, y = 0;
                bool buttons[4] = {};
                if (!Backend()->ReadPointer(&x, &y, buttons)) return DIERR_INPUTLOST;
                DIMOUSESTATE state{};
                if (!first_) {
                    state.lX = x - lastX_;
                    state.lY = y - lastY_;
                }
                first_ = false;
                lastX_ = x;
                lastY_ = y;
                for (int i = 0; i < 4; ++i) state.rgbButtons[i] = buttons[i] ? 0x80 : 0;
                std::memcpy(data, &state, sizeof(state));
                return DI_OK;
            }
            case Kind::kJoystick: {
                DIJOYSTATE state{};
                if (!joystick_ || !joystick_->Read(&state)) return DIERR_INPUTLOST;
                std::memcpy(data, &state, sizeof(state));
                return DI_OK;
            }
        }
        return DIERR_INVALIDPARAM;
    }

private:
    ~Device() override = default;
    bool HasFocus() const { return platform::window::GetActiveWindow() == window_; }

    Kind kind_;
    std::unique_ptr<JoystickBackend> joystick_;
    DWORD refs_ = 1;
    bool hasFormat_ = false;
    bool acquired_ = false;
    HWND window_{};
    DWORD flags_ = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    bool first_ = true;
    int lastX_ = 0, lastY_ = 0;
};

class DirectInput final : public IDirectInput8 {
public:
    DWORD AddRef() override { return ++refs_; }
    DWORD Release() override {
        const DWORD left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT CreateDevice(const GUID& guid, IDirectInputDevice8** device, void* outer) override {
        if (!device) return DIERR_INVALIDPARAM;
        *device = nullptr;
        if (outer) return DIERR_NOINTERFACE;
        if (g_fault == InputFault::kCreateDevice) return DIERR_DEVICENOTREG;
        if (guid == GUID_SysKeyboard) {
            *device = new Device(Kind::kKeyboard, nullptr);
        } else if (guid == GUID_SysMouse) {
            *device = new Device(Kind::kMouse, nullptr);
        } else if (guid == GUID_Joystick) {
            auto joystick = OpenSdlJoystick();
            if (!joystick) return DIERR_DEVICENOTREG;
            *device = new Device(Kind::kJoystick, std::move(joystick));
        } else {
            return DIERR_DEVICENOTREG;
        }
        return DI_OK;
    }

private:
    ~DirectInput() override = default;
    DWORD refs_ = 1;
};

}  // namespace

HRESULT DirectInput8Create(void* instance, DWORD version, const GUID& iid, IDirectInput8** out, void* outer) {
    (void)instance;
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DIERR_NOINTERFACE;
    if (version != DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
    if (!(iid == IID_IDirectInput8A)) return DIERR_NOINTERFACE;
    if (g_fault == InputFault::kCreateObject) return DIERR_NOTINITIALIZED;
    *out = new DirectInput;
    return DI_OK;
}

void InjectInputFault(InputFault fault) { g_fault = fault; }

const char* InputBackendName() { return g_backend ? g_backend->name() : ""; }

}  // namespace platform::input
