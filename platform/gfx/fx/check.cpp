// platform/gfx/fx/check.cpp: the checker's driver: the order of its phases and its diagnostics.
#include "platform/gfx/fx/checker.h"

namespace platform::gfx::fx {

// Checks "module" and fills "out"; see check.h.
void Check(Module& module, std::vector<Diagnostic>& diagnostics, CheckedEffect& out) {
    Checker(module, diagnostics, out).run();
}

// The phases in order: names first (so bodies may call functions defined later), then
// declarations, bodies, the call graph, the parameter table, the shader variables (which
// compile functions) and last the techniques, whose state values may name parameters.
void Checker::run() {
    registerGlobals();
    registerFunctions();
    for (VarDecl* g : m_.globals) checkGlobal(g);
    for (FuncDecl* f : m_.functions)
        if (f->body) checkFunction(f);
    checkRecursion();
    buildReflection();
    for (VarDecl* g : m_.globals)
        if (g->type.isShader() && globals_[g->name] == g) checkShaderGlobal(g);
    checkTechniques();
    settleSamplerKinds();
}

// Records diagnostic "id" at a position, with up to three message arguments.
void Checker::report(Diag id, int line, int column, const std::string& a,
                     const std::string& b, const std::string& c) {
    diags_.push_back(MakeDiagnostic(id, line, column, a, b, c));
}

// Records diagnostic "id" at the position of expression "at".
void Checker::report(Diag id, const Expr* at, const std::string& a, const std::string& b,
                     const std::string& c) {
    report(id, at->line, at->column, a, b, c);
}

}  // namespace platform::gfx::fx
