// tests/audio/sdl_stream_test.cpp: music through real SDL audio devices: the disk driver's
// capture of what the device played, and the dummy driver that plays into nothing.
#include "tests/audio/audio_fixture.h"
#include "tests/test_env.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace snd = platform::sound;
using audio_test::AudioChain;

using MusicSdl = AudioChain;

namespace {

std::vector<std::int16_t> ReadSamples(const char* path) {
    std::vector<std::int16_t> samples;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return samples;
    std::int16_t chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 2, 4096, file)) > 0) samples.insert(samples.end(), chunk, chunk + n);
    std::fclose(file);
    return samples;
}

long FileBytes(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

}  // namespace

// The disk driver writes, in real time, exactly what the device plays. From the moment the
// music starts, the capture must be libmodplug's rendering of the module from its start for
// more than ten seconds (across the module's own restart): no gap, no repeat, no stale half.
TEST_F(MusicSdl, DiskCaptureIsTheModuleAsRendered) {
    char path[] = "/tmp/music_capture_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    setenv("SDL_DISKAUDIOFILE", path, 1);
    constexpr std::size_t kSeconds = 10;
    const std::vector<std::uint8_t> image = audio_test::TestModule();

    Start(nullptr, "disk");
    ASSERT_TRUE(audio::SoundDeviceOpen());
    const std::vector<std::int16_t> reference =
        audio_test::ReferencePcm(image, (kSeconds + 1) * 44100 * 4);
    ASSERT_NE(audio::CreateMusicFromMemory(2, image.data(), static_cast<int>(image.size())), nullptr);
    ASSERT_EQ(audio::StartMusicStream(2), 1);
    // The driver writes at the device's pace, which a busy machine slows: wait for the file to
    // hold a second more than the comparison needs (a minute at most).
    const long wanted = FileBytes(path) + static_cast<long>((kSeconds + 1) * 44100 * 4);
    for (int i = 0; i < 600 && FileBytes(path) < wanted; ++i) platform::sys::SleepMs(100);
    audio::HaltMusicStream(2);
    runtime::RunEndChain(audio_test::kAudioEndSteps);  // closes the device: the file is complete
    started_ = false;
    unsetenv("SDL_DISKAUDIOFILE");

    const std::vector<std::int16_t> captured = ReadSamples(path);
    std::remove(path);
    const std::size_t lead = audio_test::FirstSound(reference);
    const std::size_t heard = audio_test::FirstSound(captured);
    ASSERT_LT(lead, 44100u) << "the test module starts silent";
    ASSERT_GE(heard, lead) << "sound before the music started";
    const std::size_t start = heard - lead;  // the sample where the music started
    ASSERT_EQ(start % 2, 0u) << "music started inside a frame";
    const std::size_t compare = kSeconds * 44100 * 2;
    ASSERT_TRUE(audio_test::SoundsIn(reference, compare - 44100 * 2, compare)) << "module ended";
    ASSERT_GE(captured.size(), start + compare) << "capture shorter than " << kSeconds << " s";
    for (std::size_t i = 0; i < compare; ++i) {
        if (captured[start + i] != reference[i]) {
            FAIL() << "capture differs from the rendering at frame " << i / 2 << " ("
                   << static_cast<double>(i / 2) / 44100.0 << " s)";
        }
    }
}

TEST_F(MusicSdl, DummyDriverPlaysIntoNothing) {
    const std::vector<std::uint8_t> image = audio_test::TestModule();
    Start(nullptr, "dummy");
    ASSERT_TRUE(audio::SoundDeviceOpen());
    audio::MusicStream* m =
        audio::CreateMusicFromMemory(2, image.data(), static_cast<int>(image.size()));
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(audio::StartMusicStream(2), 1);
    std::uint32_t play = 0;
    for (int i = 0; i < 300 && play == 0; ++i) {
        platform::sys::SleepMs(10);
        m->buffer->GetCurrentPosition(&play, nullptr);
    }
    EXPECT_GT(play, 0u);
    audio::HaltMusicStream(2);
    EXPECT_EQ(audio::RunningStreamThreads(), 0);
}
