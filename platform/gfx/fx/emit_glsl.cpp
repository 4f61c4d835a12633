// platform/gfx/fx/emit_glsl.cpp: writes GLSL (3.30 core or ES 3.00) from the checked syntax tree. The writer
// is split over files by glsl_emitter.h: glsl_collect (what a stage reaches), glsl_expr,
// glsl_intrinsic, glsl_stmt, glsl_stage (declarations and main functions), glsl_names.
#include "platform/gfx/fx/emit_glsl.h"

#include "platform/gfx/fx/glsl_emitter.h"

namespace platform::gfx::fx {

void EmitPass(const CheckedEffect& effect, const PassPlan& pass, PassInfo& out,
              GlslTarget target) {
    // The stages in use: up to the first whose colour operation is DISABLE (stage 0 keeps
    // Direct3D's default, texture * diffuse, unless the pass changes it).
    out.stagesSet = pass.stagesSet;
    out.stages.clear();
    for (const TextureStage& t : pass.stages) {
        if (t.colorOp == 1) break;
        out.stages.push_back(t);
    }
    glsl::Emitter emitter(effect, out, target);
    out.vertexProfile = pass.vs.profile;
    out.pixelProfile = pass.ps.profile;
    out.vertexGlsl = emitter.stage(pass.vs, true, &pass.ps);
    out.fragmentGlsl = emitter.stage(pass.ps, false, &pass.vs);
    out.fixedVertex = !pass.vs.present();
    out.fixedPixel = !pass.ps.present();
    out.deviceSamplers = 0;
    if (out.fixedPixel) out.deviceSamplers = (1u << out.stages.size()) - 1;
    if (pass.ps.program) out.deviceSamplers |= pass.ps.program->samplers;
    if (pass.vs.program) out.deviceSamplers |= pass.vs.program->samplers;
}

}  // namespace platform::gfx::fx
