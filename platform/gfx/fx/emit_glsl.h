// platform/gfx/fx/emit_glsl.h: GLSL shaders (3.30 core or ES 3.00) for one pass of a checked
// effect.
#pragma once

#include "platform/gfx/fx/check.h"
#include "platform/gfx/fx/fx.h"

namespace platform::gfx::fx {

// Writes the pass's vertex and fragment shaders, its uniforms, samplers and vertex inputs into
// "out" (name, annotations and render states are the caller's). The module must have passed
// the checker without errors.
void EmitPass(const CheckedEffect& effect, const PassPlan& pass, PassInfo& out,
              GlslTarget target = GlslTarget::Core330);

}  // namespace platform::gfx::fx
