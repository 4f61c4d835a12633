// platform/sound/null/backend_null.h: drives the silent backend's output clock.
//
// The null backend plays into nothing and has no thread: the output advances only when
// Pump is called, so tests can step the play cursors frame by frame, and a capture takes
// exactly one frame period of samples per finished frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::sound::null {

// Pulls "frames" stereo frames from every open null output. The mix of the most recently opened
// output is copied to "out" (2 * frames samples) when "out" is not null. Returns the number of
// open outputs.
std::size_t Pump(std::size_t frames, std::int16_t* out);

// Faults: while true, the null backend's start (the library load) or its output opening fails.
void InjectStartFailure(bool fail);
void InjectOpenFailure(bool fail);

}  // namespace platform::sound::null
