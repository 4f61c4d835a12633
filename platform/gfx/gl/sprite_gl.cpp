// platform/gfx/gl/sprite_gl.cpp: the sprite batcher, the font object and the render-to-surface
// object.
//
// A sprite is a quad in viewport pixels. Its corners sit on pixel edges, so an unscaled sprite
// at integer (x, y) samples every texel at its centre and reproduces it exactly, even with
// linear filtering.

#include "platform/gfx/gl/gl_api.h"

#include <cstdio>
#include <cstring>

#include "platform/gfx/gl/gl_internal.h"

namespace platform::gfx {
namespace gl {

namespace {

const char* const kSpriteVertex = GFX_GL_SHADER_HEADER R"(
layout(location = 0) in vec3 position;
layout(location = 2) in vec4 colour;
layout(location = 3) in vec2 texCoord;
uniform vec2 viewport;
out vec4 vColour;
out vec2 vTexCoord;
void main() {
    gl_Position = vec4(position.x / viewport.x * 2.0 - 1.0, 1.0 - position.y / viewport.y * 2.0,
                       position.z, 1.0);
    vColour = colour;
    vTexCoord = texCoord;
)";

const char* const kSpriteFragment = GFX_GL_SHADER_HEADER R"(
in vec4 vColour;
in vec2 vTexCoord;
uniform sampler2D image;
uniform int alphaFunc;
uniform float alphaRef;
out vec4 fragColour;
void main() {
    vec4 c = vColour * texture(image, vTexCoord);
    float a = floor(c.a * 255.0 + 0.5);
    bool pass = true;
    if (alphaFunc == 1) pass = false;
    else if (alphaFunc == 2) pass = a < alphaRef;
    else if (alphaFunc == 3) pass = a == alphaRef;
    else if (alphaFunc == 4) pass = a <= alphaRef;
    else if (alphaFunc == 5) pass = a > alphaRef;
    else if (alphaFunc == 6) pass = a != alphaRef;
    else if (alphaFunc == 7) pass = a >= alphaRef;
    if (!pass) discard;
    fragColour = c;
}
)";

struct SpriteVertex {
    float x, y, z;
    float r, g, b, a;
    float u, v;
};

bool EnsureSpriteResources(DeviceGL* device) {
    auto& res = device->spriteResources();
    if (res.program) return true;
    device->MakeCurrent();
    std::vector<char> log;
    const std::string vertex = std::string(kSpriteVertex) + kClipSpaceEpilogue + "}\n";
    res.program = BuildProgram(vertex.c_str(), kSpriteFragment, &log);
    if (!res.program) {
        std::fprintf(stderr, "gfx: sprite program: %s\n", log.data());
        return false;
    }
    res.viewport = glGetUniformLocation(res.program, "viewport");
    res.alphaFunc = glGetUniformLocation(res.program, "alphaFunc");
    res.alphaRef = glGetUniformLocation(res.program, "alphaRef");
    glUseProgram(res.program);
    glUniform1i(glGetUniformLocation(res.program, "image"), 0);
    glGenVertexArrays(1, &res.vertexArray);
    glGenBuffers(1, &res.buffer);
    glBindVertexArray(res.vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, res.buffer);
    const GLsizei stride = sizeof(SpriteVertex);
    glEnableVertexAttribArray(kAttribPosition);
    glVertexAttribPointer(kAttribPosition, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
    glEnableVertexAttribArray(kAttribColour);
    glVertexAttribPointer(kAttribColour, 4, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(SpriteVertex, r)));
    glEnableVertexAttribArray(kAttribTexCoord0);
    glVertexAttribPointer(kAttribTexCoord0, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(SpriteVertex, u)));
    glBindVertexArray(0);
    glGenSamplers(1, &res.sampler);
    glSamplerParameteri(res.sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glSamplerParameteri(res.sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(res.sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(res.sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    device->InvalidateState();
    GFX_GL_CHECK("sprite resources");
    return true;
}

// The render states a batch changes, saved by Begin and put back by End.
constexpr D3DRENDERSTATETYPE kSpriteStates[] = {
    D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,  D3DRS_DESTBLEND, D3DRS_BLENDOP,
    D3DRS_ALPHATESTENABLE,  D3DRS_ALPHAFUNC, D3DRS_ALPHAREF,  D3DRS_CULLMODE,
    D3DRS_SEPARATEALPHABLENDENABLE,
};
constexpr std::size_t kSpriteStateCount = sizeof(kSpriteStates) / sizeof(kSpriteStates[0]);

class SpriteGL final : public RefCounted<ID3DXSprite> {
public:
    explicit SpriteGL(DeviceGL* device) : device_(device) {
        device_->AddRef();
        D3DXMatrixIdentity(&transform_);
    }
    ~SpriteGL() override {
        if (texture_) texture_->Release();
        device_->Release();
    }

    HRESULT Begin(DWORD flags) override {
        if (begun_ || !EnsureSpriteResources(device_)) return D3DERR_INVALIDCALL;
        begun_ = true;
        flags_ = flags;
        if (!(flags & D3DXSPRITE_DONOTSAVESTATE)) {
            for (std::size_t i = 0; i < kSpriteStateCount; ++i) {
                device_->GetRenderState(kSpriteStates[i], &saved_[i]);
            }
        }
        if (!(flags & D3DXSPRITE_DONOTMODIFY_RENDERSTATE)) {
            const bool blend = (flags & D3DXSPRITE_ALPHABLEND) != 0;
            device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blend ? 1 : 0);
            device_->SetRenderState(D3DRS_ALPHATESTENABLE, blend ? 1 : 0);
            if (blend) {
                device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
                device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
                device_->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
                device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
                device_->SetRenderState(D3DRS_ALPHAREF, 0);
            }
            device_->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, 0);
            device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        }
        return D3D_OK;
    }

    HRESULT SetTransform(const D3DXMATRIX* transform) override {
        if (!transform) return D3DERR_INVALIDCALL;
        transform_ = *transform;
        return D3D_OK;
    }

    HRESULT GetTransform(D3DXMATRIX* transform) override {
        if (!transform) return D3DERR_INVALIDCALL;
        *transform = transform_;
        return D3D_OK;
    }

    HRESULT Draw(IDirect3DTexture9* texture, const RECT* source_rect, const D3DXVECTOR3* centre,
                 const D3DXVECTOR3* position, D3DCOLOR colour) override {
        if (!begun_ || !texture) return D3DERR_INVALIDCALL;
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(0, &desc);
        RECT src{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
        if (source_rect) src = *source_rect;
        if (src.right <= src.left || src.bottom <= src.top) return D3D_OK;
        if (texture != texture_) {
            Flush();
            texture->AddRef();
            if (texture_) texture_->Release();
            texture_ = texture;
        }
        const D3DXVECTOR3 c = centre ? *centre : D3DXVECTOR3{};
        const D3DXVECTOR3 p = position ? *position : D3DXVECTOR3{};
        const float w = static_cast<float>(src.right - src.left);
        const float h = static_cast<float>(src.bottom - src.top);
        const float tw = static_cast<float>(desc.Width), th = static_cast<float>(desc.Height);
        const float u0 = src.left / tw, u1 = src.right / tw;
        const float v0 = src.top / th, v1 = src.bottom / th;
        const float r = ((colour >> 16) & 0xFF) / 255.0f, g = ((colour >> 8) & 0xFF) / 255.0f;
        const float b = (colour & 0xFF) / 255.0f, a = ((colour >> 24) & 0xFF) / 255.0f;
        auto corner = [&](float x, float y, float u, float v) {
            D3DXVECTOR3 local{x - c.x + p.x, y - c.y + p.y, p.z - c.z};
            D3DXVECTOR3 out;
            D3DXVec3TransformCoord(&out, &local, &transform_);
            return SpriteVertex{out.x, out.y, out.z, r, g, b, a, u, v};
        };
        const SpriteVertex tl = corner(0, 0, u0, v0), tr = corner(w, 0, u1, v0);
        const SpriteVertex bl = corner(0, h, u0, v1), br = corner(w, h, u1, v1);
        if (ExtendsLastQuad(tl, tr, bl, br)) return D3D_OK;
        vertices_.insert(vertices_.end(), {tl, tr, bl, tr, br, bl});
        return D3D_OK;
    }

    HRESULT Flush() override {
        if (!begun_) return D3DERR_INVALIDCALL;
        if (vertices_.empty() || !texture_) return D3D_OK;
        if (device_->lost()) {
            vertices_.clear();
            return D3D_OK;
        }
        auto& res = device_->spriteResources();
        device_->PrepareDraw();
        D3DVIEWPORT9 vp;
        device_->GetViewport(&vp);
        glUseProgram(res.program);
        glUniform2f(res.viewport, static_cast<float>(vp.Width), static_cast<float>(vp.Height));
        DWORD test = 0, func = 0, ref = 0;
        device_->GetRenderState(D3DRS_ALPHATESTENABLE, &test);
        device_->GetRenderState(D3DRS_ALPHAFUNC, &func);
        device_->GetRenderState(D3DRS_ALPHAREF, &ref);
        glUniform1i(res.alphaFunc, test ? static_cast<GLint>(func) : 0);
        glUniform1f(res.alphaRef, static_cast<float>(ref & 0xFF));
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, TextureName(texture_));
        glBindSampler(0, res.sampler);
        glBindVertexArray(res.vertexArray);
        glBindBuffer(GL_ARRAY_BUFFER, res.buffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices_.size() * sizeof(SpriteVertex)),
                     vertices_.data(), GL_STREAM_DRAW);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices_.size()));
        glBindVertexArray(0);
        glBindSampler(0, device_->SamplerObject(0));
        vertices_.clear();
        ++g_spriteDrawCalls;
        GFX_GL_CHECK("sprite flush");
        return D3D_OK;
    }

    HRESULT End() override {
        if (!begun_) return D3DERR_INVALIDCALL;
        Flush();
        if (texture_) texture_->Release();
        texture_ = nullptr;
        if (!(flags_ & D3DXSPRITE_DONOTSAVESTATE)) {
            for (std::size_t i = 0; i < kSpriteStateCount; ++i) {
                device_->SetRenderState(kSpriteStates[i], saved_[i]);
            }
        }
        begun_ = false;
        return D3D_OK;
    }

    HRESULT OnLostDevice() override {
        if (begun_) End();
        return D3D_OK;
    }

    HRESULT OnResetDevice() override { return D3D_OK; }

    HRESULT GetDevice(IDirect3DDevice9** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        device_->AddRef();
        *device = device_;
        return D3D_OK;
    }

    static inline std::uint64_t g_spriteDrawCalls = 0;

private:
    // A quad that continues the last one queued to its right (same rows, same colour, the next
    // texels at the same texels per pixel) widens it instead: a row of one-pixel columns
    // becomes one quad, which the rasteriser shades block by block once instead of twice per
    // column.
    bool ExtendsLastQuad(const SpriteVertex& tl, const SpriteVertex& tr, const SpriteVertex& bl,
                         const SpriteVertex& br) {
        if (vertices_.size() < 6) return false;
        SpriteVertex* last = &vertices_[vertices_.size() - 6];  // tl, tr, bl, tr, br, bl
        const SpriteVertex& ltl = last[0];
        const SpriteVertex& ltr = last[1];
        const SpriteVertex& lbr = last[4];
        auto same = [](const SpriteVertex& a, const SpriteVertex& b) {
            return a.x == b.x && a.y == b.y && a.z == b.z && a.r == b.r && a.g == b.g &&
                   a.b == b.b && a.a == b.a && a.u == b.u && a.v == b.v;
        };
        auto upright = [](const SpriteVertex& l, const SpriteVertex& r, const SpriteVertex& b) {
            return l.y == r.y && l.z == r.z && l.v == r.v && b.x == l.x && b.u == l.u && r.x > l.x &&
                   r.u > l.u;
        };
        if (!same(tl, ltr) || !same(bl, lbr) || !upright(tl, tr, bl) || !upright(ltl, ltr, last[2]) ||
            br.x != tr.x || br.u != tr.u || br.y != bl.y || br.v != bl.v || br.z != bl.z ||
            (tr.x - tl.x) * (ltr.u - ltl.u) != (ltr.x - ltl.x) * (tr.u - tl.u)) {
            return false;
        }
        last[1] = tr;
        last[3] = tr;
        last[4] = br;
        return true;
    }

    DeviceGL* device_;
    D3DXMATRIX transform_;
    bool begun_ = false;
    DWORD flags_ = 0;
    DWORD saved_[kSpriteStateCount] = {};
    IDirect3DTexture9* texture_ = nullptr;
    std::vector<SpriteVertex> vertices_;
};

class FontGL final : public RefCounted<ID3DXFont> {
public:
    FontGL(DeviceGL* device, const D3DXFONT_DESCA& desc) : device_(device), desc_(desc) {
        device_->AddRef();
        desc_.FaceName[sizeof(desc_.FaceName) - 1] = '\0';
    }
    ~FontGL() override { device_->Release(); }

    HRESULT GetDescA(D3DXFONT_DESCA* desc) override {
        if (!desc) return D3DERR_INVALIDCALL;
        *desc = desc_;
        return D3D_OK;
    }
    INT DrawTextA(ID3DXSprite*, const char*, INT, RECT*, DWORD, D3DCOLOR) override { return 0; }
    HRESULT OnLostDevice() override {
        lost_ = true;
        return D3D_OK;
    }
    HRESULT OnResetDevice() override {
        lost_ = false;
        return D3D_OK;
    }

private:
    DeviceGL* device_;
    D3DXFONT_DESCA desc_;
    bool lost_ = false;
};

class RenderToSurfaceGL final : public RefCounted<ID3DXRenderToSurface> {
public:
    RenderToSurfaceGL(DeviceGL* device, UINT width, UINT height, D3DFORMAT format, bool depth)
        : device_(device), width_(width), height_(height), format_(format), depth_(depth) {
        device_->AddRef();
        CreateDepth();
    }
    ~RenderToSurfaceGL() override {
        if (inScene_) EndScene(0);
        DestroyDepth();
        device_->Release();
    }

    HRESULT BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport) override {
        SurfaceGL* s = ToGL(surface);
        if (inScene_ || !s || s->device() != device_ || s->width() != width_ ||
            s->height() != height_ || (depth_ && !depthBuffer_)) {
            return D3DERR_INVALIDCALL;
        }
        D3DVIEWPORT9 vp{0, 0, width_, height_, 0.0f, 1.0f};
        if (viewport) {
            if (viewport->Width == 0 || viewport->Height == 0 ||
                static_cast<std::uint64_t>(viewport->X) + viewport->Width > width_ ||
                static_cast<std::uint64_t>(viewport->Y) + viewport->Height > height_) {
                return D3DERR_INVALIDCALL;
            }
            vp = *viewport;
        }
        device_->MakeCurrent();
        glGenFramebuffers(1, &framebuffer_);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s->texture(),
                               static_cast<GLint>(s->level()));
        if (depthBuffer_) {
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer_);
        }
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            glDeleteFramebuffers(1, &framebuffer_);
            framebuffer_ = 0;
            device_->InvalidateState();
            return D3DERR_INVALIDCALL;
        }
        surface->AddRef();
        surface_ = surface;
        saved_ = RenderTarget{framebuffer_, width_, height_, depthBuffer_ != 0, false, s};
        savedViewport_ = vp;
        device_->SwapTarget(&saved_, &savedViewport_);
        ownScene_ = Succeeded(device_->BeginScene());
        inScene_ = true;
        return D3D_OK;
    }

    HRESULT EndScene(DWORD) override {
        if (!inScene_) return D3DERR_INVALIDCALL;
        if (ownScene_) device_->EndScene();
        device_->SwapTarget(&saved_, &savedViewport_);
        device_->MakeCurrent();
        glDeleteFramebuffers(1, &framebuffer_);
        framebuffer_ = 0;
        surface_->Release();
        surface_ = nullptr;
        inScene_ = false;
        return D3D_OK;
    }

    HRESULT OnLostDevice() override {
        if (inScene_) EndScene(0);
        DestroyDepth();
        return D3D_OK;
    }

    HRESULT OnResetDevice() override {
        if (!depthBuffer_) CreateDepth();
        return D3D_OK;
    }

private:
    void CreateDepth() {
        if (!depth_) return;
        device_->MakeCurrent();
        depthBuffer_ = device_->TakeSpare(true, width_, height_, GL_DEPTH_COMPONENT16);
        if (depthBuffer_) return;
        glGenRenderbuffers(1, &depthBuffer_);
        glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, static_cast<GLsizei>(width_),
                              static_cast<GLsizei>(height_));
    }
    void DestroyDepth() {
        if (!depthBuffer_) return;
        device_->KeepSpare(true, depthBuffer_, width_, height_, GL_DEPTH_COMPONENT16);
        depthBuffer_ = 0;
    }

    DeviceGL* device_;
    UINT width_, height_;
    D3DFORMAT format_;
    bool depth_;
    GLuint depthBuffer_ = 0;
    GLuint framebuffer_ = 0;
    bool inScene_ = false;
    bool ownScene_ = false;
    IDirect3DSurface9* surface_ = nullptr;
    RenderTarget saved_;
    D3DVIEWPORT9 savedViewport_;
};

}  // namespace

std::uint64_t SpriteDrawCalls() { return SpriteGL::g_spriteDrawCalls; }

void WarmUpSpriteBatch(DeviceGL* device) {
    // The image is 3 x 3 because the driver builds separate code for power-of-two sizes, which
    // few pictures have; the engine's images load as A8R8G8B8 and batch with alpha blending.
    IDirect3DTexture9* texture = nullptr;
    if (Failed(device->CreateTexture(3, 3, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                     nullptr))) {
        return;
    }
    auto* sprite = new SpriteGL(device);
    const std::uint64_t drawCalls = SpriteGL::g_spriteDrawCalls;  // not one of the program's
    if (Succeeded(sprite->Begin(D3DXSPRITE_ALPHABLEND))) {
        const D3DXVECTOR3 outside{-1.0e6f, -1.0e6f, 0.0f};
        sprite->Draw(texture, nullptr, nullptr, &outside, 0xFFFFFFFFu);
        sprite->End();
    }
    SpriteGL::g_spriteDrawCalls = drawCalls;
    sprite->Release();
    texture->Release();
}

}  // namespace gl

HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite) {
    if (!device || !sprite) return D3DERR_INVALIDCALL;
    *sprite = new gl::SpriteGL(gl::ToGL(device));
    return D3D_OK;
}

HRESULT D3DXCreateFontIndirectA(IDirect3DDevice9* device, const D3DXFONT_DESCA* desc, ID3DXFont** font) {
    if (!font) return D3DERR_INVALIDCALL;
    *font = nullptr;
    if (!device || !desc) return D3DERR_INVALIDCALL;
    *font = new gl::FontGL(gl::ToGL(device), *desc);
    return D3D_OK;
}

HRESULT D3DXCreateRenderToSurface(IDirect3DDevice9* device, UINT width, UINT height,
                                  D3DFORMAT format, BOOL depth_stencil, D3DFORMAT depth_format,
                                  ID3DXRenderToSurface** render_to_surface) {
    if (!render_to_surface) return D3DERR_INVALIDCALL;
    *render_to_surface = nullptr;
    gl::FormatInfo fi;
    if (!device || width == 0 || height == 0 || width > 16384 || height > 16384 ||
        !gl::LookUpFormat(format, &fi) ||
        (depth_stencil && depth_format != D3DFMT_D16 && depth_format != D3DFMT_D24S8)) {
        return D3DERR_INVALIDCALL;
    }
    *render_to_surface = new gl::RenderToSurfaceGL(gl::ToGL(device), width, height, format, depth_stencil != 0);
    return D3D_OK;
}

}  // namespace platform::gfx
