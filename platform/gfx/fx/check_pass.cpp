// platform/gfx/fx/check_pass.cpp: techniques and passes: each pass's shaders, render states and
// the match of the vertex stage's outputs with the pixel stage's inputs.
#include "platform/gfx/fx/checker.h"

#include <unordered_set>

namespace platform::gfx::fx {

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
            for (AnnotationDecl& a : p->annotations) checkAnnotation(a);
            PassPlan pp;
            pp.decl = p;
            for (const AnnotationDecl& a : p->annotations) pp.annotations.push_back(annotationInfo(a));
            int psLine = 0, psColumn = 0;
            for (StateAssign& a : p->states) {
                if (EqualsNoCase(a.name, "VertexShader")) {
                    checkEntry(a, true, pp.vs);
                    continue;
                }
                if (EqualsNoCase(a.name, "PixelShader")) {
                    checkEntry(a, false, pp.ps);
                    psLine = a.line;
                    psColumn = a.column;
                    continue;
                }
                const StateRow* row = findState(RenderStates(), a.name);
                if (!row) {
                    report(Diag::UnknownState, a.line, a.column,
                           std::string(a.name.substr(0, 40)));
                    continue;
                }
                if (!row->applied || a.index >= 0) {
                    report(Diag::IgnoredState, a.line, a.column, row->name);
                    continue;
                }
                std::uint32_t value = 0;
                if (!stateValue(a.value, row->kind, value)) {
                    report(Diag::BadStateValue, a.line, a.column, row->name);
                    continue;
                }
                pp.renderStates.push_back({row->code, value});
            }
            if (!pp.vs.func && !pp.ps.func) {
                bool setAny = false;
                for (StateAssign& a : p->states)
                    setAny = setAny || EqualsNoCase(a.name, "VertexShader") ||
                             EqualsNoCase(a.name, "PixelShader");
                if (!setAny)
                    report(Diag::EmptyPass, p->line, p->column, std::string(p->name));
            }
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
