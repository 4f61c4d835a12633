// tests/audio/audio_fixture.h: runs the start-up and end chains with the audio steps, and
// renders the reference PCM of a module the way the stream does.
#pragma once

#include <gtest/gtest.h>
#include <libmodplug/modplug.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "audio/music.h"
#include "audio/music_internal.h"
#include "audio/music_testing.h"
#include "audio/sound_device.h"
#include "platform/sound/null/backend_null.h"
#include "platform/sound/sound.h"
#include "platform/sys/sys.h"
#include "platform/sys/sys_testing.h"
#include "runtime/chain.h"
#include "tests/audio/xm_writer.h"
#include "tests/test_env.h"

namespace audio_test {

inline constexpr runtime::ChainStep kAudioStartSteps[] = {audio::kMusicStartupStep,
                                                          audio::kSoundStartupStep};
inline constexpr runtime::ChainStep kAudioEndSteps[] = {audio::kMusicEndStep,
                                                        audio::kSoundEndStep};

// Starts the chains on the backend "backend" (null = default, with SDL_AUDIODRIVER "driver"
// when given) and ends them after the test, resetting every injected failure.
class AudioChain : public ::testing::Test {
protected:
    void Start(const char* backend, const char* driver = nullptr) {
        if (driver) setenv("SDL_AUDIODRIVER", driver, 1);
        ASSERT_TRUE(platform::sound::SetSoundBackend(backend));
        runtime::RunStartupChain(kAudioStartSteps);
        started_ = true;
    }
    void TearDown() override {
        platform::sys::InjectThreadCreationFailure(false);
        if (started_) runtime::RunEndChain(kAudioEndSteps);
        audio::InjectModuleRead(nullptr);
        platform::sound::null::InjectStartFailure(false);
        platform::sound::null::InjectOpenFailure(false);
        platform::sound::SetSoundBackend(nullptr);
        unsetenv("SDL_AUDIODRIVER");
    }

    static audio::MusicStream* Lookup(runtime::ObjectNumber number) {
        return static_cast<audio::MusicStream*>(runtime::LookupObject(audio::MusicTable(), number));
    }

    static int LiveMusics() {
        runtime::ObjectTable* table = audio::MusicTable();
        runtime::ResetObjectWalk(table);
        int n = 0;
        while (runtime::NextObject(table, nullptr)) ++n;
        return n;
    }

    bool started_ = false;
};

// One rendering of "image" from its start: libmodplug's output in half-buffer reads at master
// volume 512 (the library settings must already be in place).
inline std::vector<std::int16_t> RenderOnce(const std::vector<std::uint8_t>& image,
                                            std::size_t bytes) {
    ModPlugFile* module = ModPlug_Load(image.data(), static_cast<int>(image.size()));
    if (!module) return {};
    ModPlug_SetMasterVolume(module, audio::kMusicMasterVolume);
    const std::size_t half = audio::kMusicBufferBytes / 2;
    std::vector<std::int16_t> pcm((bytes + half - 1) / half * half / 2);
    for (std::size_t at = 0; at < pcm.size() * 2; at += half) {
        ModPlug_Read(module, reinterpret_cast<std::uint8_t*>(pcm.data()) + at, static_cast<int>(half));
    }
    ModPlug_Unload(module);
    pcm.resize(bytes / 2);
    return pcm;
}

// "bytes" of "image" as a stream started right after this call renders it. libmodplug's
// output filter keeps its last sample in a global, so the first frame of any rendering
// depends on what was rendered before it: the second of two equal renderings starts from the
// state the stream will start from (the end of that same rendering).
inline std::vector<std::int16_t> ReferencePcm(const std::vector<std::uint8_t>& image,
                                              std::size_t bytes) {
    RenderOnce(image, bytes);
    return RenderOnce(image, bytes);
}

// Index of the first non-zero sample, or the size.
inline std::size_t FirstSound(const std::vector<std::int16_t>& pcm) {
    std::size_t i = 0;
    while (i < pcm.size() && pcm[i] == 0) ++i;
    return i;
}

// True when some sample in [from, to) of "pcm" is not zero.
inline bool SoundsIn(const std::vector<std::int16_t>& pcm, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to && i < pcm.size(); ++i) {
        if (pcm[i] != 0) return true;
    }
    return false;
}

}  // namespace audio_test
