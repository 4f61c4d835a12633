// audio/music_internal.h: the stream thread of music playback, for music.cpp and its tests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "audio/music.h"

namespace audio {

// The stream thread's stack: room for libmodplug's mixer (the 8 KiB of the original
// platform's commit size would not hold it).
inline constexpr std::size_t kStreamThreadStackBytes = 256 * 1024;

// The stream thread's body: refills the half the play cursor has left until "playing" drops.
// Returns 0.
std::int32_t RunMusicStream(MusicStream* record);

// Renders "size_bytes" of "module" into "out" under the process-wide libmodplug lock; the part
// a short read leaves is filled with silence. Returns the bytes rendered.
int RenderModule(ModPlugFile* module, void* out, int size_bytes);

// The number of stream threads inside RunMusicStream right now.
int RunningStreamThreads();

}  // namespace audio
