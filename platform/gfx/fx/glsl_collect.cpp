// platform/gfx/fx/glsl_collect.cpp: what a stage reaches: functions, globals, and the parameters it writes.
#include "platform/gfx/fx/glsl_emitter.h"

namespace platform::gfx::fx::glsl {

void Emitter::collectFunctions(const FuncDecl* f) {
    if (std::find(funcs_.begin(), funcs_.end(), f) != funcs_.end() || visiting_.count(f))
        return;
    visiting_.insert(f);
    for (const FuncDecl* c : f->callees) collectFunctions(c);
    visiting_.erase(f);
    funcs_.push_back(f);  // callees first
}

void Emitter::collectGlobals(const Expr* e) {
    if (!e) return;
    if (e->kind == ExprKind::Name && e->var && e->var->isGlobal) addGlobal(e->var);
    for (const Expr* a : e->args) collectGlobals(a);
}

void Emitter::collectGlobals(const Stmt* s) {
    EachExpression(s, [this](const Expr* e) { collectGlobals(e); });
}

void Emitter::addGlobal(const VarDecl* v) {
    if (globalSet_.count(v)) return;
    globalSet_.insert(v);
    globals_.push_back(v);
}

// The variable an l-value "e" writes to (through members, indices, swizzles and casts), or null.
const VarDecl* Emitter::writtenVariable(const Expr* e) {
    while (e->kind == ExprKind::Member || e->kind == ExprKind::Index || e->kind == ExprKind::Cast) e = e->args[0];
    return e->kind == ExprKind::Name ? e->var : nullptr;
}

void Emitter::noteWrite(const Expr* target) {
    if (target->kind == ExprKind::Construct) {
        for (const Expr* part : target->args) noteWrite(part);
        return;
    }
    const VarDecl* v = writtenVariable(target);
    if (v && v->isGlobal && !(v->storage & kStorageStatic)) written_.insert(v);
}

// Finds the uniform parameters a stage writes: HLSL lets a shader change a parameter for
// the rest of its invocation, GLSL does not, so each becomes a private copy.
void Emitter::collectWrites(const Expr* e) {
    if (!e) return;
    switch (e->kind) {
        case ExprKind::Assign: case ExprKind::Postfix: noteWrite(e->args[0]); break;
        case ExprKind::Unary:
            if (e->op == Tok::PlusPlus || e->op == Tok::MinusMinus) noteWrite(e->args[0]);
            break;
        case ExprKind::Call:
            for (std::size_t i = 0; i < e->args.size(); ++i)
                if (writesArgument(e, i)) noteWrite(e->args[i]);
            break;
        default: break;
    }
    for (const Expr* a : e->args) collectWrites(a);
}

void Emitter::collectWrites(const Stmt* s) {
    EachExpression(s, [this](const Expr* e) { collectWrites(e); });
}

// Whether call "e" writes its argument "i" (an out or inout parameter).
bool Emitter::writesArgument(const Expr* e, std::size_t i) {
    if (e->ref == Ref::Function)
        return i < e->func->params.size() && (e->func->params[i]->storage & kStorageOut);
    if (e->ref != Ref::Intrinsic || i >= 32) return false;
    return (IntrinsicRowOf(e->intrinsic).outArgs >> i) & 1u;
}

// The static locals of the reachable functions ("static float n = 0;" inside a body).
void Emitter::collectStaticLocals(const Stmt* s) {
    if (!s) return;
    for (const VarDecl* v : s->decls)
        if (v->storage & kStorageStatic) staticLocals_.push_back(v);
    collectStaticLocals(s->init);
    collectStaticLocals(s->then);
    collectStaticLocals(s->otherwise);
    for (const Stmt* b : s->body) collectStaticLocals(b);
}

// Static globals' initialisers may name further globals and call functions, which the stage
// then needs too (with the globals those read).
void Emitter::closeGlobals() {
    for (std::size_t i = 0; i < globals_.size(); ++i)
        if (globals_[i]->storage & kStorageStatic) {
            collectGlobals(globals_[i]->init);
            collectInitialiserCalls(globals_[i]->init);
        }
    globalSet_.clear();
}

void Emitter::collectInitialiserCalls(const Expr* e) {
    if (!e) return;
    if (e->kind == ExprKind::Call && e->ref == Ref::Function && e->func) {
        const std::size_t before = funcs_.size();
        collectFunctions(e->func);
        for (std::size_t k = before; k < funcs_.size(); ++k) {
            collectGlobals(funcs_[k]->body);
            for (const VarDecl* p : funcs_[k]->params)
                if (p->init) collectGlobals(p->init);
        }
    }
    for (const Expr* a : e->args) collectInitialiserCalls(a);
}

}  // namespace platform::gfx::fx::glsl
