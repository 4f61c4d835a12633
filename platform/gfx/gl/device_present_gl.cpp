// platform/gfx/gl/device_present_gl.cpp: the device's presentation: the measurement seams and
// counters, Present (to the window or to a test's hook), the warm-up steps of the fade, pacing
// where the swap does not wait for the retrace, and Reset.

#include "platform/gfx/gl/gl_api.h"

#include "platform/gfx/gl/gl_internal.h"
#include "platform/gfx/present_hook.h"
#include "platform/sys/sys.h"
#include "platform/window/gl_surface.h"

namespace platform::gfx {

// ---------------------------------------------------------------------------------------------
// Seams and counters
// ---------------------------------------------------------------------------------------------

namespace {

int g_presentFailures = 0;
HRESULT g_presentFailureCode = D3DERR_DEVICELOST;
int g_resetFailures = 0;
bool g_pacing = true;
PresentInfo g_info;
PresentHook g_presentHook = nullptr;
void* g_presentHookUser = nullptr;
std::vector<std::uint8_t> g_presentedPixels;  // the last picture handed to the hook

// The system layer's clock and sleep. (The Windows build's C library refuses clock_nanosleep
// on the monotonic clock with an error, so a sleep retried until it succeeds never ends there.)
std::int64_t NowNs() { return platform::sys::InterruptTime() * 100; }

void SleepUntilNs(std::int64_t deadline) { platform::sys::SleepUntil(deadline / 100); }

}  // namespace

void InjectPresentFailures(int count, HRESULT code) {
    g_presentFailures = count > 0 ? count : 0;
    g_presentFailureCode = Failed(code) ? code : D3DERR_DEVICELOST;
}

void InjectResetFailures(int count) { g_resetFailures = count > 0 ? count : 0; }

void SetPresentPacing(bool enabled) { g_pacing = enabled; }

void SetPresentHook(PresentHook hook, void* user) {
    g_presentHook = hook;
    g_presentHookUser = user;
}

PresentInfo GetPresentInfo() { return g_info; }

namespace gl {

void CountReadBack() { ++g_info.readBacks; }

void RecordBehaviourFlags(DWORD flags) { g_info.behaviourFlags = flags; }

// Swap interval 1 waits for the retrace where the platform can; where it refuses, Present
// paces itself. A platform that accepts but does not wait is caught in NoteSwap().
void DeviceGL::SetUpPresentation() {
    namespace win = platform::window;
    swapHonoured_ = win::SetGlSwapInterval(1);
    paced_ = !swapHonoured_;
    refreshHz_ = win::DisplayRefreshRate(window_);
    if (refreshHz_ <= 0) refreshHz_ = 60;
    schedule_ = PresentSchedule(PeriodNs());
    swapWatch_ = SwapWatch(PeriodNs());
    g_info.swapIntervalHonoured = swapHonoured_;
    g_info.paced = paced_;
    g_info.refreshRateHz = refreshHz_;
    g_info.presents = 0;
}

// ---------------------------------------------------------------------------------------------
// Presentation and reset
// ---------------------------------------------------------------------------------------------

HRESULT DeviceGL::Present(const RECT* source, const RECT* dest, HWND override_window,
                          const void* dirty_region) {
    if (source || dest || override_window || dirty_region) return D3DERR_INVALIDCALL;
    if (g_presentFailures > 0) {
        --g_presentFailures;
        lost_ = true;
        return g_presentFailureCode;
    }
    if (lost_) return D3DERR_DEVICELOST;
    if (g_presentHook) {
        // The program takes the picture: it is read back instead of shown, with no wait.
        if (!platform::window::GlSurfaceWindow(surface_)) {
            lost_ = true;
            return D3DERR_DEVICELOST;
        }
        MakeCurrent();
        const PresentedFrame frame{params_.BackBufferWidth, params_.BackBufferHeight, nullptr};
        g_presentedPixels.resize(std::size_t{frame.width} * frame.height * 4);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, backFramebuffer_);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, static_cast<GLsizei>(frame.width), static_cast<GLsizei>(frame.height),
                     GL_RGBA, GL_UNSIGNED_BYTE, g_presentedPixels.data());
        stateDirty_ = true;
        GFX_GL_CHECK("Present read-back");
        ++presents_;
        g_info.presents = presents_;
        g_presentHook(g_presentHookUser,
                      PresentedFrame{frame.width, frame.height, g_presentedPixels.data()});
        return D3D_OK;
    }
    if (!BlitBackBufferToWindow()) {
        // The window went away under the device: nothing can be shown any more.
        lost_ = true;
        return D3DERR_DEVICELOST;
    }
    WaitForPresentSlot();
    platform::window::SwapGlSurface(surface_);
    NoteSwap();
    stateDirty_ = true;
    GFX_GL_CHECK("Present");
    ++presents_;
    g_info.presents = presents_;
    return D3D_OK;
}

// Copies the back buffer into the window's (whose rows GL keeps bottom-up), stretched when the
// window's size differs. False once the window is gone.
bool DeviceGL::BlitBackBufferToWindow() {
    int width = 0, height = 0;
    if (!platform::window::GetGlDrawableSize(surface_, &width, &height)) return false;
    MakeCurrent();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, backFramebuffer_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const GLint bw = static_cast<GLint>(params_.BackBufferWidth);
    const GLint bh = static_cast<GLint>(params_.BackBufferHeight);
    const GLenum filter = (bw == width && bh == height) ? GL_NEAREST : GL_LINEAR;
    glBlitFramebuffer(0, 0, bw, bh, 0, height, width, 0, GL_COLOR_BUFFER_BIT, filter);
    stateDirty_ = true;
    return true;
}

// The GL driver builds its code for a program and a set of states at the first draw that
// uses them, which takes a software rasteriser tens of milliseconds each: the first frame
// would wait for the present's copy, the colour fill and the sprite program in turn. While
// the window fades in, the window layer hands its wait to these steps, one piece each; none
// changes a pixel the program can see. The textures whose upload waits go first, one per
// step: each is a copy of a few milliseconds, while one code build on a busy machine can
// outlast a short fade (whatever a fade leaves undone happens at first use).
bool DeviceGL::WarmUpStep(void* user) {
    auto* device = static_cast<DeviceGL*>(user);
    if (device->lost_ || !device->backFramebuffer_) return false;
    constexpr int kSteps = 4;
    if (!device->uploads_.empty()) {
        device->uploads_.front()->Upload();
    } else if (device->warmUpsDone_ < kSteps) {
        switch (device->warmUpsDone_++) {
            case 0: device->BlitBackBufferToWindow(); break;  // the first Present overwrites it
            case 1: device->WarmUpColourFill(); break;
            case 2: WarmUpSpriteBatch(device); break;
            default: device->EnsureFixedProgram(); break;
        }
        glFinish();
        device->stateDirty_ = true;  // each step sets GL state behind the device's back
    }
    return device->warmUpsDone_ < kSteps || !device->uploads_.empty();
}

// A scissored fill of one back-buffer pixel with the value it holds.
void DeviceGL::WarmUpColourFill() {
    MakeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, backBuffer_->Framebuffer());
    std::uint8_t texel[4] = {};  // RGBA bytes: a read every GL flavour takes
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(texel[0] / 255.0f, texel[1] / 255.0f, texel[2] / 255.0f, texel[3] / 255.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Where the swap does not wait for the retrace, successive swaps are spaced one refresh
// period apart here. The frame's rendering is finished first and the sleep comes after it,
// right before the swap: the swap then only copies a finished picture, so the moment it
// reaches the screen does not move with how long each frame took to render.
void DeviceGL::WaitForPresentSlot() {
    if (!paced_ || !g_pacing) {
        schedule_.Restart();
        return;
    }
    glFinish();
    SleepUntilNs(schedule_.SlotFor(NowNs()));
}

// A swap interval that was accepted but whose swaps come faster than the refresh rate is
// treated as refused: the device paces its presents itself from then on.
void DeviceGL::NoteSwap() {
    if (!swapHonoured_ || paced_) return;
    if (swapWatch_.NoteSwap(NowNs())) {
        paced_ = true;
        g_info.paced = true;
    }
}

HRESULT DeviceGL::Reset(D3DPRESENT_PARAMETERS* params) {
    if (!params) return D3DERR_INVALIDCALL;
    if (g_resetFailures > 0) {
        --g_resetFailures;
        lost_ = true;
        return D3DERR_DEVICELOST;
    }
    if (!platform::window::GlSurfaceWindow(surface_)) {
        lost_ = true;
        return D3DERR_DEVICELOST;
    }
    D3DPRESENT_PARAMETERS wanted = *params;
    if (wanted.BackBufferFormat == D3DFMT_UNKNOWN || wanted.BackBufferFormat == D3DFMT_A8R8G8B8) {
        wanted.BackBufferFormat = params_.BackBufferFormat;
    }
    FormatInfo fi;
    if (!LookUpFormat(wanted.BackBufferFormat, &fi)) return D3DERR_INVALIDCALL;
    wanted.hDeviceWindow = window_;
    const D3DPRESENT_PARAMETERS previous = params_;
    params_ = wanted;
    DropSpares();
    DestroyBackBuffer();
    if (!CreateBackBuffer()) {
        params_ = previous;
        if (!CreateBackBuffer()) {
            lost_ = true;
            return D3DERR_DEVICELOST;
        }
        return D3DERR_INVALIDCALL;
    }
    backBuffer_->SetLockable((params_.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0);
    for (auto*& t : textures_) {
        if (t) t->Release();
        t = nullptr;
    }
    if (stream_) stream_->Release();
    stream_ = nullptr;
    streamOffset_ = streamStride_ = 0;
    fvf_ = 0;
    inScene_ = false;
    SetDefaultStates();
    params->BackBufferWidth = params_.BackBufferWidth;
    params->BackBufferHeight = params_.BackBufferHeight;
    params->BackBufferFormat = params_.BackBufferFormat;
    lost_ = false;
    schedule_.Restart();
    return D3D_OK;
}

HRESULT DeviceGL::TestCooperativeLevel() { return lost_ ? D3DERR_DEVICENOTRESET : D3D_OK; }

}  // namespace gl
}  // namespace platform::gfx
