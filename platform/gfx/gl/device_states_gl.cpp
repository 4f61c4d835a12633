// platform/gfx/gl/device_states_gl.cpp: the device's render, sampler and transform states,
// viewport and scissor, and their application to GL before a draw (PrepareDraw).

#include "platform/gfx/gl/gl_api.h"

#include <cmath>
#include <cstring>

#include "platform/gfx/gl/gl_internal.h"

namespace platform::gfx::gl {

namespace {

D3DMATRIX Identity() {
    D3DMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// States
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
    // Antialiased lines: GL's smooth lines put each fragment's coverage in its alpha, which
    // the blend then weighs with. Sent to GL only while the state is or was on.
    if (rs[D3DRS_ANTIALIASEDLINEENABLE] != 0 || lineSmoothOn_) {
        lineSmoothOn_ = rs[D3DRS_ANTIALIASEDLINEENABLE] != 0;
        SetLineSmooth(lineSmoothOn_);
    }
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
    GLuint name = TextureName(texture);
    // SRGBTEXTURE decodes the texels from sRGB to linear on lookup: the register samples an
    // sRGB copy of the texture (the texture as it is where its format has no sRGB form).
    if (name && samplerStates_[sampler][D3DSAMP_SRGBTEXTURE] != 0) {
        if (const GLuint copy = ToGL(texture)->SrgbCopy()) name = copy;
    }
    glActiveTexture(GL_TEXTURE0 + sampler);
    glBindTexture(GL_TEXTURE_2D, name);
    if (sampler < samplerObjects_.size()) {
        glBindSampler(sampler, samplerObjects_[sampler]);
    } else {
        glBindSampler(sampler, 0);
    }
}

}  // namespace platform::gfx::gl
