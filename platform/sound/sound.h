// platform/sound/sound.h: the sound output interface: a process-wide output device and looping
// PCM buffers that are mixed into it.
//
// What it stands in for: the platform's sound library, loaded at run time, with its device
// object, its cooperative level and its buffers (a primary buffer that stands for the output
// itself, and secondary buffers that applications write PCM into while they play).
//
// What it keeps:
//   - the library must be loaded (LoadSoundLibrary) and its creation entry looked up by name
//     (GetSoundProcAddress "DirectSoundCreate") before a device exists;
//   - a device needs a cooperative level (an owner token and a level) before buffers;
//   - secondary buffers hold 8- or 16-bit PCM, mono or stereo, at 100..200000 Hz; their
//     contents start silent; Lock hands out one region, or two when the range wraps past the
//     end; the play cursor is advanced by the output callback and read with an atomic load;
//   - every playing buffer is mixed into the device output (44100 Hz, 16-bit, stereo) with
//     saturation to the 16-bit range; a buffer of the device's own rate and format plays
//     its bytes unchanged.
// What it leaves out: 3D sound, effects, notifications, volume, pan and frequency changes,
// hardware buffers, capture. Focus never mutes a buffer (every buffer plays globally).
//
// Units: sizes and offsets in bytes, rates in frames per second. A frame is one sample per
// channel. All result codes keep the platform's values (DS_OK = 0, failures negative).
//
// Threads: every call may be made from any thread. A buffer may be locked and written on one
// thread while another thread controls the device; writing a region that is being played is
// the caller's race to avoid, as on the original platform (read the play cursor first).
//
// Backends: "sdl" (SDL2 audio; the default) and "null" (silent, no thread: tests drive the
// output clock through platform/sound/null/backend_null.h). SetSoundBackend chooses.
#pragma once

#include <cstdint>

namespace platform::sound {

// ---------------------------------------------------------------------------------------------
// Result codes
// ---------------------------------------------------------------------------------------------

using HResult = std::int32_t;

constexpr HResult DS_OK = 0;
constexpr HResult DSERR_ALLOCATED = static_cast<HResult>(0x8878000Au);
constexpr HResult DSERR_CONTROLUNAVAIL = static_cast<HResult>(0x8878001Eu);
constexpr HResult DSERR_INVALIDPARAM = static_cast<HResult>(0x80070057u);
constexpr HResult DSERR_INVALIDCALL = static_cast<HResult>(0x88780032u);
constexpr HResult DSERR_GENERIC = static_cast<HResult>(0x80004005u);
constexpr HResult DSERR_PRIOLEVELNEEDED = static_cast<HResult>(0x88780046u);
constexpr HResult DSERR_OUTOFMEMORY = static_cast<HResult>(0x8007000Eu);
constexpr HResult DSERR_BADFORMAT = static_cast<HResult>(0x88780064u);
constexpr HResult DSERR_UNSUPPORTED = static_cast<HResult>(0x80004001u);
constexpr HResult DSERR_NODRIVER = static_cast<HResult>(0x88780078u);
constexpr HResult DSERR_NOAGGREGATION = static_cast<HResult>(0x80040110u);
constexpr HResult DSERR_BUFFERLOST = static_cast<HResult>(0x88780096u);

// ---------------------------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------------------------

// Cooperative levels.
constexpr std::uint32_t DSSCL_NORMAL = 1;
constexpr std::uint32_t DSSCL_PRIORITY = 2;
constexpr std::uint32_t DSSCL_EXCLUSIVE = 3;
constexpr std::uint32_t DSSCL_WRITEPRIMARY = 4;

// Buffer capability flags (BufferDesc::dwFlags).
constexpr std::uint32_t DSBCAPS_PRIMARYBUFFER = 0x00000001;
constexpr std::uint32_t DSBCAPS_STATIC = 0x00000002;
constexpr std::uint32_t DSBCAPS_LOCHARDWARE = 0x00000004;
constexpr std::uint32_t DSBCAPS_LOCSOFTWARE = 0x00000008;
constexpr std::uint32_t DSBCAPS_CTRL3D = 0x00000010;
constexpr std::uint32_t DSBCAPS_CTRLFREQUENCY = 0x00000020;
constexpr std::uint32_t DSBCAPS_CTRLPAN = 0x00000040;
constexpr std::uint32_t DSBCAPS_CTRLVOLUME = 0x00000080;
constexpr std::uint32_t DSBCAPS_CTRLPOSITIONNOTIFY = 0x00000100;
constexpr std::uint32_t DSBCAPS_CTRLFX = 0x00000200;
constexpr std::uint32_t DSBCAPS_STICKYFOCUS = 0x00004000;
constexpr std::uint32_t DSBCAPS_GLOBALFOCUS = 0x00008000;
constexpr std::uint32_t DSBCAPS_GETCURRENTPOSITION2 = 0x00010000;
constexpr std::uint32_t DSBCAPS_MUTE3DATMAXDISTANCE = 0x00020000;
constexpr std::uint32_t DSBCAPS_LOCDEFER = 0x00040000;

// Play, lock and status flags.
constexpr std::uint32_t DSBPLAY_LOOPING = 0x1;
constexpr std::uint32_t DSBLOCK_FROMWRITECURSOR = 0x1;
constexpr std::uint32_t DSBLOCK_ENTIREBUFFER = 0x2;
constexpr std::uint32_t DSBSTATUS_PLAYING = 0x1;
constexpr std::uint32_t DSBSTATUS_BUFFERLOST = 0x2;
constexpr std::uint32_t DSBSTATUS_LOOPING = 0x4;

// Limits of a secondary buffer.
constexpr std::uint32_t DSBSIZE_MIN = 4;
constexpr std::uint32_t DSBSIZE_MAX = 0x0FFFFFFF;
constexpr std::uint32_t DSBFREQUENCY_MIN = 100;
constexpr std::uint32_t DSBFREQUENCY_MAX = 200000;

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

// The size the buffer description declares in dwSize (the form with the 3D algorithm field).
constexpr std::uint32_t kBufferDescSize = 36;

// The output format of every device: 44100 Hz, 16-bit signed, 2 channels.
constexpr std::uint32_t kDeviceRate = 44100;
constexpr std::uint32_t kDeviceChannels = 2;

// ---------------------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------------------

struct Guid {
    std::uint32_t data1;
    std::uint16_t data2, data3;
    std::uint8_t data4[8];
};

// A PCM format. nBlockAlign must be nChannels * wBitsPerSample / 8 and nAvgBytesPerSec
// nSamplesPerSec * nBlockAlign.
struct WaveFormatEx {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};

// What CreateSoundBuffer makes. dwSize must be kBufferDescSize. A primary buffer has
// dwBufferBytes 0 and no format; a secondary buffer names both.
struct BufferDesc {
    std::uint32_t dwSize;
    std::uint32_t dwFlags;
    std::uint32_t dwBufferBytes;
    std::uint32_t dwReserved;
    const WaveFormatEx* lpwfxFormat;
    Guid guid3DAlgorithm;
};

// What a buffer reports of itself.
struct BufferCaps {
    std::uint32_t dwFlags;
    std::uint32_t dwBufferBytes;
};

// The owner of a device's cooperative level: an opaque non-zero window token.
using OwnerToken = std::uintptr_t;

// ---------------------------------------------------------------------------------------------
// Objects
// ---------------------------------------------------------------------------------------------

// A buffer. Secondary buffers loop over their bytes while playing; the primary buffer stands
// for the device output (it reports the device format and cannot be locked).
struct Buffer {
    // The capabilities the buffer was created with and its size.
    virtual HResult GetCaps(BufferCaps* caps) = 0;
    // The buffer's PCM format ("written" receives the bytes copied; either pointer may be null).
    virtual HResult GetFormat(WaveFormatEx* format, std::uint32_t size_bytes,
                              std::uint32_t* written_bytes) = 0;
    // DSBSTATUS_* bits.
    virtual HResult GetStatus(std::uint32_t* status) = 0;
    // The play cursor (the next byte the device reads) and the write cursor (the first byte that
    // is safe to write now). Either pointer may be null.
    virtual HResult GetCurrentPosition(std::uint32_t* play_bytes, std::uint32_t* write_bytes) = 0;
    // Moves the play cursor to "play_bytes" (rounded down to a whole frame).
    virtual HResult SetCurrentPosition(std::uint32_t play_bytes) = 0;
    // Hands out the range of "size_bytes" from "offset_bytes": the first region in "ptr1",
    // "bytes1" and, when the range wraps past the end, the rest from the start in "ptr2",
    // "bytes2". Without "ptr2" only the first region is given. DSBLOCK_FROMWRITECURSOR starts
    // at the write cursor; DSBLOCK_ENTIREBUFFER locks everything.
    virtual HResult Lock(std::uint32_t offset_bytes, std::uint32_t size_bytes, void** ptr1,
                         std::uint32_t* bytes1, void** ptr2, std::uint32_t* bytes2,
                         std::uint32_t flags) = 0;
    // Ends a Lock: the written bytes become visible to the mixer.
    virtual HResult Unlock(void* ptr1, std::uint32_t bytes1, void* ptr2, std::uint32_t bytes2) = 0;
    // Starts playing from the play cursor; DSBPLAY_LOOPING loops, otherwise the buffer stops at
    // its end. "reserved" and "priority" must be 0.
    virtual HResult Play(std::uint32_t reserved, std::uint32_t priority, std::uint32_t flags) = 0;
    // Stops; the play cursor stays where it is.
    virtual HResult Stop() = 0;
    virtual std::uint32_t AddRef() = 0;
    // Drops one reference; the last one stops the buffer and frees it. Returns the count left.
    virtual std::uint32_t Release() = 0;

protected:
    ~Buffer() = default;
};

// The output device.
struct Device {
    // Sets the owner and the cooperative level (DSSCL_*). "owner" must be non-zero.
    virtual HResult SetCooperativeLevel(OwnerToken owner, std::uint32_t level) = 0;
    // Makes a buffer from "desc" (see BufferDesc). "outer" must be null. On failure "*buffer"
    // is set to null.
    virtual HResult CreateSoundBuffer(const BufferDesc* desc, Buffer** buffer, void* outer) = 0;
    virtual std::uint32_t AddRef() = 0;
    // Drops one reference; the last one closes the output (buffers stay valid but silent).
    virtual std::uint32_t Release() = 0;

protected:
    ~Device() = default;
};

// ---------------------------------------------------------------------------------------------
// The library
// ---------------------------------------------------------------------------------------------

// A loaded sound library. Loading starts the chosen backend's audio system; the last
// FreeSoundLibrary, and the release of every device made through it, stops it again.
struct SoundLibrary;

// Loads the library: returns null when no backend can start (no audio system at all).
// Repeated loads return the same library and count references.
SoundLibrary* LoadSoundLibrary();

// Drops one reference to "library". Null is ignored.
void FreeSoundLibrary(SoundLibrary* library);

// A procedure of the library, looked up by name; cast to its own type before calling.
using SoundProc = void (*)();
SoundProc GetSoundProcAddress(SoundLibrary* library, const char* name);

// The type of the library's "DirectSoundCreate": "device_guid" must be null (the default
// device), "outer" null. Opens the output; DSERR_NODRIVER when no device can be opened.
using DirectSoundCreateProc = HResult (*)(const Guid* device_guid, Device** device, void* outer);

// Chooses the backend by name for the next LoadSoundLibrary that starts the library: "sdl",
// "null", or null / "" for the default (the first that starts; "null" only when named).
// Returns false for an unknown name (the choice is then unchanged).
bool SetSoundBackend(const char* name);

}  // namespace platform::sound
