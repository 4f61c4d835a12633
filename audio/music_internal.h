// audio/music_internal.h: the stream thread and the test seams of music playback.
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

// Test seam: replaces ModPlug_Read (null restores it), to make reads come back short.
using ModuleReadFunction = int (*)(ModPlugFile* module, void* out, int size_bytes);
void SetModuleReadFunction(ModuleReadFunction read);

// The number of stream threads inside RunMusicStream right now.
int RunningStreamThreads();

}  // namespace audio
