// platform/capture/capture_session.cpp: a frame-exact capture of a program's pictures and sound.
#include "platform/capture/capture_session.h"

#include <algorithm>
#include <utility>

#include "platform/capture/scripted_input.h"
#include "platform/input/backend.h"
#include "platform/sound/null/backend_null.h"
#include "platform/sound/sound.h"

namespace platform::capture {

namespace {

// A program that presents nothing for this long (on the frame clock) has stopped showing
// anything; the capture ends instead of waiting for frames that never come.
constexpr std::int64_t kStallSeconds = 10;

// "value" * "opacity", as a blend over black gives it.
std::uint8_t Fade(std::uint8_t value, std::uint32_t opacity255) {
    return static_cast<std::uint8_t>((value * opacity255 + 127) / 255);
}

}  // namespace

CaptureSession::CaptureSession(CaptureSettings settings)
    : settings_(std::move(settings)), clock_(settings_.fps) {
    settings_.fps = clock_.fps();
    // The fade-out's frames: the waits of a fade come at whole-millisecond times below its end.
    const std::int64_t fadeFrames =
        (std::int64_t{settings_.fadeMs} * settings_.fps + 999) / 1000;
    escapeAt_ = std::max<std::int64_t>(0, settings_.frames - fadeFrames);
    progress_.framesWanted = settings_.frames;
}

CaptureSession::~CaptureSession() {
    gfx::SetPresentHook(nullptr, nullptr);
    window::SetFadeWaitHook(nullptr, nullptr);
}

bool CaptureSession::Open(std::string* error) {
    framesFolder_ = settings_.folder + "/frames";
    if (!MakeFolders(framesFolder_, error) || !RemoveFrames(framesFolder_, error)) return false;
    if (!settings_.video.empty() && !VideoFile::Check(settings_.video, error)) return false;
    return wav_.Open(settings_.folder + "/audio.wav", kSoundRate, error);
}

void CaptureSession::Install() {
    clock_.SetAdvanceListener(&CaptureSession::OnAdvance, this);
    clock_.Install();
    gfx::SetPresentHook(&CaptureSession::OnPresent, this);
    window::SetFadeWaitHook(&CaptureSession::OnFadeWait, this);
    sound::SetSoundBackend("null");
    input::SetKeyboardMouseBackend(std::make_unique<ScriptedInput>(&escape_));
}

void CaptureSession::SetProgressListener(ProgressListener listener, void* user) {
    progressListener_ = listener;
    progressUser_ = user;
}

void CaptureSession::OnPresent(void* user, const gfx::PresentedFrame& frame) {
    auto* self = static_cast<CaptureSession*>(user);
    if (self->stopped_) return self->Emit(nullptr, 0, 0);  // after the end: time passes only
    const std::size_t bytes = std::size_t{frame.width} * frame.height * 4;
    self->last_.assign(frame.pixels, frame.pixels + bytes);
    self->width_ = frame.width;
    self->height_ = frame.height;
    self->Emit(self->last_.data(), frame.width, frame.height);
}

void CaptureSession::OnFadeWait(void* user, window::WindowHandle window, float opacity) {
    auto* self = static_cast<CaptureSession*>(user);
    if (self->stopped_) return self->Emit(nullptr, 0, 0);
    window::Rect client{};
    if (window::GetClientRect(window, &client)) {
        const auto w = static_cast<std::uint32_t>(std::max(0, client.right - client.left));
        const auto h = static_cast<std::uint32_t>(std::max(0, client.bottom - client.top));
        // Before the first present (or after a resize) the window shows its black background.
        if (w != self->width_ || h != self->height_) {
            self->width_ = w;
            self->height_ = h;
            self->last_.assign(std::size_t{w} * h * 4, 0);
        }
    }
    const auto o = static_cast<std::uint32_t>(std::clamp(opacity, 0.0f, 1.0f) * 255.0f + 0.5f);
    self->faded_.resize(self->last_.size());
    for (std::size_t i = 0; i < self->last_.size(); ++i) self->faded_[i] = Fade(self->last_[i], o);
    self->Emit(self->faded_.data(), self->width_, self->height_);
}

void CaptureSession::Emit(const std::uint8_t* pixels, std::uint32_t width, std::uint32_t height) {
    if (!stopped_ && settings_.interrupted && settings_.interrupted()) {
        progress_.interrupted = true;
        Stop("");
    }
    if (!stopped_ && width != 0 && height != 0) {
        if (progress_.framesWritten == 0) {
            progress_.soundOffset = soundPulled_;
            soundOn_ = true;
        }
        std::string error;
        bool ok = WritePngFrame(FramePath(framesFolder_, progress_.framesWritten), pixels, width,
                                height, &error);
        if (ok && !settings_.video.empty() && !video_) {
            video_ = VideoFile::Create(settings_.video, width, height, settings_.fps, kSoundRate,
                                       &error);
            ok = video_ != nullptr;
        }
        if (ok && video_) ok = video_->AddPicture(pixels, &error);
        if (!ok) {
            Stop(error);
        } else {
            ++progress_.framesWritten;
            stallUnits_ = clock_.units();
            if (progress_.framesWritten == settings_.frames) {
                stopped_ = true;
                soundEndsAfterAdvance_ = true;  // the last frame's sound is still to come
            }
            if (progressListener_) progressListener_(progressUser_, progress_);
        }
    }
    if (stopped_ || progress_.framesWritten >= escapeAt_) escape_.store(true);
    clock_.AdvanceFrame();
}

void CaptureSession::Stop(const std::string& error) {
    if (progress_.error.empty()) progress_.error = error;
    stopped_ = true;
    soundOn_ = false;
    escape_.store(true);
}

void CaptureSession::OnAdvance(void* user, std::int64_t units) {
    auto* self = static_cast<CaptureSession*>(user);
    // The sample frames due by now; at 60 frames per second exactly 735 per frame.
    const std::int64_t due = units * kSoundRate / self->clock_.UnitsPerSecond();
    const std::size_t count = static_cast<std::size_t>(due - self->soundPulled_);
    self->soundPulled_ = due;
    if (count != 0) {
        self->soundBuffer_.assign(count * 2, 0);
        sound::null::Pump(count, self->soundBuffer_.data());
        if (self->soundOn_) {
            std::string error;
            bool ok = self->wav_.Write(self->soundBuffer_.data(), count, &error);
            if (ok && self->video_) ok = self->video_->AddSound(self->soundBuffer_.data(), count, &error);
            self->progress_.soundFrames = self->wav_.frames();
            if (!ok) self->Stop(error);
        }
    }
    if (self->soundEndsAfterAdvance_) {
        self->soundEndsAfterAdvance_ = false;
        self->soundOn_ = false;
    }
    if (!self->stopped_ && units - self->stallUnits_ > kStallSeconds * self->clock_.UnitsPerSecond())
        self->Stop("the program presented no frame for " + std::to_string(kStallSeconds) + " s");
}

const CaptureProgress& CaptureSession::Finish() {
    std::string error;
    if (!wav_.Close(&error) && progress_.error.empty()) progress_.error = error;
    if (video_) {
        if (progress_.error.empty()) {
            if (!video_->Finish(&error)) {
                progress_.error = error;
                video_->Abandon();
            }
        } else {
            video_->Abandon();
        }
        video_.reset();
    }
    progress_.soundFrames = wav_.frames();
    return progress_;
}

}  // namespace platform::capture
