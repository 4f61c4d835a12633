// benchmarks/intro/bench_intro.cpp: the intro's real frame loop, unpaced, stage by stage.
//
// Runs the whole set-up (fade-in included), then 600 passes of the frame loop with the
// presentation pacing off, and prints the CPU milliseconds per frame of each stage (the main
// thread's, and the whole process's beside it), the wall-clock frame rate, and the time from
// process start to the first presented frame with the 800 ms fade-in taken out. Then 300 more
// passes wait for the GL driver at the end of every stage, which charges the rasteriser's work
// to the stage that issued it: what each stage's drawing costs the whole process. Needs a
// display (scripts/run-benchmarks provides Xvfb).
//
//   bench_intro [FRAMES]   FRAMES passes instead of 600 (and half as many finished ones)
//
// Under callgrind (valgrind --tool=callgrind --instr-atstart=no) only the first frame loop is
// counted: its instruction counts compare two builds where a busy machine's CPU times cannot.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

#include "app/intro_scene.h"
#include "platform/gfx/gfx.h"
#include "platform/gfx/gfx_testing.h"
#include "platform/window/window.h"

namespace {

int kFrames = 600;
int kFinishedFrames = 300;
constexpr int kStages = 6;
const char* const kStageNames[kStages] = {"queue first layer, poll, effect variables",
                                          "world pass",
                                          "post-processing (copy, effect, copy back)",
                                          "queue second layer and scroller",
                                          "frame-end flushes",
                                          "present"};

double Seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

constexpr int kSetUpStages = 8;
const char* const kSetUpNames[kSetUpStages] = {"start-up chain (libraries, sound device)",
                                               "music created and started",
                                               "window, engine attached (GL context)",
                                               "scroller (font, text)",
                                               "four sprites (image decoding)",
                                               "caption and its animation",
                                               "fade-in and show (800 ms taken out)",
                                               "frame texture and effect"};

// A moment of the start-up: wall clock (since boot, as the process start) and the CPU time of
// the whole process (every thread, the renderer's included), which a busy machine inflates
// far less than the wall clock.
struct Mark {
    double wall = 0, cpu = 0;
};
Mark Now() { return {Seconds(CLOCK_BOOTTIME), Seconds(CLOCK_PROCESS_CPUTIME_ID)}; }

double g_cpu[kStages];
double g_last = 0;
double g_processCpu[kStages];  // the finished passes: whole-process CPU of each stage
double g_processLast = 0;
Mark g_setUpAt[kSetUpStages];
Mark g_firstFrameAt[kStages];
int g_framesSeen = 0;

void OnSetUpStage(int stage) {
    if (stage >= 0 && stage < kSetUpStages) g_setUpAt[stage] = Now();
}

void OnStage(int stage) {
    const double now = Seconds(CLOCK_THREAD_CPUTIME_ID);
    g_cpu[stage] += now - g_last;
    g_last = now;
    if (g_framesSeen == 0) g_firstFrameAt[stage] = Now();
    if (stage == 5) ++g_framesSeen;
}

void OnFinishedStage(int stage) {
    platform::gfx::FinishGpuWork();
    const double now = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    g_processCpu[stage] += now - g_processLast;
    g_processLast = now;
}

// The process's start, from /proc/self/stat (field 22, clock ticks since boot).
double ProcessStart() {
    std::FILE* f = std::fopen("/proc/self/stat", "r");
    if (!f) return 0;
    char buf[1024] = {};
    const std::size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = 0;
    const char* p = std::strrchr(buf, ')');
    if (!p) return 0;
    unsigned long long start = 0;
    int field = 2;
    for (const char* q = p + 1; *q && field < 22; ++q)
        if (*q == ' ') {
            ++field;
            if (field == 22) std::sscanf(q + 1, "%llu", &start);
        }
    return static_cast<double>(start) / 100.0;  // USER_HZ is 100 on Linux
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        kFrames = std::atoi(argv[1]);
        if (kFrames < 2) kFrames = 2;
        kFinishedFrames = kFrames / 2;
    }
    if (platform::window::GetSystemMetrics(platform::window::SM_CXSCREEN) == 0) {
        std::fprintf(stderr, "bench_intro: no display available\n");
        return 1;
    }
    const double processStart = ProcessStart();
    const Mark mainAt = Now();
    app::SetSetUpStageHook(OnSetUpStage);
    app::SetUp();
    app::SetSetUpStageHook(nullptr);
    platform::gfx::SetPresentPacing(false);
    app::SetFrameStageHook(OnStage);

    CALLGRIND_START_INSTRUMENTATION;
    const double wallStart = Seconds(CLOCK_MONOTONIC);
    const double processCpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    for (int frame = 0; frame < kFrames; ++frame) {
        g_last = Seconds(CLOCK_THREAD_CPUTIME_ID);
        if (!app::RunFrame()) break;
    }
    const double wall = Seconds(CLOCK_MONOTONIC) - wallStart;
    const double processCpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - processCpuStart;
    CALLGRIND_STOP_INSTRUMENTATION;

    double total = 0;
    std::printf("intro frame loop, %d frames, presentation pacing off\n", kFrames);
    for (int s = 0; s < kStages; ++s) {
        std::printf("  %-45s %8.3f ms CPU per frame\n", kStageNames[s], g_cpu[s] * 1000 / kFrames);
        total += g_cpu[s];
    }
    std::printf("  %-45s %8.3f ms CPU per frame\n", "all stages", total * 1000 / kFrames);
    std::printf("  frame rate (wall clock)                       %8.1f frames per second\n",
                kFrames / wall);
    // Every thread of the process: the renderer's rasteriser threads and the music's too. On a
    // busy machine this moves far less than the frame rate.
    std::printf("  %-45s %8.3f ms CPU per frame\n", "whole process (renderer threads included)",
                processCpu * 1000 / kFrames);
    if (processStart > 0) {
        const Mark& present = g_firstFrameAt[kStages - 1];
        std::printf("  process start to first presented frame       %8.0f ms (fade-in of 800 ms "
                    "taken out)\n",
                    (present.wall - processStart) * 1000 - 800);
        // The process start comes in 10 ms ticks: the first line is good to about 10 ms.
        std::printf("start-up, ms per step                              wall    process CPU\n");
        std::printf("  %-45s %8.1f %8.1f\n", "process start to main()",
                    (mainAt.wall - processStart) * 1000, mainAt.cpu * 1000);
        Mark previous = mainAt;
        auto step = [&](const char* prefix, const char* name, const Mark& at, double minus_ms) {
            char label[96];
            std::snprintf(label, sizeof label, "%s%s", prefix, name);
            std::printf("  %-45s %8.1f %8.1f\n", label,
                        (at.wall - previous.wall) * 1000 - minus_ms, (at.cpu - previous.cpu) * 1000);
            previous = at;
        };
        for (int s = 0; s < kSetUpStages; ++s) step("", kSetUpNames[s], g_setUpAt[s], s == 6 ? 800 : 0);
        for (int s = 0; s < kStages; ++s) step("first frame: ", kStageNames[s], g_firstFrameAt[s], 0);
    }
    std::fflush(stdout);

    app::SetFrameStageHook(OnFinishedStage);
    int finished = 0;
    g_processLast = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    while (finished < kFinishedFrames && app::RunFrame()) ++finished;
    if (finished > 0) {
        std::printf("each stage's GL work finished before the next, %d frames\n", finished);
        double all = 0;
        for (int s = 0; s < kStages; ++s) {
            std::printf("  %-45s %8.3f ms process CPU per frame\n", kStageNames[s],
                        g_processCpu[s] * 1000 / finished);
            all += g_processCpu[s];
        }
        std::printf("  %-45s %8.3f ms process CPU per frame\n", "all stages", all * 1000 / finished);
    }
    std::fflush(stdout);
    app::SetFrameStageHook(nullptr);
    app::Exit();
}
