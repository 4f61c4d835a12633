// tests/platform/sound_test.cpp: the sound core on the null backend (cursors, locks, mixing)
// and on SDL's dummy, disk and missing drivers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/sound/null/backend_null.h"
#include "platform/sound/sound.h"
#include "platform/sys/sys.h"
#include "tests/test_env.h"

namespace snd = platform::sound;

namespace {

snd::WaveFormatEx Pcm(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    const auto align = static_cast<std::uint16_t>(channels * bits / 8);
    return snd::WaveFormatEx{snd::WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

snd::BufferDesc StreamDesc(const snd::WaveFormatEx* format, std::uint32_t bytes) {
    return snd::BufferDesc{snd::kBufferDescSize, 0x180E2, bytes, 0, format, {}};
}

// Opens a device on the null backend with the priority level set.
class SoundNull : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(snd::SetSoundBackend("null"));
        library_ = snd::LoadSoundLibrary();
        ASSERT_NE(library_, nullptr);
        auto create = reinterpret_cast<snd::DirectSoundCreateProc>(
            snd::GetSoundProcAddress(library_, "DirectSoundCreate"));
        ASSERT_NE(create, nullptr);
        ASSERT_EQ(create(nullptr, &device_, nullptr), snd::DS_OK);
        ASSERT_EQ(device_->SetCooperativeLevel(1, snd::DSSCL_PRIORITY), snd::DS_OK);
    }
    void TearDown() override {
        for (snd::Buffer* b : buffers_) b->Release();
        if (device_) device_->Release();
        snd::FreeSoundLibrary(library_);
        snd::SetSoundBackend(nullptr);
    }

    // A secondary buffer that the fixture releases.
    snd::Buffer* Make(const snd::WaveFormatEx& format, std::uint32_t bytes) {
        const snd::BufferDesc desc = StreamDesc(&format, bytes);
        snd::Buffer* b = nullptr;
        EXPECT_EQ(device_->CreateSoundBuffer(&desc, &b, nullptr), snd::DS_OK);
        if (b) buffers_.push_back(b);
        return b;
    }

    // Writes "samples" at the start of "b" through Lock/Unlock.
    static void Fill(snd::Buffer* b, const void* bytes, std::uint32_t n) {
        void* p = nullptr;
        std::uint32_t got = 0;
        ASSERT_EQ(b->Lock(0, n, &p, &got, nullptr, nullptr, 0), snd::DS_OK);
        ASSERT_EQ(got, n);
        std::memcpy(p, bytes, n);
        ASSERT_EQ(b->Unlock(p, got, nullptr, 0), snd::DS_OK);
    }

    static std::vector<std::int16_t> Pump(std::size_t frames) {
        std::vector<std::int16_t> out(frames * 2, 12345);
        EXPECT_GE(snd::null::Pump(frames, out.data()), 1u);
        return out;
    }

    static std::uint32_t Cursor(snd::Buffer* b) {
        std::uint32_t play = 0xFFFFFFFF;
        EXPECT_EQ(b->GetCurrentPosition(&play, nullptr), snd::DS_OK);
        return play;
    }

    snd::SoundLibrary* library_ = nullptr;
    snd::Device* device_ = nullptr;
    std::vector<snd::Buffer*> buffers_;
};

}  // namespace

// --- library and device ----------------------------------------------------------------------

TEST(SoundLibrary, LoadsByNameAndRefusesWhatIsMissing) {
    EXPECT_FALSE(snd::SetSoundBackend("no-such-backend"));
    ASSERT_TRUE(snd::SetSoundBackend("null"));

    snd::null::InjectStartFailure(true);
    EXPECT_EQ(snd::LoadSoundLibrary(), nullptr);
    snd::null::InjectStartFailure(false);

    snd::SoundLibrary* lib = snd::LoadSoundLibrary();
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(snd::LoadSoundLibrary(), lib);  // a second load counts a reference
    EXPECT_EQ(snd::GetSoundProcAddress(lib, "DirectSoundCreate8"), nullptr);
    EXPECT_EQ(snd::GetSoundProcAddress(nullptr, "DirectSoundCreate"), nullptr);
    auto create = reinterpret_cast<snd::DirectSoundCreateProc>(
        snd::GetSoundProcAddress(lib, "DirectSoundCreate"));
    ASSERT_NE(create, nullptr);

    snd::Device* device = reinterpret_cast<snd::Device*>(1);
    const snd::Guid other{1, 2, 3, {}};
    EXPECT_EQ(create(&other, &device, nullptr), snd::DSERR_NODRIVER);
    EXPECT_EQ(device, nullptr);
    int outer = 0;
    EXPECT_EQ(create(nullptr, &device, &outer), snd::DSERR_NOAGGREGATION);
    snd::null::InjectOpenFailure(true);
    EXPECT_EQ(create(nullptr, &device, nullptr), snd::DSERR_NODRIVER);
    EXPECT_EQ(device, nullptr);
    snd::null::InjectOpenFailure(false);

    ASSERT_EQ(create(nullptr, &device, nullptr), snd::DS_OK);
    snd::FreeSoundLibrary(lib);
    snd::FreeSoundLibrary(lib);
    // The open device keeps the backend running after the last FreeSoundLibrary.
    EXPECT_EQ(snd::null::Pump(16, nullptr), 1u);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(snd::null::Pump(16, nullptr), 0u);
    EXPECT_EQ(snd::GetSoundProcAddress(lib, "DirectSoundCreate"), nullptr);  // unloaded
    snd::SetSoundBackend(nullptr);
}

TEST_F(SoundNull, CreateSoundBufferChecksDescription) {
    const snd::WaveFormatEx good = Pcm(2, 44100, 16);
    const snd::WaveFormatEx badAlign{1, 2, 44100, 176400, 3, 16, 0};
    const snd::WaveFormatEx badAvg{1, 2, 44100, 1000, 4, 16, 0};
    const snd::WaveFormatEx float32 = Pcm(2, 44100, 32);
    const snd::WaveFormatEx slow = Pcm(2, 99, 16);
    const snd::WaveFormatEx surround = Pcm(6, 44100, 16);
    snd::WaveFormatEx notPcm = good;
    notPcm.wFormatTag = 3;
    const struct {
        const char* name;
        snd::BufferDesc desc;
        snd::HResult expected;
    } rows[] = {
        {"stream", StreamDesc(&good, 204800), snd::DS_OK},
        {"primary", {36, snd::DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}}, snd::DS_OK},
        {"primary with size", {36, snd::DSBCAPS_PRIMARYBUFFER, 64, 0, nullptr, {}},
         snd::DSERR_INVALIDPARAM},
        {"size field 20", {20, 0x180E2, 4096, 0, &good, {}}, snd::DSERR_INVALIDPARAM},
        {"reserved set", {36, 0x180E2, 4096, 1, &good, {}}, snd::DSERR_INVALIDPARAM},
        {"unknown flag", {36, 0x80000000u, 4096, 0, &good, {}}, snd::DSERR_INVALIDPARAM},
        {"3d", {36, snd::DSBCAPS_CTRL3D, 4096, 0, &good, {}}, snd::DSERR_UNSUPPORTED},
        {"no format", {36, 0x180E2, 4096, 0, nullptr, {}}, snd::DSERR_INVALIDPARAM},
        {"too small", StreamDesc(&good, 0), snd::DSERR_INVALIDPARAM},
        {"too large", StreamDesc(&good, snd::DSBSIZE_MAX + 1), snd::DSERR_INVALIDPARAM},
        {"partial frame", StreamDesc(&good, 4098), snd::DSERR_INVALIDPARAM},
        {"block align", StreamDesc(&badAlign, 4096), snd::DSERR_BADFORMAT},
        {"byte rate", StreamDesc(&badAvg, 4096), snd::DSERR_BADFORMAT},
        {"32-bit", StreamDesc(&float32, 4096), snd::DSERR_BADFORMAT},
        {"rate 99", StreamDesc(&slow, 4096), snd::DSERR_BADFORMAT},
        {"6 channels", StreamDesc(&surround, 4096), snd::DSERR_BADFORMAT},
        {"not pcm", StreamDesc(&notPcm, 4096), snd::DSERR_BADFORMAT},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        snd::Buffer* b = reinterpret_cast<snd::Buffer*>(1);
        EXPECT_EQ(device_->CreateSoundBuffer(&r.desc, &b, nullptr), r.expected);
        if (r.expected == snd::DS_OK) {
            ASSERT_NE(b, nullptr);
            b->Release();
        } else {
            EXPECT_EQ(b, nullptr);
        }
    }
    snd::Buffer* b = nullptr;
    const snd::BufferDesc desc = StreamDesc(&good, 4096);
    EXPECT_EQ(device_->CreateSoundBuffer(nullptr, &b, nullptr), snd::DSERR_INVALIDPARAM);
    EXPECT_EQ(device_->CreateSoundBuffer(&desc, nullptr, nullptr), snd::DSERR_INVALIDPARAM);
    EXPECT_EQ(device_->SetCooperativeLevel(0, snd::DSSCL_PRIORITY), snd::DSERR_INVALIDPARAM);
    EXPECT_EQ(device_->SetCooperativeLevel(1, 9), snd::DSERR_INVALIDPARAM);
}

TEST(SoundDeviceLevel, BuffersNeedCooperativeLevel) {
    ASSERT_TRUE(snd::SetSoundBackend("null"));
    snd::SoundLibrary* lib = snd::LoadSoundLibrary();
    ASSERT_NE(lib, nullptr);
    auto create = reinterpret_cast<snd::DirectSoundCreateProc>(
        snd::GetSoundProcAddress(lib, "DirectSoundCreate"));
    snd::Device* device = nullptr;
    ASSERT_EQ(create(nullptr, &device, nullptr), snd::DS_OK);
    const snd::WaveFormatEx f = Pcm(2, 44100, 16);
    const snd::BufferDesc desc = StreamDesc(&f, 4096);
    snd::Buffer* b = nullptr;
    EXPECT_EQ(device->CreateSoundBuffer(&desc, &b, nullptr), snd::DSERR_PRIOLEVELNEEDED);
    EXPECT_EQ(b, nullptr);
    device->Release();
    snd::FreeSoundLibrary(lib);
    snd::SetSoundBackend(nullptr);
}

TEST_F(SoundNull, PrimaryBufferIsSharedAndReportsDeviceFormat) {
    const snd::BufferDesc desc{36, snd::DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}};
    snd::Buffer* a = nullptr;
    snd::Buffer* b = nullptr;
    ASSERT_EQ(device_->CreateSoundBuffer(&desc, &a, nullptr), snd::DS_OK);
    ASSERT_EQ(device_->CreateSoundBuffer(&desc, &b, nullptr), snd::DS_OK);
    EXPECT_EQ(a, b);
    snd::WaveFormatEx f{};
    std::uint32_t written = 0;
    ASSERT_EQ(a->GetFormat(&f, sizeof f, &written), snd::DS_OK);
    EXPECT_EQ(written, sizeof f);
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(f.nSamplesPerSec, 44100u);
    EXPECT_EQ(f.wBitsPerSample, 16);
    void* p = nullptr;
    std::uint32_t n = 0;
    EXPECT_EQ(a->Lock(0, 4, &p, &n, nullptr, nullptr, 0), snd::DSERR_INVALIDCALL);
    EXPECT_EQ(a->Release(), 1u);
    EXPECT_EQ(b->Release(), 0u);
    snd::Buffer* c = nullptr;
    ASSERT_EQ(device_->CreateSoundBuffer(&desc, &c, nullptr), snd::DS_OK);  // made anew
    EXPECT_EQ(c->Release(), 0u);
}

// --- buffer contents, locks and cursors ------------------------------------------------------

TEST_F(SoundNull, NewBufferIsSilentAndReportsItsFormat) {
    snd::Buffer* wide = Make(Pcm(2, 44100, 16), 204800);
    snd::Buffer* narrow = Make(Pcm(1, 8000, 8), 800);
    ASSERT_TRUE(wide && narrow);
    const struct { snd::Buffer* b; std::uint32_t bytes; std::uint8_t silence; } rows[] = {
        {wide, 204800, 0x00}, {narrow, 800, 0x80}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.bytes);
        void* p = nullptr;
        std::uint32_t n = 0;
        ASSERT_EQ(r.b->Lock(0, 0, &p, &n, nullptr, nullptr, snd::DSBLOCK_ENTIREBUFFER), snd::DS_OK);
        ASSERT_EQ(n, r.bytes);
        const auto* bytes = static_cast<const std::uint8_t*>(p);
        std::uint32_t wrong = 0;
        for (std::uint32_t i = 0; i < n; ++i) wrong += bytes[i] != r.silence;
        EXPECT_EQ(wrong, 0u);
        EXPECT_EQ(r.b->Unlock(p, n, nullptr, 0), snd::DS_OK);
    }
    snd::WaveFormatEx f{};
    ASSERT_EQ(wide->GetFormat(&f, sizeof f, nullptr), snd::DS_OK);
    EXPECT_EQ(f.wFormatTag, snd::WAVE_FORMAT_PCM);
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(f.wBitsPerSample, 16);
    EXPECT_EQ(f.nSamplesPerSec, 44100u);
    EXPECT_EQ(f.nBlockAlign, 4);
    EXPECT_EQ(f.nAvgBytesPerSec, 176400u);
    snd::BufferCaps caps{};
    ASSERT_EQ(wide->GetCaps(&caps), snd::DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, 204800u);
    EXPECT_EQ(caps.dwFlags, 0x180E2u);
}

TEST_F(SoundNull, LockHandsOutOneOrTwoRegions) {
    snd::Buffer* b = Make(Pcm(2, 44100, 16), 1000);
    ASSERT_NE(b, nullptr);
    void* base = nullptr;
    std::uint32_t all = 0;
    ASSERT_EQ(b->Lock(0, 1000, &base, &all, nullptr, nullptr, 0), snd::DS_OK);
    ASSERT_EQ(b->Unlock(base, all, nullptr, 0), snd::DS_OK);
    auto* start = static_cast<std::uint8_t*>(base);

    const struct {
        std::uint32_t offset, size;
        bool second;
        snd::HResult result;
        std::uint32_t bytes1, bytes2;
    } rows[] = {
        {0, 500, true, snd::DS_OK, 500, 0},
        {500, 500, true, snd::DS_OK, 500, 0},
        {900, 300, true, snd::DS_OK, 100, 200},    // wraps: two regions
        {900, 300, false, snd::DS_OK, 100, 0},     // no second pointer: first region only
        {999, 1000, true, snd::DS_OK, 1, 999},
        {1000, 4, true, snd::DSERR_INVALIDPARAM, 0, 0},
        {0, 1001, true, snd::DSERR_INVALIDPARAM, 0, 0},
        {0, 0, true, snd::DSERR_INVALIDPARAM, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.offset) + "+" + std::to_string(r.size));
        void* p1 = nullptr;
        void* p2 = reinterpret_cast<void*>(1);
        std::uint32_t n1 = 0, n2 = 77;
        const snd::HResult hr =
            b->Lock(r.offset, r.size, &p1, &n1, r.second ? &p2 : nullptr, &n2, 0);
        ASSERT_EQ(hr, r.result);
        if (hr != snd::DS_OK) continue;
        EXPECT_EQ(p1, start + r.offset);
        EXPECT_EQ(n1, r.bytes1);
        if (r.second) {
            EXPECT_EQ(n2, r.bytes2);
            EXPECT_EQ(p2, r.bytes2 ? static_cast<void*>(start) : nullptr);
        }
        EXPECT_EQ(b->Unlock(p1, n1, r.second ? p2 : nullptr, r.second ? n2 : 0), snd::DS_OK);
    }
    // Unlock refuses regions that are not the buffer's.
    std::uint8_t outside[8];
    EXPECT_EQ(b->Unlock(outside, 8, nullptr, 0), snd::DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(start + 996, 8, nullptr, 0), snd::DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(start, 4, nullptr, 4), snd::DSERR_INVALIDPARAM);
    void* p = nullptr;
    std::uint32_t n = 0;
    EXPECT_EQ(b->Lock(0, 4, nullptr, &n, nullptr, nullptr, 0), snd::DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 4, &p, &n, nullptr, nullptr, 0x80), snd::DSERR_INVALIDPARAM);
}

TEST_F(SoundNull, PlaysBytesExactlyAndLoops) {
    constexpr std::uint32_t kFrames = 1000;
    snd::Buffer* b = Make(Pcm(2, 44100, 16), kFrames * 4);
    ASSERT_NE(b, nullptr);
    std::vector<std::int16_t> pcm(kFrames * 2);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::int16_t>(i * 37 - 30000);
    Fill(b, pcm.data(), kFrames * 4);

    EXPECT_EQ(Pump(10)[0], 0);  // nothing plays yet: silence, cursor still
    EXPECT_EQ(Cursor(b), 0u);
    ASSERT_EQ(b->Play(0, 0, snd::DSBPLAY_LOOPING), snd::DS_OK);
    std::uint32_t status = 0;
    ASSERT_EQ(b->GetStatus(&status), snd::DS_OK);
    EXPECT_EQ(status, snd::DSBSTATUS_PLAYING | snd::DSBSTATUS_LOOPING);

    // Pulls of uneven sizes across the end: each output frame is the next buffer frame.
    std::size_t played = 0;
    for (std::size_t chunk : {1u, 333u, 700u, 1u, 1500u, 77u}) {
        SCOPED_TRACE(chunk);
        const std::vector<std::int16_t> out = Pump(chunk);
        for (std::size_t i = 0; i < chunk; ++i) {
            const std::size_t f = (played + i) % kFrames;
            ASSERT_EQ(out[2 * i], pcm[2 * f]) << "frame " << played + i;
            ASSERT_EQ(out[2 * i + 1], pcm[2 * f + 1]) << "frame " << played + i;
        }
        played += chunk;
        EXPECT_EQ(Cursor(b), (played % kFrames) * 4);
    }

    // Stop keeps the cursor; SetCurrentPosition moves it to a whole frame.
    ASSERT_EQ(b->Stop(), snd::DS_OK);
    EXPECT_EQ(Pump(100)[0], 0);
    EXPECT_EQ(Cursor(b), (played % kFrames) * 4);
    EXPECT_EQ(b->SetCurrentPosition(4003), snd::DSERR_INVALIDPARAM);
    ASSERT_EQ(b->SetCurrentPosition(403), snd::DS_OK);
    EXPECT_EQ(Cursor(b), 400u);
    ASSERT_EQ(b->Play(0, 0, snd::DSBPLAY_LOOPING), snd::DS_OK);
    EXPECT_EQ(Pump(1)[0], pcm[200]);
}

TEST_F(SoundNull, OneShotStopsAtEndAndWriteCursorLeads) {
    snd::Buffer* b = Make(Pcm(2, 44100, 16), 400);
    ASSERT_NE(b, nullptr);
    std::vector<std::int16_t> pcm(200, 1000);
    Fill(b, pcm.data(), 400);
    std::uint32_t play = 1, write = 1;
    ASSERT_EQ(b->GetCurrentPosition(&play, &write), snd::DS_OK);
    EXPECT_EQ(play, 0u);
    EXPECT_GT(write, 0u);  // one output period ahead, inside the buffer
    EXPECT_LT(write, 400u);
    ASSERT_EQ(b->Play(0, 0, 0), snd::DS_OK);
    const std::vector<std::int16_t> out = Pump(150);
    EXPECT_EQ(out[2 * 99], 1000);
    EXPECT_EQ(out[2 * 100], 0);  // the end: silence after it
    std::uint32_t status = 9;
    ASSERT_EQ(b->GetStatus(&status), snd::DS_OK);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(b->Play(1, 0, 0), snd::DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Play(0, 0, 2), snd::DSERR_INVALIDPARAM);
}

// --- mixing ----------------------------------------------------------------------------------

TEST_F(SoundNull, MixesBuffersWithClippingAndConvertsFormats) {
    struct Row {
        const char* name;
        snd::WaveFormatEx format;
        std::vector<std::uint8_t> frame;  // one frame, repeated over the buffer
    };
    const auto s16 = [](std::int16_t l, std::int16_t r) {
        std::vector<std::uint8_t> v(4);
        std::memcpy(v.data(), &l, 2);
        std::memcpy(v.data() + 2, &r, 2);
        return v;
    };
    const struct {
        const char* name;
        std::vector<Row> buffers;
        std::int16_t left, right;
    } cases[] = {
        {"sum", {{"a", Pcm(2, 44100, 16), s16(1000, -2000)}, {"b", Pcm(2, 44100, 16), s16(5, 7)}},
         1005, -1993},
        {"clip high", {{"a", Pcm(2, 44100, 16), s16(30000, 0)}, {"b", Pcm(2, 44100, 16), s16(30000, 1)}},
         32767, 1},
        {"clip low", {{"a", Pcm(2, 44100, 16), s16(-30000, 0)}, {"b", Pcm(2, 44100, 16), s16(-30000, 0)}},
         -32768, 0},
        {"mono 16", {{"a", Pcm(1, 44100, 16), {0x10, 0x27}}}, 10000, 10000},
        {"mono 8", {{"a", Pcm(1, 44100, 8), {0xC0}}}, 64 * 256, 64 * 256},
        {"stereo 8", {{"a", Pcm(2, 44100, 8), {0x00, 0xFF}}}, -32768, 127 * 256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<snd::Buffer*> made;
        for (const Row& r : c.buffers) {
            const std::uint32_t bytes = static_cast<std::uint32_t>(r.frame.size()) * 64;
            snd::Buffer* b = Make(r.format, bytes);
            ASSERT_NE(b, nullptr);
            std::vector<std::uint8_t> all;
            for (int i = 0; i < 64; ++i) all.insert(all.end(), r.frame.begin(), r.frame.end());
            Fill(b, all.data(), bytes);
            ASSERT_EQ(b->Play(0, 0, snd::DSBPLAY_LOOPING), snd::DS_OK);
            made.push_back(b);
        }
        const std::vector<std::int16_t> out = Pump(100);
        EXPECT_EQ(out[0], c.left);
        EXPECT_EQ(out[1], c.right);
        EXPECT_EQ(out[198], c.left);
        for (snd::Buffer* b : made) b->Stop();
    }
}

TEST_F(SoundNull, SlowerBufferAdvancesAtItsOwnRate) {
    snd::Buffer* b = Make(Pcm(2, 22050, 16), 400);
    ASSERT_NE(b, nullptr);
    std::vector<std::int16_t> pcm(200);
    for (int i = 0; i < 200; ++i) pcm[i] = static_cast<std::int16_t>(i);
    Fill(b, pcm.data(), 400);
    ASSERT_EQ(b->Play(0, 0, snd::DSBPLAY_LOOPING), snd::DS_OK);
    const std::vector<std::int16_t> out = Pump(40);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 0);   // each source frame twice
    EXPECT_EQ(out[4], 2);
    EXPECT_EQ(out[6], 2);
    EXPECT_EQ(Cursor(b), 80u);  // 20 source frames
}

TEST_F(SoundNull, ReleasedBufferLeavesTheMixAndClosedDeviceLosesBuffers) {
    snd::Buffer* b = Make(Pcm(2, 44100, 16), 400);
    snd::Buffer* keep = Make(Pcm(2, 44100, 16), 400);
    ASSERT_TRUE(b && keep);
    std::vector<std::int16_t> pcm(200, 500);
    Fill(b, pcm.data(), 400);
    ASSERT_EQ(b->Play(0, 0, snd::DSBPLAY_LOOPING), snd::DS_OK);
    EXPECT_EQ(Pump(4)[0], 500);
    buffers_.erase(buffers_.begin());
    EXPECT_EQ(b->Release(), 0u);
    EXPECT_EQ(Pump(4)[0], 0);

    EXPECT_EQ(device_->Release(), 0u);
    device_ = nullptr;
    EXPECT_EQ(snd::null::Pump(4, nullptr), 0u);
    EXPECT_EQ(keep->Play(0, 0, snd::DSBPLAY_LOOPING), snd::DSERR_BUFFERLOST);
    std::uint32_t status = 0;
    ASSERT_EQ(keep->GetStatus(&status), snd::DS_OK);
    EXPECT_EQ(status, snd::DSBSTATUS_BUFFERLOST);
    void* p = nullptr;  // its memory stays usable until its own release
    std::uint32_t n = 0;
    EXPECT_EQ(keep->Lock(0, 400, &p, &n, nullptr, nullptr, 0), snd::DS_OK);
    EXPECT_EQ(keep->Unlock(p, n, nullptr, 0), snd::DS_OK);
}

// --- SDL drivers -----------------------------------------------------------------------------

namespace {

// Opens the default backend under SDL_AUDIODRIVER="driver"; null device when it fails.
struct SdlDevice {
    explicit SdlDevice(const char* driver) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        snd::SetSoundBackend(nullptr);
        library = snd::LoadSoundLibrary();
        if (!library) return;
        auto create = reinterpret_cast<snd::DirectSoundCreateProc>(
            snd::GetSoundProcAddress(library, "DirectSoundCreate"));
        if (create(nullptr, &device, nullptr) != snd::DS_OK) device = nullptr;
        if (device) device->SetCooperativeLevel(1, snd::DSSCL_PRIORITY);
    }
    ~SdlDevice() {
        if (device) device->Release();
        snd::FreeSoundLibrary(library);
        unsetenv("SDL_AUDIODRIVER");
    }
    snd::SoundLibrary* library = nullptr;
    snd::Device* device = nullptr;
};

}  // namespace

TEST(SoundSdl, MissingDriverFailsCleanly) {
    SdlDevice none("no-such-driver");
    EXPECT_EQ(none.library, nullptr);
    EXPECT_EQ(none.device, nullptr);
}

TEST(SoundSdl, DummyDriverPlaysIntoNothingAndAdvancesTheCursor) {
    SdlDevice dummy("dummy");
    ASSERT_NE(dummy.device, nullptr);
    const snd::WaveFormatEx f = Pcm(2, 44100, 16);
    const snd::BufferDesc desc = StreamDesc(&f, 204800);
    snd::Buffer* b = nullptr;
    ASSERT_EQ(dummy.device->CreateSoundBuffer(&desc, &b, nullptr), snd::DS_OK);
    ASSERT_EQ(b->Play(0, 0, snd::DSBPLAY_LOOPING), snd::DS_OK);
    std::uint32_t play = 0;
    for (int i = 0; i < 200 && play == 0; ++i) {
        platform::sys::SleepMs(10);
        b->GetCurrentPosition(&play, nullptr);
    }
    EXPECT_GT(play, 0u);
    b->Release();
}

TEST(SoundSdl, DiskDriverCapturesTheBufferBytes) {
    char path[] = "/tmp/sound_capture_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    setenv("SDL_DISKAUDIOFILE", path, 1);
    constexpr std::uint32_t kBytes = 44100 * 4 / 4;  // a quarter second, looped
    std::vector<std::int16_t> pcm(kBytes / 2);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::int16_t>(i * 7 + 1);
    {
        SdlDevice disk("disk");
        ASSERT_NE(disk.device, nullptr);
        const snd::WaveFormatEx f = Pcm(2, 44100, 16);
        const snd::BufferDesc desc = StreamDesc(&f, kBytes);
        snd::Buffer* b = nullptr;
        ASSERT_EQ(disk.device->CreateSoundBuffer(&desc, &b, nullptr), snd::DS_OK);
        void* p = nullptr;
        std::uint32_t n = 0;
        ASSERT_EQ(b->Lock(0, kBytes, &p, &n, nullptr, nullptr, 0), snd::DS_OK);
        std::memcpy(p, pcm.data(), n);
        b->Unlock(p, n, nullptr, 0);
        ASSERT_EQ(b->Play(0, 0, snd::DSBPLAY_LOOPING), snd::DS_OK);
        // The driver writes at the device's pace: wait for 0.6 s more in the file (10 s at most).
        struct stat st {};
        const long wanted = (stat(path, &st) == 0 ? st.st_size : 0) + 44100 * 4 * 6 / 10;
        for (int i = 0; i < 200 && !(stat(path, &st) == 0 && st.st_size >= wanted); ++i) {
            platform::sys::SleepMs(50);
        }
        b->Stop();
        b->Release();
    }
    unsetenv("SDL_DISKAUDIOFILE");
    std::FILE* file = std::fopen(path, "rb");
    ASSERT_NE(file, nullptr);
    std::vector<std::int16_t> captured;
    std::int16_t s;
    while (std::fread(&s, 2, 1, file) == 1) captured.push_back(s);
    std::fclose(file);
    std::remove(path);
    // Silence until Play, then the looped buffer without a gap until Stop.
    std::size_t start = 0;
    while (start < captured.size() && captured[start] == 0) ++start;
    ASSERT_EQ(start % 2, 0u);
    ASSERT_GT(captured.size() - start, pcm.size() * 2) << "less than two loops captured";
    for (std::size_t i = 0; i < pcm.size() * 2; ++i) {
        ASSERT_EQ(captured[start + i], pcm[i % pcm.size()]) << "sample " << i;
    }
}
