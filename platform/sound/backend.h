// platform/sound/backend.h: the contract an audio backend implements for the sound core.
//
// A backend starts its audio system (Start/Stop, once per loaded library) and opens output
// streams. A stream pulls 16-bit interleaved PCM from the core's mix function on a thread of
// the backend (or, for the null backend, on the thread of whoever drives it) until it is
// destroyed. The core does all mixing, cursors and locking; a backend only moves samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace platform::sound {

// Fills "frames" interleaved stereo 16-bit frames at "out". Called by the backend's stream.
using MixFunction = void (*)(void* context, std::int16_t* out, std::size_t frames);

// An open output stream. Destroying it stops the pulls: no mix call runs after the destructor
// has returned.
struct BackendStream {
    virtual ~BackendStream() = default;
    // Frames the backend pulls per call (the granularity of the play cursor).
    virtual std::size_t period_frames() const = 0;
};

struct Backend {
    virtual ~Backend() = default;
    // Starts the audio system; false when it is not available.
    virtual bool Start() { return true; }
    // Stops it again (every stream is destroyed first).
    virtual void Stop() {}
    // Opens the default output at kDeviceRate, 16-bit, kDeviceChannels and starts pulling
    // from "mix". Null when no output can be opened.
    virtual std::unique_ptr<BackendStream> OpenStream(MixFunction mix, void* context) = 0;
};

// The backends, in the order the default choice tries them; "null" runs only when named.
std::unique_ptr<Backend> MakeSdlBackend();
std::unique_ptr<Backend> MakeNullBackend();
// In a browser page only (web/backend_web.cpp): an AudioWorklet on the page's AudioContext.
std::unique_ptr<Backend> MakeWebBackend();

}  // namespace platform::sound
