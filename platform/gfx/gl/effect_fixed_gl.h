// platform/gfx/gl/effect_fixed_gl.h: the uniforms of the generated fixed-function stages (see
// platform/gfx/fx/glsl_fixed.cpp), set from the device's states and the pass's light and
// material values when an effect pass begins or commits changes.
#pragma once

#include <functional>
#include <vector>

#include "platform/gfx/fx/fx.h"
#include "platform/gfx/gl/gl_api.h"
#include "platform/gfx/gfx.h"

namespace platform::gfx::gl {

struct FixedUniforms {
    GLint wv = -1, view = -1, world = -1, ambient = -1, fog = -1, fogColor = -1, point = -1, pointScale = -1;
    GLint alphaFunc = -1, alphaRef = -1;
    GLint tex[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    std::vector<GLint> values;  // parallel to PassInfo::fixedValues
};

// The locations in "program" (bound) of what the pass's generated stages read.
FixedUniforms LookUpFixedUniforms(GLuint program, const fx::PassInfo& pass);

// Sets them on the bound program: transforms and render states from "device", the lights' and
// material's members from their programs ("parameter(p, c)": component c of parameter p).
// Turns program point sizes on for a pass whose generated vertex stage writes them, and GL's
// clip distances of the user clip planes the pass measures where the device's ClipPlaneEnable
// names them (a plane it leaves off clips nothing); call EndFixedUniforms when the pass ends.
void UploadFixedUniforms(IDirect3DDevice9* device, const fx::PassInfo& pass, const FixedUniforms& u,
                         const std::function<double(int, int)>& parameter);
void EndFixedUniforms(const fx::PassInfo& pass);

}  // namespace platform::gfx::gl
