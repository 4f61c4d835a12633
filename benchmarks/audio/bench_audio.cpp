// benchmarks/audio/bench_audio.cpp: the cost of music streaming against its deadlines.
//
//   BM_HalfRefill          one half-buffer refill (ModPlug_Read of 25600 frames); the counter
//                          "deadline_ratio" is its time over the 580.5 ms the half lasts
//   BM_MixPeriod           one output period (1024 frames) of the sound core's mixer with 1, 4
//                          or 16 playing buffers (one resampled in the last row); the counter
//                          "period_ratio" is its time over the period's 23.2 ms
//   BM_StreamCpuPerSecond  CPU time of the stream thread per second of music, while the
//                          silent backend is pulled at real time by the benchmark's thread
//                          (counted as the process's CPU time less that thread's)
//
// The module is the intro's own (assets/music/intro.xm) when the source tree has it, else the
// tests' small module.
#include <benchmark/benchmark.h>
#include <libmodplug/modplug.h>
#include <time.h>

#include <cstdio>
#include <vector>

#include "audio/music.h"
#include "audio/sound_device.h"
#include "platform/sound/null/backend_null.h"
#include "platform/sound/sound.h"
#include "platform/sys/sys.h"
#include "runtime/chain.h"
#include "tests/audio/xm_writer.h"

namespace {

std::vector<std::uint8_t> BenchModule() {
    std::vector<std::uint8_t> bytes;
    if (std::FILE* f = std::fopen(AUDIO_BENCH_MODULE, "rb")) {
        unsigned char chunk[4096];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
        std::fclose(f);
    }
    if (bytes.empty()) bytes = audio_test::TestModule();
    return bytes;
}

double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// CPU time of every thread but the calling one (which pulls the silent output).
double OtherThreadsCpuSeconds() {
    return CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

void BM_HalfRefill(benchmark::State& state) {
    const std::vector<std::uint8_t> image = BenchModule();
    ModPlug_Settings settings;
    ModPlug_GetSettings(&settings);
    settings.mLoopCount = -1;
    ModPlug_SetSettings(&settings);
    ModPlugFile* module = ModPlug_Load(image.data(), static_cast<int>(image.size()));
    if (!module) {
        state.SkipWithError("module not loaded");
        return;
    }
    ModPlug_SetMasterVolume(module, audio::kMusicMasterVolume);
    std::vector<std::uint8_t> half(audio::kMusicBufferBytes / 2);
    std::int64_t shortReads = 0;
    for (auto _ : state) {
        const int got = ModPlug_Read(module, half.data(), static_cast<int>(half.size()));
        benchmark::DoNotOptimize(half.data());
        if (got < static_cast<int>(half.size())) {  // a module that ends despite looping
            ++shortReads;
            ModPlug_Seek(module, 0);
        }
    }
    ModPlug_Unload(module);
    state.counters["short_reads"] = static_cast<double>(shortReads);
    // 25600 frames at 44100 Hz: the time the other half takes to play.
    const double deadline = 25600.0 / 44100.0;
    state.counters["deadline_ratio"] =
        benchmark::Counter(deadline, benchmark::Counter::kIsIterationInvariantRate |
                                         benchmark::Counter::kInvert);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * half.size()));
}
BENCHMARK(BM_HalfRefill)->Unit(benchmark::kMillisecond);

void BM_StreamCpuPerSecond(benchmark::State& state) {
    static constexpr runtime::ChainStep kStart[] = {audio::kMusicStartupStep,
                                                    audio::kSoundStartupStep};
    static constexpr runtime::ChainStep kEnd[] = {audio::kMusicEndStep, audio::kSoundEndStep};
    platform::sound::SetSoundBackend("null");
    runtime::RunStartupChain(kStart);
    const std::vector<std::uint8_t> image = BenchModule();
    if (!audio::CreateMusicFromMemory(2, image.data(), static_cast<int>(image.size())) ||
        audio::StartMusicStream(2) != 1) {
        state.SkipWithError("music not started");
        runtime::RunEndChain(kEnd);
        return;
    }
    double cpu = 0, music = 0;
    for (auto _ : state) {
        const double before = OtherThreadsCpuSeconds();
        for (int i = 0; i < 100; ++i) {  // one second of music, pulled in 10 ms steps
            platform::sound::null::Pump(441, nullptr);
            platform::sys::SleepMs(10);
        }
        cpu += OtherThreadsCpuSeconds() - before;
        music += 1.0;
    }
    audio::HaltMusicStream(2);
    runtime::RunEndChain(kEnd);
    platform::sound::SetSoundBackend(nullptr);
    state.counters["cpu_ms_per_music_s"] = music > 0 ? cpu * 1000.0 / music : 0.0;
}
BENCHMARK(BM_StreamCpuPerSecond)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// One output period (1024 frames) mixed from "range(0)" looping buffers of 16-bit stereo at
// 44100 Hz (and one at 22050 Hz when range(1) is 1), against the period's 23.2 ms.
void BM_MixPeriod(benchmark::State& state) {
    namespace snd = platform::sound;
    snd::SetSoundBackend("null");
    snd::SoundLibrary* library = snd::LoadSoundLibrary();
    auto create = reinterpret_cast<snd::DirectSoundCreateProc>(
        snd::GetSoundProcAddress(library, "DirectSoundCreate"));
    snd::Device* device = nullptr;
    if (!create || create(nullptr, &device, nullptr) != snd::DS_OK ||
        device->SetCooperativeLevel(1, snd::DSSCL_PRIORITY) != snd::DS_OK) {
        state.SkipWithError("no null device");
        snd::FreeSoundLibrary(library);
        return;
    }
    std::vector<snd::Buffer*> buffers;
    for (int i = 0; i < state.range(0); ++i) {
        const std::uint32_t rate = (state.range(1) == 1 && i == 0) ? 22050 : 44100;
        const snd::WaveFormatEx format{snd::WAVE_FORMAT_PCM, 2, rate, rate * 4, 4, 16, 0};
        const snd::BufferDesc desc{snd::kBufferDescSize, 0x180E2, 204800, 0, &format, {}};
        snd::Buffer* b = nullptr;
        if (device->CreateSoundBuffer(&desc, &b, nullptr) != snd::DS_OK) break;
        b->Play(0, 0, snd::DSBPLAY_LOOPING);
        buffers.push_back(b);
    }
    std::vector<std::int16_t> out(1024 * 2);
    for (auto _ : state) {
        snd::null::Pump(1024, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    for (snd::Buffer* b : buffers) b->Release();
    device->Release();
    snd::FreeSoundLibrary(library);
    snd::SetSoundBackend(nullptr);
    const double period = 1024.0 / 44100.0;
    state.counters["period_ratio"] = benchmark::Counter(
        period, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MixPeriod)->Args({1, 0})->Args({4, 0})->Args({16, 0})->Args({4, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
