// platform/sound/sdl/alsa_quiet.h: keeps the ALSA library's error lines off stderr.
#pragma once

namespace platform::sound::sdl {

// SDL's audio start tries its drivers in turn; on a machine without a sound card ALSA's
// attempt prints a dozen error lines through the library's default error handler. The system
// writes no log, so this replaces that handler with one that drops the lines. The library is
// loaded at run time (as SDL loads it): where it is missing there is nothing to quieten. Call
// before the audio start; later calls do nothing.
void QuietAlsaErrors();

}  // namespace platform::sound::sdl
