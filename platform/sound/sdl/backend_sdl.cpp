// platform/sound/sdl/backend_sdl.cpp: the output on SDL2 audio.
//
// [X] default output device at 44100 Hz, signed 16-bit, stereo (SDL converts for hardware
//     that differs, so the core always mixes in that one format)
// [X] SDL's audio thread pulls from the core's mix function, one period at a time
// [X] SDL's driver choice holds (SDL_AUDIODRIVER=disk / dummy for captures and silent runs)
// [X] ALSA's error lines stay off stderr while SDL probes for a device (alsa_quiet.h)
// [ ] device hot-plug: a lost device is not reopened
#include <SDL.h>

#include "platform/sound/backend.h"
#include "platform/sound/sdl/alsa_quiet.h"
#include "platform/sound/sound.h"

namespace platform::sound {

namespace {

// Frames per SDL callback: about 23 ms at 44100 Hz, the granularity of the play cursor.
constexpr Uint16 kPeriodFrames = 1024;

class SdlStream final : public BackendStream {
public:
    SdlStream(MixFunction mix, void* context) : mix_(mix), context_(context) {}
    ~SdlStream() override {
        if (device_ != 0) SDL_CloseAudioDevice(device_);  // waits for a running callback
    }

    bool Open() {
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(kDeviceRate);
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(kDeviceChannels);
        want.samples = kPeriodFrames;
        want.callback = &SdlStream::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) return false;
        period_ = have.samples ? have.samples : kPeriodFrames;
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    std::size_t period_frames() const override { return period_; }

private:
    static void SDLCALL Callback(void* userdata, Uint8* stream, int len) {
        auto* self = static_cast<SdlStream*>(userdata);
        const std::size_t frames = static_cast<std::size_t>(len) / (2 * kDeviceChannels);
        self->mix_(self->context_, reinterpret_cast<std::int16_t*>(stream), frames);
    }

    MixFunction mix_;
    void* context_;
    SDL_AudioDeviceID device_ = 0;
    std::size_t period_ = kPeriodFrames;
};

class SdlBackend final : public Backend {
public:
    bool Start() override {
        sdl::QuietAlsaErrors();
        return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    }
    void Stop() override { SDL_QuitSubSystem(SDL_INIT_AUDIO); }
    std::unique_ptr<BackendStream> OpenStream(MixFunction mix, void* context) override {
        auto stream = std::make_unique<SdlStream>(mix, context);
        if (!stream->Open()) return nullptr;
        return stream;
    }
};

}  // namespace

std::unique_ptr<Backend> MakeSdlBackend() { return std::make_unique<SdlBackend>(); }

}  // namespace platform::sound
