// platform/gfx/gl/device_draw_gl.cpp: the device's clears, scenes and copies, and DrawPrimitive
// (with the device's fixed program, or the program an effect pass put in its place).

#include "platform/gfx/gl/gl_api.h"

#include "platform/gfx/gl/gl_internal.h"

namespace platform::gfx::gl {

// ---------------------------------------------------------------------------------------------
// Clears, scenes, copies
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
// Drawing with the fixed program
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

}  // namespace platform::gfx::gl
