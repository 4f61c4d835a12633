// platform/gfx/gl/device_gl.cpp: the device on an OpenGL 3.3 core surface of a window.
//
// Sections:
//   [1] Seams and counters        [5] Clears, scenes, copies
//   [2] Creation and destruction  [6] Resources and streams
//   [3] Presentation and reset    [7] Drawing with the fixed program
//   [4] States                    [8] Entry points for the effect object
//
// The back buffer is a framebuffer object (colour texture + 16-bit depth renderbuffer) whose
// row 0 is the top row; Present copies it upside down into the window's framebuffer.

#include "platform/gfx/gl/gl_api.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/gfx/gl/gl_internal.h"
#include "platform/gfx/present_hook.h"
#include "platform/sys/sys.h"
#include "platform/window/gl_surface.h"

namespace platform::gfx {

// ---------------------------------------------------------------------------------------------
// [1] Seams and counters
// ---------------------------------------------------------------------------------------------

namespace {

int g_presentFailures = 0;
HRESULT g_presentFailureCode = D3DERR_DEVICELOST;
int g_resetFailures = 0;
bool g_pacing = true;
PresentInfo g_info;
gl::DeviceGL* g_current = nullptr;
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

void FinishGpuWork() {
    if (g_current) glFinish();
}

namespace gl {

void CountReadBack() { ++g_info.readBacks; }

void RecordBehaviourFlags(DWORD flags) { g_info.behaviourFlags = flags; }

#ifndef NDEBUG
void CheckGlError(const char* what, const char* file, int line) {
    for (GLenum e = glGetError(); e != GL_NO_ERROR; e = glGetError()) {
        std::fprintf(stderr, "%s:%d: GL error 0x%04X after %s\n", file, line, e, what);
    }
}
#endif

// ---------------------------------------------------------------------------------------------
// [2] Creation and destruction
// ---------------------------------------------------------------------------------------------

namespace {

const char* const kFixedVertex = GFX_GL_SHADER_HEADER R"(
layout(location = 0) in vec3 position;
layout(location = 2) in vec4 colour;
layout(location = 3) in vec2 texCoord;
uniform mat4 wvp;
out vec4 vColour;
out vec2 vTexCoord;
void main() {
    gl_Position = wvp * vec4(position, 1.0);
    vColour = colour)" GFX_GL_COLOUR_SWIZZLE R"(;
    vTexCoord = texCoord;
)";

const char* const kFixedFragment = GFX_GL_SHADER_HEADER R"(
in vec4 vColour;
in vec2 vTexCoord;
uniform sampler2D stage0;
uniform int hasTexture;
uniform int alphaFunc;  // 0: no test, else a D3DCMP value
uniform float alphaRef;
out vec4 fragColour;
bool Passes(float a) {
    if (alphaFunc == 1) return false;
    if (alphaFunc == 2) return a < alphaRef;
    if (alphaFunc == 3) return a == alphaRef;
    if (alphaFunc == 4) return a <= alphaRef;
    if (alphaFunc == 5) return a > alphaRef;
    if (alphaFunc == 6) return a != alphaRef;
    if (alphaFunc == 7) return a >= alphaRef;
    return true;
}
void main() {
    vec4 c = vColour;
    if (hasTexture != 0) c *= texture(stage0, vTexCoord);
    if (alphaFunc != 0 && !Passes(floor(c.a * 255.0 + 0.5))) discard;
    fragColour = c;
}
)";

D3DMATRIX Identity() {
    D3DMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

}  // namespace

GLuint BuildProgram(const char* vertex_source, const char* fragment_source, std::vector<char>* log) {
    auto compile = [&](GLenum kind, const char* src) -> GLuint {
        const GLuint shader = glCreateShader(kind);
        glShaderSource(shader, 1, &src, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            if (log) {
                GLint length = 0;
                glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
                log->assign(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
                glGetShaderInfoLog(shader, length, nullptr, log->data());
            }
            glDeleteShader(shader);
            return 0;
        }
        return shader;
    };
    const GLuint vs = compile(GL_VERTEX_SHADER, vertex_source);
    if (!vs) return 0;
    const GLuint fs = compile(GL_FRAGMENT_SHADER, fragment_source);
    if (!fs) {
        glDeleteShader(vs);
        return 0;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        if (log) {
            GLint length = 0;
            glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
            log->assign(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
            glGetProgramInfoLog(program, length, nullptr, log->data());
        }
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

DeviceGL* DeviceGL::Create(HWND window, const D3DPRESENT_PARAMETERS& params, HRESULT* result) {
    namespace win = platform::window;
    if (!win::IsWindow(window)) {
        *result = D3DERR_INVALIDCALL;
        return nullptr;
    }
    const win::GlSurface surface = win::CreateGlSurface(
        window, {.major_version = 3, .minor_version = 3, .core_profile = true, .double_buffer = true});
    if (!surface) {
        *result = D3DERR_NOTAVAILABLE;
        return nullptr;
    }
    if (!win::MakeGlSurfaceCurrent(surface) || CurrentGlVersion() < kRequiredGlVersion) {
        win::DestroyGlSurface(surface);
        g_current = nullptr;
        *result = D3DERR_NOTAVAILABLE;
        return nullptr;
    }
    auto* device = new DeviceGL;
    g_current = device;
    device->window_ = window;
    device->surface_ = surface;
    device->params_ = params;
    if (device->params_.BackBufferFormat == D3DFMT_UNKNOWN ||
        device->params_.BackBufferFormat == D3DFMT_A8R8G8B8) {
        device->params_.BackBufferFormat = D3DFMT_X8R8G8B8;
    }
    if (!device->CreateBackBuffer()) {
        device->Release();
        *result = D3DERR_OUTOFVIDEOMEMORY;
        return nullptr;
    }
    glGenVertexArrays(1, &device->vertexArray_);
    glGenSamplers(2, device->samplerObjects_.data());
#if !defined(__EMSCRIPTEN__)  // OpenGL ES has only the last-vertex convention
    // Set once for the context (nothing else changes it): a flat colour is the first
    // vertex's, as in Direct3D.
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
#endif
    device->SetDefaultStates();

    // Swap interval 1 waits for the retrace where the platform can; where it refuses, Present
    // paces itself. A platform that accepts but does not wait is caught in NoteSwap().
    device->swapHonoured_ = win::SetGlSwapInterval(1);
    device->paced_ = !device->swapHonoured_;
    device->refreshHz_ = platform::window::DisplayRefreshRate(window);
    if (device->refreshHz_ <= 0) device->refreshHz_ = 60;
    device->schedule_ = PresentSchedule(device->PeriodNs());
    device->swapWatch_ = SwapWatch(device->PeriodNs());
    g_info.swapIntervalHonoured = device->swapHonoured_;
    g_info.paced = device->paced_;
    g_info.refreshRateHz = device->refreshHz_;
    g_info.presents = 0;
    win::SetGlSurfaceIdleWork(surface, &DeviceGL::WarmUpStep, device);
    GFX_GL_CHECK("device creation");
    *result = D3D_OK;
    return device;
}

// The program of draws without an effect, built at the first such draw or in the fade's idle
// time: the driver's first shader compile of a process sets its compiler up, which takes
// milliseconds that the device's creation need not spend.
bool DeviceGL::EnsureFixedProgram() {
    if (fixedProgram_) return true;
    if (fixedFailed_) return false;
    MakeCurrent();
    std::vector<char> log;
    const std::string vertex = std::string(kFixedVertex) + kClipSpaceEpilogue + "}\n";
    fixedProgram_ = BuildProgram(vertex.c_str(), kFixedFragment, &log);
    if (!fixedProgram_) {
        std::fprintf(stderr, "gfx: fixed program: %s\n", log.data());
        fixedFailed_ = true;
        return false;
    }
    fixedWvp_ = glGetUniformLocation(fixedProgram_, "wvp");
    fixedHasTexture_ = glGetUniformLocation(fixedProgram_, "hasTexture");
    fixedAlphaTest_ = glGetUniformLocation(fixedProgram_, "alphaFunc");
    fixedAlphaRef_ = glGetUniformLocation(fixedProgram_, "alphaRef");
    glUseProgram(fixedProgram_);
    glUniform1i(glGetUniformLocation(fixedProgram_, "stage0"), 0);
    stateDirty_ = true;
    return true;
}

bool DeviceGL::CreateBackBuffer() {
    MakeCurrent();
    int width = static_cast<int>(params_.BackBufferWidth);
    int height = static_cast<int>(params_.BackBufferHeight);
    if (width == 0 || height == 0) {
        platform::window::Rect client;
        int w = 0, h = 0;
        if (platform::window::GetClientRect(window_, &client)) {
            w = client.right - client.left;
            h = client.bottom - client.top;
        } else {
            platform::window::GetGlDrawableSize(surface_, &w, &h);
        }
        if (width == 0) width = w;
        if (height == 0) height = h;
    }
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
    params_.BackBufferWidth = static_cast<UINT>(width);
    params_.BackBufferHeight = static_cast<UINT>(height);
    FormatInfo fi;
    if (!LookUpFormat(params_.BackBufferFormat, &fi)) return false;

    glActiveTexture(GL_TEXTURE15);
    glGenTextures(1, &backColour_);
    glBindTexture(GL_TEXTURE_2D, backColour_);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(fi.internalFormat), width, height, 0,
                 fi.format, fi.type, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    if (fi.opaque && !kGlEs) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    glGenFramebuffers(1, &backFramebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, backFramebuffer_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, backColour_, 0);
    const bool depth = params_.EnableAutoDepthStencil != 0;
    // D3DFMT_D24S8 asks for a stencil buffer beside the depth buffer; D3DFMT_D16 has none.
    const bool stencil = depth && params_.AutoDepthStencilFormat == D3DFMT_D24S8;
    if (depth) {
        glGenRenderbuffers(1, &backDepth_);
        glBindRenderbuffer(GL_RENDERBUFFER, backDepth_);
        glRenderbufferStorage(GL_RENDERBUFFER, stencil ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT16,
                              width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER,
                                  stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                  GL_RENDERBUFFER, backDepth_);
    }
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!complete) return false;
    // A new back buffer starts black with depth 1.0, as a cleared one.
    glBindFramebuffer(GL_FRAMEBUFFER, backFramebuffer_);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glClearColor(0, 0, 0, 0);
    ClearDepth(1.0f);
    glStencilMask(0xFF);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | (depth ? GL_DEPTH_BUFFER_BIT : 0) |
            (stencil ? GL_STENCIL_BUFFER_BIT : 0));

    const bool lockable = (params_.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0;
    if (backBuffer_) {
        backBuffer_->Rebind(backColour_, params_.BackBufferWidth, params_.BackBufferHeight);
    } else {
        backBuffer_ = new SurfaceGL(this, nullptr, backColour_, 0, params_.BackBufferWidth,
                                    params_.BackBufferHeight, params_.BackBufferFormat,
                                    D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, lockable, false);
    }
    backTarget_ = RenderTarget{backFramebuffer_, params_.BackBufferWidth, params_.BackBufferHeight,
                               depth, stencil, backBuffer_};
    target_ = backTarget_;
    stateDirty_ = true;
    GFX_GL_CHECK("back buffer");
    return true;
}

void DeviceGL::DestroyBackBuffer() {
    MakeCurrent();
    if (backFramebuffer_) glDeleteFramebuffers(1, &backFramebuffer_);
    if (backDepth_) glDeleteRenderbuffers(1, &backDepth_);
    if (backColour_) glDeleteTextures(1, &backColour_);
    backFramebuffer_ = backDepth_ = backColour_ = 0;
}

DeviceGL::~DeviceGL() {
    if (!surface_) return;
    MakeCurrent();
    for (auto*& t : textures_) {
        if (t) t->Release();
        t = nullptr;
    }
    if (stream_) stream_->Release();
    if (backBuffer_) backBuffer_->Release();
    if (sprite_.program) glDeleteProgram(sprite_.program);
    if (sprite_.buffer) glDeleteBuffers(1, &sprite_.buffer);
    if (sprite_.vertexArray) glDeleteVertexArrays(1, &sprite_.vertexArray);
    if (sprite_.sampler) glDeleteSamplers(1, &sprite_.sampler);
    DestroyBackBuffer();
    DropSpares();
    if (fixedProgram_) glDeleteProgram(fixedProgram_);
    if (vertexArray_) glDeleteVertexArrays(1, &vertexArray_);
    glDeleteSamplers(2, samplerObjects_.data());
    platform::window::DestroyGlSurface(surface_);
    if (g_current == this) g_current = nullptr;
}

void DeviceGL::MakeCurrent() {
    if (g_current == this) return;
    platform::window::MakeGlSurfaceCurrent(surface_);
    g_current = this;
    stateDirty_ = true;
}

// ---------------------------------------------------------------------------------------------
// [3] Presentation and reset
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

// ---------------------------------------------------------------------------------------------
// [4] States
// ---------------------------------------------------------------------------------------------

void DeviceGL::SetDefaultStates() {
    renderStates_.fill(0);
    auto bits = [](float f) {
        DWORD d;
        std::memcpy(&d, &f, 4);
        return d;
    };
    renderStates_[D3DRS_ZENABLE] = params_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    renderStates_[D3DRS_FILLMODE] = D3DFILL_SOLID;
    renderStates_[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    renderStates_[D3DRS_ZWRITEENABLE] = 1;
    renderStates_[D3DRS_LASTPIXEL] = 1;
    renderStates_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    renderStates_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    renderStates_[D3DRS_CULLMODE] = D3DCULL_CCW;
    renderStates_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    renderStates_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    renderStates_[D3DRS_FOGSTART] = bits(0.0f);
    renderStates_[D3DRS_FOGEND] = bits(1.0f);
    renderStates_[D3DRS_FOGDENSITY] = bits(1.0f);
    renderStates_[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    renderStates_[D3DRS_CLIPPING] = 1;
    renderStates_[D3DRS_LIGHTING] = 1;
    renderStates_[D3DRS_COLORVERTEX] = 1;
    renderStates_[D3DRS_POINTSIZE] = bits(1.0f);
    renderStates_[D3DRS_POINTSIZE_MIN] = bits(1.0f);
    renderStates_[D3DRS_POINTSIZE_MAX] = bits(64.0f);
    renderStates_[D3DRS_POINTSCALE_A] = bits(1.0f);
    renderStates_[D3DRS_COLORWRITEENABLE] = 0xF;
    renderStates_[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    renderStates_[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    renderStates_[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
    renderStates_[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
    renderStates_[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
    renderStates_[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    renderStates_[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    renderStates_[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    renderStates_[D3DRS_CCW_STENCILFAIL] = D3DSTENCILOP_KEEP;
    renderStates_[D3DRS_CCW_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    renderStates_[D3DRS_CCW_STENCILPASS] = D3DSTENCILOP_KEEP;
    renderStates_[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
    renderStates_[D3DRS_STENCILMASK] = 0xFFFFFFFFu;
    renderStates_[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
    for (auto& s : samplerStates_) {
        s.fill(0);
        s[D3DSAMP_ADDRESSU] = s[D3DSAMP_ADDRESSV] = s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        s[D3DSAMP_MAGFILTER] = s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        s[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        s[D3DSAMP_MAXANISOTROPY] = 1;
    }
    for (auto& m : transforms_) m = Identity();
    for (auto& m : textureTransforms_) m = Identity();
    viewport_ = D3DVIEWPORT9{0, 0, params_.BackBufferWidth, params_.BackBufferHeight, 0.0f, 1.0f};
    scissor_ = RECT{0, 0, static_cast<LONG>(params_.BackBufferWidth),
                    static_cast<LONG>(params_.BackBufferHeight)};
    target_ = backTarget_;
    ApplySamplerObject(0);
    ApplySamplerObject(1);
    stateDirty_ = true;
}

HRESULT DeviceGL::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (state >= kRenderStateCount) return D3DERR_INVALIDCALL;
    if (renderStates_[state] == value) return D3D_OK;  // nothing to send to GL again
    renderStates_[state] = value;
    stateDirty_ = true;
    return D3D_OK;
}

HRESULT DeviceGL::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (state >= kRenderStateCount || !value) return D3DERR_INVALIDCALL;
    *value = renderStates_[state];
    return D3D_OK;
}

HRESULT DeviceGL::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (sampler >= kSamplerCount || type >= kSamplerStateCount) return D3DERR_INVALIDCALL;
    samplerStates_[sampler][type] = value;
    if (sampler < samplerObjects_.size()) ApplySamplerObject(sampler);
    return D3D_OK;
}

HRESULT DeviceGL::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    if (sampler >= kSamplerCount || type >= kSamplerStateCount || !value) return D3DERR_INVALIDCALL;
    *value = samplerStates_[sampler][type];
    return D3D_OK;
}

namespace {

GLenum AddressMode(DWORD mode) {
    switch (mode) {
        case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
        case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
        case D3DTADDRESS_BORDER: return static_cast<GLenum>(BorderAddressMode());
        case D3DTADDRESS_MIRRORONCE: return GL_MIRRORED_REPEAT;
        default: return GL_REPEAT;
    }
}

GLenum CompareFunc(DWORD f) {
    switch (f) {
        case D3DCMP_NEVER: return GL_NEVER;
        case D3DCMP_LESS: return GL_LESS;
        case D3DCMP_EQUAL: return GL_EQUAL;
        case D3DCMP_LESSEQUAL: return GL_LEQUAL;
        case D3DCMP_GREATER: return GL_GREATER;
        case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
        case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
        default: return GL_ALWAYS;
    }
}

GLenum StencilOp(DWORD op) {
    switch (op) {
        case D3DSTENCILOP_ZERO: return GL_ZERO;
        case D3DSTENCILOP_REPLACE: return GL_REPLACE;
        case D3DSTENCILOP_INCRSAT: return GL_INCR;
        case D3DSTENCILOP_DECRSAT: return GL_DECR;
        case D3DSTENCILOP_INVERT: return GL_INVERT;
        case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
        case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
        default: return GL_KEEP;
    }
}

GLenum BlendFactor(DWORD b) {
    switch (b) {
        case D3DBLEND_ZERO: return GL_ZERO;
        case D3DBLEND_ONE: return GL_ONE;
        case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
        case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
        case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
        case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
        case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
        case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
        case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
        case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
        default: return GL_ONE;
    }
}

// Source and destination factors; the BOTH* modes set both from the source.
void BlendPair(DWORD src, DWORD dst, GLenum* s, GLenum* d) {
    if (src == D3DBLEND_BOTHSRCALPHA) {
        *s = GL_SRC_ALPHA;
        *d = GL_ONE_MINUS_SRC_ALPHA;
    } else if (src == D3DBLEND_BOTHINVSRCALPHA) {
        *s = GL_ONE_MINUS_SRC_ALPHA;
        *d = GL_SRC_ALPHA;
    } else {
        *s = BlendFactor(src);
        *d = BlendFactor(dst);
    }
}

GLenum BlendOp(DWORD op) {
    switch (op) {
        case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
        case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
        case D3DBLENDOP_MIN: return GL_MIN;
        case D3DBLENDOP_MAX: return GL_MAX;
        default: return GL_FUNC_ADD;
    }
}

}  // namespace

void DeviceGL::ApplySamplerObject(DWORD sampler) {
    MakeCurrent();
    const auto& s = samplerStates_[sampler];
    const GLuint object = samplerObjects_[sampler];
    const DWORD mip = s[D3DSAMP_MIPFILTER];
    const bool minLinear = s[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
    GLenum minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
    if (mip == D3DTEXF_POINT) minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    if (mip >= D3DTEXF_LINEAR) minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glSamplerParameteri(object, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
    glSamplerParameteri(object, GL_TEXTURE_MAG_FILTER,
                        s[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(object, GL_TEXTURE_WRAP_S, static_cast<GLint>(AddressMode(s[D3DSAMP_ADDRESSU])));
    glSamplerParameteri(object, GL_TEXTURE_WRAP_T, static_cast<GLint>(AddressMode(s[D3DSAMP_ADDRESSV])));
    glSamplerParameteri(object, GL_TEXTURE_WRAP_R, static_cast<GLint>(AddressMode(s[D3DSAMP_ADDRESSW])));
    ApplyLodStates(object, s[D3DSAMP_MIPMAPLODBIAS], s[D3DSAMP_MAXMIPLEVEL]);
    const D3DCOLOR c = s[D3DSAMP_BORDERCOLOR];
    float border[4];
    ColourToFloats(c, border);
    SetSamplerBorderColour(object, border);
}

// MAXMIPLEVEL names the most detailed level sampled: GL's lowest level of detail.
void ApplyLodStates(GLuint object, DWORD lodBias, DWORD maxMipLevel) {
    float bias = 0;
    std::memcpy(&bias, &lodBias, sizeof bias);
#if defined(GL_TEXTURE_LOD_BIAS)  // OpenGL ES has no sampler LOD bias: levels are chosen unbiased
    glSamplerParameterf(object, GL_TEXTURE_LOD_BIAS, std::isfinite(bias) ? bias : 0.0f);
#else
    (void)bias;
#endif
    glSamplerParameterf(object, GL_TEXTURE_MIN_LOD, static_cast<float>(std::min<DWORD>(maxMipLevel, 1000)));
}

GLuint DeviceGL::SamplerObject(DWORD sampler) const {
    return sampler < samplerObjects_.size() ? samplerObjects_[sampler] : 0;
}

void DeviceGL::ApplyRenderStates() {
    const auto& rs = renderStates_;
    glBindFramebuffer(GL_FRAMEBUFFER, target_.framebuffer);
    glViewport(static_cast<GLint>(viewport_.X), static_cast<GLint>(viewport_.Y),
               static_cast<GLsizei>(viewport_.Width), static_cast<GLsizei>(viewport_.Height));
    DepthRange(viewport_.MinZ, viewport_.MaxZ);
    // Render targets keep Direct3D's rows in GL's order (top row first), so a Direct3D rectangle
    // is a GL scissor box as it stands; it is clipped to the target it is drawn into.
    if (rs[D3DRS_SCISSORTESTENABLE]) {
        RECT box{};  // a rectangle that misses the target stays empty: nothing is drawn
        if (!ScissorBox(&box)) box = RECT{};
        glEnable(GL_SCISSOR_TEST);
        glScissor(box.left, box.top, box.right - box.left, box.bottom - box.top);
    } else {
        glDisable(GL_SCISSOR_TEST);
    }
    if (rs[D3DRS_ZENABLE] != 0 && target_.hasDepth) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(CompareFunc(rs[D3DRS_ZFUNC]));
        glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    if (rs[D3DRS_DEPTHBIAS] != 0 || rs[D3DRS_SLOPESCALEDEPTHBIAS] != 0 || depthBiasOn_) {
        double& step = depthSteps_[target_.hasStencil ? 1 : 0];
        if (step == 0) {
            step = MeasureDepthOffsetStep(vertexArray_, target_.hasStencil ? 24 : 16);
            glBindFramebuffer(GL_FRAMEBUFFER, target_.framebuffer);
        }
        ApplyDepthBias(rs[D3DRS_DEPTHBIAS], rs[D3DRS_SLOPESCALEDEPTHBIAS], step);
        depthBiasOn_ = rs[D3DRS_DEPTHBIAS] != 0 || rs[D3DRS_SLOPESCALEDEPTHBIAS] != 0;
    }
    // The stencil buffer holds 8 bits: the reference and masks use their low byte. Both faces
    // take these states; with TWOSIDEDSTENCILMODE the counter-clockwise ones take the CCW_
    // states once the winding is known (below).
    const bool stencil = rs[D3DRS_STENCILENABLE] != 0 && target_.hasStencil;
    if (stencil) {
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(CompareFunc(rs[D3DRS_STENCILFUNC]), static_cast<GLint>(rs[D3DRS_STENCILREF] & 0xFF),
                      rs[D3DRS_STENCILMASK] & 0xFF);
        glStencilOp(StencilOp(rs[D3DRS_STENCILFAIL]), StencilOp(rs[D3DRS_STENCILZFAIL]),
                    StencilOp(rs[D3DRS_STENCILPASS]));
        glStencilMask(rs[D3DRS_STENCILWRITEMASK] & 0xFF);
    } else {
        glDisable(GL_STENCIL_TEST);
    }
    if (rs[D3DRS_ALPHABLENDENABLE]) {
        glEnable(GL_BLEND);
        GLenum s, d, sa, da;
        BlendPair(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], &s, &d);
        if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
            BlendPair(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], &sa, &da);
            glBlendEquationSeparate(BlendOp(rs[D3DRS_BLENDOP]), BlendOp(rs[D3DRS_BLENDOPALPHA]));
        } else {
            sa = s;
            da = d;
            glBlendEquation(BlendOp(rs[D3DRS_BLENDOP]));
        }
        glBlendFuncSeparate(s, d, sa, da);
    } else {
        glDisable(GL_BLEND);
    }
    // Stored pictures have Direct3D's rows in GL's order, which mirrors the winding: a
    // triangle Direct3D calls clockwise is counter-clockwise to GL.
    switch (rs[D3DRS_CULLMODE]) {
        case D3DCULL_CW:
            glEnable(GL_CULL_FACE);
            glFrontFace(GL_CW);
            glCullFace(GL_BACK);
            break;
        case D3DCULL_CCW:
            glEnable(GL_CULL_FACE);
            glFrontFace(GL_CCW);
            glCullFace(GL_BACK);
            break;
        default:
            glDisable(GL_CULL_FACE);
            break;
    }
    if (stencil && rs[D3DRS_TWOSIDEDSTENCILMODE]) {
        GLint front = GL_CCW;
        glGetIntegerv(GL_FRONT_FACE, &front);
        // The triangles Direct3D calls counter-clockwise are clockwise to GL.
        const GLenum ccw = front == GL_CW ? GL_FRONT : GL_BACK;
        glStencilFuncSeparate(ccw, CompareFunc(rs[D3DRS_CCW_STENCILFUNC]), static_cast<GLint>(rs[D3DRS_STENCILREF] & 0xFF),
                              rs[D3DRS_STENCILMASK] & 0xFF);
        glStencilOpSeparate(ccw, StencilOp(rs[D3DRS_CCW_STENCILFAIL]), StencilOp(rs[D3DRS_CCW_STENCILZFAIL]),
                            StencilOp(rs[D3DRS_CCW_STENCILPASS]));
    }
    const DWORD mask = rs[D3DRS_COLORWRITEENABLE];
    glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
    const DWORD fill = rs[D3DRS_FILLMODE];
    SetFillMode(fill);  // solid where the context has no other fill (OpenGL ES)
    for (GLuint unit = 0; unit < samplerObjects_.size(); ++unit) glBindSampler(unit, samplerObjects_[unit]);
    GFX_GL_CHECK("render states");
}

void DeviceGL::PrepareDraw() {
    MakeCurrent();
    if (!stateDirty_) return;
    ApplyRenderStates();
    stateDirty_ = false;
}

HRESULT DeviceGL::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    switch (state) {
        case D3DTS_WORLD: transforms_[0] = *matrix; return D3D_OK;
        case D3DTS_VIEW: transforms_[1] = *matrix; return D3D_OK;
        case D3DTS_PROJECTION: transforms_[2] = *matrix; return D3D_OK;
        default:
            // The texture stages' coordinate transforms, read by the generated vertex stages.
            if (state < D3DTS_TEXTURE0 || state >= D3DTS_TEXTURE0 + textureTransforms_.size())
                return D3DERR_INVALIDCALL;
            textureTransforms_[state - D3DTS_TEXTURE0] = *matrix;
            return D3D_OK;
    }
}

HRESULT DeviceGL::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    switch (state) {
        case D3DTS_WORLD: *matrix = transforms_[0]; return D3D_OK;
        case D3DTS_VIEW: *matrix = transforms_[1]; return D3D_OK;
        case D3DTS_PROJECTION: *matrix = transforms_[2]; return D3D_OK;
        default:
            if (state < D3DTS_TEXTURE0 || state >= D3DTS_TEXTURE0 + textureTransforms_.size())
                return D3DERR_INVALIDCALL;
            *matrix = textureTransforms_[state - D3DTS_TEXTURE0];
            return D3D_OK;
    }
}

HRESULT DeviceGL::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    if (stage >= kSamplerCount) return D3DERR_INVALIDCALL;
    if (texture) texture->AddRef();
    if (textures_[stage]) textures_[stage]->Release();
    textures_[stage] = texture;
    return D3D_OK;
}

HRESULT DeviceGL::GetViewport(D3DVIEWPORT9* viewport) {
    if (!viewport) return D3DERR_INVALIDCALL;
    *viewport = viewport_;
    return D3D_OK;
}

HRESULT DeviceGL::SetViewport(const D3DVIEWPORT9* viewport) {
    if (!viewport) return D3DERR_INVALIDCALL;
    if (viewport->Width == 0 || viewport->Height == 0 ||
        static_cast<std::uint64_t>(viewport->X) + viewport->Width > target_.width ||
        static_cast<std::uint64_t>(viewport->Y) + viewport->Height > target_.height ||
        !(viewport->MinZ >= 0.0f && viewport->MaxZ <= 1.0f && viewport->MinZ <= viewport->MaxZ)) {
        return D3DERR_INVALIDCALL;
    }
    viewport_ = *viewport;
    stateDirty_ = true;
    return D3D_OK;
}

HRESULT DeviceGL::SetScissorRect(const RECT* rect) {
    if (!rect || rect->left < 0 || rect->top < 0 || rect->right < rect->left ||
        rect->bottom < rect->top || static_cast<std::uint64_t>(rect->right) > target_.width ||
        static_cast<std::uint64_t>(rect->bottom) > target_.height) {
        return D3DERR_INVALIDCALL;
    }
    const RECT& old = scissor_;
    if (old.left == rect->left && old.top == rect->top && old.right == rect->right &&
        old.bottom == rect->bottom) {
        return D3D_OK;  // nothing to send to GL again
    }
    scissor_ = *rect;
    if (renderStates_[D3DRS_SCISSORTESTENABLE]) stateDirty_ = true;
    return D3D_OK;
}

HRESULT DeviceGL::GetScissorRect(RECT* rect) {
    if (!rect) return D3DERR_INVALIDCALL;
    *rect = scissor_;
    return D3D_OK;
}

void DeviceGL::SwapTarget(RenderTarget* target, D3DVIEWPORT9* viewport) {
    std::swap(target_, *target);
    std::swap(viewport_, *viewport);
    stateDirty_ = true;
}

void DeviceGL::BindSampler(DWORD sampler, IDirect3DBaseTexture9* texture) {
    MakeCurrent();
    if (sampler >= kSamplerCount) return;
    glActiveTexture(GL_TEXTURE0 + sampler);
    glBindTexture(GL_TEXTURE_2D, TextureName(texture));
    if (sampler < samplerObjects_.size()) {
        glBindSampler(sampler, samplerObjects_[sampler]);
    } else {
        glBindSampler(sampler, 0);
    }
}

// ---------------------------------------------------------------------------------------------
// [5] Clears, scenes, copies
// ---------------------------------------------------------------------------------------------

namespace {

// The part of "r" inside [0, w) x [0, h); false when nothing is left.
bool Intersect(RECT r, LONG x0, LONG y0, LONG x1, LONG y1, RECT* out) {
    r.left = std::max(r.left, x0);
    r.top = std::max(r.top, y0);
    r.right = std::min(r.right, x1);
    r.bottom = std::min(r.bottom, y1);
    if (r.left >= r.right || r.top >= r.bottom) return false;
    *out = r;
    return true;
}

void ClearColourOf(D3DCOLOR c) {
    float rgba[4];
    ColourToFloats(c, rgba);
    glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
}

}  // namespace

bool DeviceGL::ScissorBox(RECT* box) const {
    return Intersect(scissor_, 0, 0, static_cast<LONG>(target_.width),
                     static_cast<LONG>(target_.height), box);
}

HRESULT DeviceGL::Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR colour, float z,
                        DWORD stencil) {
    if ((count != 0 && !rects) || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL))) {
        return D3DERR_INVALIDCALL;
    }
    // A depth clear needs a depth buffer, a stencil clear a stencil buffer (D3DFMT_D24S8).
    if (((flags & D3DCLEAR_STENCIL) && !target_.hasStencil) ||
        ((flags & D3DCLEAR_ZBUFFER) && !target_.hasDepth)) {
        return D3DERR_INVALIDCALL;
    }
    if (flags == 0) return D3D_OK;
    MakeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, target_.framebuffer);
    glEnable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    ClearColourOf(colour);
    ClearDepth(std::clamp(z, 0.0f, 1.0f));
    glStencilMask(0xFF);
    glClearStencil(static_cast<GLint>(stencil & 0xFF));
    const GLbitfield bits = ((flags & D3DCLEAR_TARGET) ? GL_COLOR_BUFFER_BIT : 0) |
                            ((flags & D3DCLEAR_ZBUFFER) ? GL_DEPTH_BUFFER_BIT : 0) |
                            ((flags & D3DCLEAR_STENCIL) ? GL_STENCIL_BUFFER_BIT : 0);
    const LONG vx0 = static_cast<LONG>(viewport_.X), vy0 = static_cast<LONG>(viewport_.Y);
    const LONG vx1 = vx0 + static_cast<LONG>(viewport_.Width);
    const LONG vy1 = vy0 + static_cast<LONG>(viewport_.Height);
    const RECT whole{vx0, vy0, vx1, vy1};
    // While the scissor test is on, Clear is limited to the scissor rectangle as draws are.
    RECT limit = whole;
    if (renderStates_[D3DRS_SCISSORTESTENABLE] && !ScissorBox(&limit)) {
        limit = RECT{0, 0, 0, 0};
    }
    const DWORD n = count == 0 ? 1 : count;
    for (DWORD i = 0; i < n; ++i) {
        RECT r, cut;
        if (!Intersect(count == 0 ? whole : rects[i], vx0, vy0, vx1, vy1, &r)) continue;
        if (!Intersect(r, limit.left, limit.top, limit.right, limit.bottom, &cut)) continue;
        r = cut;
        // The clear's own scissor boxes replace the device's; the next draw applies it again.
        glScissor(r.left, r.top, r.right - r.left, r.bottom - r.top);
        glClear(bits);
    }
    stateDirty_ = true;
    GFX_GL_CHECK("Clear");
    return D3D_OK;
}

HRESULT DeviceGL::BeginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT DeviceGL::EndScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

HRESULT DeviceGL::GetBackBuffer(UINT swap_chain, UINT index, D3DBACKBUFFER_TYPE type,
                                IDirect3DSurface9** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (swap_chain != 0 || index != 0 || type != D3DBACKBUFFER_TYPE_MONO || !backBuffer_) {
        return D3DERR_INVALIDCALL;
    }
    backBuffer_->AddRef();
    *surface = backBuffer_;
    return D3D_OK;
}

HRESULT DeviceGL::ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR colour) {
    SurfaceGL* s = ToGL(surface);
    if (!s || s->device() != this || s->locked()) return D3DERR_INVALIDCALL;
    const LONG w = static_cast<LONG>(s->width()), h = static_cast<LONG>(s->height());
    RECT r{0, 0, w, h};
    if (rect) {
        if (rect->left >= rect->right || rect->top >= rect->bottom) return D3DERR_INVALIDCALL;
        if (!Intersect(*rect, 0, 0, w, h, &r)) return D3D_OK;
    }
    MakeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, s->Framebuffer());
    glEnable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glScissor(r.left, r.top, r.right - r.left, r.bottom - r.top);
    ClearColourOf(colour);
    glClear(GL_COLOR_BUFFER_BIT);
    stateDirty_ = true;
    GFX_GL_CHECK("ColorFill");
    return D3D_OK;
}

HRESULT DeviceGL::StretchRect(IDirect3DSurface9* source, const RECT* source_rect,
                              IDirect3DSurface9* dest, const RECT* dest_rect, DWORD filter) {
    SurfaceGL* s = ToGL(source);
    SurfaceGL* d = ToGL(dest);
    if (!s || !d || s == d) return D3DERR_INVALIDCALL;
    return BlitSurface(s, source_rect, d, dest_rect, filter >= D3DTEXF_LINEAR);
}

// ---------------------------------------------------------------------------------------------
// [6] Resources and streams
// ---------------------------------------------------------------------------------------------

namespace {
constexpr std::size_t kMaxSpares = 4;
}  // namespace

GLuint DeviceGL::TakeSpare(bool renderbuffer, UINT width, UINT height, GLenum format) {
    for (std::size_t i = 0; i < spares_.size(); ++i) {
        const SpareStorage s = spares_[i];
        if (s.renderbuffer == renderbuffer && s.width == width && s.height == height && s.format == format) {
            spares_.erase(spares_.begin() + static_cast<std::ptrdiff_t>(i));
            return s.name;
        }
    }
    return 0;
}

void DeviceGL::KeepSpare(bool renderbuffer, GLuint name, UINT width, UINT height, GLenum format) {
    if (name == 0) return;
    MakeCurrent();
    if (spares_.size() >= kMaxSpares) {
        if (renderbuffer) glDeleteRenderbuffers(1, &name);
        else glDeleteTextures(1, &name);
        return;
    }
    spares_.push_back({name, renderbuffer, width, height, format});
}

void DeviceGL::QueueUpload(TextureGL* texture) {
    uploads_.push_back(texture);
    // The queue is worked through in the idle time of the window's next blocking fade.
    platform::window::SetGlSurfaceIdleWork(surface_, &DeviceGL::WarmUpStep, this);
}

void DeviceGL::DropUpload(TextureGL* texture) {
    uploads_.erase(std::remove(uploads_.begin(), uploads_.end(), texture), uploads_.end());
}

void DeviceGL::DropSpares() {
    MakeCurrent();
    for (SpareStorage& s : spares_) {
        if (s.renderbuffer) glDeleteRenderbuffers(1, &s.name);
        else glDeleteTextures(1, &s.name);
    }
    spares_.clear();
}

HRESULT DeviceGL::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                                void* shared) {
    if (shared) {
        if (texture) *texture = nullptr;
        return D3DERR_INVALIDCALL;
    }
    return CreateTextureFrom(width, height, levels, usage, format, pool, {}, texture);
}

HRESULT DeviceGL::CreateTextureFrom(UINT width, UINT height, UINT levels, DWORD usage,
                                    D3DFORMAT format, D3DPOOL pool,
                                    std::vector<std::uint32_t>&& level0,
                                    IDirect3DTexture9** texture) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    FormatInfo fi;
    if (width == 0 || height == 0 || width > 16384 || height > 16384 ||
        !LookUpFormat(format, &fi) || pool > D3DPOOL_SCRATCH ||
        ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT) ||
        (usage & D3DUSAGE_DEPTHSTENCIL)) {
        return D3DERR_INVALIDCALL;
    }
    MakeCurrent();
    auto* t = new TextureGL(this, width, height, levels, usage, format, pool, std::move(level0));
    if (!t->Valid()) {
        t->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *texture = t;
    return D3D_OK;
}

HRESULT DeviceGL::CreateVertexBuffer(UINT length_bytes, DWORD usage, DWORD fvf, D3DPOOL pool,
                                     IDirect3DVertexBuffer9** buffer, void* shared) {
    (void)usage;
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (shared || length_bytes == 0 || length_bytes > (1u << 28) || pool > D3DPOOL_SCRATCH) {
        return D3DERR_INVALIDCALL;
    }
    MakeCurrent();
    *buffer = new VertexBufferGL(this, length_bytes, fvf);
    return D3D_OK;
}

HRESULT DeviceGL::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset_bytes,
                                  UINT stride_bytes) {
    if (stream != 0) return D3DERR_INVALIDCALL;
    if (buffer) buffer->AddRef();
    if (stream_) stream_->Release();
    stream_ = buffer;
    streamOffset_ = offset_bytes;
    streamStride_ = stride_bytes;
    return D3D_OK;
}

HRESULT DeviceGL::SetFVF(DWORD fvf) {
    fvf_ = fvf;
    return D3D_OK;
}

HRESULT DeviceGL::GetFVF(DWORD* fvf) {
    if (!fvf) return D3DERR_INVALIDCALL;
    *fvf = fvf_;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// [7] Drawing with the fixed program
// ---------------------------------------------------------------------------------------------

namespace {

// Byte offsets of the parts of a vertex of format "fvf"; false for unsupported formats.
// Texture coordinate set n (of texSets) has texSize[n] floats at texCoord[n].
struct VertexLayout {
    int normal = -1, diffuse = -1, size = 0, texSets = 0;
    int texCoord[8] = {}, texSize[8] = {};
};

bool LayoutOf(DWORD fvf, VertexLayout* out) {
    const DWORD sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    // The size bits of sets the format does not have must be clear.
    const DWORD sizeBits = sets >= 8 ? 0xFFFF0000u : (sets ? ((1u << (2 * sets)) - 1) << 16 : 0u);
    constexpr DWORD kKnown = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEXCOUNT_MASK;
    if ((fvf & 0x00E) != D3DFVF_XYZ || sets > 8 || (fvf & ~(kKnown | sizeBits)) != 0) return false;
    VertexLayout l;
    l.size = 12;
    if (fvf & D3DFVF_NORMAL) {
        l.normal = l.size;
        l.size += 12;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        l.diffuse = l.size;
        l.size += 4;
    }
    static constexpr int kFloats[4] = {2, 3, 4, 1};
    l.texSets = static_cast<int>(sets);
    for (int n = 0; n < l.texSets; ++n) {
        l.texCoord[n] = l.size;
        l.texSize[n] = kFloats[(fvf >> (16 + 2 * n)) & 3];
        l.size += 4 * l.texSize[n];
    }
    *out = l;
    return true;
}

// The attribute of texture coordinate set n: set 0 where the device's own program reads it,
// the others where generated programs read TEXCOORD1..7.
GLuint TexCoordAttribute(int n) { return n == 0 ? kAttribTexCoord0 : static_cast<GLuint>(4 + n); }

bool VertexCount(D3DPRIMITIVETYPE type, UINT primitives, GLenum* mode, std::uint64_t* count) {
    switch (type) {
        case D3DPT_POINTLIST: *mode = GL_POINTS; *count = primitives; return true;
        case D3DPT_LINELIST: *mode = GL_LINES; *count = 2ull * primitives; return true;
        case D3DPT_LINESTRIP: *mode = GL_LINE_STRIP; *count = primitives + 1ull; return true;
        case D3DPT_TRIANGLELIST: *mode = GL_TRIANGLES; *count = 3ull * primitives; return true;
        case D3DPT_TRIANGLESTRIP: *mode = GL_TRIANGLE_STRIP; *count = primitives + 2ull; return true;
        case D3DPT_TRIANGLEFAN: *mode = GL_TRIANGLE_FAN; *count = primitives + 2ull; return true;
    }
    return false;
}

}  // namespace

HRESULT DeviceGL::DrawPrimitive(D3DPRIMITIVETYPE type, UINT start_vertex, UINT primitive_count) {
    VertexLayout layout;
    GLenum mode = 0;
    std::uint64_t count = 0;
    auto* vb = static_cast<VertexBufferGL*>(stream_);
    if (!vb || !LayoutOf(fvf_, &layout) || !VertexCount(type, primitive_count, &mode, &count)) {
        return D3DERR_INVALIDCALL;
    }
    const UINT stride = streamStride_ ? streamStride_ : static_cast<UINT>(layout.size);
    if (stride < static_cast<UINT>(layout.size)) return D3DERR_INVALIDCALL;
    const std::uint64_t end = streamOffset_ + (static_cast<std::uint64_t>(start_vertex) + count) * stride;
    if (primitive_count == 0 || end > vb->length() + (stride - layout.size)) return D3DERR_INVALIDCALL;
    if (lost_) return D3D_OK;
    if (!programOverride_ && !EnsureFixedProgram()) return D3DERR_INVALIDCALL;

    PrepareDraw();
    const GLuint program = programOverride_ ? programOverride_ : fixedProgram_;
    glUseProgram(program);
    // A generated fixed-function vertex stage takes a colour source from the vertex only
    // where its format has that colour (this device feeds diffuse colours alone).
    if (programOverride_ && overrideVertexColours_ >= 0)
        glUniform1i(overrideVertexColours_, layout.diffuse >= 0 ? 1 : 0);
    if (programOverride_ && overrideTexCoordSizes_ >= 0)  // the format's size codes, two bits a set
        glUniform1i(overrideTexCoordSizes_, static_cast<GLint>(fvf_ >> 16));
    if (!programOverride_) {
        D3DMATRIX wv, wvp;
        D3DXMatrixMultiply(&wv, &transforms_[0], &transforms_[1]);
        D3DXMatrixMultiply(&wvp, &wv, &transforms_[2]);
        glUniformMatrix4fv(fixedWvp_, 1, GL_FALSE, &wvp.m[0][0]);
        glUniform1i(fixedHasTexture_, textures_[0] ? 1 : 0);
        glUniform1i(fixedAlphaTest_,
                    AlphaTestFunction(renderStates_[D3DRS_ALPHATESTENABLE], renderStates_[D3DRS_ALPHAFUNC]));
        glUniform1f(fixedAlphaRef_, static_cast<float>(renderStates_[D3DRS_ALPHAREF] & 0xFF));
        BindSampler(0, textures_[0]);
    }
    glBindVertexArray(vertexArray_);
    glBindBuffer(GL_ARRAY_BUFFER, vb->name());
    auto at = [&](int offset) {
        return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(streamOffset_) + offset);
    };
    const GLsizei s = static_cast<GLsizei>(stride);
    glEnableVertexAttribArray(kAttribPosition);
    glVertexAttribPointer(kAttribPosition, 3, GL_FLOAT, GL_FALSE, s, at(0));
    if (layout.normal >= 0) {
        glEnableVertexAttribArray(kAttribNormal);
        glVertexAttribPointer(kAttribNormal, 3, GL_FLOAT, GL_FALSE, s, at(layout.normal));
    } else {
        glDisableVertexAttribArray(kAttribNormal);
        glVertexAttrib3f(kAttribNormal, 0.0f, 0.0f, 1.0f);
    }
    if (layout.diffuse >= 0) {
        glEnableVertexAttribArray(kAttribColour);
        // The D3DCOLOR's bytes; ES takes them in memory order (b, g, r, a): see GFX_GL_COLOUR_SWIZZLE.
        glVertexAttribPointer(kAttribColour, kColourAttribSize, GL_UNSIGNED_BYTE, GL_TRUE, s,
                              at(layout.diffuse));
    } else {
        glDisableVertexAttribArray(kAttribColour);
        glVertexAttrib4f(kAttribColour, 1.0f, 1.0f, 1.0f, 1.0f);
    }
    for (int n = 0; n < 8; ++n) {
        const GLuint a = TexCoordAttribute(n);
        if (n < layout.texSets) {
            glEnableVertexAttribArray(a);
            glVertexAttribPointer(a, layout.texSize[n], GL_FLOAT, GL_FALSE, s, at(layout.texCoord[n]));
        } else {
            glDisableVertexAttribArray(a);
            glVertexAttrib4f(a, 0.0f, 0.0f, 0.0f, 1.0f);
        }
    }
    glDrawArrays(mode, static_cast<GLint>(start_vertex), static_cast<GLsizei>(count));
    glBindVertexArray(0);
    GFX_GL_CHECK("DrawPrimitive");
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// [8] Entry points for the effect object
// ---------------------------------------------------------------------------------------------

DeviceGL* ToGL(IDirect3DDevice9* device) { return static_cast<DeviceGL*>(device); }
SurfaceGL* ToGL(IDirect3DSurface9* surface) { return static_cast<SurfaceGL*>(surface); }
TextureGL* ToGL(IDirect3DBaseTexture9* texture) { return static_cast<TextureGL*>(texture); }

GLuint TextureName(IDirect3DBaseTexture9* texture) {
    return texture ? ToGL(texture)->name() : 0;
}

void PrepareDraw(IDirect3DDevice9* device) {
    if (device) ToGL(device)->PrepareDraw();
}

void InvalidateGlState(IDirect3DDevice9* device) {
    if (device) ToGL(device)->InvalidateState();
}

void BindSampler(IDirect3DDevice9* device, DWORD sampler, IDirect3DBaseTexture9* texture) {
    if (device) ToGL(device)->BindSampler(sampler, texture);
}

void SetProgramOverride(IDirect3DDevice9* device, GLuint program) {
    if (device) ToGL(device)->SetProgramOverride(program);
}

}  // namespace gl
}  // namespace platform::gfx
