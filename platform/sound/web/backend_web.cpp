// platform/sound/web/backend_web.cpp: the output in a browser page, an AudioWorklet that plays
// a ring of 16-bit frames straight from the program's shared memory (ring_player.js).
//
// [X] the page's AudioContext (Module.audioContext, made and unlocked by the page) at 44100 Hz
// [X] a pump thread (a Web Worker) pulls the core's mix function one period at a time into the
//     ring whenever a period is free; the worklet reads the ring on the audio thread, so a
//     busy page's main thread cannot starve the output
// [X] the worklet stays silent and leaves the ring alone until its connection to the
//     destination carries sound (the browser runs a new node for a while before that), so the
//     first frames the core mixed are the first ones heard
// [X] frames the worklet found missing once playing are counted (Module.introAudio)
// [X] no AudioContext, no AudioWorklet or no shared memory: no output (the core runs silent)
// [ ] a closed or interrupted context is not reopened
#include <emscripten.h>
#include <emscripten/threading.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/sound/backend.h"
#include "platform/sound/sound.h"

namespace platform::sound {

namespace {

// Frames per mix call: the granularity of the play cursor, as SDL's output has it.
constexpr std::size_t kPeriodFrames = 1024;
// The ring the worklet reads: about 190 ms at 44100 Hz.
constexpr std::size_t kRingFrames = 8192;
// Frames the worklet renders silent after its connection before it starts on the ring.
constexpr int kStartDelayFrames = 8192;

// The ring's shared header, read and written with atomics from both sides. Frame counters
// run on (mod 2^32); the worklet owns "read" and "underrun", the pump owns "write".
struct RingHeader {
    std::atomic<std::uint32_t> read{0};
    std::atomic<std::uint32_t> write{0};
    std::atomic<std::uint32_t> underrun{0};
    std::atomic<std::uint32_t> stop{0};
};
static_assert(sizeof(RingHeader) == 16);

// True when the page offers what the output needs: an AudioContext running at the device
// rate, the AudioWorklet interface and memory shared with workers.
EM_JS(int, WebAudioAvailable, (int rate), {
    var context = Module['audioContext'];
    return context && typeof AudioWorkletNode !== 'undefined' && context.audioWorklet &&
           typeof SharedArrayBuffer !== 'undefined' && context.sampleRate === rate ? 1 : 0;
});

// Loads the worklet (once per page), makes a node on the ring and connects it to the
// destination. Answers 1 when the node plays.
EM_ASYNC_JS(int, WebOpenRing, (std::uint32_t* header, std::int16_t* frames, int ring_frames,
                               int start_delay), {
    var context = Module['audioContext'];
    try {
        if (!Module['introAudioWorklet']) {
            Module['introAudioWorklet'] =
                context.audioWorklet.addModule(new URL('ring_player.js', document.baseURI).href);
        }
        await Module['introAudioWorklet'];
        var node = new AudioWorkletNode(context, 'intro-ring-player', {
            numberOfInputs : 0,
            numberOfOutputs : 1,
            outputChannelCount : [2],
            processorOptions : {
                memory : wasmMemory,
                header : header,
                frames : frames,
                ringFrames : ring_frames,
                startDelay : start_delay
            }
        });
        Module['introAudio'] = {played : 0, underrun : 0};
        node.port.onmessage = function(e) { Module['introAudio'] = e.data; };
        node.connect(context.destination);
        Module['introAudioNodes'] = Module['introAudioNodes'] || {};
        Module['introAudioNodes'][header] = node;
        return 1;
    } catch (e) {
        return 0;
    }
});

EM_JS(void, WebCloseRing, (std::uint32_t* header), {
    var nodes = Module['introAudioNodes'] || {};
    var node = nodes[header];
    if (!node) return;
    node.disconnect();
    node.port.postMessage('stop');
    delete nodes[header];
});

class WebStream final : public BackendStream {
public:
    WebStream(MixFunction mix, void* context)
        : mix_(mix), context_(context), samples_(kRingFrames * kDeviceChannels) {}

    ~WebStream() override {
        header_.stop.store(1);
        if (pump_.joinable()) pump_.join();  // no mix call after this
        // The node goes on the page's thread, where it was made.
        if (open_) {
            emscripten_sync_run_in_main_runtime_thread(EM_FUNC_SIG_VI, &WebCloseRing,
                                                       reinterpret_cast<std::uint32_t*>(&header_));
        }
    }

    bool Open() {
        if (!emscripten_is_main_browser_thread()) return false;  // the page's objects live there
        if (!WebOpenRing(reinterpret_cast<std::uint32_t*>(&header_), samples_.data(),
                         static_cast<int>(kRingFrames), kStartDelayFrames))
            return false;
        open_ = true;
        try {
            pump_ = std::thread([this] { Pump(); });
        } catch (...) {
            return false;
        }
        return true;
    }

    std::size_t period_frames() const override { return kPeriodFrames; }

private:
    // Keeps the ring full: one period per mix call, written where the worklet reads next.
    void Pump() {
        std::vector<std::int16_t> period(kPeriodFrames * kDeviceChannels);
        while (header_.stop.load() == 0) {
            const std::uint32_t write = header_.write.load();
            const std::uint32_t queued = write - header_.read.load();
            if (kRingFrames - queued < kPeriodFrames) {
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
                continue;
            }
            mix_(context_, period.data(), kPeriodFrames);
            const std::size_t at = write % kRingFrames;  // kRingFrames is a multiple of the period
            std::memcpy(samples_.data() + at * kDeviceChannels, period.data(),
                        period.size() * sizeof(std::int16_t));
            header_.write.store(write + static_cast<std::uint32_t>(kPeriodFrames));
        }
    }

    MixFunction mix_;
    void* context_;
    RingHeader header_;
    std::vector<std::int16_t> samples_;
    std::thread pump_;
    bool open_ = false;
};

class WebBackend final : public Backend {
public:
    bool Start() override { return WebAudioAvailable(static_cast<int>(kDeviceRate)) != 0; }
    std::unique_ptr<BackendStream> OpenStream(MixFunction mix, void* context) override {
        auto stream = std::make_unique<WebStream>(mix, context);
        if (!stream->Open()) return nullptr;
        return stream;
    }
};

}  // namespace

std::unique_ptr<Backend> MakeWebBackend() { return std::make_unique<WebBackend>(); }

}  // namespace platform::sound
