// app/intro_scene.h: the intro program's globals and its entry points.
//
// The program owns no algorithm beyond the order of its calls: set-up, one pass of the frame
// loop per presented frame, and the exit sequence. Everything it draws and plays comes from
// the embedded data area (assets/data_area.h).
//
// Threads: main thread only (the music's stream thread shares nothing with the program).
#pragma once

#include <cstdint>

#include "engine/effect.h"
#include "engine/render_texture.h"
#include "engine/sprite.h"
#include "platform/window/window.h"
#include "runtime/strings.h"

namespace app {

// The program's globals. All zero at start (the first start-up step zeroes them again).
struct IntroScene {
    const std::uint8_t* dataCursor;  // the data read position while the effect source is read
    std::int32_t scrollNumber;       // scroll text, text slot and font slot: always 0
    engine::Sprite* infoPanelSprite;
    engine::Sprite* logoSprite;
    engine::Sprite* logoDotsSprite;  // created and never drawn
    engine::Sprite* edgeShadeSprite;
    engine::Sprite* captionSprite;
    engine::Sprite* captionAnimSprite;
    std::int32_t captionAnimStart;   // date (whole seconds) after which the animation shows
    engine::TextureRecord* frameTexture;
    runtime::StringVariable effectSource;
    engine::Effect* postEffect;
    std::int32_t effectParam1, effectParam2, effectParam3, effectSwitch;  // never assigned
};

extern IntroScene scene;

// The process-wide window callback: a left press inside the client area starts a window move.
// Always returns ContinueDefaultProcessing.
std::intptr_t DragHook(platform::window::WindowHandle window, std::uint32_t message,
                       std::uintptr_t wParam, std::intptr_t lParam);

// Called after each group of set-up steps when set (for measurements): 0 after the start-up
// chain, 1 after the music's start, 2 after the window and the engine's attachment, 3 after
// the scroller, 4 after the four sprites, 5 after the caption sprites, 6 after the fade-in and
// the show, 7 after the frame texture and the effect. Set it before SetUp.
using SetUpStageHook = void (*)(int stage);
void SetSetUpStageHook(SetUpStageHook hook);

// Runs the start-up chain and the set-up sequence.
void SetUp();

// Called between the stages of a frame when set (for measurements): 0 after the queueing of
// the first layer, the poll and the effect variables, 1 after the world pass, 2 after the
// post-processing, 3 after the second layer's queueing, 4 after the frame-end flushes, 5 after
// the presentation.
using FrameStageHook = void (*)(int stage);
void SetFrameStageHook(FrameStageHook hook);

// Runs one pass of the frame loop. Returns false once Escape was seen (after the fade-out).
bool RunFrame();

// Runs the end chain; ends the process with exit code 0.
[[noreturn]] void Exit();

}  // namespace app
