// platform/sound/null/backend_null.cpp: a silent backend whose clock the caller advances.
#include "platform/sound/null/backend_null.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "platform/sound/backend.h"

namespace platform::sound {

namespace {

constexpr std::size_t kNullPeriodFrames = 256;

std::atomic<bool> g_failStart{false};
std::atomic<bool> g_failOpen{false};

class NullStream;
std::mutex g_streamsMutex;  // guards g_streams and serialises Pump against stream teardown
std::vector<NullStream*> g_streams;

class NullStream final : public BackendStream {
public:
    NullStream(MixFunction mix, void* context) : mix_(mix), context_(context) {
        std::lock_guard<std::mutex> guard(g_streamsMutex);
        g_streams.push_back(this);
    }
    ~NullStream() override {
        std::lock_guard<std::mutex> guard(g_streamsMutex);
        g_streams.erase(std::remove(g_streams.begin(), g_streams.end(), this), g_streams.end());
    }
    std::size_t period_frames() const override { return kNullPeriodFrames; }
    void Pull(std::int16_t* out, std::size_t frames) { mix_(context_, out, frames); }

private:
    MixFunction mix_;
    void* context_;
};

class NullBackend final : public Backend {
public:
    bool Start() override { return !g_failStart.load(); }
    std::unique_ptr<BackendStream> OpenStream(MixFunction mix, void* context) override {
        if (g_failOpen.load()) return nullptr;
        return std::make_unique<NullStream>(mix, context);
    }
};

}  // namespace

std::unique_ptr<Backend> MakeNullBackend() { return std::make_unique<NullBackend>(); }

namespace null {

std::size_t Pump(std::size_t frames, std::int16_t* out) {
    std::lock_guard<std::mutex> guard(g_streamsMutex);
    std::vector<std::int16_t> scratch(frames * 2);
    for (std::size_t i = 0; i < g_streams.size(); ++i) {
        const bool last = i + 1 == g_streams.size();
        g_streams[i]->Pull(last && out ? out : scratch.data(), frames);
    }
    return g_streams.size();
}

void InjectStartFailure(bool fail) { g_failStart.store(fail); }
void InjectOpenFailure(bool fail) { g_failOpen.store(fail); }

}  // namespace null

}  // namespace platform::sound
