// platform/input/sdl/backend_sdl.cpp: SDL's keyboard, mouse and joystick state.
//
// The keyboard and mouse here serve only where the desktop backend cannot be opened: SDL's key state follows the
// focused window and is refreshed by the event pump. Joysticks always come from here.

#include <SDL.h>

#include <array>

#include "platform/input/backend.h"

namespace platform::input {

namespace {

// DirectInput key codes of SDL scancodes (USB usage order), 0 when none.
std::array<std::uint8_t, SDL_NUM_SCANCODES> BuildScancodeMap() {
    std::array<std::uint8_t, SDL_NUM_SCANCODES> m{};
    static const std::uint8_t letters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                             0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                             0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
    for (int i = 0; i < 26; ++i) m[SDL_SCANCODE_A + i] = letters[i];
    for (int i = 0; i < 9; ++i) m[SDL_SCANCODE_1 + i] = static_cast<std::uint8_t>(0x02 + i);
    m[SDL_SCANCODE_0] = 0x0B;
    for (int i = 0; i < 10; ++i) m[SDL_SCANCODE_F1 + i] = static_cast<std::uint8_t>(0x3B + i);
    const struct { SDL_Scancode s; std::uint8_t d; } rest[] = {
        {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_MINUS, 0x0C}, {SDL_SCANCODE_EQUALS, 0x0D},
        {SDL_SCANCODE_BACKSPACE, 0x0E}, {SDL_SCANCODE_TAB, 0x0F}, {SDL_SCANCODE_LEFTBRACKET, 0x1A},
        {SDL_SCANCODE_RIGHTBRACKET, 0x1B}, {SDL_SCANCODE_RETURN, 0x1C}, {SDL_SCANCODE_LCTRL, 0x1D},
        {SDL_SCANCODE_SEMICOLON, 0x27}, {SDL_SCANCODE_APOSTROPHE, 0x28}, {SDL_SCANCODE_GRAVE, 0x29},
        {SDL_SCANCODE_LSHIFT, 0x2A}, {SDL_SCANCODE_BACKSLASH, 0x2B}, {SDL_SCANCODE_COMMA, 0x33},
        {SDL_SCANCODE_PERIOD, 0x34}, {SDL_SCANCODE_SLASH, 0x35}, {SDL_SCANCODE_RSHIFT, 0x36},
        {SDL_SCANCODE_KP_MULTIPLY, 0x37}, {SDL_SCANCODE_LALT, 0x38}, {SDL_SCANCODE_SPACE, 0x39},
        {SDL_SCANCODE_CAPSLOCK, 0x3A}, {SDL_SCANCODE_F11, 0x57}, {SDL_SCANCODE_F12, 0x58},
        {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RCTRL, 0x9D}, {SDL_SCANCODE_KP_DIVIDE, 0xB5},
        {SDL_SCANCODE_RALT, 0xB8}, {SDL_SCANCODE_PAUSE, 0xC5}, {SDL_SCANCODE_HOME, 0xC7},
        {SDL_SCANCODE_UP, 0xC8}, {SDL_SCANCODE_PAGEUP, 0xC9}, {SDL_SCANCODE_LEFT, 0xCB},
        {SDL_SCANCODE_RIGHT, 0xCD}, {SDL_SCANCODE_END, 0xCF}, {SDL_SCANCODE_DOWN, 0xD0},
        {SDL_SCANCODE_PAGEDOWN, 0xD1}, {SDL_SCANCODE_INSERT, 0xD2}, {SDL_SCANCODE_DELETE, 0xD3},
    };
    for (const auto& r : rest) m[r.s] = r.d;
    return m;
}

class SdlBackend final : public KeyboardMouseBackend {
public:
    const char* name() const override { return "sdl"; }

    bool ReadKeys(std::uint8_t keys[256]) override {
        static const auto map = BuildScancodeMap();
        SDL_PumpEvents();
        int count = 0;
        const Uint8* state = SDL_GetKeyboardState(&count);
        for (int i = 0; i < 256; ++i) keys[i] = 0;
        for (int s = 0; s < count && s < SDL_NUM_SCANCODES; ++s) {
            if (state[s] && map[s]) keys[map[s]] = 0x80;
        }
        return true;
    }

    bool ReadPointer(int* x, int* y, bool buttons[4]) override {
        const Uint32 mask = SDL_GetGlobalMouseState(x, y);
        buttons[0] = (mask & SDL_BUTTON_LMASK) != 0;
        buttons[1] = (mask & SDL_BUTTON_RMASK) != 0;
        buttons[2] = (mask & SDL_BUTTON_MMASK) != 0;
        buttons[3] = (mask & SDL_BUTTON_X1MASK) != 0;
        return true;
    }
};

class SdlJoystick final : public JoystickBackend {
public:
    explicit SdlJoystick(SDL_Joystick* joystick) : joystick_(joystick) {}
    ~SdlJoystick() override { SDL_JoystickClose(joystick_); }

    bool Read(DIJOYSTATE* state) override {
        SDL_JoystickUpdate();
        if (!SDL_JoystickGetAttached(joystick_)) return false;
        *state = DIJOYSTATE{};
        // SDL axes run -32768..32767; DirectInput's default range is 0..65535.
        LONG* axes[8] = {&state->lX, &state->lY, &state->lZ, &state->lRx, &state->lRy,
                         &state->lRz, &state->rglSlider[0], &state->rglSlider[1]};
        const int axisCount = SDL_JoystickNumAxes(joystick_);
        for (int i = 0; i < 8; ++i) {
            *axes[i] = i < axisCount ? static_cast<LONG>(SDL_JoystickGetAxis(joystick_, i)) + 32768 : 32767;
        }
        const int hats = SDL_JoystickNumHats(joystick_);
        for (int i = 0; i < 4; ++i) {
            DWORD pov = 0xFFFFFFFFu;
            if (i < hats) {
                switch (SDL_JoystickGetHat(joystick_, i)) {
                    case SDL_HAT_UP: pov = 0; break;
                    case SDL_HAT_RIGHTUP: pov = 4500; break;
                    case SDL_HAT_RIGHT: pov = 9000; break;
                    case SDL_HAT_RIGHTDOWN: pov = 13500; break;
                    case SDL_HAT_DOWN: pov = 18000; break;
                    case SDL_HAT_LEFTDOWN: pov = 22500; break;
                    case SDL_HAT_LEFT: pov = 27000; break;
                    case SDL_HAT_LEFTUP: pov = 31500; break;
                    default: break;
                }
            }
            state->rgdwPOV[i] = pov;
        }
        const int buttons = SDL_JoystickNumButtons(joystick_);
        for (int i = 0; i < 32 && i < buttons; ++i) {
            state->rgbButtons[i] = SDL_JoystickGetButton(joystick_, i) ? 0x80 : 0;
        }
        return true;
    }

private:
    SDL_Joystick* joystick_;
};

}  // namespace

std::unique_ptr<KeyboardMouseBackend> MakeSdlBackend() {
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    return std::make_unique<SdlBackend>();
}

std::unique_ptr<JoystickBackend> OpenSdlJoystick() {
    if (!SDL_WasInit(SDL_INIT_JOYSTICK) && SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return nullptr;
    if (SDL_NumJoysticks() <= 0) return nullptr;
    SDL_Joystick* joystick = SDL_JoystickOpen(0);
    if (!joystick) return nullptr;
    return std::make_unique<SdlJoystick>(joystick);
}

}  // namespace platform::input
