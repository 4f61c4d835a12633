// audio/music_testing.h: the test seam of music playback.
#pragma once

#include "audio/music.h"

namespace audio {

// While set, "read" renders in place of ModPlug_Read (null restores it), to make reads come
// back short or fail.
using ModuleReadFunction = int (*)(ModPlugFile* module, void* out, int size_bytes);
void InjectModuleRead(ModuleReadFunction read);

}  // namespace audio
