// engine/engine.h: the render engine's result codes, start-up, device and frame cycle; its world
// pass, keyboard and clock.
//
// The engine renders into a window the program opened; it does not own it. Use:
//
//   runtime start-up chain, with InitEngineTables at position 25
//   AttachEngineToWindow(GetWindowHandle(0));          // device, input devices, default font
//   every frame:
//     queue draws (sprites, boxes)                     // engine/sprite.h, engine/box.h
//     RenderWorld();                                   // clear, flush what was queued, close
//     post-processing                                  // engine/render_texture.h
//     queue more draws
//     FlushAllSprites(); FlushBoxQueue(nullptr, ScreenWidth(), ScreenHeight());
//     FlushTextQueue(); EndFrameScene(); PresentFrame();
//
// Presentation waits for the display's retrace (or is paced to its refresh rate), so the frame
// rate is the refresh rate. A failed presentation makes the device lost: RenderWorld then does
// nothing and every PresentFrame tries a reset 100 ms later, until one succeeds.
//
// Engine handles are the addresses of records in the engine's lists; 0 means none. There is
// no shutdown: the device and every record live until the process ends.
//
// Threads: everything here runs on the main thread, without locks.
#pragma once

#include <cstdint>

#include "platform/gfx/gfx.h"
#include "platform/input/input.h"
#include "platform/window/window.h"

namespace engine {

// ---------------------------------------------------------------------------------------------
// Result codes
// ---------------------------------------------------------------------------------------------

// The engine's numbered results. AttachEngineToWindow returns one; failing load and start
// steps store theirs as the engine's last error.
enum class EngineResult : std::int32_t {
    kAllOkay = 1,
    kDeviceNotCreated = 2,
    kDepth16Unsupported = 3,
    kBackBufferFormat = 4,
    kDisplayAdapter = 5,
    kNoDirect3D = 6,
    kModeMatch = 7,
    kColourDepth = 8,
    kExclusiveLevel = 9,
    kDefaultFont = 10,
    kDeviceCaps = 11,
    kWindowInUse = 12,
    kDirectSound = 13,
    kWaveHeader = 14,
    kWaveFile = 15,
    kTextureShader = 16,
    kShader = 17,
    kGraphicNotLoaded = 18,
    kGraphicNotSaved = 19,
    kObjectNotLoaded = 20,
    kObjectNotSaved = 21,
};

// The stored text of a result code (Windows-1252 bytes), or null outside 1-21.
const char* EngineResultText(std::int32_t code);

// ---------------------------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------------------------
//
// The engine keeps its state to itself (engine/state_internal.h); programs read it here.

// The back buffer's size in pixels, taken from the device's viewport when AttachEngineToWindow
// succeeded; 0 before. This is the clip size a program passes to FlushBoxQueue.
std::int32_t ScreenWidth();
std::int32_t ScreenHeight();

// ---------------------------------------------------------------------------------------------
// Start-up and device
// ---------------------------------------------------------------------------------------------

// The engine's start-up chain step (position 25): zero-fills the engine's fixed tables
// (the scroll-text tables among them).
void InitEngineTables();

// Creates the lists and key buffer, starts the frame clock, asks for a 1 ms timer period,
// creates the Direct3D and DirectInput objects and finds the sound device. Returns 1, 2 (no
// Direct3D object) or 3 (no DirectInput object). Lists are made once; a repeated call keeps
// them.
std::int32_t StartEngineServices();

// Creates the device on "window" and everything bound to it. Returns an EngineResult code:
// 1 on success, else 2, 3, 4, 5, 6, 10 or 11 for the failing step; on failure the engine has
// no device and the frame operations do nothing. The keyboard, mouse and joystick open on the
// window's top-level window whether or not the device could be made.
std::int32_t AttachEngineToWindow(platform::window::WindowHandle window);

// The engine's fixed device state, in its fixed order (render states, then samplers 0 and 1).
void ApplyDefaultRenderStates();

// The three input devices; each returns 1, or 5 / 4 / 3 / 2 for the failing step (creation,
// data format, cooperative level, acquire), leaving the device closed.
std::int32_t OpenKeyboardDevice(platform::window::WindowHandle window, std::uint32_t flags);
std::int32_t OpenMouseDevice(platform::window::WindowHandle window, std::uint32_t flags);
std::int32_t OpenJoystickDevice(platform::window::WindowHandle window, std::uint32_t flags);

// ---------------------------------------------------------------------------------------------
// Frame cycle
// ---------------------------------------------------------------------------------------------

// Draws and removes the queued texts of every font, font by font.
void FlushTextQueue();
// Closes the scene (a second close in a frame is refused by the device and ignored).
void EndFrameScene();
// Reads the mouse and joystick, measures the frame, presents; a failed presentation starts
// ResetEngineDevice(5). Without a device it waits 100 ms instead, as the reset's retry does.
void PresentFrame();
// Waits 100 ms, releases what is bound to the device (fonts, batchers, effects, render
// textures), resets it and restores everything.
// Mode 5 (multisampling off) is the only mode; others return 0. Returns 1 otherwise, whether
// the device's reset succeeded or not (lastPresentResult tells).
std::int32_t ResetEngineDevice(std::int32_t mode);

// The world pass: clears to clearColour with depth 1.0, opens the scene, sets the world-stage
// render states, flushes sprites, texts and boxes, closes the scene. Nothing while the device
// is lost or absent.
void RenderWorld();

// ---------------------------------------------------------------------------------------------
// Keyboard and clock
// ---------------------------------------------------------------------------------------------

// 1 if DirectInput key "key" (0-255) is down now, or any key for -1; 0 otherwise, without a
// keyboard, when the state cannot be read, and for codes outside -1..255.
std::int32_t IsKeyDown(std::int32_t key);

// The window's top-level ancestor (the window itself when it has no parent).
platform::window::WindowHandle FindTopLevelWindow(platform::window::WindowHandle window);

// The interrupt time (100-ns units since system start) / 100, low 32 bits: 100000 per second.
std::int32_t GetClockTicks();

// The interrupt time in 100-ns units since system start.
std::int64_t ReadInterruptTime();

}  // namespace engine
