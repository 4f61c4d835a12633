// benchmarks/engine/bench_engine.cpp: the engine's frame cycle on a real window (needs an X
// server): an empty frame with presentation pacing off, and the presentation rate with pacing
// on where the platform refuses to wait for the retrace (Xvfb).

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "engine/box.h"
#include "engine/engine.h"
#include "engine/sprite.h"
#include "platform/gfx/gfx.h"
#include "platform/gfx/gfx_testing.h"
#include "runtime/chain.h"
#include "tests/gfx_support/test_window.h"

namespace {

namespace gfx = platform::gfx;

// The runtime, a shown 800 x 600 window and the engine on it, once.
bool Attach() {
    static int result = 0;
    if (result != 0) return result == 1;
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    static const runtime::ChainStep steps[] = {{25, "render engine", engine::InitEngineTables}};
    runtime::RunStartupChain(steps);
    result = engine::AttachEngineToWindow(
        testsupport::MakeTestWindow({.title = "bench_engine", .width = 800, .height = 600}));
    return result == 1;
}

// One frame with nothing queued: world pass, frame-end flushes, scene end, presentation.
void EmptyFrame() {
    engine::RenderWorld();
    engine::FlushAllSprites();
    engine::FlushBoxQueue(nullptr, engine::ScreenWidth(), engine::ScreenHeight());
    engine::FlushTextQueue();
    engine::EndFrameScene();
    engine::PresentFrame();
}

void Report(benchmark::State& state) {
    const gfx::PresentInfo info = gfx::GetPresentInfo();
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["refresh_hz"] = info.refreshRateHz;
    state.counters["swap_waits"] = info.swapIntervalHonoured ? 1 : 0;
}

void BM_EmptyFrameCycleUnpaced(benchmark::State& state) {
    if (!Attach()) {
        state.SkipWithError("no engine device (is there an X server?)");
        return;
    }
    gfx::SetPresentPacing(false);
    EmptyFrame();
    for (auto _ : state) EmptyFrame();
    Report(state);
    gfx::SetPresentPacing(true);
}
BENCHMARK(BM_EmptyFrameCycleUnpaced)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_FrameCyclePaced(benchmark::State& state) {
    if (!Attach()) {
        state.SkipWithError("no engine device (is there an X server?)");
        return;
    }
    gfx::SetPresentPacing(true);
    EmptyFrame();
    for (auto _ : state) EmptyFrame();
    Report(state);
}
BENCHMARK(BM_FrameCyclePaced)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(180);

}  // namespace

BENCHMARK_MAIN();
