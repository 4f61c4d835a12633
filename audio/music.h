// audio/music.h: numbered music objects: a tracker module streamed into a looping buffer.
//
// A music is created from a module image in memory (parsed and rendered by libmodplug) and a
// 204800-byte stream buffer of the sound device (audio/sound_device.h). StartMusicStream
// pre-fills the first half of the buffer, starts the buffer looping and starts a detached
// stream thread that polls the play cursor every 10 ms and renders the next 102400 bytes
// into whichever half the cursor has just left. Musics are addressed by number in the music
// table (numbers 0 and up, or -1 at creation for an automatic number: the returned record's
// address). -1 stops or frees every music.
//
// Units: bytes of 16-bit stereo PCM at 44100 Hz (4 bytes per frame).
//
// Threads: every call here runs on the main thread. Each streaming music has one stream
// thread that touches only its own record (and libmodplug, whose calls are serialised process
// wide because the library keeps its mixer state in globals).
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/sound/sound.h"
#include "runtime/chain.h"
#include "runtime/object_table.h"

// libmodplug's module handle, declared as the library's header does, so that includers do not
// see the library (only music.cpp and tests that render modules include it).
struct _ModPlugFile;
typedef struct _ModPlugFile ModPlugFile;

namespace audio {

// Stream geometry.
inline constexpr std::int32_t kMusicChannels = 2;
inline constexpr std::int32_t kMusicRate = 44100;
inline constexpr std::int32_t kMusicBufferBytes = 204800;
inline constexpr std::uint32_t kMusicPollMs = 10;
inline constexpr unsigned kMusicMasterVolume = 512;
inline constexpr std::int32_t kMusicTableCapacity = 16;

// One music. The record lives in the music table; it is live while "module" is non-zero.
struct MusicStream {
    ModPlugFile* module;                     // owned; unloaded by DestroyMusic
    std::atomic<std::int32_t> playing;       // 1 while the stream is meant to run
    platform::sound::Buffer* buffer;         // owned; released by DestroyMusic
    std::int32_t bufferBytes;                // always kMusicBufferBytes
    std::atomic<std::int32_t> streamActive;  // 1 while the stream thread is in its loop
};
static_assert(std::atomic<std::int32_t>::is_always_lock_free);

// Creates the music table (capacity 16, free callback DestroyMusic) and sets libmodplug's
// loop count to -1 (loop forever), keeping its other defaults.
void InitMusicLibrary();

// Loads "image" ("size_bytes" bytes) as music "number" (a live number is destroyed first) at
// master volume 512 with a stream buffer of 204800 bytes. Returns the record (with -1 its
// address is the music's number), or 0 when the module is not recognised, the device is
// closed, the buffer cannot be made, or the number is refused; the number is empty then.
MusicStream* CreateMusicFromMemory(runtime::ObjectNumber number, const void* image,
                                   std::int32_t size_bytes);

// Stops the music if it streams, renders the first half of the buffer, starts the stream
// thread and plays the buffer looped from offset 0. Returns 1 when the thread was started,
// 0 otherwise (an empty number does nothing; without a thread the buffer still plays).
std::int32_t StartMusicStream(runtime::ObjectNumber number);

// Stops a streaming music and waits (polling every 10 ms) until its stream thread has left
// its loop; returns at once when the music is not playing. -1 stops every music. The module
// keeps its play position.
void HaltMusicStream(runtime::ObjectNumber number);

// Stops, unloads and releases music "number" and empties the number; -1 frees every music.
void DestroyMusic(runtime::ObjectNumber number);

// Frees every music; the (empty) table stays.
void EndMusicLibrary();

// The music table (null before InitMusicLibrary).
runtime::ObjectTable* MusicTable();

// The chain steps: start position 24 and end position 1.
inline constexpr runtime::ChainStep kMusicStartupStep{24, "music", InitMusicLibrary};
inline constexpr runtime::ChainStep kMusicEndStep{1, "music", EndMusicLibrary};

}  // namespace audio
