// audio/sound_device.h: the process-wide sound output device and its hidden owner window.
//
// The device is opened once by InitSoundDevice (start-up chain position 28, asked again by
// the render engine) and supplies the looping stream buffers that music playback writes
// into. Its cooperative-level owner is a hidden 1 x 1 popup window of the class
// "MultimediaBase Class", which the display library's start-up step shares. Without a sound
// library or device the device stays closed and everything above runs silent.
//
// Threads: main thread only (also the window thread). Buffers handed out may be used on any
// thread afterwards.
#pragma once

#include <cstdint>

#include "platform/sound/sound.h"
#include "platform/window/window.h"
#include "runtime/chain.h"
#include "runtime/object_table.h"

namespace audio {

// The sound table's initial capacity (also its growth step).
inline constexpr std::int32_t kSoundTableCapacity = 64;

// Capabilities of a stream buffer: static, frequency, pan and volume control, global focus,
// precise play cursor.
inline constexpr std::uint32_t kStreamBufferFlags = 0x180E2;

// A sound-effect record of the sound table (this system creates none). The first field is the
// live field.
struct SoundRecord {
    platform::sound::Buffer* buffer;
};

// Opens the device: creates the hidden owner window, loads the sound library, creates the
// default device, sets the priority cooperative level with the hidden window and makes the
// primary buffer, then the sound table. Returns the sound table when the device is open, 0
// otherwise. A repeated call returns the existing table and does nothing; after a failure at
// or after the cooperative level there is no retry (0 until EndSoundDevice).
runtime::ObjectTable* InitSoundDevice();

// A looping 16-bit PCM buffer of "channels" channels at "samples_per_second" Hz and
// "size_bytes" bytes, silent at first, owned by the caller (Release it). Null when the device
// is closed (nothing is asked of the platform then) or the platform's answer is not exactly
// DS_OK.
platform::sound::Buffer* CreateStreamBuffer(std::int32_t channels,
                                            std::int32_t samples_per_second,
                                            std::int32_t size_bytes);

// Frees every sound record, releases the device and unloads the sound library; the device is
// closed afterwards (a later InitSoundDevice opens it anew). The hidden window stays.
void EndSoundDevice();

// Creates the hidden owner window once: 1 when it exists (now or from before), 0 when it
// cannot be made.
int CreateMultimediaWindow();

// The hidden window (0 before CreateMultimediaWindow) and its active flag (1 after it was
// activated, 0 after it was deactivated).
platform::window::WindowHandle MultimediaWindow();
int MultimediaWindowActive();

// True while the device is open.
bool SoundDeviceOpen();

// The chain steps: start position 28 and end position 11.
void StartSoundDevice();
inline constexpr runtime::ChainStep kSoundStartupStep{28, "sound", StartSoundDevice};
inline constexpr runtime::ChainStep kSoundEndStep{11, "sound", EndSoundDevice};

}  // namespace audio
