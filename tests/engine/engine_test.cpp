// tests/engine/engine_test.cpp: the engine's device, frame cycle, world pass, keyboard and
// clock on a real window and GL context (run under Xvfb).
//
// CTest runs every test in its own process; run as one binary, the test of the failing
// attachment steps comes first, before any device exists.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "engine/state_internal.h"
#include "platform/gfx/gfx.h"
#include "platform/gfx/gfx_testing.h"
#include "platform/input/input_testing.h"
#include "runtime/chain.h"
#include "tests/engine/xtest_keys.h"
#include "tests/gfx_support/back_buffer.h"
#include "tests/gfx_support/test_window.h"

namespace {

namespace gfx = platform::gfx;
namespace win = platform::window;
using engine::deviceState;
using engine::inputState;
using engine::frameClock;
using engine::engineLists;

constexpr int kWidth = 320, kHeight = 240;

struct QuietAudio {
    QuietAudio() { setenv("SDL_AUDIODRIVER", "dummy", 1); }
} quietAudio;

win::WindowHandle MakeWindow(const char* title, win::WindowHandle owner = {}) {
    return testsupport::MakeTestWindow(
        {.title = title, .x = 20, .y = 20, .width = kWidth, .height = kHeight, .parent = owner});
}

// The runtime start-up chain with the engine's step, once per process.
void StartRuntime() {
    static bool started = false;
    if (started) return;
    started = true;
    static const runtime::ChainStep steps[] = {{25, "render engine", engine::InitEngineTables}};
    runtime::RunStartupChain(steps);
}

win::WindowHandle g_window{};

// The engine attached to a window of its own, once per process.
void AttachEngine() {
    StartRuntime();
    if (deviceState.device) return;
    gfx::InjectCreationFault(gfx::CreationFault::kNone);
    g_window = MakeWindow("engine test");
    ASSERT_TRUE(g_window);
    ASSERT_EQ(engine::AttachEngineToWindow(g_window), 1);
    ASSERT_NE(deviceState.device, nullptr);
}

std::vector<std::uint32_t> ReadBackBuffer() { return testsupport::ReadBackBuffer(deviceState.device); }

void FillBackBuffer(std::uint32_t colour) {
    gfx::IDirect3DSurface9* bb = nullptr;
    deviceState.device->GetBackBuffer(0, 0, gfx::D3DBACKBUFFER_TYPE_MONO, &bb);
    deviceState.device->ColorFill(bb, nullptr, colour);
    bb->Release();
}

gfx::DWORD State(gfx::D3DRENDERSTATETYPE s) {
    gfx::DWORD v = 0xDEADBEEF;
    deviceState.device->GetRenderState(s, &v);
    return v;
}

// ---------------------------------------------------------------------------------------------
// Attaching
// ---------------------------------------------------------------------------------------------

TEST(EngineAttach, EachFailingStepReportsItsCodeAndLeavesNoDevice) {
    StartRuntime();
    if (deviceState.device) GTEST_SKIP() << "a device exists already in this process";
    win::WindowHandle w = MakeWindow("attach failures");
    const struct { gfx::CreationFault fault; std::int32_t code; } rows[] = {
        {gfx::CreationFault::kDisplayMode, 5}, {gfx::CreationFault::kDeviceType, 4},
        {gfx::CreationFault::kDepthFormat, 3}, {gfx::CreationFault::kDeviceCaps, 11},
        {gfx::CreationFault::kCreateDevice, 2},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.code);
        gfx::InjectCreationFault(r.fault);
        EXPECT_EQ(engine::AttachEngineToWindow(w), r.code);
        EXPECT_EQ(deviceState.device, nullptr);
        // The keyboard does not need the device: Escape must still end the program.
        EXPECT_NE(inputState.keyboardDevice, nullptr);
    }
    gfx::InjectCreationFault(gfx::CreationFault::kNone);
    // Without a device the frame operations do nothing and crash nothing, and the frame end
    // waits as a lost device's retry does instead of letting the loop spin.
    engine::RenderWorld();
    engine::FlushTextQueue();
    engine::EndFrameScene();
    const auto start = std::chrono::steady_clock::now();
    engine::PresentFrame();
    EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0.099);
    EXPECT_EQ(engine::ResetEngineDevice(5), 0);
    // A dead window cannot carry a device.
    win::DestroyWindow(w);
    EXPECT_EQ(engine::AttachEngineToWindow(w), 2);
    EXPECT_EQ(deviceState.device, nullptr);

    // Without hardware vertex processing the device is made with software processing.
    gfx::InjectCreationFault(gfx::CreationFault::kNoVertexProcessing);
    g_window = MakeWindow("software vertex processing");
    EXPECT_EQ(engine::AttachEngineToWindow(g_window), 1);
    gfx::InjectCreationFault(gfx::CreationFault::kNone);
    EXPECT_EQ(gfx::GetPresentInfo().behaviourFlags, gfx::D3DCREATE_SOFTWARE_VERTEXPROCESSING);
    EXPECT_EQ(engine::AttachEngineToWindow(g_window), 6);  // a device exists already
}

TEST(EngineAttach, SuccessSetsScreenSizeDefaultFontAndInputDevices) {
    AttachEngine();
    EXPECT_EQ(deviceState.screenWidth, kWidth);
    EXPECT_EQ(deviceState.screenHeight, kHeight);
    EXPECT_EQ(deviceState.presentParams.AutoDepthStencilFormat, gfx::D3DFMT_D16);
    EXPECT_EQ(deviceState.presentParams.Flags, gfx::D3DPRESENTFLAG_LOCKABLE_BACKBUFFER);
    EXPECT_NE(inputState.keyboardDevice, nullptr);
    EXPECT_NE(inputState.mouseDevice, nullptr);
    ASSERT_EQ(engineLists.fontList.Count(), 1);
    auto* font = engineLists.fontList.GoToFirst();
    ASSERT_NE(font->font, nullptr);
    ASSERT_NE(font->batcher, nullptr);
    EXPECT_EQ(font->description.Height, 16);
    EXPECT_EQ(font->description.Weight, 600u);
    EXPECT_EQ(font->description.CharSet, 1);
    EXPECT_EQ(font->description.OutputPrecision, 4);
}

TEST(EngineResults, TextsAreStoredByteForByte) {
    const struct { std::int32_t code; const char* text; } rows[] = {
        {1, "#1 Alles Okay"},
        {13, "#13 DirectSound kann nicht  initialisiert werden"},
        {14, "#14 Wave Header f\xFC" "r DirectSound ist fehlerhaft"},
        {15, "#15 Wave Datei f\xFC" "r DirectSound konnte nicht ge\xF6" "ffnet werden"},
        {17, "#17 Shader konnte nicht erstellt werden: \n"},
        {21, "#21 Objekt konnte nicht gespeichert werden"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.code);
        ASSERT_NE(engine::EngineResultText(r.code), nullptr);
        EXPECT_STREQ(engine::EngineResultText(r.code), r.text);
    }
    EXPECT_EQ(engine::EngineResultText(0), nullptr);
    EXPECT_EQ(engine::EngineResultText(22), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Device state and the world pass
// ---------------------------------------------------------------------------------------------

TEST(EngineStates, DefaultTableThenWorldPassChanges) {
    AttachEngine();
    engine::ApplyDefaultRenderStates();
    const struct { gfx::D3DRENDERSTATETYPE s; gfx::DWORD v; } defaults[] = {
        {gfx::D3DRS_ZENABLE, 1},          {gfx::D3DRS_FILLMODE, 3},        {gfx::D3DRS_SHADEMODE, 2},
        {gfx::D3DRS_ZWRITEENABLE, 1},     {gfx::D3DRS_ALPHATESTENABLE, 0}, {gfx::D3DRS_LASTPIXEL, 1},
        {gfx::D3DRS_SRCBLEND, 2},         {gfx::D3DRS_CULLMODE, 1},        {gfx::D3DRS_ZFUNC, 4},
        {gfx::D3DRS_ALPHAREF, 0},         {gfx::D3DRS_ALPHAFUNC, 8},       {gfx::D3DRS_DITHERENABLE, 0},
        {gfx::D3DRS_ALPHABLENDENABLE, 0}, {gfx::D3DRS_FOGENABLE, 0},       {gfx::D3DRS_FOGCOLOR, 0},
        {gfx::D3DRS_FOGTABLEMODE, 0},     {gfx::D3DRS_FOGSTART, 0},        {gfx::D3DRS_FOGEND, 1},
        {gfx::D3DRS_FOGDENSITY, 1},       {gfx::D3DRS_RANGEFOGENABLE, 0},  {gfx::D3DRS_CLIPPING, 1},
        {gfx::D3DRS_LIGHTING, 1},         {gfx::D3DRS_SPECULARENABLE, 0},
    };
    for (const auto& d : defaults) {
        SCOPED_TRACE(d.s);
        EXPECT_EQ(State(d.s), d.v);
    }
    for (gfx::DWORD sampler = 0; sampler < 2; ++sampler) {
        const struct { gfx::D3DSAMPLERSTATETYPE t; gfx::DWORD v; } samplers[] = {
            {gfx::D3DSAMP_MINFILTER, 2}, {gfx::D3DSAMP_MAGFILTER, 2}, {gfx::D3DSAMP_MIPFILTER, 2},
            {gfx::D3DSAMP_ADDRESSU, 1},  {gfx::D3DSAMP_ADDRESSV, 1},
        };
        for (const auto& s : samplers) {
            SCOPED_TRACE(testing::Message() << "sampler " << sampler << " state " << s.t);
            gfx::DWORD v = 0;
            deviceState.device->GetSamplerState(sampler, s.t, &v);
            EXPECT_EQ(v, s.v);
        }
    }

    // The world pass puts Z writes and the blend factors back as it found them.
    gfx::IDirect3DDevice9* d = deviceState.device;
    d->SetRenderState(gfx::D3DRS_ZWRITEENABLE, 0);
    d->SetRenderState(gfx::D3DRS_SRCBLEND, gfx::D3DBLEND_SRCALPHA);
    d->SetRenderState(gfx::D3DRS_DESTBLEND, gfx::D3DBLEND_INVSRCALPHA);
    d->SetRenderState(gfx::D3DRS_ZENABLE, 0);
    d->SetRenderState(gfx::D3DRS_ALPHATESTENABLE, 1);
    d->SetRenderState(gfx::D3DRS_POINTSPRITEENABLE, 1);
    d->SetRenderState(gfx::D3DRS_LIGHTING, 0);
    engine::RenderWorld();
    const struct { gfx::D3DRENDERSTATETYPE s; gfx::DWORD v; } after[] = {
        {gfx::D3DRS_ZENABLE, 1},          {gfx::D3DRS_ZFUNC, 4},           {gfx::D3DRS_ALPHATESTENABLE, 0},
        {gfx::D3DRS_COLORVERTEX, 1},      {gfx::D3DRS_POINTSPRITEENABLE, 0}, {gfx::D3DRS_POINTSCALEENABLE, 0},
        {gfx::D3DRS_ALPHABLENDENABLE, 0}, {gfx::D3DRS_LIGHTING, 1},        {gfx::D3DRS_ZWRITEENABLE, 0},
        {gfx::D3DRS_SRCBLEND, 5},         {gfx::D3DRS_DESTBLEND, 6},
    };
    for (const auto& a : after) {
        SCOPED_TRACE(a.s);
        EXPECT_EQ(State(a.s), a.v);
    }
    engine::ApplyDefaultRenderStates();
    d->SetRenderState(gfx::D3DRS_DESTBLEND, gfx::D3DBLEND_ZERO);
}

TEST(EngineWorld, ClearsToTransparentBlackWithDepthOne) {
    AttachEngine();
    FillBackBuffer(0xFF445566u);
    engine::RenderWorld();
    const auto px = ReadBackBuffer();
    ASSERT_EQ(px.size(), static_cast<std::size_t>(kWidth * kHeight));
    for (const std::uint32_t p : {px[0], px[kWidth * kHeight / 2 + 7], px.back()}) EXPECT_EQ(p, 0x00000000u);

    // The depth left is 1.0: a quad at z 1.0 fails a LESS test and passes LESSEQUAL; one just
    // in front of it passes LESS.
    gfx::IDirect3DTexture9* white = nullptr;
    ASSERT_EQ(gfx::D3DXCreateTexture(deviceState.device, 1, 1, 1, 0, gfx::D3DFMT_A8R8G8B8, gfx::D3DPOOL_MANAGED, &white),
              gfx::D3D_OK);
    gfx::D3DLOCKED_RECT lr;
    white->LockRect(0, &lr, nullptr, 0);
    *static_cast<std::uint32_t*>(lr.pBits.Bits()) = 0xFFFFFFFFu;
    white->UnlockRect(0);
    gfx::ID3DXSprite* sprite = nullptr;
    gfx::D3DXCreateSprite(deviceState.device, &sprite);
    auto drawAt = [&](float x, float z, gfx::DWORD func) {
        deviceState.device->SetRenderState(gfx::D3DRS_ZFUNC, func);
        sprite->Begin(0);
        const gfx::D3DXVECTOR3 pos{x, 10.0f, z};
        sprite->Draw(white, nullptr, nullptr, &pos, 0xFFFFFFFFu);
        sprite->End();
    };
    drawAt(10.0f, 1.0f, gfx::D3DCMP_LESS);
    drawAt(20.0f, 1.0f, gfx::D3DCMP_LESSEQUAL);
    drawAt(30.0f, 0.999f, gfx::D3DCMP_LESS);
    deviceState.device->SetRenderState(gfx::D3DRS_ZFUNC, gfx::D3DCMP_LESSEQUAL);
    sprite->Release();
    white->Release();
    const auto after = ReadBackBuffer();
    EXPECT_EQ(after[10 * kWidth + 10], 0x00000000u);
    EXPECT_EQ(after[10 * kWidth + 20], 0xFFFFFFFFu);
    EXPECT_EQ(after[10 * kWidth + 30], 0xFFFFFFFFu);
}

// ---------------------------------------------------------------------------------------------
// Frame timing and presentation
// ---------------------------------------------------------------------------------------------

TEST(EngineFrame, FirstFrameIsMeasuredFromEngineStart) {
    AttachEngine();
    gfx::SetPresentPacing(false);
    engine::PresentFrame();         // the first swap of a window can be slow; not measured here
    engine::StartEngineServices();  // the engine's start: the clock begins here
    EXPECT_FLOAT_EQ(frameClock.frameSeconds, 0.016666668f);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    engine::PresentFrame();
    EXPECT_GE(frameClock.frameSeconds, 0.149f);
    EXPECT_LT(frameClock.frameSeconds, 0.5f);
    engine::PresentFrame();  // the next frame is measured from the previous one
    EXPECT_LT(frameClock.frameSeconds, 0.1f);
    gfx::SetPresentPacing(true);
}

TEST(EngineFrame, LostDeviceDrawsNothingRetriesEvery100MsAndRecovers) {
    AttachEngine();
    gfx::SetPresentPacing(false);
    FillBackBuffer(0xFF00FF00u);
    gfx::InjectPresentFailures(1, gfx::D3DERR_DEVICELOST);
    gfx::InjectResetFailures(1);
    auto start = std::chrono::steady_clock::now();
    engine::PresentFrame();  // fails, and the reset that follows it fails too
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(took, 0.099);
    EXPECT_NE(deviceState.lastPresentResult, 0);

    // While lost the world pass leaves the back buffer alone and the keyboard still answers.
    engine::RenderWorld();
    EXPECT_EQ(ReadBackBuffer()[0], 0xFF00FF00u);
    EXPECT_EQ(engine::IsKeyDown(1), 0);

    start = std::chrono::steady_clock::now();
    engine::PresentFrame();  // still lost; this reset succeeds
    took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(took, 0.099);
    EXPECT_EQ(deviceState.lastPresentResult, 0);

    // Drawing and the bound objects work again.
    engine::RenderWorld();
    EXPECT_EQ(ReadBackBuffer()[0], 0x00000000u);
    EXPECT_EQ(State(gfx::D3DRS_CULLMODE), static_cast<gfx::DWORD>(gfx::D3DCULL_NONE));
    auto* font = engineLists.fontList.GoToFirst();
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->batcher->Begin(gfx::D3DXSPRITE_ALPHABLEND), gfx::D3D_OK);
    EXPECT_EQ(font->batcher->End(), gfx::D3D_OK);
    engine::PresentFrame();
    EXPECT_EQ(deviceState.lastPresentResult, 0);
    EXPECT_EQ(engine::ResetEngineDevice(4), 0);  // only mode 5 exists
    gfx::SetPresentPacing(true);
}

TEST(EngineFrame, EmptyTextQueueAndSecondSceneCloseChangeNothing) {
    AttachEngine();
    engine::RenderWorld();
    FillBackBuffer(0xFF123456u);
    engine::FlushTextQueue();
    engine::EndFrameScene();  // the world pass closed the scene already
    EXPECT_EQ(ReadBackBuffer()[5], 0xFF123456u);
    EXPECT_EQ(engineLists.textQueue.Count(), 0);
}

// ---------------------------------------------------------------------------------------------
// Keyboard and clock
// ---------------------------------------------------------------------------------------------

TEST(EngineKeyboard, RealEscapeIsSeenWithAndWithoutFocus) {
    AttachEngine();
    EXPECT_EQ(engine::IsKeyDown(-1), 0);
    EXPECT_EQ(engine::IsKeyDown(1), 0);
    win::SetActiveWindow(g_window);
    {
        HeldKey escape(XK_Escape);
        ASSERT_TRUE(escape.down());
        EXPECT_EQ(engine::IsKeyDown(1), 1);
        EXPECT_EQ(engine::IsKeyDown(-1), 1);
        EXPECT_EQ(engine::IsKeyDown(2), 0);
    }
    EXPECT_EQ(engine::IsKeyDown(1), 0);

    // Another window takes the focus: the background keyboard still sees the key.
    win::WindowHandle other = MakeWindow("focus thief");
    win::SetActiveWindow(other);
    {
        HeldKey escape(XK_Escape);
        EXPECT_EQ(engine::IsKeyDown(1), 1);
    }
    EXPECT_EQ(engine::IsKeyDown(-1), 0);
    win::DestroyWindow(other);

    // Codes outside -1..255 read nothing outside the key table.
    for (const std::int32_t bad : {-2, 256, 100000, -2147483647 - 1}) EXPECT_EQ(engine::IsKeyDown(bad), 0);
}

TEST(EngineKeyboard, EachFailingOpeningStepLeavesTheKeyboardClosed) {
    AttachEngine();
    const struct { platform::input::InputFault fault; std::int32_t code; } rows[] = {
        {platform::input::InputFault::kCreateDevice, 5},
        {platform::input::InputFault::kSetDataFormat, 4},
        {platform::input::InputFault::kSetCooperativeLevel, 3},
        {platform::input::InputFault::kAcquire, 2},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.code);
        platform::input::InjectInputFault(r.fault);
        EXPECT_EQ(engine::OpenKeyboardDevice(g_window, 10), r.code);
        EXPECT_EQ(inputState.keyboardDevice, nullptr);
        EXPECT_EQ(engine::IsKeyDown(-1), 0);
    }
    platform::input::InjectInputFault(platform::input::InputFault::kNone);
    EXPECT_EQ(engine::OpenKeyboardDevice(g_window, 10), 1);
    // Exclusive background access to the keyboard is refused at the cooperative level.
    EXPECT_EQ(engine::OpenMouseDevice(g_window, 9), 1);
    EXPECT_EQ(engine::OpenKeyboardDevice(g_window, 9), 3);
    EXPECT_EQ(engine::OpenKeyboardDevice(g_window, 10), 1);
    // A state that cannot be read answers 0 for every key.
    platform::input::InjectInputFault(platform::input::InputFault::kGetDeviceState);
    {
        HeldKey escape(XK_Escape);
        EXPECT_EQ(engine::IsKeyDown(1), 0);
    }
    platform::input::InjectInputFault(platform::input::InputFault::kNone);
}

TEST(EngineKeyboard, TopLevelWindowIsTheEndOfTheOwnerChain) {
    AttachEngine();
    win::WindowHandle owned = MakeWindow("owned", g_window);
    win::WindowHandle owned2 = MakeWindow("owned twice", owned);
    EXPECT_EQ(engine::FindTopLevelWindow(owned2), g_window);
    EXPECT_EQ(engine::FindTopLevelWindow(g_window), g_window);
    win::DestroyWindow(owned);
}

TEST(EngineClock, TicksFollowAnotherClockAt100000PerSecond) {
    StartRuntime();
    using clock = std::chrono::steady_clock;
    const auto c0 = clock::now();
    const std::int32_t t0 = engine::GetClockTicks();
    const auto c0b = clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto c1 = clock::now();
    const std::int32_t t1 = engine::GetClockTicks();
    const auto c1b = clock::now();
    const double lo = std::chrono::duration<double>(c1 - c0b).count() * 100000.0;
    const double hi = std::chrono::duration<double>(c1b - c0).count() * 100000.0;
    const double ticks = static_cast<double>(static_cast<std::uint32_t>(t1 - t0));
    // Within one timer period (1 ms = 100 ticks) of the elapsed time seen by the other clock.
    EXPECT_GE(ticks, lo - 100.0);
    EXPECT_LE(ticks, hi + 100.0);
    // Ticks are the interrupt time's 100-ns units divided by 100, kept to 32 bits.
    const auto expected = static_cast<std::uint32_t>(engine::ReadInterruptTime() / 100);
    const auto got = static_cast<std::uint32_t>(engine::GetClockTicks());
    EXPECT_LE(got - expected, 100u);
}

}  // namespace
