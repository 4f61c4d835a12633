// benchmarks/sprites/bench_sprites.cpp: one frame of the intro's wave scroller (about 800 pixel
// columns of the font sprite) queued and flushed, on a real device under an X server.
//
// Parts measured per frame:
//   BM_ScrollerQueue       UpdateScrollText in wave mode: sine, rounding and one queued region
//                          per column (the queue is emptied after each frame, untimed)
//   BM_ScrollerQueueWalk   FlushAllSprites over the same queue when none of its commands belongs
//                          to a live sprite: six sprites each walk the ~800 commands between a
//                          batcher Begin and End, and draw nothing
//   BM_ScrollerFlush       FlushAllSprites drawing the queue: the walks, one batcher Draw per
//                          command and the GL draws of the batches, as submitted (CPU time)
//   BM_ScrollerFlushFinish the same followed by a one-pixel read-back, which waits until the GL
//                          work of the frame is done
//   BM_SpriteFromPicture   CreateSpriteFromMemory and DestroySprite of the intro's 159 x 5880
//                          caption strip: decode, the loader's round trip through a PNG file
//                          in memory, and the upload of the kept texture (forced by a copy)
// Counters: "commands" queued per frame and "drawCalls", the sprite batches flushed per frame
// (one GL draw each).
//
// Run under an X server: xvfb-run -a -s "-screen 0 1280x1024x24" ./bench_sprites
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "assets/data_area.h"
#include "engine/engine.h"
#include "engine/scroll_text.h"
#include "engine/sprite.h"
#include "engine/texture.h"
#include "engine/state_internal.h"
#include "platform/gfx/image_png.h"
#include "platform/window/window.h"
#include "runtime/heap.h"
#include "runtime/list.h"
#include "tests/gfx_support/test_window.h"

namespace {

namespace gfx = platform::gfx;
namespace win = platform::window;
using engine::deviceState;
using engine::engineLists;

std::vector<std::uint8_t> Png(int w, int h, std::uint32_t seed) {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = 0xFF000000u | static_cast<std::uint32_t>((i * 2654435761u) ^ seed);
    }
    std::vector<std::uint8_t> file;
    gfx::image::EncodePng(pixels.data(), static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h),
                          true, &file);
    return file;
}

// The handle of a sprite destroyed right after its creation: commands naming it are walked over
// and never drawn.
engine::Sprite* orphan = nullptr;

// The engine on an 800 x 600 window with the intro's scroller and five more sprites.
bool SetUpScene() {
    if (!runtime::CreateRuntimeHeap()) return false;
    engine::InitEngineTables();
    const win::WindowHandle window =
        testsupport::MakeTestWindow({.title = "sprite bench", .width = 800, .height = 600});
    if (!window || engine::AttachEngineToWindow(window) != 1) return false;

    const std::vector<std::uint8_t> font = Png(320, 48, 0x123456);
    if (engine::LoadFontFromMemory(0, font.data(), static_cast<std::uint32_t>(font.size())) == nullptr) {
        return false;
    }
    for (int i = 0; i < 5; ++i) {
        const std::vector<std::uint8_t> png = Png(64, 32, static_cast<std::uint32_t>(i));
        if (!engine::CreateSpriteFromMemory(png.data(), static_cast<std::uint32_t>(png.size()))) return false;
    }
    const std::vector<std::uint8_t> png = Png(8, 8, 99);
    orphan = engine::CreateSpriteFromMemory(png.data(), static_cast<std::uint32_t>(png.size()));
    if (orphan == nullptr || engine::DestroySprite(orphan) != 1) return false;
    std::string text;
    for (int i = 0; i < 466; ++i) text.push_back(static_cast<char>('A' + i % 26));
    engine::SetTextSlot(0, text.c_str());
    engine::InitScrollText(0, 0, 0, 450, -10, 860);
    engine::SetScrollTextWave(0, 0, 0, 82, -7.0f);
    // Past the entry from the right: the text spans the whole screen.
    engine::scrollTextTable[0].offset = 0;
    return true;
}

// One frame's scroller commands; the scroller is held in place so every frame is alike.
void QueueScrollerFrame() {
    engine::scrollTextTable[0].offset = 0;
    engine::UpdateScrollText(0);
}

void SyncGpu() {
    gfx::IDirect3DSurface9* back = nullptr;
    if (gfx::Failed(deviceState.device->GetBackBuffer(0, 0, gfx::D3DBACKBUFFER_TYPE_MONO, &back))) return;
    gfx::D3DLOCKED_RECT lr;
    const gfx::RECT one{0, 0, 1, 1};
    if (gfx::Succeeded(back->LockRect(&lr, &one, gfx::D3DLOCK_READONLY))) {
        benchmark::DoNotOptimize(lr.pBits.Bits());
        back->UnlockRect();
    }
    back->Release();
}

void SetCounters(benchmark::State& state, double commands, double drawCalls) {
    state.counters["commands"] = commands;
    state.counters["drawCalls"] = drawCalls;
}

void BM_ScrollerQueue(benchmark::State& state) {
    double commands = 0;
    for (auto _ : state) {
        QueueScrollerFrame();
        state.PauseTiming();
        commands = engineLists.spriteDrawQueue.Count();
        engineLists.spriteDrawQueue.Empty();
        state.ResumeTiming();
    }
    SetCounters(state, commands, 0);
}
BENCHMARK(BM_ScrollerQueue)->Unit(benchmark::kMicrosecond);

void BM_ScrollerQueueWalk(benchmark::State& state) {
    QueueScrollerFrame();
    // Hand every command to a sprite that is no longer in the list: the walks find nothing to
    // draw and the queue stays as it is.
    engineLists.spriteDrawQueue.ForEach([](engine::SpriteDrawCommand& c) { c.sprite = orphan; });
    const double commands = engineLists.spriteDrawQueue.Count();
    deviceState.device->BeginScene();
    for (auto _ : state) engine::FlushAllSprites();
    deviceState.device->EndScene();
    engineLists.spriteDrawQueue.Empty();
    SetCounters(state, commands, 0);
}
BENCHMARK(BM_ScrollerQueueWalk)->Unit(benchmark::kMicrosecond);

void FlushFrames(benchmark::State& state, bool finish) {
    double commands = 0;
    std::uint64_t batches = 0;
    deviceState.device->BeginScene();
    for (auto _ : state) {
        state.PauseTiming();
        QueueScrollerFrame();
        commands = engineLists.spriteDrawQueue.Count();
        const std::uint64_t before = engine::SpriteBatchesFlushed();
        state.ResumeTiming();
        engine::FlushAllSprites();
        if (finish) SyncGpu();
        batches = engine::SpriteBatchesFlushed() - before;
    }
    deviceState.device->EndScene();
    SetCounters(state, commands, static_cast<double>(batches));
}

void BM_ScrollerFlush(benchmark::State& state) { FlushFrames(state, false); }
BENCHMARK(BM_ScrollerFlush)->Unit(benchmark::kMicrosecond);

void BM_ScrollerFlushFinish(benchmark::State& state) { FlushFrames(state, true); }
BENCHMARK(BM_ScrollerFlushFinish)->Unit(benchmark::kMicrosecond);

void BM_SpriteFromPicture(benchmark::State& state) {
    const std::uint8_t* bytes = assets::ItemBytes(assets::kCaptionAnim);
    const auto size = static_cast<std::uint32_t>(assets::kCaptionAnim.bytes);
    for (auto _ : state) {
        engine::Sprite* sprite = engine::CreateSpriteFromMemory(bytes, size);
        if (sprite == nullptr) {
            state.SkipWithError("the caption strip did not load");
            break;
        }
        // A one-pixel copy gives GL the texture the loader kept, as the first draw would.
        engine::TextureRecord* record = sprite->texture;
        gfx::IDirect3DSurface9 *level = nullptr, *back = nullptr;
        record->texture->GetSurfaceLevel(0, &level);
        deviceState.device->GetBackBuffer(0, 0, gfx::D3DBACKBUFFER_TYPE_MONO, &back);
        const gfx::RECT one{0, 0, 1, 1};
        deviceState.device->StretchRect(level, &one, back, &one, gfx::D3DTEXF_NONE);
        level->Release();
        back->Release();
        engine::DestroySprite(sprite);
        // Sprites leave their texture record behind: release it, or every pass keeps 3.7 MB.
        record->texture->Release();
        engine::RemoveTextureRecord(record);
    }
}
BENCHMARK(BM_SpriteFromPicture)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!SetUpScene()) {
        std::fprintf(stderr, "bench_sprites: no engine (is an X server with GL there?)\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
