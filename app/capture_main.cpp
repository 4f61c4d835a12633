// app/capture_main.cpp: the process entry of the capture program (build/intro-capture).
//
//   intro-capture [--seconds N] [--fps 60] [--out DIR] [--video FILE]
//
// Runs the intro itself, frame by frame on a clock of its own, and writes every frame as
// DIR/frames/NNNNNN.png, the sound as DIR/audio.wav (44.1 kHz, 16-bit stereo) and, with
// --video, one video file (.mp4: H.264 and AAC; .mkv: FFV1 and FLAC). The capture backends
// are put in place before the intro's set-up starts, so the intro runs unchanged.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/intro_scene.h"
#include "platform/capture/capture_session.h"
#include "platform/window/window.h"
#include "runtime/event.h"

namespace {

namespace cap = platform::capture;

constexpr const char* kUsage =
    "usage: intro-capture [--seconds N] [--fps F] [--out DIR] [--video FILE]\n"
    "  --seconds N   length of the capture in seconds (default 60; the fade-out ends it)\n"
    "  --fps F       frames per second, a whole number from 1 to 240 (default 60)\n"
    "  --out DIR     folder for frames/NNNNNN.png and audio.wav (default capture)\n"
    "  --video FILE  also write FILE: .mp4 (H.264 + AAC) or .mkv (FFV1 + FLAC)\n";

constexpr int kExitInterrupted = 130;

struct Options {
    double seconds = 60;
    int fps = 60;
    std::string out = "capture";
    std::string video;
};

int Refuse(const std::string& message) {
    std::fprintf(stderr, "intro-capture: %s\n%s", message.c_str(), kUsage);
    return 2;
}

bool ParseNumber(const std::string& text, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && std::isfinite(*value);
}

// 0 when the command line is good, else the exit status (2 for bad usage; 0 after --help is
// reported through "done").
int ParseOptions(int argc, char** argv, Options* options, bool* done) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        bool hasValue = false;
        if (const std::size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            *done = true;
            return 0;
        }
        if (name != "--seconds" && name != "--fps" && name != "--out" && name != "--video")
            return Refuse("unknown option '" + name + "'");
        if (!hasValue) {
            if (i + 1 >= argc) return Refuse(name + " needs a value");
            value = argv[++i];
        }
        double number = 0;
        if (name == "--seconds") {
            if (!ParseNumber(value, &number) || number <= 0 || number > 24 * 3600)
                return Refuse("--seconds needs a number of seconds above 0 (at most 86400), not '" +
                              value + "'");
            options->seconds = number;
        } else if (name == "--fps") {
            if (!ParseNumber(value, &number) || number != std::floor(number) || number < 1 ||
                number > 240)
                return Refuse("--fps needs a whole number from 1 to 240, not '" + value + "'");
            options->fps = static_cast<int>(number);
        } else if (value.empty()) {
            return Refuse(name + " needs a value");
        } else if (name == "--out") {
            options->out = value;
        } else {
            options->video = value;
        }
    }
    return 0;
}

// Progress: frames done, frames per second and the time left, at most twice a second.
struct Progress {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point shown = start;
    bool terminal = isatty(2) != 0;

    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    static void Report(void* user, const cap::CaptureProgress& p) {
        auto* self = static_cast<Progress*>(user);
        const auto now = std::chrono::steady_clock::now();
        const bool last = p.framesWritten == p.framesWanted;
        if (!last && now - self->shown < std::chrono::milliseconds(self->terminal ? 500 : 5000))
            return;
        self->shown = now;
        const double elapsed = self->Seconds();
        const double fps = elapsed > 0 ? p.framesWritten / elapsed : 0;
        const double left = fps > 0 ? (p.framesWanted - p.framesWritten) / fps : 0;
        std::fprintf(stderr, "%sintro-capture: frame %lld/%lld, %.1f fps, %.0f s left%s",
                     self->terminal ? "\r" : "", static_cast<long long>(p.framesWritten),
                     static_cast<long long>(p.framesWanted), fps, left,
                     self->terminal ? (last ? "\n" : "   ") : "\n");
        std::fflush(stderr);
    }
};

Options g_options;
cap::CaptureSession* g_session = nullptr;
Progress g_progress;

bool Interrupted() { return runtime::TerminationRequested(); }

// The files are complete: one line of account, then the end (the intro's own end chain when
// the capture is whole).
[[noreturn]] void Finish() {
    const cap::CaptureProgress& p = g_session->Finish();
    const double elapsed = g_progress.Seconds();
    if (g_progress.terminal && p.framesWritten != p.framesWanted) std::fputc('\n', stderr);
    if (!p.error.empty()) std::fprintf(stderr, "intro-capture: %s\n", p.error.c_str());
    const char* verdict = !p.error.empty()   ? "failed after"
                          : p.interrupted    ? "interrupted after"
                                             : "wrote";
    std::printf("intro-capture: %s %lld of %lld frames at %d fps (%.3f s) in %.1f s (%.1f fps); "
                "%llu sound frames from music offset %lld (%.3f s); %s/frames, %s/audio.wav%s%s\n",
                verdict, static_cast<long long>(p.framesWritten),
                static_cast<long long>(p.framesWanted), g_options.fps,
                static_cast<double>(p.framesWritten) / g_options.fps, elapsed,
                elapsed > 0 ? p.framesWritten / elapsed : 0.0,
                static_cast<unsigned long long>(p.soundFrames),
                static_cast<long long>(p.soundOffset),
                static_cast<double>(p.soundOffset) / cap::kSoundRate, g_options.out.c_str(),
                g_options.out.c_str(), g_options.video.empty() || !p.error.empty() ? "" : ", ",
                !p.error.empty() ? "" : g_options.video.c_str());
    std::fflush(nullptr);
    if (!p.error.empty()) std::_Exit(1);
    if (p.interrupted) std::_Exit(kExitInterrupted);
    app::Exit();
}

}  // namespace

int main(int argc, char** argv) {
    bool done = false;
    if (const int status = ParseOptions(argc, argv, &g_options, &done); status != 0 || done)
        return status;
    if (platform::window::GetSystemMetrics(platform::window::SM_CXSCREEN) == 0) {
        std::fprintf(stderr, "intro-capture: no display available (set DISPLAY, or run it under "
                             "xvfb-run)\n");
        return 1;
    }
    cap::CaptureSettings settings;
    settings.fps = g_options.fps;
    settings.frames = std::max<long long>(1, std::llround(g_options.seconds * g_options.fps));
    settings.folder = g_options.out;
    settings.video = g_options.video;
    settings.interrupted = &Interrupted;
    static cap::CaptureSession session(settings);
    g_session = &session;
    std::string error;
    if (!session.Open(&error)) {
        std::fprintf(stderr, "intro-capture: %s\n", error.c_str());
        return 1;
    }
    session.SetProgressListener(&Progress::Report, &g_progress);
    session.Install();

    app::SetUp();
    while (app::RunFrame()) {
    }
    Finish();
}
