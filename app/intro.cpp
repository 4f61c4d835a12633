// app/intro.cpp: the intro's set-up sequence, its frame loop and its exit sequence.
//
// Every number here is part of the picture: positions, sizes, scales, colours and times are
// fixed, and the calls run in exactly this order. No result is examined: a part that failed
// to come up simply makes its later calls do nothing.
#include <cstring>

#include "app/intro_scene.h"
#include "assets/data_area.h"
#include "audio/music.h"
#include "audio/sound_device.h"
#include "engine/box.h"
#include "engine/engine.h"
#include "engine/scroll_text.h"
#include "runtime/chain.h"
#include "runtime/colour.h"
#include "runtime/data_area.h"
#include "runtime/display.h"
#include "runtime/date.h"
#include "runtime/event.h"
#include "runtime/window.h"

namespace app {

IntroScene scene;

namespace {

FrameStageHook g_stageHook = nullptr;
inline void Stage(int stage) {
    if (g_stageHook) g_stageHook(stage);
}

SetUpStageHook g_setUpHook = nullptr;
inline void SetUpStage(int stage) {
    if (g_setUpHook) g_setUpHook(stage);
}

namespace pw = platform::window;

// The intro's own first start-up step: its globals start from zero.
void ZeroIntroGlobals() { std::memset(static_cast<void*>(&scene), 0, sizeof scene); }

// The display library's step: the hidden multimedia window it shares with the sound device,
// then the display table when the graphics system offers at least one display mode.
void StartDisplay() {
    audio::CreateMultimediaWindow();
    runtime::StartDisplayLibrary();
}

void StartMusic() { audio::InitMusicLibrary(); }

// Steps of the libraries above the runtime, with their places in the chains.
constexpr runtime::ChainStep kUpperStartSteps[] = {
    {1, "intro globals", ZeroIntroGlobals},
    {24, "music", StartMusic},
    {25, "render engine", engine::InitEngineTables},
    {27, "display", StartDisplay},
    audio::kSoundStartupStep,
};

constexpr runtime::ChainStep kUpperEndSteps[] = {
    {1, "music", audio::EndMusicLibrary},
    audio::kSoundEndStep,
};

const std::uint8_t* DataAt(const assets::DataItem& item) { return assets::kDataArea + item.offset; }
std::int32_t Bytes(const assets::DataItem& item) { return static_cast<std::int32_t>(item.bytes); }

// Joins the effect source lines of the data area, a line feed after each, up to the line
// "End" (which is not part of the source).
void AssembleEffectSource() {
    runtime::SetDataOffset(assets::kEffectSource.offset);
    runtime::StringVariable line = nullptr;
    runtime::ReadDataString(&line);
    scene.dataCursor = runtime::DataCursor();
    while (!runtime::StringsEqual(line, "End")) {
        const std::size_t start = runtime::ScratchPosition();
        runtime::AppendToScratch(scene.effectSource);
        runtime::AppendToScratch(line);
        runtime::AppendToScratch("\n");
        runtime::AssignFromScratch(&scene.effectSource, start);
        // A data area without the closing line ends the source at its last byte.
        if (runtime::ReadDataString(&line) == 0) break;
        scene.dataCursor = runtime::DataCursor();
    }
    runtime::SetStringVariable(&line, nullptr);
}

}  // namespace

void SetUp() {
    // 1. The runtime and every library.
    runtime::SetDataArea(assets::kDataArea, assets::kDataAreaBytes);
    runtime::RunStartupChain(kUpperStartSteps);
    SetUpStage(0);

    // 2. The music loops from here until the end chain.
    audio::CreateMusicFromMemory(2, DataAt(assets::kModule), Bytes(assets::kModule));
    audio::StartMusicStream(2);
    SetUpStage(1);

    // 3-5. Window 0: borderless (popup), hidden, centred, black; the engine attached to it.
    runtime::CreateNumberedWindow(
        0, 0, 0, 800, 600, " ", pw::WS_POPUP | runtime::CreateHidden | runtime::CentreOnScreen);
    runtime::SetWindowBackground(0, runtime::MakeColour(0, 0, 0));
    engine::AttachEngineToWindow(runtime::GetWindowHandle(0));
    SetUpStage(2);

    // 6. The scroller: font, text, bounds, wave.
    engine::LoadFontFromMemory(scene.scrollNumber, DataAt(assets::kFont), Bytes(assets::kFont));
    engine::SetTextSlot(scene.scrollNumber, assets::kScrollText);
    engine::InitScrollText(scene.scrollNumber, scene.scrollNumber, scene.scrollNumber, 450, -10,
                           860);
    engine::SetScrollTextWave(scene.scrollNumber, 0, 0, 82, -7.0f);
    SetUpStage(3);

    // 7. Sprites; their creation order is their drawing order.
    scene.infoPanelSprite =
        engine::CreateSpriteFromMemory(DataAt(assets::kInfoPanel), Bytes(assets::kInfoPanel));
    scene.logoSprite = engine::CreateSpriteFromMemory(DataAt(assets::kLogo), Bytes(assets::kLogo));
    scene.logoDotsSprite =
        engine::CreateSpriteFromMemory(DataAt(assets::kLogoDots), Bytes(assets::kLogoDots));
    scene.edgeShadeSprite =
        engine::CreateSpriteFromMemory(DataAt(assets::kEdgeShade), Bytes(assets::kEdgeShade));
    SetUpStage(4);

    // 8. The caption animation starts four whole seconds from now.
    scene.captionAnimStart = runtime::AddToDate(runtime::CurrentDate(), runtime::kDateSecond, 4);

    // 9-10. The caption and its 250-frame animation at 20 frames per second.
    scene.captionSprite =
        engine::CreateSpriteFromMemory(DataAt(assets::kCaption), Bytes(assets::kCaption));
    scene.captionAnimSprite =
        engine::CreateSpriteFromMemory(DataAt(assets::kCaptionAnim), Bytes(assets::kCaptionAnim));
    engine::SetSpriteAnimation(scene.captionAnimSprite, 250, 20, 159, 14);
    SetUpStage(5);

    // 11-13. Dragging, the 800 ms fade-in, the show.
    runtime::InstallWindowCallback(DragHook);
    pw::AnimateWindow(runtime::GetWindowHandle(0), 800, pw::AW_BLEND);
    runtime::ShowNumberedWindow(0, 0, 0);
    SetUpStage(6);

    // 14-15. The frame texture and the post-processing effect.
    scene.frameTexture = engine::CreateScreenTexture();
    AssembleEffectSource();
    scene.postEffect = engine::CreateEffectFromSource(scene.effectSource);
    SetUpStage(7);
}

void SetSetUpStageHook(SetUpStageHook hook) { g_setUpHook = hook; }

void SetFrameStageHook(FrameStageHook hook) { g_stageHook = hook; }

bool RunFrame() {
    // 1-2. The logo is the only sprite queued before the world pass; the scale set after
    // queueing applies from the next frame on.
    engine::PlaceSprite(scene.logoSprite, 88, 100);
    engine::SetSpriteScale(scene.logoSprite, 100.0f, 120.0f);
    engine::SetSpriteDepth(scene.logoSprite, 0.0f);

    // 3. At most one event or platform message; close requests change nothing.
    runtime::PollWindowEvent(0);

    // 4. Escape, or a request to end the process (SIGTERM, Ctrl+C), fades out and ends the
    // loop; what this pass queued is never drawn.
    if (engine::IsKeyDown(platform::input::DIK_ESCAPE) || runtime::TerminationRequested()) {
        pw::AnimateWindow(runtime::GetWindowHandle(0), 800, pw::AW_BLEND | pw::AW_HIDE);
        return false;
    }

    // 5. Effect variables; only "time" is declared by the effect.
    engine::SetEffectFloat(scene.postEffect, "time",
                           static_cast<float>(engine::GetClockTicks() / 100000.0));
    engine::SetEffectFloat(scene.postEffect, "Var1", static_cast<float>(scene.effectParam1));
    engine::SetEffectFloat(scene.postEffect, "Var2", static_cast<float>(scene.effectParam2));
    engine::SetEffectFloat(scene.postEffect, "Var3", static_cast<float>(scene.effectParam3));
    engine::SetEffectFloat(scene.postEffect, "postfx", static_cast<float>(scene.effectSwitch));

    Stage(0);

    // 6-9. First layer: the world pass, then the frame through the effect and back.
    engine::RenderWorld();
    Stage(1);
    engine::CopyBackBufferToTexture(scene.frameTexture);
    engine::SetEffectFloat(scene.postEffect, "postfx", static_cast<float>(scene.effectSwitch));
    engine::SetEffectTechnique(scene.postEffect, "postFX");
    engine::SetEffectTexture(scene.postEffect, "texture0", scene.frameTexture);
    engine::ApplyEffectToTexture(scene.frameTexture, scene.postEffect);
    engine::CopyTextureToBackBuffer(scene.frameTexture);
    Stage(2);

    // 10-15. Second layer, undistorted. MakeColour gives 0x00BBGGRR while boxes read
    // 0xAARRGGBB, so (51, 51, 153) shows as red 153/51/51.
    engine::QueueBox(0, 50, 800, 2, runtime::MakeColour(51, 51, 153), 1);
    engine::QueueBox(0, 550, 800, 2, runtime::MakeColour(51, 51, 153), 1);
    engine::PlaceSprite(scene.edgeShadeSprite, -32, 287);
    engine::SetSpriteScale(scene.edgeShadeSprite, 109.0f, 100.0f);
    engine::SetSpriteDepth(scene.edgeShadeSprite, 0.0f);
    engine::PlaceSprite(scene.captionSprite, 600, 65);
    engine::SetSpriteDepth(scene.captionSprite, 0.0f);
    if (runtime::CurrentDate() > scene.captionAnimStart) {
        engine::PlaceSprite(scene.captionAnimSprite, 600, 65);
        engine::SetSpriteDepth(scene.captionAnimSprite, 0.0f);
    }
    engine::PlaceSprite(scene.infoPanelSprite, 239, 260);
    engine::SetSpriteDepth(scene.infoPanelSprite, 0.0f);
    engine::UpdateScrollText(scene.scrollNumber);
    Stage(3);

    // 16. Frame end: sprites in creation order, then boxes, then texts; present.
    engine::FlushAllSprites();
    engine::FlushBoxQueue(nullptr, engine::ScreenWidth(), engine::ScreenHeight());
    engine::FlushTextQueue();
    engine::EndFrameScene();
    Stage(4);
    engine::PresentFrame();
    Stage(5);
    return true;
}

void Exit() {
    runtime::RunEndChain(kUpperEndSteps);
    runtime::EndProcess();
}

}  // namespace app
