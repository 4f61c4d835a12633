// benchmarks/window/window_benchmark.cpp: costs of the event queue and of polling per frame.
//
// The intro polls once per frame, so an idle PollWindowEvent(0) is paid at the refresh rate;
// the queue's merge and purge walks are paid per window message. The polling benchmarks need
// an X server ($DISPLAY, e.g. under xvfb-run) and report an error without one.
#include <benchmark/benchmark.h>

#include "platform/window/window.h"
#include "runtime/chain.h"
#include "runtime/event.h"
#include "runtime/window.h"

namespace {

// Starts the runtime for one benchmark and ends it afterwards.
struct RuntimeScope {
    RuntimeScope() { runtime::RunStartupChain({}); }
    ~RuntimeScope() { runtime::RunEndChain({}); }
};

void BM_QueueAndTakeEvent(benchmark::State& state) {
    RuntimeScope scope;
    const int depth = static_cast<int>(state.range(0));
    for (int i = 0; i < depth; ++i) runtime::QueueEvent(1000 + i % 2, i, 0, 0, 0, nullptr, 0);
    std::int64_t taken = 0;
    for (auto _ : state) {
        runtime::QueueEvent(2000, 0, 1, 0, 0, nullptr, runtime::kEventNeverMerge);
        benchmark::DoNotOptimize(taken += runtime::TakeQueuedEvent());
    }
    state.SetItemsProcessed(state.iterations());
    if (runtime::QueuedEventCount() != depth) state.SkipWithError("queue depth drifted");
}
BENCHMARK(BM_QueueAndTakeEvent)->Arg(0)->Arg(16)->Arg(1024);

// One WM_SIZE's worth of queue work: drop the window's Resized, append a new one, behind
// "depth" other events.
void BM_ResizedReplaceBehindQueue(benchmark::State& state) {
    RuntimeScope scope;
    const int depth = static_cast<int>(state.range(0));
    for (int i = 0; i < depth; ++i) runtime::QueueEvent(1000 + i % 2, i, 0, 0, 0, nullptr, 0);
    for (auto _ : state) {
        runtime::RemoveQueuedEvents(runtime::Resized, 0, 7, 0);
        runtime::QueueEvent(runtime::Resized, 0, 7, 0, 0, nullptr, 0);
    }
    state.SetItemsProcessed(state.iterations());
    if (runtime::QueuedEventCount() != depth + 1) state.SkipWithError("not one Resized");
}
BENCHMARK(BM_ResizedReplaceBehindQueue)->Arg(0)->Arg(16)->Arg(256)->Arg(4096);

void BM_PollWindowEventIdle(benchmark::State& state) {
    RuntimeScope scope;
    if (runtime::CreateNumberedWindow(0, 0, 0, 800, 600, " ", 0x90000001) == 0) {
        state.SkipWithError("no window (is there an X server?)");
        return;
    }
    runtime::ShowNumberedWindow(0, 0, 0);
    for (int i = 0; i < 200; ++i) runtime::PollWindowEvent(1);  // let the show settle
    for (auto _ : state) benchmark::DoNotOptimize(runtime::PollWindowEvent(0));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PollWindowEventIdle);

// A posted event from the caller's own thread until the poll hands it back.
void BM_PostEventRoundTrip(benchmark::State& state) {
    RuntimeScope scope;
    if (!runtime::PostEvent(1, 0, 0, 0, 0)) {
        state.SkipWithError("no post-event window (is there an X server?)");
        return;
    }
    while (runtime::PollWindowEvent(0) != 1) {}
    for (auto _ : state) {
        runtime::PostEvent(3, 0, 0, 0, 0);
        while (runtime::PollWindowEvent(0) != 3) {}
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PostEventRoundTrip);

}  // namespace

BENCHMARK_MAIN();
