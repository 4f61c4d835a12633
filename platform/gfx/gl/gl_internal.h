// platform/gfx/gl/gl_internal.h: the OpenGL side of the graphics layer, for its own files,
// the effect object (effect_gl.cpp) and tests that look at GL objects.
//
// Rules every GL user of the device follows:
//   - All drawing goes into framebuffer objects whose row 0 is the TOP row of the picture
//     (the back buffer, render-target textures and every texture level hold the picture in
//     Direct3D order). A vertex shader therefore ends with kClipSpaceEpilogue, which turns
//     Direct3D clip space (y up, z in [0, w]) into what GL needs for that storage.
//   - Vertex attributes use the fixed locations below, whatever the program.
//   - Before drawing, call PrepareDraw(device): it binds the current render target, viewport
//     and the render states. After changing GL state directly (programs, texture units,
//     samplers, blend, depth), call InvalidateGlState(device) so the device sets its own
//     state again before its next draw.
//   - While an effect pass is active, SetProgramOverride(device, program) makes DrawPrimitive
//     use that program instead of the device's fixed program; 0 gives it back.
#pragma once

#include "platform/gfx/gl/gl_api.h"

#include <algorithm>
#include <array>
#include <string>
#include <cstdint>
#include <vector>

#include "platform/gfx/gfx.h"
#include "platform/gfx/gfx_testing.h"
#include "platform/gfx/gl/present_pacing.h"
#include "platform/window/gl_surface.h"

namespace platform::gfx::gl {

// Attribute locations of every vertex program drawn by DrawPrimitive.
inline constexpr GLuint kAttribPosition = 0;  // vec3 (D3DFVF_XYZ)
inline constexpr GLuint kAttribNormal = 1;    // vec3 (D3DFVF_NORMAL)
inline constexpr GLuint kAttribColour = 2;    // vec4 (D3DFVF_DIFFUSE; white when absent)
inline constexpr GLuint kAttribTexCoord0 = 3; // vec2 (D3DFVF_TEX1; 0 when absent)

// The last statements of every vertex shader: Direct3D clip space to the layer's storage.
inline constexpr const char* kClipSpaceEpilogue =
    "gl_Position.y = -gl_Position.y;\n"
    "gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n";

// Debug-only check of glGetError after a call.
#ifndef NDEBUG
void CheckGlError(const char* what, const char* file, int line);
#define GFX_GL_CHECK(what) ::platform::gfx::gl::CheckGlError(what, __FILE__, __LINE__)
#else
#define GFX_GL_CHECK(what) ((void)0)
#endif

// Pixel transfer of a Direct3D format: GL internal format, client format and type, bytes per
// pixel. Returns false for formats the layer cannot hold.
struct FormatInfo {
    GLenum internalFormat = 0;
    GLenum format = 0;
    GLenum type = 0;
    int bytesPerPixel = 0;
    bool opaque = false;  // alpha reads as 1 (X8R8G8B8, X1R5G5B5, R5G6B5)
};
bool LookUpFormat(D3DFORMAT format, FormatInfo* out);

// Pixel transfers of tightly packed rows in the Direct3D layout of "format" (pixels_gl.cpp):
// storage of a level of the bound GL_TEXTURE_2D ("pixels" may be null for TexImage), a
// rectangle of it, and a rectangle of the bound read framebuffer.
void TexImage(D3DFORMAT format, GLint level, GLsizei width, GLsizei height, const void* pixels);
void TexSubImage(D3DFORMAT format, GLint level, GLint x, GLint y, GLsizei width, GLsizei height,
                 const void* pixels);
void ReadPixels(D3DFORMAT format, GLint x, GLint y, GLsizei width, GLsizei height, void* out);
// The rearrangements these make on OpenGL ES (the table in pixels_gl.cpp): "count" pixels of
// "format" as ES uploads take them, and RGBA bytes read back from ES as pixels of "format"
// (all but A2R10G10B10, which reads back packed and gets EsUploadRows' exchange again).
std::vector<std::uint8_t> EsUploadRows(D3DFORMAT format, const void* pixels, std::size_t count);
void EsReadBackRows(D3DFORMAT format, const std::uint8_t* rgba, std::size_t count, void* out);

class DeviceGL;

// A reference-counting helper for the objects of the layer.
template <class Interface>
class RefCounted : public Interface {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ~RefCounted() override = default;

private:
    ULONG refs_ = 1;
};

// One level of a GL texture seen as a surface (the back buffer is one too).
class SurfaceGL final : public RefCounted<IDirect3DSurface9> {
public:
    SurfaceGL(DeviceGL* device, IUnknown* container, GLuint texture, UINT level, UINT width,
              UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool, bool lockable,
              bool holds_device = true);
    ~SurfaceGL() override;

    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;

    // The pixels of the current lock, read back on the first call (LockedBits::Bits).
    void* FetchLockedBits(std::uint32_t lock_id);

    // A framebuffer with this level as its colour attachment (made on first use).
    GLuint Framebuffer();
    // Reads "rect" into "out" as rows of the format's pixels (tightly packed).
    void ReadPixels(const RECT& rect, void* out);
    // Writes tightly packed pixels of the format into "rect".
    void WritePixels(const RECT& rect, const void* pixels);
    // Replaces the GL texture behind the surface (the back buffer after a Reset).
    void Rebind(GLuint texture, UINT width, UINT height);
    void SetLockable(bool lockable) { lockable_ = lockable; }

    DeviceGL* device() const { return device_; }
    // The GL texture, with the container's waiting level 0 uploaded first.
    GLuint texture();
    // Level 0's words while the container still keeps them (null otherwise).
    const std::uint32_t* WaitingPixels() const;
    UINT level() const { return level_; }
    UINT width() const { return width_; }
    UINT height() const { return height_; }
    D3DFORMAT format() const { return format_; }
    bool locked() const { return locked_; }

private:
    DeviceGL* device_;
    bool holdsDevice_;     // false for the back buffer, which the device itself owns
    IUnknown* container_;  // the texture that owns the GL object (holds a reference), or null
    GLuint texture_;
    UINT level_, width_, height_;
    D3DFORMAT format_;
    DWORD usage_;
    D3DPOOL pool_;
    bool lockable_;
    GLuint framebuffer_ = 0;
    // Lock state.
    bool locked_ = false;
    bool fetched_ = false;
    bool readOnly_ = false;
    bool discard_ = false;
    std::uint32_t lockId_ = 0;
    RECT lockRect_{};
    std::vector<std::uint8_t> lockBits_;
};

class TextureGL final : public RefCounted<IDirect3DTexture9> {
public:
    // "level0" (ARGB words, width * height of them), when not empty, is level 0's content;
    // otherwise every level starts transparent black. A one-level 32-bit texture keeps the
    // words and gives GL its storage only at its first use by GL, or in the device's idle
    // time: a picture that is loaded, copied through the CPU and released (the sprite loader
    // does this with every image) then never costs the driver an allocation and a copy.
    TextureGL(DeviceGL* device, UINT width, UINT height, UINT levels, DWORD usage,
              D3DFORMAT format, D3DPOOL pool, std::vector<std::uint32_t>&& level0 = {});
    ~TextureGL() override;
    bool Valid() const { return texture_ != 0; }

    DWORD GetLevelCount() override { return levels_; }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    // The GL texture, its storage and level 0 in place.
    GLuint name() {
        Upload();
        return texture_;
    }
    // Level 0's words while they wait for their upload (null once GL holds them).
    const std::uint32_t* waitingLevel0() const { return waiting_.empty() ? nullptr : waiting_.data(); }
    // Gives GL the waiting level 0 (nothing when none waits). Keeps the active texture unit.
    void Upload();
    D3DFORMAT format() const { return format_; }
    UINT width() const { return width_; }
    UINT height() const { return height_; }
    // Rebuilds levels 1 and up from level 0.
    void GenerateMips();
    // The levels as sRGB-encoded storage, for a sampler that decodes sRGB on lookup
    // (D3DSAMP_SRGBTEXTURE): a copy of this texture's bits made again at each call, so it holds
    // what the texture holds now; the texture itself keeps its format. 0 where the format has
    // no sRGB form (formats but 8-bit ARGB and XRGB) or the context cannot copy into one
    // (OpenGL ES encodes what a copy writes into sRGB storage).
    GLuint SrgbCopy();

private:
    SurfaceGL* Level(UINT level);

    DeviceGL* device_;
    GLuint texture_ = 0;
    UINT width_, height_, levels_;
    DWORD usage_;
    D3DFORMAT format_;
    D3DPOOL pool_;
    std::vector<SurfaceGL*> surfaces_;  // weak: a surface lives while someone holds it
    std::vector<SurfaceGL*> locks_;     // the surfaces of levels locked through LockRect
    std::vector<std::uint32_t> waiting_;  // level 0 before its upload
    GLuint srgb_ = 0;                     // SrgbCopy's texture, made at its first call
    friend class SurfaceGL;
};

class VertexBufferGL final : public RefCounted<IDirect3DVertexBuffer9> {
public:
    VertexBufferGL(DeviceGL* device, UINT length, DWORD fvf);
    ~VertexBufferGL() override;
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    GLuint name() const { return buffer_; }
    UINT length() const { return static_cast<UINT>(bytes_.size()); }

private:
    DeviceGL* device_;
    GLuint buffer_ = 0;
    std::vector<std::uint8_t> bytes_;
    bool locked_ = false;
    UINT lockOffset_ = 0, lockSize_ = 0;
};

// The colour and depth buffers drawing goes to.
struct RenderTarget {
    GLuint framebuffer = 0;
    UINT width = 0, height = 0;
    bool hasDepth = false;
    bool hasStencil = false;  // an 8-bit stencil buffer shares the depth buffer
    SurfaceGL* colour = nullptr;  // not owned
};

// Everything that must be notified when the device is reset or destroyed.
class DeviceListener {
public:
    virtual void DeviceGone() = 0;

protected:
    ~DeviceListener() = default;
};

class DeviceGL final : public RefCounted<IDirect3DDevice9> {
public:
    // --- IDirect3DDevice9
    HRESULT Present(const RECT* source, const RECT* dest, HWND override_window,
                    const void* dirty_region) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT TestCooperativeLevel() override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT SetScissorRect(const RECT* rect) override;
    HRESULT GetScissorRect(RECT* rect) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR colour, float z,
                  DWORD stencil) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT GetBackBuffer(UINT swap_chain, UINT index, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface9** surface) override;
    HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR colour) override;
    HRESULT StretchRect(IDirect3DSurface9* source, const RECT* source_rect,
                        IDirect3DSurface9* dest, const RECT* dest_rect, DWORD filter) override;
    // CreateTexture with level 0 holding "level0" (width * height ARGB words, taken over)
    // from the start, for loaders that would overwrite the fresh texture's black at once.
    HRESULT CreateTextureFrom(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, std::vector<std::uint32_t>&& level0,
                              IDirect3DTexture9** texture);
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture9** texture, void* shared) override;
    HRESULT CreateVertexBuffer(UINT length_bytes, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** buffer, void* shared) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset_bytes,
                            UINT stride_bytes) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT start_vertex, UINT primitive_count) override;

    // --- For the layer's own objects and the effect object
    // Creates the device; null (and the reason in "result") on failure.
    static DeviceGL* Create(HWND window, const D3DPRESENT_PARAMETERS& params, HRESULT* result);

    void MakeCurrent();
    void PrepareDraw();
    void InvalidateState() { stateDirty_ = true; }

    // Storage of released render targets and depth buffers, handed to the next one of the
    // same size and format: the post-processing creates and releases an 800 x 600 target and
    // depth buffer every frame, which the software rasteriser would otherwise allocate (and
    // the system zero) anew each time. TakeSpare gives 0 when none fits; KeepSpare deletes the
    // object when the store is full. The contents of a reused object are as undefined as a
    // new one's (callers clear targets; depth buffers are cleared before use).
    GLuint TakeSpare(bool renderbuffer, UINT width, UINT height, GLenum format);
    void KeepSpare(bool renderbuffer, GLuint name, UINT width, UINT height, GLenum format);
    // Textures whose level 0 waits for its upload; the device's idle work uploads them, one
    // per step, and a texture leaves the queue when it is uploaded or released.
    void QueueUpload(TextureGL* texture);
    void DropUpload(TextureGL* texture);
    const RenderTarget& target() const { return target_; }
    // Switches drawing to "target" with "viewport"; returns the previous target and viewport.
    void SwapTarget(RenderTarget* target, D3DVIEWPORT9* viewport);
    // Binds a texture with the device's sampler states of register "sampler" to unit
    // "sampler" (null unbinds).
    void BindSampler(DWORD sampler, IDirect3DBaseTexture9* texture);
    // "program" draws instead of the device's own until it is set to 0; where it is a
    // generated fixed-function stage, its vertex-colour switch and coordinate-set sizes are
    // found here once per pass.
    void SetProgramOverride(GLuint program) {
        programOverride_ = program;
        overrideVertexColours_ = program ? glGetUniformLocation(program, "fx_ff_vcolours") : -1;
        overrideTexCoordSizes_ = program ? glGetUniformLocation(program, "fx_ff_tcsizes") : -1;
    }
    const std::array<DWORD, kRenderStateCount>& renderStates() const { return renderStates_; }
    GLuint QuadVertexArray() const { return vertexArray_; }
    bool lost() const { return lost_; }
    SurfaceGL* backBuffer() const { return backBuffer_; }
    // The texture bound to stage "stage" (null when none or out of range).
    IDirect3DBaseTexture9* texture(DWORD stage) const {
        return stage < kSamplerCount ? textures_[stage] : nullptr;
    }
    const D3DPRESENT_PARAMETERS& params() const { return params_; }
    // The GL sampler object of register "sampler" (0 for registers without one).
    GLuint SamplerObject(DWORD sampler) const;
    // The sprite batchers' shared program and buffers (made by the first batcher).
    struct SpriteResources {
        GLuint program = 0, vertexArray = 0, buffer = 0, sampler = 0;
        GLint viewport = -1, alphaFunc = -1, alphaRef = -1;
    };
    SpriteResources& spriteResources() { return sprite_; }

private:
    DeviceGL() = default;
    ~DeviceGL() override;
    bool CreateBackBuffer();
    bool EnsureFixedProgram();
    void DestroyBackBuffer();
    void SetDefaultStates();
    void ApplyRenderStates();
    // The scissor rectangle clipped to the current render target; false when nothing is left.
    bool ScissorBox(RECT* box) const;
    void ApplySamplerObject(DWORD sampler);
    // The swap interval, the refresh rate and the pacing Present starts with.
    void SetUpPresentation();
    void WaitForPresentSlot();
    void NoteSwap();
    std::int64_t PeriodNs() const { return 1000000000LL / refreshHz_; }  // one refresh
    bool BlitBackBufferToWindow();
    static bool WarmUpStep(void* device);
    void WarmUpColourFill();

    HWND window_{};
    platform::window::GlSurface surface_;
    D3DPRESENT_PARAMETERS params_{};
    std::array<DWORD, kRenderStateCount> renderStates_{};
    std::array<std::array<DWORD, kSamplerStateCount>, kSamplerCount> samplerStates_{};
    std::array<GLuint, 2> samplerObjects_{};
    std::array<D3DMATRIX, 3> transforms_{};  // world, view, projection
    std::array<D3DMATRIX, 8> textureTransforms_{};  // D3DTS_TEXTURE0..7
    std::array<IDirect3DBaseTexture9*, kSamplerCount> textures_{};
    D3DVIEWPORT9 viewport_{};
    RECT scissor_{};
    RenderTarget target_{};
    RenderTarget backTarget_{};
    SurfaceGL* backBuffer_ = nullptr;
    GLuint backColour_ = 0, backDepth_ = 0, backFramebuffer_ = 0;
    struct SpareStorage {
        GLuint name = 0;
        bool renderbuffer = false;
        UINT width = 0, height = 0;
        GLenum format = 0;
    };
    void DropSpares();
    std::vector<SpareStorage> spares_;
    std::vector<TextureGL*> uploads_;  // not owned
    GLuint fixedProgram_ = 0;
    GLint fixedWvp_ = -1, fixedHasTexture_ = -1, fixedAlphaTest_ = -1, fixedAlphaRef_ = -1;
    bool fixedFailed_ = false;  // its build failed once; draws without an effect are refused
    GLuint vertexArray_ = 0;
    SpriteResources sprite_;
    IDirect3DVertexBuffer9* stream_ = nullptr;
    UINT streamOffset_ = 0, streamStride_ = 0;
    DWORD fvf_ = 0;
    GLuint programOverride_ = 0;
    GLint overrideVertexColours_ = -1;  // "fx_ff_vcolours" of programOverride_, or -1
    GLint overrideTexCoordSizes_ = -1;  // "fx_ff_tcsizes" of programOverride_, or -1
    bool stateDirty_ = true;
    bool depthBiasOn_ = false;               // polygon offset is enabled in GL
    bool lineSmoothOn_ = false;              // smooth lines are enabled in GL
    std::array<double, 2> depthSteps_{};     // the driver's depth offset step: D16, D24S8; 0 unmeasured
    bool inScene_ = false;
    bool lost_ = false;
    // Presentation.
    bool swapHonoured_ = false;
    bool paced_ = false;
    int refreshHz_ = 60;
    PresentSchedule schedule_{1000000000LL / 60};
    SwapWatch swapWatch_{1000000000LL / 60};
    std::uint64_t presents_ = 0;
    int warmUpsDone_ = 0;
    friend class SurfaceGL;
};

// The device behind an interface pointer of this layer (null for null).
DeviceGL* ToGL(IDirect3DDevice9* device);
SurfaceGL* ToGL(IDirect3DSurface9* surface);
TextureGL* ToGL(IDirect3DBaseTexture9* texture);

// --- For the effect object ----------------------------------------------------------------

// The GL texture name of a texture of this layer (0 for null).
GLuint TextureName(IDirect3DBaseTexture9* texture);
// Binds the render target, viewport and render states for a draw.
void PrepareDraw(IDirect3DDevice9* device);
void InvalidateGlState(IDirect3DDevice9* device);
void BindSampler(IDirect3DDevice9* device, DWORD sampler, IDirect3DBaseTexture9* texture);
// Applies D3DSAMP_MIPMAPLODBIAS (a float's bits) and D3DSAMP_MAXMIPLEVEL to a GL sampler object.
void ApplyLodStates(GLuint object, DWORD lodBias, DWORD maxMipLevel);
// The alpha test's comparison as the generated programs read it: a D3DCMP value, or 0 when the
// test is off or the value names no comparison (every fragment passes).
inline GLint AlphaTestFunction(DWORD enable, DWORD func) {
    return enable && func >= 1 && func <= 8 ? static_cast<GLint>(func) : 0;
}

// A D3DCOLOR (ARGB bytes) as four floats in 0..1, in RGBA order as GL reads them.
inline void ColourToFloats(DWORD c, float rgba[4]) {
    rgba[0] = ((c >> 16) & 0xFF) / 255.0f;
    rgba[1] = ((c >> 8) & 0xFF) / 255.0f;
    rgba[2] = (c & 0xFF) / 255.0f;
    rgba[3] = ((c >> 24) & 0xFF) / 255.0f;
}
void SetProgramOverride(IDirect3DDevice9* device, GLuint program);

// The depth one step of GL's polygon offset moves on a depth buffer of "depthBits" (16, or 24
// with stencil), measured on the current context (drawn with vertex array "vertexArray"); the
// bindings it touches are restored (depth_bias_gl.cpp).
double MeasureDepthOffsetStep(GLuint vertexArray, int depthBits);
// Direct3D's DEPTHBIAS and SLOPESCALEDEPTHBIAS (float bits) as GL's polygon offset, "step"
// being the measured depth step.
void ApplyDepthBias(DWORD biasBits, DWORD slopeBits, double step);

// Compiles and links a vertex and fragment shader; 0 on failure with the log in "log".
GLuint BuildProgram(const char* vertex_source, const char* fragment_source, std::vector<char>* log);

// Copies "source_rect" of "source" onto "dest_rect" of "dest" (null: whole surfaces) with a
// framebuffer blit, linear when "linear" and the sizes differ.
HRESULT BlitSurface(SurfaceGL* source, const RECT* source_rect, SurfaceGL* dest,
                    const RECT* dest_rect, bool linear);

// Counters of the measurement seam (shared with GetPresentInfo).
void CountReadBack();
void RecordBehaviourFlags(DWORD flags);
// GL draw calls made by all sprite batchers so far.
std::uint64_t SpriteDrawCalls();
// One sprite batch as the engine's sprites draw it, placed where clipping removes it whole:
// the GL driver builds its code for the sprite program and those states, and no pixel changes.
void WarmUpSpriteBatch(DeviceGL* device);

}  // namespace platform::gfx::gl
