// platform/gfx/fx/emit_glsl.cpp: writes GLSL (3.30 core or ES 3.00) from the checked syntax tree. The writer
// is split over files by glsl_emitter.h: glsl_collect (what a stage reaches), glsl_expr,
// glsl_intrinsic, glsl_stmt, glsl_stage (declarations and main functions), glsl_names.
#include "platform/gfx/fx/emit_glsl.h"

#include "platform/gfx/fx/glsl_emitter.h"

namespace platform::gfx::fx {

namespace {

// The shape of the fixed-function vertex and pixel processing from the render and stage
// states the pass sets as constants (Direct3D's defaults for the others; the last value set
// counts).
FixedVertexStage FixedStageOf(const PassPlan& pass) {
    FixedVertexStage f;
    // The alpha test is the device's: an application may turn it on for a pass that never
    // names it, so every pixel stage tests unless the pass turns the test off itself.
    f.alphaTest = true;
    for (const StateValue& v : pass.renderStates) {
        const bool on = v.value != 0;
        switch (v.state) {
            case 15: f.alphaTest = on; break;            // ALPHATESTENABLE
            case 194: f.srgbWrite = on; break;           // SRGBWRITEENABLE
            case 9: f.flatShade = v.value == 1; break;   // SHADEMODE: FLAT
            case 28: f.fog = on; break;                  // FOGENABLE
            case 29: f.specular = on; break;             // SPECULARENABLE
            case 35: f.fogTableMode = v.value; break;    // FOGTABLEMODE
            case 48: f.rangeFog = on; break;             // RANGEFOGENABLE
            case 137: f.lighting = on; break;            // LIGHTING
            case 140: f.fogVertexMode = v.value; break;  // FOGVERTEXMODE
            case 141: f.colorVertex = on; break;         // COLORVERTEX
            case 142: f.localViewer = on; break;         // LOCALVIEWER
            case 143: f.normalizeNormals = on; break;    // NORMALIZENORMALS
            case 145: f.diffuseSource = v.value; break;
            case 146: f.specularSource = v.value; break;
            case 147: f.ambientSource = v.value; break;
            case 148: f.emissiveSource = v.value; break;
            case 154: case 155: case 158: case 159: case 160: case 166:  // point size and scale
                f.pointSize = true;
                break;
            case 156: f.pointSprite = on; f.pointSize = true; break;  // POINTSPRITEENABLE
            case 157: f.pointScale = on; f.pointSize = true; break;   // POINTSCALEENABLE
            default: break;
        }
    }
    // A state computed from parameters may turn alpha testing on: the test then runs, with
    // the device's function and reference.
    for (const StateExpression& e : pass.stateExpressions)
        if (!e.sampler && e.state == 15) f.alphaTest = true;
    for (int n = 0; n < 8; ++n) {
        if (pass.lightEnabled & (1u << n))
            f.lightTypes[n] = pass.lightTypes[n] >= 1 && pass.lightTypes[n] <= 3 ? pass.lightTypes[n] : 3;
        f.texCoordIndex[n] = pass.stages[n].texCoordIndex;
        f.transformFlags[n] = pass.transformFlags[n];
    }
    return f;
}

}  // namespace

void EmitPass(const CheckedEffect& effect, const PassPlan& pass, PassInfo& out,
              GlslTarget target) {
    out.fixedStage = FixedStageOf(pass);
    out.fixedValues = pass.fixedValues;
    // An enabled light's members the pass leaves alone keep Direct3D's default light: white
    // diffuse, shining along +z, everything else zero.
    for (int n = 0; n < 8; ++n) {
        if (!out.fixedStage.lightTypes[n]) continue;
        const std::string l = "fx_ff_l" + std::to_string(n) + "_";
        auto fallback = [&](const std::string& member, std::initializer_list<double> v) {
            for (const FixedValue& f : out.fixedValues)
                if (f.uniform == l + member) return;
            FixedValue f{l + member, 4, {}};
            for (double x : v) f.programs.push_back({StateOp::Number(x)});
            out.fixedValues.push_back(std::move(f));
        };
        fallback("Diffuse", {1, 1, 1, 0});
        fallback("Direction", {0, 0, 1, 0});
    }
    // The stages in use: up to the first whose colour operation is DISABLE (stage 0 keeps
    // Direct3D's default, texture * diffuse, unless the pass changes it).
    // A pass without shaders draws with the generated program (not the device's own, which
    // neither lights nor fogs) once it sets a stage state or asks for any of that.
    const FixedVertexStage& f = out.fixedStage;
    bool generated = f.lighting || f.fog || f.specular || f.pointSize || !out.fixedValues.empty();
    for (int n = 0; n < 8; ++n) generated = generated || f.transformFlags[n] || (f.texCoordIndex[n] >> 16);
    out.stagesSet = pass.stagesSet || generated;
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
