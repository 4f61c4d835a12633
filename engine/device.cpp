// engine/device.cpp: the engine's start-up, device creation, fixed device state, frame
// end, presentation and device reset.

#include <cstring>

#include "audio/sound_device.h"
#include "engine/box.h"
#include "engine/effect.h"
#include "engine/engine.h"
#include "engine/render_texture.h"
#include "engine/scroll_text.h"
#include "engine/sprite.h"
#include "engine/state_internal.h"
#include "engine/texture.h"
#include "platform/gfx/fx/effect.h"
#include "platform/sys/sys.h"
#include "runtime/date.h"

namespace engine {

namespace gfx = platform::gfx;
namespace input = platform::input;

namespace {

// The texts of the result codes, in code order from 1 (Windows-1252: 0xFC is u-umlaut, 0xF6
// o-umlaut).
const char* const kResultTexts[21] = {
    "#1 Alles Okay",
    "#2 Directx Device kann nicht erzeugt werden, DX9 fehlt",
    "#3 16bit z-buffer funktioniert nicht",
    "#4 back buffer Format kann nicht erzeugt werden",
    "#5 display adapter kann nicht initialisiert werden",
    "#6 Directx9 kann nicht initialisiert werden",
    "#7 Mode match kann nicht initialisiert werden",
    "#8 Farbtiefe kann nicht gesetzt werden",
    "#9 SetCooperativeLevel konnte nicht exclusive erfolgen",
    "#10 Standard Font konnte nicht erzeugt werden",
    "#11 GetDeviceCaps Fehler, Grafikadapter kann kein VERTEXPROCESSING",
    "#12 hwnd ist schon initalisiert",
    "#13 DirectSound kann nicht  initialisiert werden",
    "#14 Wave Header f\xFCr DirectSound ist fehlerhaft",
    "#15 Wave Datei f\xFCr DirectSound konnte nicht ge\xF6"
    "ffnet werden",
    "#16 Texturshader konnte nicht erstellt werden: \n",
    "#17 Shader konnte nicht erstellt werden: \n",
    "#18 Grafik konnte nicht geladen werden",
    "#19 Grafik konnte nicht gespeichert werden",
    "#20 Objekt konnte nicht geladen werden",
    "#21 Objekt konnte nicht gespeichert werden",
};

constexpr float kFirstFrameSeconds = 0.016666668f;  // 1/60 until the first measurement
constexpr std::uint32_t kResetDelayMs = 100;

std::int32_t Code(EngineResult r) { return static_cast<std::int32_t>(r); }

enum class DeviceEvent { kLost, kReset };

// Tells the objects held in the fields "members" of every record of "list" that the device is
// lost (OnLostDevice) or back after its Reset (OnResetDevice); empty fields are skipped.
template <class Record, class... Objects>
void Notify(RecordList<Record>& list, DeviceEvent event, Objects* Record::*... members) {
    const auto notify = [event](auto* object) {
        if (object == nullptr) return;
        if (event == DeviceEvent::kLost) {
            object->OnLostDevice();
        } else {
            object->OnResetDevice();
        }
    };
    list.ForEach([&](Record& record) { (notify(record.*members), ...); });
}

// Everything created on the device that must let go of its device objects before a Reset and
// take them back after it: fonts and their batchers, the sprites' batchers, the effects.
void NotifyDeviceObjects(DeviceEvent event) {
    Notify(engineLists.fontList, event, &EngineFont::font, &EngineFont::batcher);
    Notify(engineLists.spriteList, event, &Sprite::batcher);
    Notify(engineLists.effectList, event, &Effect::effect);
}

}  // namespace

const char* EngineResultText(std::int32_t code) {
    if (code < 1 || code > 21) return nullptr;
    return kResultTexts[code - 1];
}

// ---------------------------------------------------------------------------------------------
// Start-up
// ---------------------------------------------------------------------------------------------

void InitEngineTables() { InitScrollTextTables(); }

std::int32_t StartEngineServices() {
    // The lists are made once and kept: the engine has no shutdown that would free them.
    EngineLists& l = engineLists;
    l.textureList.Create();
    l.spriteList.Create();
    l.spriteDrawQueue.Create();
    l.boxQueue.Create();
    l.effectList.Create();
    l.fontList.Create();
    l.textQueue.Create();
    l.cameraList.Create();
    l.entityList.Create();
    l.lightList.Create();
    l.emitterList.Create();
    std::memset(inputState.keyState, 0, sizeof(inputState.keyState));
    frameClock.frameSeconds = kFirstFrameSeconds;
    frameClock.lastFrameTime = ReadInterruptTime();
    runtime::SetTimerResolution(10000);
    if (deviceState.direct3d == nullptr) deviceState.direct3d = gfx::Direct3DCreate9(0x80000020u);
    if (deviceState.direct3d == nullptr) return 2;
    if (inputState.directInput == nullptr &&
        input::DirectInput8Create(nullptr, input::DIRECTINPUT_VERSION, input::IID_IDirectInput8A,
                                  &inputState.directInput, nullptr) != input::DI_OK) {
        inputState.directInput = nullptr;
        return 3;
    }
    if (audio::InitSoundDevice() == nullptr) deviceState.lastError = Code(EngineResult::kDirectSound);
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Device
// ---------------------------------------------------------------------------------------------

namespace {

// The checks of the adapter, then the device for "window" with the engine's fixed states.
std::int32_t CreateEngineDevice(gfx::IDirect3D9* d3d, platform::window::WindowHandle window) {
    gfx::D3DDISPLAYMODE mode;
    if (gfx::Failed(d3d->GetAdapterDisplayMode(gfx::D3DADAPTER_DEFAULT, &mode))) {
        return Code(EngineResult::kDisplayAdapter);
    }
    if (gfx::Failed(d3d->CheckDeviceType(gfx::D3DADAPTER_DEFAULT, gfx::D3DDEVTYPE_HAL, mode.Format,
                                         mode.Format, 1))) {
        return Code(EngineResult::kBackBufferFormat);
    }
    if (gfx::Failed(d3d->CheckDeviceFormat(gfx::D3DADAPTER_DEFAULT, gfx::D3DDEVTYPE_HAL, mode.Format,
                                           gfx::D3DUSAGE_DEPTHSTENCIL, gfx::D3DRTYPE_SURFACE,
                                           gfx::D3DFMT_D16))) {
        return Code(EngineResult::kDepth16Unsupported);
    }
    gfx::D3DCAPS9 caps;
    if (gfx::Failed(d3d->GetDeviceCaps(gfx::D3DADAPTER_DEFAULT, gfx::D3DDEVTYPE_HAL, &caps))) {
        return Code(EngineResult::kDeviceCaps);
    }
    const gfx::DWORD behaviour = caps.VertexProcessingCaps != 0 ? gfx::D3DCREATE_HARDWARE_VERTEXPROCESSING
                                                                : gfx::D3DCREATE_SOFTWARE_VERTEXPROCESSING;

    gfx::D3DPRESENT_PARAMETERS& p = deviceState.presentParams;
    p = gfx::D3DPRESENT_PARAMETERS{};
    p.BackBufferWidth = 0;
    p.BackBufferHeight = 0;
    p.BackBufferFormat = mode.Format;
    p.BackBufferCount = 1;
    p.MultiSampleType = gfx::D3DMULTISAMPLE_NONE;
    p.MultiSampleQuality = 0;
    p.SwapEffect = gfx::D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.Windowed = 1;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = gfx::D3DFMT_D16;
    p.Flags = gfx::D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    p.FullScreen_RefreshRateInHz = 0;
    p.PresentationInterval = gfx::D3DPRESENT_INTERVAL_DEFAULT;
    gfx::IDirect3DDevice9* device = nullptr;
    if (gfx::Failed(d3d->CreateDevice(gfx::D3DADAPTER_DEFAULT, gfx::D3DDEVTYPE_HAL, window, behaviour, &p,
                                      &device)) ||
        device == nullptr) {
        return Code(EngineResult::kDeviceNotCreated);
    }
    deviceState.device = device;
    deviceState.lastPresentResult = 0;
    ApplyDefaultRenderStates();
    return Code(EngineResult::kAllOkay);
}

}  // namespace

std::int32_t AttachEngineToWindow(platform::window::WindowHandle window) {
    StartEngineServices();
    gfx::IDirect3D9* d3d = deviceState.direct3d;
    if (d3d == nullptr || deviceState.device != nullptr) return Code(EngineResult::kNoDirect3D);
    const std::int32_t created = CreateEngineDevice(d3d, window);

    // The input devices do not need the graphics device: they open even where it could not be
    // made (a display without OpenGL 3.3), so that Escape still ends a program with nothing to
    // show.
    const platform::window::WindowHandle top = FindTopLevelWindow(window);
    OpenKeyboardDevice(top, input::DISCL_NONEXCLUSIVE | input::DISCL_BACKGROUND);
    OpenMouseDevice(top, input::DISCL_NONEXCLUSIVE | input::DISCL_BACKGROUND);
    OpenJoystickDevice(top, input::DISCL_EXCLUSIVE | input::DISCL_BACKGROUND);
    if (created != Code(EngineResult::kAllOkay)) return created;
    gfx::IDirect3DDevice9* device = deviceState.device;

    EngineFont* font = engineLists.fontList.Insert();
    if (font == nullptr) return Code(EngineResult::kDefaultFont);
    gfx::D3DXCreateSprite(device, &font->batcher);
    gfx::D3DXFONT_DESCA& d = font->description;
    d = gfx::D3DXFONT_DESCA{};
    d.Height = 16;
    d.Width = 0;
    d.Weight = 600;
    d.MipLevels = 0;
    d.Italic = 0;
    d.CharSet = 1;          // DEFAULT_CHARSET
    d.OutputPrecision = 4;  // OUT_TT_PRECIS
    d.Quality = 0;
    d.PitchAndFamily = 0;
    if (gfx::Failed(gfx::D3DXCreateFontIndirectA(device, &d, &font->font)) || font->font == nullptr) {
        // No half-made font stays in the list for the flushes and resets to trip over.
        if (font->batcher) font->batcher->Release();
        engineLists.fontList.Remove(font);
        return Code(EngineResult::kDefaultFont);
    }

    gfx::D3DVIEWPORT9 vp;
    device->GetViewport(&vp);
    deviceState.screenWidth = static_cast<std::int32_t>(vp.Width) - static_cast<std::int32_t>(vp.X);
    deviceState.screenHeight = static_cast<std::int32_t>(vp.Height) - static_cast<std::int32_t>(vp.Y);
    return Code(EngineResult::kAllOkay);
}

void ApplyDefaultRenderStates() {
    gfx::IDirect3DDevice9* d = deviceState.device;
    if (d == nullptr) return;
    static constexpr struct { gfx::D3DRENDERSTATETYPE state; gfx::DWORD value; } kStates[] = {
        {gfx::D3DRS_ZENABLE, 1},
        {gfx::D3DRS_FILLMODE, gfx::D3DFILL_SOLID},
        {gfx::D3DRS_SHADEMODE, gfx::D3DSHADE_GOURAUD},
        {gfx::D3DRS_ZWRITEENABLE, 1},
        {gfx::D3DRS_ALPHATESTENABLE, 0},
        {gfx::D3DRS_LASTPIXEL, 1},
        {gfx::D3DRS_SRCBLEND, gfx::D3DBLEND_ONE},
        {gfx::D3DRS_CULLMODE, gfx::D3DCULL_NONE},
        {gfx::D3DRS_ZFUNC, gfx::D3DCMP_LESSEQUAL},
        {gfx::D3DRS_ALPHAREF, 0},
        {gfx::D3DRS_ALPHAFUNC, gfx::D3DCMP_ALWAYS},
        {gfx::D3DRS_DITHERENABLE, 0},
        {gfx::D3DRS_ALPHABLENDENABLE, 0},
        {gfx::D3DRS_FOGENABLE, 0},
        {gfx::D3DRS_FOGCOLOR, 0},
        {gfx::D3DRS_FOGTABLEMODE, gfx::D3DFOG_NONE},
        {gfx::D3DRS_FOGSTART, 0},
        {gfx::D3DRS_FOGEND, 1},      // the bit pattern 1, not 1.0f: fog is off anyway
        {gfx::D3DRS_FOGDENSITY, 1},
        {gfx::D3DRS_RANGEFOGENABLE, 0},
        {gfx::D3DRS_CLIPPING, 1},
        {gfx::D3DRS_LIGHTING, 1},
        {gfx::D3DRS_SPECULARENABLE, 0},
    };
    for (const auto& s : kStates) d->SetRenderState(s.state, s.value);
    for (gfx::DWORD sampler = 0; sampler < 2; ++sampler) {
        d->SetSamplerState(sampler, gfx::D3DSAMP_MINFILTER, gfx::D3DTEXF_LINEAR);
        d->SetSamplerState(sampler, gfx::D3DSAMP_MAGFILTER, gfx::D3DTEXF_LINEAR);
        d->SetSamplerState(sampler, gfx::D3DSAMP_MIPFILTER, gfx::D3DTEXF_LINEAR);
        d->SetSamplerState(sampler, gfx::D3DSAMP_ADDRESSU, gfx::D3DTADDRESS_WRAP);
        d->SetSamplerState(sampler, gfx::D3DSAMP_ADDRESSV, gfx::D3DTADDRESS_WRAP);
    }
}

// ---------------------------------------------------------------------------------------------
// Frame end
// ---------------------------------------------------------------------------------------------

void FlushTextQueue() {
    RecordList<QueuedText>& queue = engineLists.textQueue;
    engineLists.fontList.ForEach([&](EngineFont& f) {
        if (f.batcher == nullptr) return;
        f.batcher->Begin(gfx::D3DXSPRITE_ALPHABLEND);
        queue.ForEach([&](QueuedText& t) {
            if (t.font != f.font) return WalkStep::kKeep;
            gfx::D3DXMATRIX m;
            const gfx::D3DXVECTOR2 scaling{t.scaleX, t.scaleY}, translation{t.x, t.y};
            gfx::D3DXMatrixTransformation2D(&m, nullptr, 0.0f, &scaling, nullptr, 0.0f, &translation);
            f.batcher->SetTransform(&m);
            t.text[sizeof(t.text) - 1] = '\0';
            if (f.font) f.font->DrawTextA(f.batcher, t.text, -1, nullptr, t.format, t.colour);
            return WalkStep::kRemove;
        });
        f.batcher->End();
    });
    engineLists.fontList.GoToFirst();
}

void EndFrameScene() {
    if (deviceState.device != nullptr) deviceState.device->EndScene();
}

void PresentFrame() {
    if (inputState.mouseDevice != nullptr) {
        inputState.mouseDevice->GetDeviceState(sizeof(inputState.mouseState), inputState.mouseState);
    }
    if (inputState.joystickDevice != nullptr) {
        inputState.joystickDevice->GetDeviceState(sizeof(inputState.joystickState), inputState.joystickState);
    }
    const std::int64_t now = ReadInterruptTime();
    frameClock.frameSeconds = static_cast<float>(static_cast<double>(now - frameClock.lastFrameTime) * 1.0e-7);
    frameClock.lastFrameTime = now;
    if (deviceState.device == nullptr) {
        // Nothing to present: wait as the retry of a lost device does, so that a frame loop
        // without a device does not spin a core.
        platform::sys::SleepMs(kResetDelayMs);
        return;
    }
    deviceState.lastPresentResult = deviceState.device->Present(nullptr, nullptr, {}, nullptr);
    if (deviceState.lastPresentResult != 0) ResetEngineDevice(5);
}

std::int32_t ResetEngineDevice(std::int32_t mode) {
    gfx::IDirect3DDevice9* device = deviceState.device;
    if (mode != 5 || device == nullptr) return 0;
    deviceState.presentParams.MultiSampleType = gfx::D3DMULTISAMPLE_NONE;
    deviceState.presentParams.Flags = gfx::D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    platform::sys::SleepMs(kResetDelayMs);

    NotifyDeviceObjects(DeviceEvent::kLost);
    ReleaseRenderTextures();
    deviceState.lastPresentResult = device->Reset(&deviceState.presentParams);
    NotifyDeviceObjects(DeviceEvent::kReset);
    RecreateRenderTextures();
    ApplyDefaultRenderStates();
    return 1;
}

}  // namespace engine
