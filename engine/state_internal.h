// engine/state_internal.h: the engine's process-wide state, split by concern, for the engine's
// own files and its tests.
//
// Programs read what they need through engine/engine.h (ScreenWidth, ScreenHeight); only the
// engine writes these records. Each record is one concern: the device and what presenting
// reported, the input devices and their state buffers, the frame clock, the lists.
//
// Threads: main thread only, like the rest of the engine.
#pragma once

#include <cstdint>

#include "engine/box.h"
#include "engine/effect.h"
#include "engine/record_list.h"
#include "engine/sprite.h"
#include "engine/texture.h"
#include "platform/gfx/gfx.h"
#include "platform/input/input.h"

namespace engine {

// The Direct3D objects, the parameters they were made with, and the results the engine keeps.
struct DeviceState {
    platform::gfx::IDirect3D9* direct3d;      // made once; never released
    platform::gfx::IDirect3DDevice9* device;  // null until AttachEngineToWindow succeeds
    platform::gfx::D3DPRESENT_PARAMETERS presentParams;  // kept for every later Reset
    std::int32_t screenWidth, screenHeight;   // back-buffer size
    std::int32_t lastPresentResult;           // 0: the device is usable
    std::int32_t lastError;                   // last EngineResult stored by a failing step
    std::uint32_t clearColour;                // the world pass's clear colour: 0
};

inline constexpr int kKeyStateBytes = 257;

// The input object, the three devices (each null when its opening failed) and the buffers their
// states are read into.
struct InputState {
    platform::input::IDirectInput8* directInput;
    platform::input::IDirectInputDevice8* keyboardDevice;
    platform::input::IDirectInputDevice8* mouseDevice;
    platform::input::IDirectInputDevice8* joystickDevice;
    std::uint8_t mouseState[16];     // read by every PresentFrame (standard mouse layout)
    std::uint8_t joystickState[80];  // read by every PresentFrame (standard joystick layout)
    std::uint8_t keyState[kKeyStateBytes];
};

// The frame clock: what the sprite animation steps by.
struct FrameClock {
    float frameSeconds;         // last frame's duration; 1/60 until measured
    std::int64_t lastFrameTime;  // interrupt time of the last PresentFrame, or of start-up
};

// One entry of fontList: a font and the batcher it draws with.
struct EngineFont {
    platform::gfx::ID3DXFont* font;
    platform::gfx::ID3DXSprite* batcher;
    platform::gfx::D3DXFONT_DESCA description;
};

// One entry of textQueue: a text waiting for the frame's text flush.
struct QueuedText {
    platform::gfx::ID3DXFont* font;  // the font it is drawn with
    char text[256];
    float x, y;                      // placement (translation of the batcher's transform)
    float scaleX, scaleY;
    std::uint32_t format;            // DrawText format flags
    std::uint32_t colour;            // D3DCOLOR
};

// A record of the world renderer's lists; nothing in this system makes one.
struct WorldRecord {
    std::uint8_t bytes[64];
};

// The engine's ordered lists (engine/record_list.h), made once by StartEngineServices.
struct EngineLists {
    RecordList<TextureRecord> textureList;
    RecordList<Sprite> spriteList;
    RecordList<SpriteDrawCommand> spriteDrawQueue;
    RecordList<BoxCommand> boxQueue;
    RecordList<Effect> effectList;
    RecordList<EngineFont> fontList;
    RecordList<QueuedText> textQueue;
    // The world renderer's lists (cameras, entities, lights, emitters): nothing in this system
    // adds to them.
    RecordList<WorldRecord> cameraList;
    RecordList<WorldRecord> entityList;
    RecordList<WorldRecord> lightList;
    RecordList<WorldRecord> emitterList;
};

extern DeviceState deviceState;
extern InputState inputState;
extern FrameClock frameClock;
extern EngineLists engineLists;

}  // namespace engine
