// audio/music.cpp: music objects, the stream thread and its stop protocol.
#include "audio/music.h"

#include <libmodplug/modplug.h>

#include <cstring>
#include <mutex>
#include <new>

#include "audio/music_internal.h"
#include "audio/music_testing.h"
#include "audio/sound_device.h"
#include "platform/sys/sys.h"

namespace audio {

namespace snd = platform::sound;

namespace {

runtime::ObjectTable* g_musicTable = nullptr;

// libmodplug keeps its mixer buffers and output settings in globals shared by every module,
// so two stream threads (or a load on the main thread) must never be inside it at once.
std::mutex g_modplugMutex;

std::atomic<ModuleReadFunction> g_readFunction{nullptr};
std::atomic<int> g_runningStreams{0};

MusicStream* LookupMusic(runtime::ObjectNumber number) {
    if (!g_musicTable) return nullptr;
    return static_cast<MusicStream*>(runtime::LookupObject(g_musicTable, number));
}

void StreamThreadMain(void* record) { RunMusicStream(static_cast<MusicStream*>(record)); }

}  // namespace

int RenderModule(ModPlugFile* module, void* out, int size_bytes) {
    if (size_bytes <= 0) return 0;
    int got;
    {
        std::lock_guard<std::mutex> guard(g_modplugMutex);
        const ModuleReadFunction read = g_readFunction.load();
        got = read ? read(module, out, size_bytes) : ModPlug_Read(module, out, size_bytes);
    }
    if (got < 0) got = 0;
    if (got > size_bytes) got = size_bytes;
    // Whatever the read left would otherwise replay the audio of a buffer round ago.
    std::memset(static_cast<char*>(out) + got, 0, static_cast<std::size_t>(size_bytes - got));
    return got;
}

void InjectModuleRead(ModuleReadFunction read) { g_readFunction.store(read); }

int RunningStreamThreads() { return g_runningStreams.load(); }

// The count of running stream threads goes up in StartMusicStream before the thread is made
// and down here before "streamActive" drops, so a stop that has seen the drop sees the count.
std::int32_t RunMusicStream(MusicStream* record) {
    const std::int32_t half = record->bufferBytes / 2;
    int nextHalf = 1;  // half 0 was rendered before the thread started
    bool pendingFill = false;
    std::uint32_t fillOffset = 0;
    std::uint32_t cursor = 0;  // on a failed query the previous value stands
    record->streamActive.store(1);
    while (record->playing.load() == 1) {
        platform::sys::SleepMs(kMusicPollMs);
        record->buffer->GetCurrentPosition(&cursor, nullptr);
        if (nextHalf == 0 && cursor > static_cast<std::uint32_t>(half)) {
            pendingFill = true;
            fillOffset = 0;
        } else if (nextHalf == 1 && cursor < static_cast<std::uint32_t>(half)) {
            pendingFill = true;
            fillOffset = static_cast<std::uint32_t>(half);
        }
        if (pendingFill) {
            void* region = nullptr;
            std::uint32_t regionBytes = 0;
            if (record->buffer->Lock(fillOffset, static_cast<std::uint32_t>(half), &region,
                                     &regionBytes, nullptr, nullptr, 0) == snd::DS_OK) {
                RenderModule(record->module, region, static_cast<int>(regionBytes));
                nextHalf = 1 - nextHalf;
                pendingFill = false;
                record->buffer->Unlock(region, regionBytes, nullptr, 0);
            }
        }
    }
    g_runningStreams.fetch_sub(1);
    record->streamActive.store(0);
    return 0;
}

void InitMusicLibrary() {
    g_musicTable = runtime::CreateObjectTable(sizeof(MusicStream), kMusicTableCapacity,
                                              &DestroyMusic);
    std::lock_guard<std::mutex> guard(g_modplugMutex);
    ModPlug_Settings settings;
    ModPlug_GetSettings(&settings);
    settings.mLoopCount = -1;
    ModPlug_SetSettings(&settings);
}

runtime::ObjectTable* MusicTable() { return g_musicTable; }

MusicStream* CreateMusicFromMemory(runtime::ObjectNumber number, const void* image,
                                   std::int32_t size_bytes) {
    if (!g_musicTable) return nullptr;
    void* slot = runtime::AllocateObject(g_musicTable, number);  // a live number is freed first
    if (!slot) return nullptr;
    auto* record = new (slot) MusicStream{};
    const runtime::ObjectNumber self =
        number == -1 ? reinterpret_cast<runtime::ObjectNumber>(record) : number;
    ModPlugFile* module = nullptr;
    if (image && size_bytes > 0) {
        std::lock_guard<std::mutex> guard(g_modplugMutex);
        module = ModPlug_Load(image, size_bytes);
        if (module) ModPlug_SetMasterVolume(module, kMusicMasterVolume);
    }
    if (!module) {
        runtime::ReleaseObject(g_musicTable, self);
        return nullptr;
    }
    record->bufferBytes = kMusicBufferBytes;
    record->buffer = CreateStreamBuffer(kMusicChannels, kMusicRate, kMusicBufferBytes);
    if (!record->buffer) {
        std::lock_guard<std::mutex> guard(g_modplugMutex);
        ModPlug_Unload(module);
        runtime::ReleaseObject(g_musicTable, self);
        return nullptr;
    }
    record->module = module;  // the record is live from here on
    return record;
}

std::int32_t StartMusicStream(runtime::ObjectNumber number) {
    MusicStream* record = LookupMusic(number);
    if (!record) return 0;
    HaltMusicStream(number);
    record->playing.store(1);

    const std::uint32_t half = static_cast<std::uint32_t>(record->bufferBytes / 2);
    void* region = nullptr;
    std::uint32_t regionBytes = 0;
    if (record->buffer->Lock(0, half, &region, &regionBytes, nullptr, nullptr, 0) == snd::DS_OK) {
        RenderModule(record->module, region, static_cast<int>(regionBytes));
        record->buffer->Unlock(region, regionBytes, nullptr, 0);
    }

    // Active before the thread exists, so a stop right after this call still waits for it.
    record->streamActive.store(1);
    g_runningStreams.fetch_add(1);
    std::int32_t started = 1;
    if (!platform::sys::CreateDetachedThread(&StreamThreadMain, record, kStreamThreadStackBytes)) {
        g_runningStreams.fetch_sub(1);
        record->streamActive.store(0);  // no thread will ever clear it
        started = 0;
    }
    record->buffer->SetCurrentPosition(0);
    record->buffer->Play(0, 0, snd::DSBPLAY_LOOPING);
    return started;
}

void HaltMusicStream(runtime::ObjectNumber number) {
    if (number == -1) {
        if (!g_musicTable) return;
        runtime::ResetObjectWalk(g_musicTable);
        runtime::ObjectNumber each = 0;
        while (runtime::NextObject(g_musicTable, &each)) HaltMusicStream(each);
        return;
    }
    MusicStream* record = LookupMusic(number);
    if (!record || record->playing.load() == 0) return;
    record->playing.store(0);
    record->buffer->Stop();
    while (record->streamActive.load() != 0) platform::sys::SleepMs(kMusicPollMs);
}

void DestroyMusic(runtime::ObjectNumber number) {
    if (number == -1) {
        if (g_musicTable) runtime::FreeAllObjects(g_musicTable);
        return;
    }
    MusicStream* record = LookupMusic(number);
    if (!record) return;
    HaltMusicStream(number);
    {
        std::lock_guard<std::mutex> guard(g_modplugMutex);
        ModPlug_Unload(record->module);
    }
    record->buffer->Release();
    runtime::ReleaseObject(g_musicTable, number);
}

void EndMusicLibrary() {
    if (g_musicTable) runtime::FreeAllObjects(g_musicTable);
}

}  // namespace audio
