// audio/sound_device.cpp: opening and closing the sound device, stream buffers, hidden window.
#include "audio/sound_device.h"

#include <cstdint>

namespace audio {

namespace snd = platform::sound;
namespace win = platform::window;

namespace {

constexpr const char* kMultimediaClass = "MultimediaBase Class";

// The process-wide device state.
struct SoundDevice {
    runtime::ObjectTable* soundTable;  // non-zero once the device is open
    snd::SoundLibrary* library;
    snd::Device* device;
    win::WindowHandle ownerWindow;
};
SoundDevice g_sound{};

struct MultimediaWindowState {
    bool created;
    bool classRegistered;
    win::WindowHandle window;
    int active;
};
MultimediaWindowState g_multimedia{};

// The sound table's free callback: releases the record's buffer and its number.
void DestroySoundRecord(runtime::ObjectNumber number) {
    auto* record = static_cast<SoundRecord*>(runtime::LookupObject(g_sound.soundTable, number));
    if (!record) return;
    if (record->buffer) record->buffer->Release();
    runtime::ReleaseObject(g_sound.soundTable, number);
}

// The hidden window's procedure: it tracks activation, paints nothing and cannot be closed.
win::LResult MultimediaWindowProc(win::WindowHandle window, std::uint32_t message,
                                  win::WParam wParam, win::LParam lParam) {
    switch (message) {
        case win::WM_ACTIVATE:
            g_multimedia.active = win::LowWord(wParam) != 0 ? 1 : 0;
            return 0;
        case win::WM_PAINT: {
            win::PaintStruct ps;
            win::BeginPaint(window, &ps);
            win::EndPaint(window, &ps);
            return 1;
        }
        case win::WM_CLOSE:
        case win::WM_KEYUP:
        case win::WM_SYSKEYUP:
        case win::WM_LBUTTONDOWN:
        case win::WM_LBUTTONUP:
        case win::WM_RBUTTONDOWN:
        case win::WM_RBUTTONUP:
            return 0;
        case win::WM_ERASEBKGND:
            return 1;
        default:
            return win::DefWindowProc(window, message, wParam, lParam);
    }
}

}  // namespace

int CreateMultimediaWindow() {
    // A window system that was shut down takes the window with it: make it again then.
    if (g_multimedia.created && win::IsWindow(g_multimedia.window)) return 1;
    g_multimedia.created = false;
    if (!g_multimedia.classRegistered) {
        win::ClassDesc desc;
        desc.name = kMultimediaClass;
        desc.style = win::CS_DBLCLKS;
        desc.proc = &MultimediaWindowProc;
        desc.background = win::GetStockObject(win::BLACK_BRUSH);
        if (!win::RegisterClass(desc)) return 0;
        g_multimedia.classRegistered = true;
    }
    win::WindowDesc desc;
    desc.className = kMultimediaClass;
    desc.title = "";
    desc.style = win::WS_POPUP;
    desc.x = 0;
    desc.y = 0;
    desc.width = 1;
    desc.height = 1;
    const win::WindowHandle window = win::CreateWindow(desc);
    if (!window) return 0;
    g_multimedia.window = window;
    g_multimedia.created = true;
    return 1;
}

win::WindowHandle MultimediaWindow() { return g_multimedia.window; }
int MultimediaWindowActive() { return g_multimedia.active; }

bool SoundDeviceOpen() { return g_sound.soundTable != nullptr; }

runtime::ObjectTable* InitSoundDevice() {
    if (g_sound.soundTable) return g_sound.soundTable;
    if (!CreateMultimediaWindow()) return nullptr;
    if (g_sound.device) return nullptr;  // an earlier attempt failed after creating it
    // The library stays held after a later failure; it is not loaded a second time.
    if (!g_sound.library) g_sound.library = snd::LoadSoundLibrary();
    if (!g_sound.library) return nullptr;
    auto create = reinterpret_cast<snd::DirectSoundCreateProc>(
        snd::GetSoundProcAddress(g_sound.library, "DirectSoundCreate"));
    if (!create) return nullptr;
    snd::Device* device = nullptr;
    if (create(nullptr, &device, nullptr) != snd::DS_OK) return nullptr;
    g_sound.device = device;
    g_sound.ownerWindow = g_multimedia.window;
    if (device->SetCooperativeLevel(g_sound.ownerWindow.value, snd::DSSCL_PRIORITY) !=
        snd::DS_OK) {
        return nullptr;
    }
    const snd::BufferDesc primaryDesc{snd::kBufferDescSize, snd::DSBCAPS_PRIMARYBUFFER, 0, 0,
                                      nullptr, {}};
    snd::Buffer* primary = nullptr;
    if (device->CreateSoundBuffer(&primaryDesc, &primary, nullptr) != snd::DS_OK) return nullptr;
    primary->Release();  // the device's default format stays; nothing else uses it
    g_sound.soundTable =
        runtime::CreateObjectTable(sizeof(SoundRecord), kSoundTableCapacity, &DestroySoundRecord);
    return g_sound.soundTable;
}

snd::Buffer* CreateStreamBuffer(std::int32_t channels, std::int32_t samples_per_second,
                                std::int32_t size_bytes) {
    if (!g_sound.soundTable || !g_sound.device) return nullptr;
    if (channels <= 0 || channels > 0xFFFF || samples_per_second <= 0 || size_bytes <= 0) {
        return nullptr;
    }
    const std::uint64_t blockAlign = static_cast<std::uint64_t>(channels) * 2;
    const std::uint64_t bytesPerSecond = blockAlign * static_cast<std::uint64_t>(samples_per_second);
    if (blockAlign > 0xFFFF || bytesPerSecond > 0xFFFFFFFFu) return nullptr;
    const snd::WaveFormatEx format{snd::WAVE_FORMAT_PCM,
                                   static_cast<std::uint16_t>(channels),
                                   static_cast<std::uint32_t>(samples_per_second),
                                   static_cast<std::uint32_t>(bytesPerSecond),
                                   static_cast<std::uint16_t>(blockAlign),
                                   16,
                                   0};
    const snd::BufferDesc desc{snd::kBufferDescSize, kStreamBufferFlags,
                               static_cast<std::uint32_t>(size_bytes), 0, &format, {}};
    snd::Buffer* buffer = nullptr;
    if (g_sound.device->CreateSoundBuffer(&desc, &buffer, nullptr) != snd::DS_OK) {
        if (buffer) buffer->Release();
        return nullptr;
    }
    return buffer;
}

void EndSoundDevice() {
    if (g_sound.soundTable) runtime::FreeAllObjects(g_sound.soundTable);
    if (g_sound.device) g_sound.device->Release();
    if (g_sound.library) snd::FreeSoundLibrary(g_sound.library);
    g_sound = SoundDevice{};
}

void StartSoundDevice() { InitSoundDevice(); }

}  // namespace audio
