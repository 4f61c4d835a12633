// platform/gfx/gl/device_gl.cpp: the device on an OpenGL 3.3 core surface of a window:
// creation, the back buffer, destruction, and the entry points for the effect object.
//
// The device's other responsibilities live beside it, all behind gl_internal.h:
//   device_present_gl.cpp    seams and counters, presentation, pacing, warm-up, reset
//   device_states_gl.cpp     render, sampler and transform states and their GL application
//   device_draw_gl.cpp       clears, scenes, copies and drawing with the fixed program
//   device_resources_gl.cpp  spare storage, uploads, textures, vertex buffers and streams
//
// The back buffer is a framebuffer object (colour texture + 16-bit depth renderbuffer) whose
// row 0 is the top row; Present copies it upside down into the window's framebuffer.

#include "platform/gfx/gl/gl_api.h"

#include <cstdio>

#include "platform/gfx/gl/gl_internal.h"
#include "platform/window/gl_surface.h"

namespace platform::gfx {

namespace {

gl::DeviceGL* g_current = nullptr;  // the device whose GL context is current

}  // namespace

void FinishGpuWork() {
    if (g_current) glFinish();
}

namespace gl {

#ifndef NDEBUG
void CheckGlError(const char* what, const char* file, int line) {
    for (GLenum e = glGetError(); e != GL_NO_ERROR; e = glGetError()) {
        std::fprintf(stderr, "%s:%d: GL error 0x%04X after %s\n", file, line, e, what);
    }
}
#endif

// ---------------------------------------------------------------------------------------------
// Creation and destruction
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

    device->SetUpPresentation();
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
// Entry points for the effect object
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
