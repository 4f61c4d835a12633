// tests/gfx/input_test.cpp: the DirectInput-style devices against a real X server (Xvfb):
// argument checks of each opening step, and real key presses and pointer moves via XTest.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "platform/input/input.h"
#include "platform/input/input_testing.h"
#include "platform/window/window.h"
#include "tests/gfx_support/test_window.h"

namespace {

namespace in = platform::input;
namespace win = platform::window;

win::WindowHandle MakeWindow(win::WindowHandle owner = {}) {
    return testsupport::MakeTestWindow({.title = "input test", .parent = owner});
}

const in::DIDATAFORMAT kKeyboard = {sizeof(in::DIDATAFORMAT), sizeof(in::DIOBJECTDATAFORMAT), in::DIDF_RELAXIS, 256, 0, nullptr};
const in::DIDATAFORMAT kMouse = {sizeof(in::DIDATAFORMAT), sizeof(in::DIOBJECTDATAFORMAT), in::DIDF_RELAXIS, 16, 0, nullptr};

// A connection to the X server that fakes input and keeps it until it is closed.
class FakeInput {
public:
    FakeInput() : display_(XOpenDisplay(nullptr)) {}
    ~FakeInput() {
        if (display_) XCloseDisplay(display_);
    }
    void Key(KeySym sym, bool down) {
        XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, sym), down ? True : False, CurrentTime);
        XSync(display_, False);
    }
    void MoveTo(int x, int y) {
        XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
        XSync(display_, False);
    }
    void Button(unsigned int button, bool down) {
        XTestFakeButtonEvent(display_, button, down ? True : False, CurrentTime);
        XSync(display_, False);
    }
    bool ok() const { return display_ != nullptr; }

private:
    Display* display_;
};

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        in::InjectInputFault(in::InputFault::kNone);
        window_ = MakeWindow();
        ASSERT_TRUE(window_);
        ASSERT_EQ(in::DirectInput8Create(nullptr, in::DIRECTINPUT_VERSION, in::IID_IDirectInput8A, &di_, nullptr), in::DI_OK);
    }
    void TearDown() override {
        if (di_) di_->Release();
        win::DestroyWindow(window_);
    }
    // A device through every opening step.
    in::IDirectInputDevice8* Open(const in::GUID& guid, const in::DIDATAFORMAT& format) {
        in::IDirectInputDevice8* d = nullptr;
        EXPECT_EQ(di_->CreateDevice(guid, &d, nullptr), in::DI_OK);
        if (!d) return nullptr;
        EXPECT_EQ(d->SetDataFormat(&format), in::DI_OK);
        EXPECT_EQ(d->SetCooperativeLevel(window_, in::DISCL_NONEXCLUSIVE | in::DISCL_BACKGROUND), in::DI_OK);
        EXPECT_EQ(d->Acquire(), in::DI_OK);
        return d;
    }

    win::WindowHandle window_{};
    in::IDirectInput8* di_ = nullptr;
};

TEST(InputObject, RefusesOtherVersionsAndInterfaces) {
    in::IDirectInput8* di = reinterpret_cast<in::IDirectInput8*>(1);
    EXPECT_EQ(in::DirectInput8Create(nullptr, 0x0700, in::IID_IDirectInput8A, &di, nullptr), in::DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(di, nullptr);
    EXPECT_EQ(in::DirectInput8Create(nullptr, in::DIRECTINPUT_VERSION, in::GUID_SysMouse, &di, nullptr), in::DIERR_NOINTERFACE);
    in::InjectInputFault(in::InputFault::kCreateObject);
    EXPECT_NE(in::DirectInput8Create(nullptr, in::DIRECTINPUT_VERSION, in::IID_IDirectInput8A, &di, nullptr), in::DI_OK);
    in::InjectInputFault(in::InputFault::kNone);
}

TEST_F(InputTest, EachOpeningStepChecksItsArguments) {
    in::IDirectInputDevice8* d = nullptr;
    EXPECT_EQ(di_->CreateDevice(in::GUID_XAxis, &d, nullptr), in::DIERR_DEVICENOTREG);
    ASSERT_EQ(di_->CreateDevice(in::GUID_SysKeyboard, &d, nullptr), in::DI_OK);
    std::uint8_t keys[256];
    EXPECT_EQ(d->GetDeviceState(256, keys), in::DIERR_NOTACQUIRED);
    EXPECT_EQ(d->Acquire(), in::DIERR_INVALIDPARAM);  // no data format yet
    EXPECT_EQ(d->SetDataFormat(nullptr), in::DIERR_INVALIDPARAM);
    EXPECT_EQ(d->SetDataFormat(&kMouse), in::DIERR_INVALIDPARAM);  // another device's layout
    const in::DIOBJECTDATAFORMAT outside = {&in::GUID_Key, 256, in::DIDFT_BUTTON, 0};
    const in::DIDATAFORMAT badObject = {sizeof(in::DIDATAFORMAT), sizeof(in::DIOBJECTDATAFORMAT), in::DIDF_RELAXIS, 256, 1, &outside};
    EXPECT_EQ(d->SetDataFormat(&badObject), in::DIERR_INVALIDPARAM);
    EXPECT_EQ(d->SetDataFormat(&kKeyboard), in::DI_OK);

    const struct { const char* what; win::WindowHandle w; in::DWORD flags; in::HRESULT result; } levels[] = {
        {"both accesses", window_, in::DISCL_EXCLUSIVE | in::DISCL_NONEXCLUSIVE | in::DISCL_BACKGROUND, in::DIERR_INVALIDPARAM},
        {"no focus kind", window_, in::DISCL_NONEXCLUSIVE, in::DIERR_INVALIDPARAM},
        {"unknown bit", window_, in::DISCL_NONEXCLUSIVE | in::DISCL_BACKGROUND | 0x100, in::DIERR_INVALIDPARAM},
        {"no window", win::WindowHandle{}, in::DISCL_NONEXCLUSIVE | in::DISCL_BACKGROUND, in::E_HANDLE},
        {"exclusive background keyboard", window_, in::DISCL_EXCLUSIVE | in::DISCL_BACKGROUND, in::DIERR_UNSUPPORTED},
        {"fine", window_, in::DISCL_NONEXCLUSIVE | in::DISCL_BACKGROUND, in::DI_OK},
    };
    for (const auto& l : levels) {
        SCOPED_TRACE(l.what);
        EXPECT_EQ(d->SetCooperativeLevel(l.w, l.flags), l.result);
    }
    win::WindowHandle owned = MakeWindow(window_);
    EXPECT_EQ(d->SetCooperativeLevel(owned, in::DISCL_NONEXCLUSIVE | in::DISCL_BACKGROUND), in::E_HANDLE);
    win::DestroyWindow(owned);
    ASSERT_EQ(d->Acquire(), in::DI_OK);
    EXPECT_EQ(d->SetDataFormat(&kKeyboard), in::DIERR_ACQUIRED);
    EXPECT_EQ(d->GetDeviceState(255, keys), in::DIERR_INVALIDPARAM);
    EXPECT_EQ(d->GetDeviceState(256, nullptr), in::DIERR_INVALIDPARAM);
    EXPECT_EQ(d->GetDeviceState(256, keys), in::DI_OK);
    d->Release();
}

TEST_F(InputTest, KeysArriveUnderTheirDirectInputCodes) {
    FakeInput fake;
    ASSERT_TRUE(fake.ok());
    in::IDirectInputDevice8* keyboard = Open(in::GUID_SysKeyboard, kKeyboard);
    ASSERT_NE(keyboard, nullptr);
    EXPECT_STREQ(in::InputBackendName(), "x11");
    const struct { KeySym sym; int dik; } rows[] = {
        {XK_Escape, in::DIK_ESCAPE}, {XK_a, in::DIK_A}, {XK_1, in::DIK_1}, {XK_space, in::DIK_SPACE},
        {XK_F1, in::DIK_F1}, {XK_Return, in::DIK_RETURN}, {XK_Left, in::DIK_LEFT},
    };
    std::uint8_t keys[256];
    for (const auto& r : rows) {
        SCOPED_TRACE(r.dik);
        fake.Key(r.sym, true);
        ASSERT_EQ(keyboard->GetDeviceState(256, keys), in::DI_OK);
        int down = 0;
        for (int k = 0; k < 256; ++k) down += keys[k] != 0;
        EXPECT_EQ(keys[r.dik], 0x80);
        EXPECT_EQ(down, 1);
        fake.Key(r.sym, false);
        ASSERT_EQ(keyboard->GetDeviceState(256, keys), in::DI_OK);
        EXPECT_EQ(keys[r.dik], 0);
    }
    keyboard->Release();
}

TEST_F(InputTest, MouseReportsMotionSinceTheLastReadAndButtons) {
    FakeInput fake;
    ASSERT_TRUE(fake.ok());
    fake.MoveTo(100, 100);
    in::IDirectInputDevice8* mouse = Open(in::GUID_SysMouse, kMouse);
    ASSERT_NE(mouse, nullptr);
    in::DIMOUSESTATE state;
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), in::DI_OK);
    EXPECT_EQ(state.lX, 0);  // the first read has no earlier position
    fake.MoveTo(130, 90);
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), in::DI_OK);
    EXPECT_EQ(state.lX, 30);
    EXPECT_EQ(state.lY, -10);
    fake.Button(1, true);
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), in::DI_OK);
    EXPECT_EQ(state.lX, 0);
    EXPECT_EQ(state.rgbButtons[0], 0x80);
    EXPECT_EQ(state.rgbButtons[1], 0);
    fake.Button(1, false);
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), in::DI_OK);
    EXPECT_EQ(state.rgbButtons[0], 0);
    mouse->Release();
}

TEST_F(InputTest, JoystickIsAbsentOrReadsTheStandardLayout) {
    in::IDirectInputDevice8* joystick = nullptr;
    const in::HRESULT hr = di_->CreateDevice(in::GUID_Joystick, &joystick, nullptr);
    if (hr == in::DIERR_DEVICENOTREG) {
        EXPECT_EQ(joystick, nullptr);
        return;
    }
    ASSERT_EQ(hr, in::DI_OK);
    const in::DIDATAFORMAT format = {sizeof(in::DIDATAFORMAT), sizeof(in::DIOBJECTDATAFORMAT), in::DIDF_ABSAXIS, 80, 0, nullptr};
    ASSERT_EQ(joystick->SetDataFormat(&format), in::DI_OK);
    ASSERT_EQ(joystick->SetCooperativeLevel(window_, in::DISCL_EXCLUSIVE | in::DISCL_BACKGROUND), in::DI_OK);
    ASSERT_EQ(joystick->Acquire(), in::DI_OK);
    in::DIJOYSTATE state;
    EXPECT_EQ(joystick->GetDeviceState(sizeof(state), &state), in::DI_OK);
    joystick->Release();
}

}  // namespace
