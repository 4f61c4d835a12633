// platform/capture/capture_session.h: a frame-exact capture of a program's pictures and sound.
//
// Install() puts the capture backends in place before the program starts: the frame clock as
// the time of every clock and sleep, the present hook (each presented frame is read back),
// the fade's wait (each step of a window fade is a frame of the last picture at the fade's
// opacity, over black), the null sound output (exactly one frame period of samples leaves
// the mixer per frame) and the scripted keyboard. Every frame written moves the clock by one
// frame period, so the music's stream thread and everything timed runs in lockstep with the
// pictures. The keyboard presses Escape when the program's fade-out will fill the frames that
// are left, or at once when the capture has stopped early (interrupted, or a file failed);
// frames after the last one are not written.
//
// Threads: everything on the program's main thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/capture/capture_files.h"
#include "platform/capture/frame_clock.h"
#include "platform/capture/video_file.h"
#include "platform/gfx/present_hook.h"
#include "platform/window/window.h"

namespace platform::capture {

inline constexpr int kSoundRate = 44100;

struct CaptureSettings {
    int fps = 60;
    std::int64_t frames = 3600;  // frames to write
    std::string folder;          // frames go to folder/frames, the sound to folder/audio.wav
    std::string video;           // a video file as well, when not empty
    std::uint32_t fadeMs = 800;  // the length of the program's fade-out
    // Asked before each frame: true ends the capture there (Ctrl+C).
    bool (*interrupted)() = nullptr;
};

struct CaptureProgress {
    std::int64_t framesWritten = 0;
    std::int64_t framesWanted = 0;
    std::uint64_t soundFrames = 0;  // stereo sample frames in the WAV
    // Sample frames the music had played before the first frame (where the video's first
    // frame sits in the music).
    std::int64_t soundOffset = 0;
    bool interrupted = false;
    std::string error;  // the first failure; empty while none
};

class CaptureSession {
public:
    explicit CaptureSession(CaptureSettings settings);
    ~CaptureSession();

    // Creates the folders and the WAV file and checks the video file's name. False with a
    // message (nothing is installed then).
    bool Open(std::string* error);
    void Install();

    // Called after each frame written (for progress reports).
    using ProgressListener = void (*)(void* user, const CaptureProgress& progress);
    void SetProgressListener(ProgressListener listener, void* user);

    // Closes every file: the WAV's header states what it holds; the video is finished (also
    // after an interruption) or, after a failure, removed. Returns the final account.
    const CaptureProgress& Finish();
    const CaptureProgress& progress() const { return progress_; }

private:
    static void OnPresent(void* user, const gfx::PresentedFrame& frame);
    static void OnFadeWait(void* user, window::WindowHandle window, float opacity);
    static void OnAdvance(void* user, std::int64_t units);

    void Emit(const std::uint8_t* pixels, std::uint32_t width, std::uint32_t height);
    void Stop(const std::string& error);

    CaptureSettings settings_;
    FrameClock clock_;
    WavFile wav_;
    std::unique_ptr<VideoFile> video_;
    std::string framesFolder_;
    CaptureProgress progress_;
    std::int64_t escapeAt_ = 0;

    std::vector<std::uint8_t> last_;  // the last picture presented (black before the first)
    std::vector<std::uint8_t> faded_;
    std::uint32_t width_ = 0, height_ = 0;

    std::atomic<bool> escape_{false};
    bool stopped_ = false;        // no more frames are written
    bool soundOn_ = false;        // the sound of the frames written goes to the files
    bool soundEndsAfterAdvance_ = false;
    std::int64_t soundPulled_ = 0;  // sample frames taken from the mixer so far
    std::int64_t stallUnits_ = 0;   // the clock's time at the last frame written
    std::vector<std::int16_t> soundBuffer_;
    ProgressListener progressListener_ = nullptr;
    void* progressUser_ = nullptr;
};

}  // namespace platform::capture
