// platform/gfx/gl/effect_fixed_gl.cpp: the generated fixed-function stages' uniforms.
#include "platform/gfx/gl/effect_fixed_gl.h"

#include "platform/gfx/gl/gl_internal.h"

#include <cmath>
#include <cstring>
#include <string>

namespace platform::gfx::gl {

namespace {

float FloatState(IDirect3DDevice9* device, D3DRENDERSTATETYPE state) {
    DWORD bits = 0;
    device->GetRenderState(state, &bits);
    float f = 0;
    std::memcpy(&f, &bits, sizeof f);
    return std::isfinite(f) ? f : 0.0f;
}

void Colour(GLint location, DWORD c) {
    float rgba[4];
    ColourToFloats(c, rgba);
    glUniform4fv(location, 1, rgba);
}

}  // namespace

FixedUniforms LookUpFixedUniforms(GLuint program, const fx::PassInfo& pass) {
    FixedUniforms u;
    u.wv = glGetUniformLocation(program, "fx_ff_wv");
    u.view = glGetUniformLocation(program, "fx_ff_view");
    u.world = glGetUniformLocation(program, "fx_ff_world");
    u.ambient = glGetUniformLocation(program, "fx_ff_ambient");
    u.fog = glGetUniformLocation(program, "fx_ff_fog");
    u.fogColor = glGetUniformLocation(program, "fx_ff_fogcolor");
    u.point = glGetUniformLocation(program, "fx_ff_point");
    u.pointScale = glGetUniformLocation(program, "fx_ff_pscale");
    u.alphaFunc = glGetUniformLocation(program, "fx_ff_alphafunc");
    u.alphaRef = glGetUniformLocation(program, "fx_ff_alpharef");
    for (int n = 0; n < 8; ++n) u.tex[n] = glGetUniformLocation(program, ("fx_ff_tex" + std::to_string(n)).c_str());
    for (const fx::FixedValue& v : pass.fixedValues) u.values.push_back(glGetUniformLocation(program, v.uniform.c_str()));
    return u;
}

void UploadFixedUniforms(IDirect3DDevice9* device, const fx::PassInfo& pass, const FixedUniforms& u,
                         const std::function<double(int, int)>& parameter) {
    if (u.wv >= 0 || u.view >= 0) {
        D3DMATRIX w, v, wv;
        device->GetTransform(D3DTS_WORLD, &w);
        device->GetTransform(D3DTS_VIEW, &v);
        D3DXMatrixMultiply(&wv, &w, &v);
        if (u.wv >= 0) glUniformMatrix4fv(u.wv, 1, GL_FALSE, &wv.m[0][0]);
        if (u.view >= 0) glUniformMatrix4fv(u.view, 1, GL_FALSE, &v.m[0][0]);
    }
    if (u.world >= 0) {
        D3DMATRIX w;
        device->GetTransform(D3DTS_WORLD, &w);
        glUniformMatrix4fv(u.world, 1, GL_FALSE, &w.m[0][0]);
    }
    for (int n = 0; n < 8; ++n) {
        if (u.tex[n] < 0) continue;
        D3DMATRIX t;
        device->GetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + n), &t);
        glUniformMatrix4fv(u.tex[n], 1, GL_FALSE, &t.m[0][0]);
    }
    DWORD word = 0;
    if (u.ambient >= 0) {
        device->GetRenderState(D3DRS_AMBIENT, &word);
        Colour(u.ambient, word);
    }
    if (u.fogColor >= 0) {
        device->GetRenderState(D3DRS_FOGCOLOR, &word);
        Colour(u.fogColor, word);
    }
    if (u.fog >= 0) {
        // Table fog reads the camera-space depth where the projection's w carries it (a
        // perspective matrix with _34 = 1), else the depth-buffer value.
        D3DMATRIX proj;
        device->GetTransform(D3DTS_PROJECTION, &proj);
        const bool wFog = proj.m[2][3] == 1.0f && proj.m[3][3] == 0.0f;
        glUniform4f(u.fog, FloatState(device, D3DRS_FOGSTART), FloatState(device, D3DRS_FOGEND),
                    FloatState(device, D3DRS_FOGDENSITY), wFog ? 1.0f : 0.0f);
    }
    if (u.point >= 0) {
        D3DVIEWPORT9 vp{};
        device->GetViewport(&vp);
        glUniform4f(u.point, FloatState(device, D3DRS_POINTSIZE), FloatState(device, D3DRS_POINTSIZE_MIN),
                    FloatState(device, D3DRS_POINTSIZE_MAX), static_cast<float>(vp.Height));
    }
    if (u.pointScale >= 0)
        glUniform4f(u.pointScale, FloatState(device, D3DRS_POINTSCALE_A), FloatState(device, D3DRS_POINTSCALE_B),
                    FloatState(device, D3DRS_POINTSCALE_C), 0.0f);
    if (u.alphaFunc >= 0) {
        DWORD on = 0, func = 0, ref = 0;
        device->GetRenderState(D3DRS_ALPHATESTENABLE, &on);
        device->GetRenderState(D3DRS_ALPHAFUNC, &func);
        device->GetRenderState(D3DRS_ALPHAREF, &ref);
        glUniform1i(u.alphaFunc, AlphaTestFunction(on, func));
        if (u.alphaRef >= 0) glUniform1f(u.alphaRef, static_cast<float>(ref & 0xFF));
    }
    // User clip planes: GL's clip distances of those the program measures are on where the
    // device's ClipPlaneEnable names them.
    DWORD clipEnabled = 0;
    if (pass.clipPlanes) {
        device->GetRenderState(D3DRS_CLIPPLANEENABLE, &clipEnabled);
#ifdef GL_CLIP_DISTANCE0
        for (GLenum n = 0; n < 6; ++n) {
            if (!(pass.clipPlanes & (1u << n))) continue;
            if (clipEnabled & (1u << n)) glEnable(GL_CLIP_DISTANCE0 + n);
            else glDisable(GL_CLIP_DISTANCE0 + n);
        }
#endif
    }
    for (std::size_t i = 0; i < pass.fixedValues.size() && i < u.values.size(); ++i) {
        if (u.values[i] < 0) continue;
        const fx::FixedValue& f = pass.fixedValues[i];
        double x[4] = {0, 0, 0, 1};
        for (std::size_t c = 0; c < f.programs.size() && c < 4; ++c)
            if (!fx::RunStateProgram(f.programs[c], parameter, x[c]) || !std::isfinite(x[c])) x[c] = 0;
        if (f.programs.size() == 1) x[1] = x[2] = x[0];  // one value for a vector: grey, opaque
        // A user clip plane ClipPlaneEnable leaves off measures every point inside (w and a
        // world position's w are positive), whether or not the driver honours the switch.
        const bool planeOff = f.uniform.rfind("fx_clip", 0) == 0 && !(clipEnabled & (1u << (f.uniform.back() - '0')));
        if (planeOff) glUniform4f(u.values[i], 0.0f, 0.0f, 0.0f, 1.0f);
        else if (f.components == 1) glUniform1f(u.values[i], static_cast<float>(x[0]));
        else glUniform4f(u.values[i], static_cast<float>(x[0]), static_cast<float>(x[1]), static_cast<float>(x[2]),
                         static_cast<float>(x[3]));
    }
#ifdef GL_PROGRAM_POINT_SIZE
    if ((pass.fixedVertex && pass.fixedStage.pointSize) || pass.shaderPointSize) glEnable(GL_PROGRAM_POINT_SIZE);
#endif
}

void EndFixedUniforms(const fx::PassInfo& pass) {
#ifdef GL_PROGRAM_POINT_SIZE
    if ((pass.fixedVertex && pass.fixedStage.pointSize) || pass.shaderPointSize) glDisable(GL_PROGRAM_POINT_SIZE);
#endif
#ifdef GL_CLIP_DISTANCE0
    for (GLenum n = 0; n < 6; ++n)
        if (pass.clipPlanes & (1u << n)) glDisable(GL_CLIP_DISTANCE0 + n);
#endif
    (void)pass;
}

}  // namespace platform::gfx::gl
