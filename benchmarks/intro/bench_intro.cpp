// benchmarks/intro/bench_intro.cpp: the intro's real frame loop, unpaced, stage by stage.
//
// Runs the whole set-up (fade-in included), then 600 passes of the frame loop with the
// presentation pacing off, and prints the CPU milliseconds per frame of each stage, the
// wall-clock frame rate, and the time from process start to the first presented frame with
// the 800 ms fade-in taken out. Needs a display (scripts/run-benchmarks provides Xvfb).
#include <time.h>

#include <cstdio>
#include <cstring>

#include "app/intro_scene.h"
#include "platform/gfx/gfx.h"
#include "platform/window/window.h"

namespace {

constexpr int kFrames = 600;
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

double g_cpu[kStages];
double g_last = 0;
double g_firstPresent = 0;

void OnStage(int stage) {
    const double now = Seconds(CLOCK_THREAD_CPUTIME_ID);
    g_cpu[stage] += now - g_last;
    g_last = now;
    if (stage == 5 && g_firstPresent == 0) g_firstPresent = Seconds(CLOCK_BOOTTIME);
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

int main() {
    if (platform::window::GetSystemMetrics(platform::window::SM_CXSCREEN) == 0) {
        std::fprintf(stderr, "bench_intro: no display available\n");
        return 1;
    }
    const double processStart = ProcessStart();
    app::SetUp();
    platform::gfx::SetPresentPacing(false);
    app::SetFrameStageHook(OnStage);

    const double wallStart = Seconds(CLOCK_MONOTONIC);
    for (int frame = 0; frame < kFrames; ++frame) {
        g_last = Seconds(CLOCK_THREAD_CPUTIME_ID);
        if (!app::RunFrame()) break;
    }
    const double wall = Seconds(CLOCK_MONOTONIC) - wallStart;

    double total = 0;
    std::printf("intro frame loop, %d frames, presentation pacing off\n", kFrames);
    for (int s = 0; s < kStages; ++s) {
        std::printf("  %-45s %8.3f ms CPU per frame\n", kStageNames[s], g_cpu[s] * 1000 / kFrames);
        total += g_cpu[s];
    }
    std::printf("  %-45s %8.3f ms CPU per frame\n", "all stages", total * 1000 / kFrames);
    std::printf("  frame rate (wall clock)                       %8.1f frames per second\n",
                kFrames / wall);
    if (processStart > 0)
        std::printf("  process start to first presented frame       %8.0f ms (fade-in of 800 ms "
                    "taken out)\n",
                    (g_firstPresent - processStart) * 1000 - 800);
    std::fflush(stdout);
    app::SetFrameStageHook(nullptr);
    app::Exit();
}
