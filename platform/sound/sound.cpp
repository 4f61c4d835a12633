// platform/sound/sound.cpp: the sound core: library loading, devices, buffers, cursors, mixing.
//
// Sections:
//   [Library]  reference-counted backend start, procedure lookup, backend choice
//   [Mixer]    the state a device shares with its buffers and the output callback
//   [Buffer]   secondary and primary buffers: Lock/Unlock, cursors, Play/Stop
//   [Device]   cooperative level and buffer creation
#include "platform/sound/sound.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/sound/backend.h"

namespace platform::sound {

namespace {

// ---------------------------------------------------------------------------------------------
// [Library]
// ---------------------------------------------------------------------------------------------

struct LibraryState {
    std::unique_ptr<Backend> backend;
    int references = 0;
};

std::mutex g_libraryMutex;
LibraryState* g_library = nullptr;  // the loaded library, or null
std::string g_backendChoice;        // "" = default order

// Adds a reference to the loaded library (the caller holds g_libraryMutex).
void RetainLibraryLocked() { ++g_library->references; }

// Drops one reference; the last one stops the backend.
void ReleaseLibrary() {
    std::lock_guard<std::mutex> guard(g_libraryMutex);
    if (!g_library || g_library->references <= 0) return;
    if (--g_library->references > 0) return;
    g_library->backend->Stop();
    delete g_library;
    g_library = nullptr;
}

// ---------------------------------------------------------------------------------------------
// [Mixer]
// ---------------------------------------------------------------------------------------------

class BufferImpl;

// Frames mixed per pass through the accumulator.
constexpr std::size_t kMixChunkFrames = 512;

// What a device and its buffers share. Guarded by "mutex": the list of playing buffers, their
// positions and play flags, and "closed". The output callback holds it while it mixes.
struct Mixer {
    std::mutex mutex;
    std::vector<BufferImpl*> playing;
    BufferImpl* primary = nullptr;
    bool closed = false;
    std::size_t periodFrames = 0;
    std::int32_t accumulator[kMixChunkFrames * 2];

    static void Mix(void* context, std::int16_t* out, std::size_t frames);
    void MixChunk(std::int16_t* out, std::size_t frames);
};

// ---------------------------------------------------------------------------------------------
// [Buffer]
// ---------------------------------------------------------------------------------------------

class BufferImpl final : public Buffer {
public:
    BufferImpl(std::shared_ptr<Mixer> mixer, std::uint32_t flags) : mixer_(std::move(mixer)),
        flags_(flags) {}

    // Sets up a secondary buffer of "bytes" bytes in "format"; false when memory is short.
    bool InitSecondary(const WaveFormatEx& format, std::uint32_t bytes) {
        data_.reset(new (std::nothrow) std::uint8_t[bytes]);
        if (!data_) return false;
        std::memset(data_.get(), format.wBitsPerSample == 8 ? 0x80 : 0, bytes);
        format_ = format;
        bytes_ = bytes;
        frames_ = bytes / format.nBlockAlign;
        step_ = (static_cast<std::uint64_t>(format.nSamplesPerSec) << 32) / kDeviceRate;
        return true;
    }

    void InitPrimary() {
        primary_ = true;
        format_ = WaveFormatEx{WAVE_FORMAT_PCM, kDeviceChannels, kDeviceRate,
                               kDeviceRate * kDeviceChannels * 2, kDeviceChannels * 2, 16, 0};
    }

    HResult GetCaps(BufferCaps* caps) override {
        if (!caps) return DSERR_INVALIDPARAM;
        caps->dwFlags = flags_;
        caps->dwBufferBytes = bytes_;
        return DS_OK;
    }

    HResult GetFormat(WaveFormatEx* format, std::uint32_t size_bytes,
                      std::uint32_t* written_bytes) override {
        if (!format && !written_bytes) return DSERR_INVALIDPARAM;
        std::uint32_t n = 0;
        if (format) {
            n = std::min<std::uint32_t>(size_bytes, sizeof(WaveFormatEx));
            std::memcpy(format, &format_, n);
        } else {
            n = sizeof(WaveFormatEx);
        }
        if (written_bytes) *written_bytes = n;
        return DS_OK;
    }

    HResult GetStatus(std::uint32_t* status) override {
        if (!status) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> guard(mixer_->mutex);
        *status = 0;
        if (mixer_->closed) *status |= DSBSTATUS_BUFFERLOST;
        if (playing_) *status |= DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0);
        return DS_OK;
    }

    HResult GetCurrentPosition(std::uint32_t* play_bytes, std::uint32_t* write_bytes) override {
        if (primary_) return DSERR_INVALIDCALL;
        const std::uint32_t play = cursor_.load(std::memory_order_acquire);
        if (play_bytes) *play_bytes = play;
        if (write_bytes) *write_bytes = (play + WriteLeadBytes()) % bytes_;
        return DS_OK;
    }

    HResult SetCurrentPosition(std::uint32_t play_bytes) override {
        if (primary_) return DSERR_INVALIDCALL;
        if (play_bytes >= bytes_) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> guard(mixer_->mutex);
        frame_ = play_bytes / format_.nBlockAlign;
        fraction_ = 0;
        cursor_.store(frame_ * format_.nBlockAlign, std::memory_order_release);
        return DS_OK;
    }

    HResult Lock(std::uint32_t offset_bytes, std::uint32_t size_bytes, void** ptr1,
                 std::uint32_t* bytes1, void** ptr2, std::uint32_t* bytes2,
                 std::uint32_t flags) override {
        if (primary_) return DSERR_INVALIDCALL;
        if (!ptr1 || !bytes1 || (ptr2 && !bytes2)) return DSERR_INVALIDPARAM;
        if (flags & ~(DSBLOCK_FROMWRITECURSOR | DSBLOCK_ENTIREBUFFER)) return DSERR_INVALIDPARAM;
        if (flags & DSBLOCK_FROMWRITECURSOR) GetCurrentPosition(nullptr, &offset_bytes);
        if (flags & DSBLOCK_ENTIREBUFFER) size_bytes = bytes_;
        if (offset_bytes >= bytes_ || size_bytes == 0 || size_bytes > bytes_) {
            return DSERR_INVALIDPARAM;
        }
        const std::uint32_t first = std::min(size_bytes, bytes_ - offset_bytes);
        *ptr1 = data_.get() + offset_bytes;
        *bytes1 = first;
        if (ptr2) {
            const std::uint32_t rest = size_bytes - first;
            *ptr2 = rest ? data_.get() : nullptr;
            *bytes2 = rest;
        }
        return DS_OK;
    }

    HResult Unlock(void* ptr1, std::uint32_t bytes1, void* ptr2, std::uint32_t bytes2) override {
        if (primary_) return DSERR_INVALIDCALL;
        if (!InBuffer(ptr1, bytes1) || (ptr2 && !InBuffer(ptr2, bytes2)) || (!ptr2 && bytes2)) {
            return DSERR_INVALIDPARAM;
        }
        // Taking the mixer's lock orders the bytes just written before the mixer's next read.
        std::lock_guard<std::mutex> guard(mixer_->mutex);
        return DS_OK;
    }

    HResult Play(std::uint32_t reserved, std::uint32_t priority, std::uint32_t flags) override {
        if (reserved != 0 || (flags & ~DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
        if (priority != 0) return DSERR_INVALIDCALL;
        std::lock_guard<std::mutex> guard(mixer_->mutex);
        if (mixer_->closed) return DSERR_BUFFERLOST;
        if (primary_) return DS_OK;
        if (!playing_) {
            try {
                mixer_->playing.push_back(this);
            } catch (const std::bad_alloc&) {
                return DSERR_OUTOFMEMORY;
            }
            playing_ = true;
        }
        looping_ = (flags & DSBPLAY_LOOPING) != 0;
        return DS_OK;
    }

    HResult Stop() override {
        std::lock_guard<std::mutex> guard(mixer_->mutex);
        StopLocked();
        return DS_OK;
    }

    std::uint32_t AddRef() override { return references_.fetch_add(1) + 1; }

    // The count drops under the mixer's lock, so the device cannot hand out the primary
    // buffer again while its last reference goes.
    std::uint32_t Release() override {
        std::uint32_t left;
        {
            std::lock_guard<std::mutex> guard(mixer_->mutex);
            left = references_.fetch_sub(1) - 1;
            if (left > 0) return left;
            StopLocked();
            if (mixer_->primary == this) mixer_->primary = nullptr;
        }
        delete this;
        return left;
    }

    // Adds this buffer's next "frames" frames to "acc" (stereo int32) and advances its position.
    // Returns false when a one-shot buffer reached its end. Runs under the mixer's lock.
    bool MixInto(std::int32_t* acc, std::size_t frames) {
        const std::uint8_t* data = data_.get();
        const std::uint32_t align = format_.nBlockAlign;
        const bool stereo = format_.nChannels == 2, wide = format_.wBitsPerSample == 16;
        bool more = true;
        for (std::size_t i = 0; i < frames; ++i) {
            const std::uint8_t* f = data + static_cast<std::size_t>(frame_) * align;
            std::int32_t left, right;
            if (wide) {
                std::int16_t s[2];
                std::memcpy(s, f, stereo ? 4 : 2);
                left = s[0];
                right = stereo ? s[1] : s[0];
            } else {
                left = (static_cast<std::int32_t>(f[0]) - 128) * 256;
                right = stereo ? (static_cast<std::int32_t>(f[1]) - 128) * 256 : left;
            }
            acc[2 * i] += left;
            acc[2 * i + 1] += right;
            fraction_ += step_;
            frame_ += static_cast<std::uint32_t>(fraction_ >> 32);
            fraction_ &= 0xFFFFFFFFu;
            if (frame_ >= frames_) {
                if (looping_) {
                    frame_ %= frames_;
                } else {
                    frame_ = 0;
                    fraction_ = 0;
                    more = false;
                    break;
                }
            }
        }
        cursor_.store(frame_ * align, std::memory_order_release);
        return more;
    }

    void MarkStoppedLocked() { playing_ = false; }

private:
    ~BufferImpl() = default;

    void StopLocked() {
        if (!playing_) return;
        playing_ = false;
        auto& list = mixer_->playing;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }

    bool InBuffer(const void* p, std::uint32_t n) const {
        const auto* b = static_cast<const std::uint8_t*>(p);
        const std::uint8_t* base = data_.get();
        return b >= base && b < base + bytes_ && n <= static_cast<std::uint32_t>(base + bytes_ - b);
    }

    // How far ahead of the play cursor the mixer may already be reading: one output period,
    // converted to this buffer's bytes.
    std::uint32_t WriteLeadBytes() const {
        const std::uint64_t frames =
            (static_cast<std::uint64_t>(mixer_->periodFrames) * format_.nSamplesPerSec +
             kDeviceRate - 1) / kDeviceRate;
        const std::uint64_t lead = frames * format_.nBlockAlign;
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(lead, bytes_ - format_.nBlockAlign));
    }

    std::shared_ptr<Mixer> mixer_;
    const std::uint32_t flags_;
    bool primary_ = false;
    WaveFormatEx format_{};
    std::unique_ptr<std::uint8_t[]> data_;
    std::uint32_t bytes_ = 0, frames_ = 0;
    std::uint64_t step_ = 0;                 // source frames per output frame, 32.32 fixed point
    std::atomic<std::uint32_t> references_{1};
    std::atomic<std::uint32_t> cursor_{0};   // play cursor in bytes, published after each mix
    // Guarded by the mixer's lock:
    std::uint32_t frame_ = 0;
    std::uint64_t fraction_ = 0;
    bool playing_ = false, looping_ = false;
};

void Mixer::Mix(void* context, std::int16_t* out, std::size_t frames) {
    auto* mixer = static_cast<Mixer*>(context);
    std::lock_guard<std::mutex> guard(mixer->mutex);
    while (frames > 0) {
        const std::size_t n = std::min(frames, kMixChunkFrames);
        mixer->MixChunk(out, n);
        out += n * 2;
        frames -= n;
    }
}

void Mixer::MixChunk(std::int16_t* out, std::size_t frames) {
    std::fill(accumulator, accumulator + frames * 2, 0);
    for (std::size_t i = 0; i < playing.size();) {
        if (playing[i]->MixInto(accumulator, frames)) {
            ++i;
        } else {
            playing[i]->MarkStoppedLocked();
            playing.erase(playing.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    for (std::size_t i = 0; i < frames * 2; ++i) {
        out[i] = static_cast<std::int16_t>(std::clamp(accumulator[i], -32768, 32767));
    }
}

// ---------------------------------------------------------------------------------------------
// [Device]
// ---------------------------------------------------------------------------------------------

// True when "f" is a PCM format the mixer plays.
bool PlayableFormat(const WaveFormatEx& f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
    if (f.nChannels < 1 || f.nChannels > 2) return false;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
    if (f.nSamplesPerSec < DSBFREQUENCY_MIN || f.nSamplesPerSec > DSBFREQUENCY_MAX) return false;
    return f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 &&
           f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

constexpr std::uint32_t kKnownFlags =
    DSBCAPS_PRIMARYBUFFER | DSBCAPS_STATIC | DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE |
    DSBCAPS_CTRL3D | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
    DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLFX | DSBCAPS_STICKYFOCUS | DSBCAPS_GLOBALFOCUS |
    DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_MUTE3DATMAXDISTANCE | DSBCAPS_LOCDEFER;
// Capabilities this mixer does not provide.
constexpr std::uint32_t kUnsupportedFlags =
    DSBCAPS_LOCHARDWARE | DSBCAPS_CTRL3D | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLFX;

class DeviceImpl final : public Device {
public:
    explicit DeviceImpl(std::shared_ptr<Mixer> mixer, std::unique_ptr<BackendStream> stream)
        : mixer_(std::move(mixer)), stream_(std::move(stream)) {}

    HResult SetCooperativeLevel(OwnerToken owner, std::uint32_t level) override {
        if (owner == 0 || level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) {
            return DSERR_INVALIDPARAM;
        }
        level_.store(level);
        return DS_OK;
    }

    HResult CreateSoundBuffer(const BufferDesc* desc, Buffer** buffer, void* outer) override {
        if (!buffer) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (outer) return DSERR_NOAGGREGATION;
        if (!desc || desc->dwSize != kBufferDescSize || desc->dwReserved != 0 ||
            (desc->dwFlags & ~kKnownFlags)) {
            return DSERR_INVALIDPARAM;
        }
        if (level_.load() == 0) return DSERR_PRIOLEVELNEEDED;
        if (desc->dwFlags & kUnsupportedFlags) return DSERR_UNSUPPORTED;
        if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) return Primary(*desc, buffer);
        if (!desc->lpwfxFormat || desc->dwBufferBytes < DSBSIZE_MIN ||
            desc->dwBufferBytes > DSBSIZE_MAX) {
            return DSERR_INVALIDPARAM;
        }
        const WaveFormatEx& format = *desc->lpwfxFormat;
        if (!PlayableFormat(format)) return DSERR_BADFORMAT;
        if (desc->dwBufferBytes % format.nBlockAlign != 0) return DSERR_INVALIDPARAM;
        auto* made = new (std::nothrow) BufferImpl(mixer_, desc->dwFlags);
        if (!made) return DSERR_OUTOFMEMORY;
        if (!made->InitSecondary(format, desc->dwBufferBytes)) {
            made->Release();
            return DSERR_OUTOFMEMORY;
        }
        *buffer = made;
        return DS_OK;
    }

    std::uint32_t AddRef() override { return references_.fetch_add(1) + 1; }

    std::uint32_t Release() override {
        const std::uint32_t left = references_.fetch_sub(1) - 1;
        if (left == 0) {
            stream_.reset();  // no mix call runs after this
            {
                std::lock_guard<std::mutex> guard(mixer_->mutex);
                mixer_->closed = true;
            }
            delete this;
            ReleaseLibrary();
        }
        return left;
    }

private:
    ~DeviceImpl() = default;

    // The primary buffer: one per device, handed out again with a new reference.
    HResult Primary(const BufferDesc& desc, Buffer** buffer) {
        if (desc.dwBufferBytes != 0 || desc.lpwfxFormat) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> guard(mixer_->mutex);
        if (mixer_->primary) {
            mixer_->primary->AddRef();
            *buffer = mixer_->primary;
            return DS_OK;
        }
        auto* made = new (std::nothrow) BufferImpl(mixer_, desc.dwFlags);
        if (!made) return DSERR_OUTOFMEMORY;
        made->InitPrimary();
        mixer_->primary = made;
        *buffer = made;
        return DS_OK;
    }

    std::shared_ptr<Mixer> mixer_;
    std::unique_ptr<BackendStream> stream_;
    std::atomic<std::uint32_t> references_{1};
    std::atomic<std::uint32_t> level_{0};
};

// The library's "DirectSoundCreate".
HResult DirectSoundCreate(const Guid* device_guid, Device** device, void* outer) {
    if (!device) return DSERR_INVALIDPARAM;
    *device = nullptr;
    if (outer) return DSERR_NOAGGREGATION;
    if (device_guid) return DSERR_NODRIVER;  // only the default device exists
    std::unique_lock<std::mutex> lock(g_libraryMutex);
    if (!g_library) return DSERR_NODRIVER;
    Backend* backend = g_library->backend.get();
    RetainLibraryLocked();
    lock.unlock();

    try {
        auto mixer = std::make_shared<Mixer>();
        mixer->playing.reserve(16);
        auto stream = backend->OpenStream(&Mixer::Mix, mixer.get());
        if (!stream) {
            ReleaseLibrary();
            return DSERR_NODRIVER;
        }
        {
            std::lock_guard<std::mutex> guard(mixer->mutex);
            mixer->periodFrames = stream->period_frames();
        }
        *device = new DeviceImpl(std::move(mixer), std::move(stream));
        return DS_OK;
    } catch (const std::bad_alloc&) {
        ReleaseLibrary();
        return DSERR_OUTOFMEMORY;
    }
}

// Backend names in the order the default choice tries them; demand-only ones are skipped.
struct BackendEntry {
    const char* name;
    std::unique_ptr<Backend> (*make)();
    bool demandOnly;
};
constexpr BackendEntry kBackends[] = {
#if defined(__EMSCRIPTEN__)
    {"web", &MakeWebBackend, false},
#endif
    {"sdl", &MakeSdlBackend, false},
    {"null", &MakeNullBackend, true},
};

}  // namespace

SoundLibrary* LoadSoundLibrary() {
    std::lock_guard<std::mutex> guard(g_libraryMutex);
    if (g_library) {
        RetainLibraryLocked();
        return reinterpret_cast<SoundLibrary*>(g_library);
    }
    for (const BackendEntry& entry : kBackends) {
        const bool named = g_backendChoice == entry.name;
        if (!g_backendChoice.empty() ? !named : entry.demandOnly) continue;
        std::unique_ptr<Backend> backend;
        try {
            backend = entry.make();
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        if (!backend || !backend->Start()) continue;
        g_library = new (std::nothrow) LibraryState{std::move(backend), 1};
        if (!g_library) return nullptr;
        return reinterpret_cast<SoundLibrary*>(g_library);
    }
    return nullptr;
}

void FreeSoundLibrary(SoundLibrary* library) {
    if (!library) return;
    {
        std::lock_guard<std::mutex> guard(g_libraryMutex);
        if (reinterpret_cast<LibraryState*>(library) != g_library) return;
    }
    ReleaseLibrary();
}

SoundProc GetSoundProcAddress(SoundLibrary* library, const char* name) {
    if (!library || !name) return nullptr;
    {
        std::lock_guard<std::mutex> guard(g_libraryMutex);
        if (reinterpret_cast<LibraryState*>(library) != g_library) return nullptr;
    }
    if (std::strcmp(name, "DirectSoundCreate") == 0) {
        return reinterpret_cast<SoundProc>(&DirectSoundCreate);
    }
    return nullptr;
}

bool SetSoundBackend(const char* name) {
    const std::string choice = name ? name : "";
    bool known = choice.empty();
    for (const BackendEntry& entry : kBackends) known = known || choice == entry.name;
    if (!known) return false;
    std::lock_guard<std::mutex> guard(g_libraryMutex);
    g_backendChoice = choice;
    return true;
}

}  // namespace platform::sound
