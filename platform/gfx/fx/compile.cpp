// platform/gfx/fx/compile.cpp: the compiler's driver: lexer, preprocessor, parser, checker and
// emitter in turn, with every internal failure turned into a diagnostic.
#include <algorithm>
#include <cctype>
#include <deque>
#include <exception>
#include <new>

#include "platform/gfx/fx/ast.h"
#include "platform/gfx/fx/check.h"
#include "platform/gfx/fx/emit_glsl.h"
#include "platform/gfx/fx/fx.h"
#include "platform/gfx/fx/lexer.h"
#include "platform/gfx/fx/parser.h"
#include "platform/gfx/fx/preprocessor.h"

namespace platform::gfx::fx {
namespace {

bool HasErrors(const std::vector<Diagnostic>& diags) {
    return std::any_of(diags.begin(), diags.end(),
                       [](const Diagnostic& d) { return d.severity == Severity::Error; });
}

// A pass whose stages come from shader arrays gets one variant per combination of choices
// (the vertex choice varying slowest); the pass's own fields hold the first.
void EmitVariants(const CheckedEffect& checked, const PassPlan& plan, PassInfo& pass,
                  GlslTarget target) {
    const StageChoice* stages[2] = {&plan.vsChoice, &plan.psChoice};
    std::size_t counts[2] = {1, 1};
    for (int s = 0; s < 2; ++s) {
        if (stages[s]->choices.empty()) continue;
        counts[s] = stages[s]->choices.size();
        ShaderSelector selector;
        selector.vertex = s == 0;
        selector.count = static_cast<int>(counts[s]);
        selector.index = stages[s]->index;
        pass.selectors.push_back(std::move(selector));
    }
    if (pass.selectors.empty()) return;
    for (std::size_t v = 0; v < counts[0]; ++v) {
        for (std::size_t p = 0; p < counts[1]; ++p) {
            PassPlan one = plan;
            if (!plan.vsChoice.choices.empty()) one.vs = plan.vsChoice.choices[v];
            if (!plan.psChoice.choices.empty()) one.ps = plan.psChoice.choices[p];
            PassInfo variant;
            variant.name = pass.name;
            EmitPass(checked, one, variant, target);
            pass.variants.push_back(std::move(variant));
        }
    }
}

bool NamesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// OpenGL ES draws every polygon solid: a pass that asks for points or wireframe is told so at
// its FillMode assignment.
void WarnFillMode(const PassPlan& plan, std::vector<Diagnostic>& diags) {
    constexpr std::uint32_t kFillModeState = 8, kPoint = 1, kWireframe = 2;
    for (const StateValue& v : plan.renderStates) {
        if (v.state != kFillModeState || (v.value != kPoint && v.value != kWireframe)) continue;
        int line = plan.decl->line, column = plan.decl->column;
        for (const StateAssign& a : plan.decl->states) {
            if (!NamesEqual(a.name, "FillMode")) continue;
            line = a.line;
            column = a.column;
        }
        diags.push_back(MakeDiagnostic(Diag::SolidFillOnly, line, column,
                                       std::string(plan.decl->name),
                                       v.value == kPoint ? "POINT" : "WIREFRAME"));
    }
}

// OpenGL ES takes a flat colour from a triangle's last vertex, Direct3D from its first.
void WarnFlatShade(const PassPlan& plan, std::vector<Diagnostic>& diags) {
    constexpr std::uint32_t kShadeModeState = 9, kFlat = 1;
    for (const StateValue& v : plan.renderStates) {
        if (v.state != kShadeModeState || v.value != kFlat) continue;
        int line = plan.decl->line, column = plan.decl->column;
        for (const StateAssign& a : plan.decl->states) {
            if (!NamesEqual(a.name, "ShadeMode")) continue;
            line = a.line;
            column = a.column;
        }
        diags.push_back(MakeDiagnostic(Diag::LastVertexFlat, line, column, std::string(plan.decl->name)));
    }
}

void Run(std::string_view source, const CompileOptions& options, CompileResult& result,
         std::vector<std::string>& files) {
    std::vector<Diagnostic>& diags = result.diagnostics;
    if (source.size() > options.maxSourceBytes) {
        diags.push_back(MakeDiagnostic(Diag::UnsupportedFeature, 1, 1, "a source this large"));
        return;
    }
    // A text handed over with its terminating zero ends there.
    const std::size_t nul = source.find('\0');
    if (nul != std::string_view::npos) source = source.substr(0, nul);
    const std::vector<Token> raw = Lex(source, diags);
    std::deque<std::string> arena;
    PreprocessLimits preprocess;
    preprocess.maxIncludeDepth = options.maxIncludeDepth;
    preprocess.maxIncludedBytes = options.maxSourceBytes;
    preprocess.sourceName = options.sourceName;
    preprocess.defines = options.defines;
    const std::vector<Token> tokens =
        Preprocess(raw, arena, diags, preprocess, &options.include, &files);
    Module module;
    ParseLimits limits;
    limits.maxDepth = options.maxNesting;
    limits.maxErrors = options.maxErrors;
    Parse(tokens, module, diags, limits);
    if (HasErrors(diags)) return;
    CheckedEffect checked;
    Check(module, diags, checked);
    if (HasErrors(diags)) return;
    result.parameters = checked.parameters;
    for (const TechniquePlan& t : checked.techniques) {
        TechniqueInfo info;
        info.name = std::string(t.decl->name);
        info.annotations = t.annotations;
        for (const PassPlan& p : t.passes) {
            PassInfo pass;
            pass.name = std::string(p.decl->name);
            pass.renderStates = p.renderStates;
            pass.annotations = p.annotations;
            pass.transforms = p.transforms;
            pass.textures = p.textures;
            pass.samplerStates = p.samplerStates;
            pass.stateExpressions = p.stateExpressions;
            pass.fvf = p.fvf;
            pass.constants = p.constants;
            EmitPass(checked, p, pass, options.glsl);
            EmitVariants(checked, p, pass, options.glsl);
            if (options.glsl == GlslTarget::Es300) {
                WarnFillMode(p, diags);
                WarnFlatShade(p, diags);
            }
            info.passes.push_back(std::move(pass));
        }
        result.techniques.push_back(std::move(info));
    }
}

}  // namespace

CompileResult Compile(std::string_view source, const CompileOptions& options) {
    CompileResult result;
    std::vector<std::string> files;
    try {
        Run(source, options, result, files);
    } catch (const std::bad_alloc&) {
        result.diagnostics.push_back(MakeDiagnostic(Diag::UnsupportedFeature, 1, 1, "an effect this large (out of memory)"));
    } catch (const std::exception& e) {
        // A fault of the compiler itself: reported, never thrown at the caller (the fuzz
        // target treats this diagnostic as a finding).
        result.diagnostics.push_back(MakeDiagnostic(Diag::InternalError, 1, 1, e.what()));
    }
    std::stable_sort(result.diagnostics.begin(), result.diagnostics.end(),
                     [](const Diagnostic& a, const Diagnostic& b) {
                         return a.line != b.line ? a.line < b.line : a.column < b.column;
                     });
    // Positions in included files name their file again.
    for (Diagnostic& d : result.diagnostics) {
        const auto file = static_cast<std::size_t>(FileOfLine(d.line));
        if (file == 0 || file >= files.size()) continue;
        d.file = files[file];
        d.line = LineInFile(d.line);
    }
    result.ok = !HasErrors(result.diagnostics);
    if (!result.ok) {
        result.parameters.clear();
        result.techniques.clear();
    }
    return result;
}

int CompileResult::FindParameter(std::string_view name) const {
    for (std::size_t i = 0; i < parameters.size(); ++i)
        if (parameters[i].name == name) return static_cast<int>(i);
    return -1;
}

int CompileResult::FindTechnique(std::string_view name) const {
    for (std::size_t i = 0; i < techniques.size(); ++i)
        if (techniques[i].name == name) return static_cast<int>(i);
    return -1;
}

}  // namespace platform::gfx::fx
