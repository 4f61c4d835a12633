// tests/audio/music_test.cpp: music objects and their stream on the null backend: what is
// streamed, starting and stopping, freeing, and the failure paths.
#include "tests/audio/audio_fixture.h"

#include <chrono>
#include <cstring>
#include <future>
#include <limits>
#include <thread>

namespace snd = platform::sound;
using audio_test::AudioChain;

namespace {

class Music : public AudioChain {
protected:
    void SetUp() override {
        Start("null");
        image_ = audio_test::TestModule();
    }

    audio::MusicStream* Create(runtime::ObjectNumber number) {
        return audio::CreateMusicFromMemory(number, image_.data(), static_cast<int>(image_.size()));
    }

    static std::uint32_t Status(audio::MusicStream* m) {
        std::uint32_t status = 0;
        EXPECT_EQ(m->buffer->GetStatus(&status), snd::DS_OK);
        return status;
    }

    // Runs "f" on another thread; false when it has not returned within "limit".
    template <class F>
    static bool ReturnsWithin(F f, std::chrono::milliseconds limit) {
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> ready = done->get_future();
        std::thread([f, done] { f(); done->set_value(); }).detach();
        return ready.wait_for(limit) == std::future_status::ready;
    }

    std::vector<std::uint8_t> image_;
};

}  // namespace

// --- settings and creation -------------------------------------------------------------------

TEST_F(Music, LibraryLoopsForeverWithDefaultSettings) {
    ModPlug_Settings s{};
    ModPlug_GetSettings(&s);
    EXPECT_EQ(s.mLoopCount, -1);
    EXPECT_EQ(s.mFlags, MODPLUG_ENABLE_OVERSAMPLING | MODPLUG_ENABLE_NOISE_REDUCTION);
    EXPECT_EQ(s.mChannels, 2);
    EXPECT_EQ(s.mBits, 16);
    EXPECT_EQ(s.mFrequency, 44100);
    EXPECT_EQ(s.mResamplingMode, MODPLUG_RESAMPLE_LINEAR);
    EXPECT_EQ(s.mStereoSeparation, 128);
    EXPECT_EQ(s.mMaxMixChannels, 32);
    EXPECT_EQ(s.mReverbDepth + s.mBassAmount + s.mSurroundDepth, 0);
    runtime::ObjectTable* table = audio::MusicTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->capacity, audio::kMusicTableCapacity);
    EXPECT_EQ(table->growthStep, audio::kMusicTableCapacity);
}

TEST_F(Music, CreatedMusicIsReadyWithItsBuffer) {
    audio::MusicStream* m = Create(2);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(Lookup(2), m);
    EXPECT_NE(m->module, nullptr);
    EXPECT_EQ(m->bufferBytes, 204800);
    EXPECT_EQ(m->playing.load(), 0);
    EXPECT_EQ(m->streamActive.load(), 0);
    snd::BufferCaps caps{};
    ASSERT_EQ(m->buffer->GetCaps(&caps), snd::DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, 204800u);
    EXPECT_EQ(Status(m), 0u);
}

TEST_F(Music, RefusedCreationLeavesTheNumberEmpty) {
    const std::vector<std::uint8_t> garbage(4000, 0x5A);
    const std::vector<std::uint8_t> truncated(image_.begin(), image_.begin() + 60);
    const struct {
        const char* name;
        runtime::ObjectNumber number;
        const void* image;
        int size;
    } rows[] = {
        {"not a module", 3, garbage.data(), static_cast<int>(garbage.size())},
        {"truncated", 3, truncated.data(), static_cast<int>(truncated.size())},
        {"null image", 3, nullptr, 1000},
        {"empty", 3, image_.data(), 0},
        {"negative size", 3, image_.data(), -5},
        {"automatic, not a module", -1, garbage.data(), static_cast<int>(garbage.size())},
        {"number below -1", -7, image_.data(), static_cast<int>(image_.size())},
        {"number too large for the table", std::numeric_limits<runtime::ObjectNumber>::max(),
         image_.data(),
         static_cast<int>(image_.size())},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(audio::CreateMusicFromMemory(r.number, r.image, r.size), nullptr);
        EXPECT_EQ(Lookup(r.number), nullptr);
        EXPECT_EQ(LiveMusics(), 0);
        EXPECT_EQ(audio::StartMusicStream(r.number), 0);
    }
    // A refused module over a live number: the old music is gone and the number empty.
    ASSERT_NE(Create(3), nullptr);
    EXPECT_EQ(audio::CreateMusicFromMemory(3, garbage.data(), 4000), nullptr);
    EXPECT_EQ(Lookup(3), nullptr);
}

TEST_F(Music, AutomaticNumberIsTheRecordAddress) {
    audio::MusicStream* m = Create(-1);
    ASSERT_NE(m, nullptr);
    const auto number = reinterpret_cast<runtime::ObjectNumber>(m);
    EXPECT_EQ(Lookup(number), m);
    EXPECT_EQ(audio::StartMusicStream(number), 1);
    EXPECT_EQ(m->streamActive.load(), 1);
    audio::HaltMusicStream(number);
    EXPECT_EQ(m->streamActive.load(), 0);
    EXPECT_EQ(audio::RunningStreamThreads(), 0);
    audio::DestroyMusic(number);
    EXPECT_EQ(Lookup(number), nullptr);
    EXPECT_EQ(LiveMusics(), 0);
}

// --- what the stream plays -------------------------------------------------------------------

// The null output is pulled in uneven steps at about twice real time; every frame it plays
// must be libmodplug's rendering of the module from its start, across the module's own loop.
TEST_F(Music, StreamPlaysTheModuleExactlyAsRendered) {
    constexpr std::size_t kFrames = 44100 * 13 / 2;  // 6.5 s: past the module's restart
    const std::vector<std::int16_t> reference = audio_test::ReferencePcm(image_, kFrames * 4);
    ASSERT_EQ(reference.size(), kFrames * 2);
    ASSERT_TRUE(audio_test::SoundsIn(reference, 2 * 44100 * 6, kFrames * 2)) << "module ended";
    ASSERT_NE(Create(2), nullptr);
    ASSERT_EQ(audio::StartMusicStream(2), 1);
    const std::size_t steps[] = {1024, 441, 1500, 7, 2048, 1000};
    std::vector<std::int16_t> out(4096);
    std::size_t played = 0;
    for (std::size_t i = 0; played < kFrames; ++i) {
        const std::size_t n = std::min(steps[i % 6], kFrames - played);
        snd::null::Pump(n, out.data());
        ASSERT_EQ(std::memcmp(out.data(), reference.data() + played * 2, n * 4), 0)
            << "first difference within frames " << played << " to " << played + n;
        played += n;
        platform::sys::SleepMs(static_cast<std::uint32_t>(n * 1000 / 44100 / 2));
    }
    audio::HaltMusicStream(2);
    EXPECT_EQ(snd::null::Pump(64, out.data()), 1u);
    EXPECT_EQ(out[0], 0);  // stopped: silence
}

TEST_F(Music, ShortReadLeavesSilence) {
    audio::InjectModuleRead([](ModPlugFile*, void* out, int bytes) {
        std::memset(out, 0x55, static_cast<std::size_t>(bytes / 4));
        return bytes / 4;
    });
    audio::MusicStream* m = Create(2);
    ASSERT_NE(m, nullptr);
    // Stale audio in the buffer from an earlier use.
    void* p = nullptr;
    std::uint32_t n = 0;
    ASSERT_EQ(m->buffer->Lock(0, 0, &p, &n, nullptr, nullptr, snd::DSBLOCK_ENTIREBUFFER), snd::DS_OK);
    std::memset(p, 0x77, n);
    m->buffer->Unlock(p, n, nullptr, 0);

    platform::sys::InjectThreadCreationFailure(true);  // keep the pre-filled half still
    EXPECT_EQ(audio::StartMusicStream(2), 0);
    ASSERT_EQ(m->buffer->Lock(0, 102400, &p, &n, nullptr, nullptr, 0), snd::DS_OK);
    const auto* bytes = static_cast<const std::uint8_t*>(p);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < 102400; ++i) wrong += bytes[i] != (i < 25600 ? 0x55 : 0);
    EXPECT_EQ(wrong, 0u);
    m->buffer->Unlock(p, n, nullptr, 0);

    std::vector<std::uint8_t> region(100, 0x77);
    audio::InjectModuleRead([](ModPlugFile*, void*, int) { return -1; });
    EXPECT_EQ(audio::RenderModule(m->module, region.data(), 100), 0);
    EXPECT_EQ(region, std::vector<std::uint8_t>(100, 0));
}

// --- starting and stopping -------------------------------------------------------------------

TEST_F(Music, RestartLeavesExactlyOneStreamThread) {
    audio::MusicStream* m = Create(2);
    ASSERT_NE(m, nullptr);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(audio::StartMusicStream(2), 1);
        EXPECT_EQ(m->streamActive.load(), 1);  // already when the call returns
        EXPECT_EQ(m->playing.load(), 1);
        EXPECT_EQ(audio::RunningStreamThreads(), 1);
        EXPECT_EQ(Status(m), snd::DSBSTATUS_PLAYING | snd::DSBSTATUS_LOOPING);
        std::uint32_t play = 1;
        m->buffer->GetCurrentPosition(&play, nullptr);
        EXPECT_EQ(play, 0u);  // rewound
        snd::null::Pump(700, nullptr);
        if (i % 2) platform::sys::SleepMs(25);
    }
    audio::HaltMusicStream(2);
    EXPECT_EQ(audio::RunningStreamThreads(), 0);
    EXPECT_EQ(m->playing.load(), 0);
    EXPECT_EQ(Status(m), 0u);
}

TEST_F(Music, HaltOfAStoppedMusicReturnsAtOnce) {
    ASSERT_NE(Create(2), nullptr);
    // A 10 ms poll in any one of the three calls would add up to at least a second; the bound
    // leaves room for a busy machine.
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        audio::HaltMusicStream(2);    // ready, never started
        audio::HaltMusicStream(9);    // empty number
        audio::HaltMusicStream(-1);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
}

TEST_F(Music, HaltAllStopsEveryMusic) {
    audio::MusicStream* a = Create(0);
    audio::MusicStream* b = Create(15);
    audio::MusicStream* c = Create(-1);
    ASSERT_TRUE(a && b && c);
    ASSERT_EQ(audio::StartMusicStream(0), 1);
    ASSERT_EQ(audio::StartMusicStream(reinterpret_cast<runtime::ObjectNumber>(c)), 1);
    EXPECT_EQ(audio::RunningStreamThreads(), 2);
    audio::HaltMusicStream(-1);
    EXPECT_EQ(audio::RunningStreamThreads(), 0);
    for (audio::MusicStream* m : {a, b, c}) {
        EXPECT_EQ(m->playing.load(), 0);
        EXPECT_EQ(m->streamActive.load(), 0);
        EXPECT_EQ(Status(m), 0u);
    }
    EXPECT_EQ(LiveMusics(), 3);  // stopped, not freed
}

TEST_F(Music, DestroyAllAndEndEmptyEveryNumber) {
    const struct { const char* name; void (*free)(); } rows[] = {
        {"DestroyMusic(-1)", [] { audio::DestroyMusic(-1); }},
        {"EndMusicLibrary", [] { audio::EndMusicLibrary(); }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_NE(Create(1), nullptr);
        ASSERT_NE(Create(40), nullptr);  // grows the table
        audio::MusicStream* automatic = Create(-1);
        ASSERT_NE(automatic, nullptr);
        ASSERT_EQ(audio::StartMusicStream(1), 1);
        ASSERT_EQ(audio::StartMusicStream(reinterpret_cast<runtime::ObjectNumber>(automatic)), 1);
        r.free();
        EXPECT_EQ(LiveMusics(), 0);
        EXPECT_EQ(Lookup(1), nullptr);
        EXPECT_EQ(Lookup(40), nullptr);
        EXPECT_EQ(audio::RunningStreamThreads(), 0);
        std::vector<std::int16_t> out(128, 1);
        snd::null::Pump(64, out.data());
        EXPECT_EQ(out, std::vector<std::int16_t>(128, 0));  // no buffer plays any more
        EXPECT_NE(audio::MusicTable(), nullptr);
    }
}

TEST_F(Music, RecreatingALiveNumberFreesTheOldStreamFirst) {
    audio::MusicStream* first = Create(2);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(audio::StartMusicStream(2), 1);
    platform::sys::SleepMs(20);
    std::vector<std::int16_t> out(2048);
    snd::null::Pump(1024, out.data());
    EXPECT_NE(audio_test::FirstSound(out), out.size());  // it plays

    audio::MusicStream* second = Create(2);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second, first);  // the slot's record is reused
    EXPECT_EQ(audio::RunningStreamThreads(), 0);
    EXPECT_EQ(second->playing.load(), 0);
    std::fill(out.begin(), out.end(), 1);
    snd::null::Pump(1024, out.data());
    EXPECT_EQ(audio_test::FirstSound(out), out.size());  // the old buffer is gone
    EXPECT_EQ(LiveMusics(), 1);
}

TEST_F(Music, FailedThreadCreationStillPlaysAndStopsWithoutWaiting) {
    audio::MusicStream* m = Create(2);
    ASSERT_NE(m, nullptr);
    platform::sys::InjectThreadCreationFailure(true);
    EXPECT_EQ(audio::StartMusicStream(2), 0);
    platform::sys::InjectThreadCreationFailure(false);
    EXPECT_EQ(m->streamActive.load(), 0);
    EXPECT_EQ(audio::RunningStreamThreads(), 0);
    EXPECT_EQ(Status(m), snd::DSBSTATUS_PLAYING | snd::DSBSTATUS_LOOPING);  // rewound and started
    EXPECT_TRUE(ReturnsWithin([] { audio::HaltMusicStream(2); }, std::chrono::seconds(2)));
    EXPECT_EQ(Status(m), 0u);
    EXPECT_TRUE(ReturnsWithin([] { audio::DestroyMusic(2); }, std::chrono::seconds(2)));
    EXPECT_EQ(Lookup(2), nullptr);
}

TEST_F(Music, EndChainStopsStreamsAndClosesTheDevice) {
    ASSERT_NE(Create(2), nullptr);
    ASSERT_EQ(audio::StartMusicStream(2), 1);
    runtime::RunEndChain(audio_test::kAudioEndSteps);
    started_ = false;
    EXPECT_EQ(audio::RunningStreamThreads(), 0);
    EXPECT_FALSE(audio::SoundDeviceOpen());
    EXPECT_EQ(snd::null::Pump(16, nullptr), 0u);
    // The chains run again from the start.
    runtime::RunStartupChain(audio_test::kAudioStartSteps);
    started_ = true;
    EXPECT_TRUE(audio::SoundDeviceOpen());
    EXPECT_EQ(LiveMusics(), 0);
    ASSERT_NE(Create(2), nullptr);
}
