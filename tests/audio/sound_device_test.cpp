// tests/audio/sound_device_test.cpp: opening the sound device, stream buffers, the hidden
// owner window, and a device or library that is missing.
#include "tests/audio/audio_fixture.h"

#include "platform/window/window.h"

namespace snd = platform::sound;
namespace win = platform::window;
using audio_test::AudioChain;

using SoundDevice = AudioChain;

TEST_F(SoundDevice, OpensOnceAndAgainReturnsTheSameTable) {
    Start("null");
    runtime::ObjectTable* table = audio::InitSoundDevice();
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(audio::SoundDeviceOpen());
    EXPECT_EQ(snd::null::Pump(8, nullptr), 1u);  // one output open
    EXPECT_EQ(audio::InitSoundDevice(), table);  // the engine's call: same table, nothing new
    EXPECT_EQ(snd::null::Pump(8, nullptr), 1u);
    EXPECT_EQ(table->capacity, audio::kSoundTableCapacity);
    EXPECT_EQ(table->growthStep, audio::kSoundTableCapacity);

    audio::EndSoundDevice();
    EXPECT_FALSE(audio::SoundDeviceOpen());
    EXPECT_EQ(snd::null::Pump(8, nullptr), 0u);  // the output is closed
    EXPECT_EQ(audio::CreateStreamBuffer(2, 44100, 204800), nullptr);
    EXPECT_NE(audio::InitSoundDevice(), nullptr);  // opens anew after the end
}

TEST_F(SoundDevice, StreamBufferHasTheRequestedFormat) {
    Start("null");
    snd::Buffer* b = audio::CreateStreamBuffer(2, 44100, 204800);
    ASSERT_NE(b, nullptr);
    snd::BufferCaps caps{};
    ASSERT_EQ(b->GetCaps(&caps), snd::DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, 204800u);
    EXPECT_EQ(caps.dwFlags, 0x180E2u);
    snd::WaveFormatEx f{};
    ASSERT_EQ(b->GetFormat(&f, sizeof f, nullptr), snd::DS_OK);
    EXPECT_EQ(f.wFormatTag, 1);
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(f.nSamplesPerSec, 44100u);
    EXPECT_EQ(f.wBitsPerSample, 16);
    EXPECT_EQ(f.nBlockAlign, 4);
    EXPECT_EQ(f.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(f.cbSize, 0);
    b->Release();

    snd::Buffer* mono = audio::CreateStreamBuffer(1, 22050, 1000);
    ASSERT_NE(mono, nullptr);
    ASSERT_EQ(mono->GetFormat(&f, sizeof f, nullptr), snd::DS_OK);
    EXPECT_EQ(f.nBlockAlign, 2);
    EXPECT_EQ(f.nAvgBytesPerSec, 44100u);
    mono->Release();

    const struct { std::int32_t channels, rate, bytes; } refused[] = {
        {0, 44100, 4096}, {-2, 44100, 4096}, {2, 0, 4096}, {2, -44100, 4096}, {2, 44100, 0},
        {2, 44100, -4}, {2, 44100, 4097}, {3, 44100, 4098}, {70000, 44100, 4096},
        {2, 99, 4096}, {2, 2000000000, 4096},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(testing::Message() << r.channels << " " << r.rate << " " << r.bytes);
        snd::Buffer* made = audio::CreateStreamBuffer(r.channels, r.rate, r.bytes);
        EXPECT_EQ(made, nullptr);
        if (made) made->Release();
    }
}

TEST_F(SoundDevice, HiddenWindowIsMadeOnceAndCannotBeClosed) {
    Start("null");
    ASSERT_EQ(audio::CreateMultimediaWindow(), 1);
    const win::WindowHandle window = audio::MultimediaWindow();
    ASSERT_TRUE(win::IsWindow(window));
    EXPECT_EQ(audio::CreateMultimediaWindow(), 1);
    EXPECT_EQ(audio::MultimediaWindow(), window);
    EXPECT_STREQ(win::GetClassName(window), "MultimediaBase Class");
    EXPECT_FALSE(win::IsWindowVisible(window));
    win::Rect r{};
    ASSERT_TRUE(win::GetWindowRect(window, &r));
    EXPECT_EQ(r.right - r.left, 1);
    EXPECT_EQ(r.bottom - r.top, 1);

    const struct { std::uint32_t message; win::WParam wParam; win::LResult result; int active; } rows[] = {
        {win::WM_ACTIVATE, win::WA_ACTIVE, 0, 1},
        {win::WM_ACTIVATE, win::WA_INACTIVE, 0, 0},
        {win::WM_ACTIVATE, win::WA_CLICKACTIVE, 0, 1},
        {win::WM_CLOSE, 0, 0, 1},
        {win::WM_ERASEBKGND, 0, 1, 1},
        {win::WM_KEYUP, 0, 0, 1},
        {win::WM_LBUTTONDOWN, 0, 0, 1},
        {win::WM_RBUTTONUP, 0, 0, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        EXPECT_EQ(win::SendMessage(window, row.message, row.wParam, 0), row.result);
        EXPECT_EQ(audio::MultimediaWindowActive(), row.active);
    }
    EXPECT_TRUE(win::IsWindow(window));  // WM_CLOSE left it alive
}

TEST_F(SoundDevice, MissingLibraryOrDeviceLeavesEverythingSilent) {
    const std::vector<std::uint8_t> image = audio_test::TestModule();
    const struct { const char* name; bool failStart, failOpen; } rows[] = {
        {"no library", true, false},
        {"no device", false, true},
    };
    Start("null");
    audio::EndSoundDevice();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        snd::null::InjectStartFailure(r.failStart);
        snd::null::InjectOpenFailure(r.failOpen);
        EXPECT_EQ(audio::InitSoundDevice(), nullptr);
        EXPECT_FALSE(audio::SoundDeviceOpen());
        EXPECT_EQ(audio::CreateStreamBuffer(2, 44100, 204800), nullptr);
        EXPECT_EQ(audio::CreateMusicFromMemory(2, image.data(), static_cast<int>(image.size())),
                  nullptr);
        EXPECT_EQ(Lookup(2), nullptr);
        EXPECT_EQ(audio::StartMusicStream(2), 0);
        EXPECT_EQ(LiveMusics(), 0);
        // Nothing was made, so a later attempt may succeed.
        snd::null::InjectStartFailure(false);
        snd::null::InjectOpenFailure(false);
        EXPECT_NE(audio::InitSoundDevice(), nullptr);
        audio::EndSoundDevice();
    }
}

TEST_F(SoundDevice, MissingSdlDriverFailsCleanly) {
    const std::vector<std::uint8_t> image = audio_test::TestModule();
    Start(nullptr, "no-such-driver");
    EXPECT_FALSE(audio::SoundDeviceOpen());
    EXPECT_EQ(audio::CreateMusicFromMemory(2, image.data(), static_cast<int>(image.size())),
              nullptr);
    EXPECT_EQ(Lookup(2), nullptr);
    audio::HaltMusicStream(-1);
    audio::DestroyMusic(-1);
}
