// platform/gfx/fx/check_pass.cpp: techniques and passes: each pass's shaders, render states and
// the match of the vertex stage's outputs with the pixel stage's inputs.
#include "platform/gfx/fx/checker.h"

#include <algorithm>
#include <unordered_set>

namespace platform::gfx::fx {

namespace {

constexpr std::size_t kMaxShaderCombinations = 256;

}  // namespace

// technique := technique [name] [< annotations >] { pass... }
// pass := pass [name] [< annotations >] { state = value; ... }
// A pass sets its shaders and render states; every pixel-stage input must be written by the
// vertex stage (VPOS, VFACE and POSITION come from the rasteriser).
void Checker::checkTechniques() {
    if (m_.techniques.empty()) {
        report(Diag::NoTechnique, m_.endLine, m_.endColumn);
        return;
    }
    std::unordered_set<std::string_view> names;
    for (TechniqueDecl* t : m_.techniques) {
        if (!t->name.empty() && !names.insert(t->name).second)
            report(Diag::DuplicateTechnique, t->line, t->column, std::string(t->name));
        for (AnnotationDecl& a : t->annotations) checkAnnotation(a);
        TechniquePlan plan;
        plan.decl = t;
        for (const AnnotationDecl& a : t->annotations) plan.annotations.push_back(annotationInfo(a));
        for (PassDecl* p : t->passes) {
            const PassPlan* previous = plan.passes.empty() ? nullptr : &plan.passes.back();
            for (AnnotationDecl& a : p->annotations) checkAnnotation(a);
            PassPlan pp;
            pp.decl = p;
            // Direct3D's defaults: stage 0 modulates its texture by the diffuse colour and takes
            // the texture's alpha; later stages are off.
            pp.stages[0].colorOp = 4;
            pp.stages[0].alphaOp = 2;
            for (std::uint32_t n = 0; n < 8; ++n) pp.stages[n].texCoordIndex = n;
            for (const AnnotationDecl& a : p->annotations) pp.annotations.push_back(annotationInfo(a));
            int psLine = 0, psColumn = 0;
            bool setsVs = false, setsPs = false;
            std::vector<DeferredState> deferred;  // judged once the shaders are known
            for (StateAssign& a : p->states) {
                if (EqualsNoCase(a.name, "VertexShader")) {
                    passStage(a, true, pp);
                    setsVs = true;
                    continue;
                }
                if (EqualsNoCase(a.name, "PixelShader")) {
                    passStage(a, false, pp);
                    setsPs = true;
                    psLine = a.line;
                    psColumn = a.column;
                    continue;
                }
                if (fixedFunctionState(a, pp)) continue;
                if (!passState(a, pp, deferred))
                    report(Diag::UnknownState, a.line, a.column, std::string(a.name.substr(0, 40)));
            }
            // A pass that leaves a shader alone draws with the one the pass before it left on
            // the device, and with the constant registers that pass set for it, as the effect
            // framework applies only the states a pass names ("pass P1 { VertexShaderConstant[5]
            // = {1, 0, 0, 0}; }" after a pass that set the shader and its other registers).
            if (previous) {
                for (const bool vertex : {true, false}) {
                    if (vertex ? setsVs : setsPs) continue;
                    (vertex ? pp.vs : pp.ps) = vertex ? previous->vs : previous->ps;
                    (vertex ? pp.vsChoice : pp.psChoice) = vertex ? previous->vsChoice : previous->psChoice;
                    for (const ShaderConstant& c : previous->constants)
                        if (c.vertex == vertex) pp.constants.push_back(c);
                }
            }
            // Texture-stage states mean nothing beside a shader of their stage; without one the
            // generated fixed-function stage must be able to honour them.
            const bool vertexShader = pp.vs.present() || !pp.vsChoice.choices.empty();
            const bool pixelShader = pp.ps.present() || !pp.psChoice.choices.empty();
            for (const DeferredState& d : deferred) {
                const bool vertex = d.row->fate == Fate::Vertex;
                if (d.row->group == StateGroup::ShaderConstant) {
                    shaderConstant(*d.assign, *d.row, pp);
                } else if (d.row->fate == Fate::Pixel && d.row->group == StateGroup::Render) {
                    // Render states of the fixed-function pixel stage, computed by the generated
                    // one; where a state names what is lost beside a pixel shader, it is warned.
                    // Fog still blends pixel shaders below model 3 written in HLSL.
                    const bool fogged = EqualsNoCase(d.row->name, "FogEnable") && pp.psChoice.choices.empty() &&
                                        pp.ps.func && pp.ps.profile.rfind("ps_3", 0) != 0;
                    if (pixelShader && !d.off && d.row->lost[0] && !fogged)
                        report(Diag::LostState, d.assign->line, d.assign->column, d.row->name, d.row->lost);
                } else if (d.row->group != StateGroup::TextureStage) {
                    if (!vertexShader && !d.off && d.row->lost[0])
                        report(Diag::LostState, d.assign->line, d.assign->column, d.row->name, d.row->lost);
                } else if ((vertex ? vertexShader : pixelShader) && !d.off) {
                    // A texture-stage state left at Direct3D's default is not worth a word.
                    report(Diag::IgnoredState, d.assign->line, d.assign->column, d.row->name);
                }
            }
            checkFixedFunction(p, pp);
            // Each combination of shader-array choices is a program of its own.
            if (std::max<std::size_t>(1, pp.vsChoice.choices.size()) *
                    std::max<std::size_t>(1, pp.psChoice.choices.size()) > kMaxShaderCombinations)
                report(Diag::UnsupportedFeature, p->line, p->column,
                       "a pass with more than " + std::to_string(kMaxShaderCombinations) +
                           " combinations of shader-array choices");
            if (pp.vs.func && pp.ps.func) {
                std::vector<IoVar> vin, vout, pin, pout;
                CollectIo(*pp.vs.func, pp.vs.boundArgs, vin, vout);
                CollectIo(*pp.ps.func, pp.ps.boundArgs, pin, pout);
                for (const IoVar& i : pin) {
                    if (i.semantic == "VPOS0" || i.semantic == "VFACE0" ||
                        i.semantic == "POSITION0")
                        continue;
                    bool written = false;
                    for (const IoVar& o : vout) written = written || o.semantic == i.semantic;
                    if (!written)
                        report(Diag::UnmatchedSemantic, psLine, psColumn, i.semantic);
                }
            }
            plan.passes.push_back(std::move(pp));
        }
        out_.techniques.push_back(std::move(plan));
    }
}

}  // namespace platform::gfx::fx
