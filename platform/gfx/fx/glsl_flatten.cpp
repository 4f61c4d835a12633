// platform/gfx/fx/glsl_flatten.cpp: an 'if' flattened because a gradient operation sits under
// its condition, which varies per pixel. Both sides run in every pixel, so the gradients see
// all four pixels of the quad: the variables the sides write are saved first, and afterwards
// each keeps the taken side's value. Jumps inside (discard, clip, return, break, continue) are
// taken only where the side's condition holds.
#include <algorithm>

#include "platform/gfx/fx/glsl_emitter.h"

namespace platform::gfx::fx::glsl {
namespace {

void Declared(const Stmt* s, std::unordered_set<const VarDecl*>& out) {
    if (!s) return;
    for (const VarDecl* v : s->decls)
        if (!(v->storage & kStorageStatic)) out.insert(v);
    Declared(s->init, out);
    Declared(s->then, out);
    Declared(s->otherwise, out);
    for (const Stmt* b : s->body) Declared(b, out);
}

}  // namespace

// The variables expression "e" may write, with the globals and static locals that the
// functions it calls write, in order of first write.
void Emitter::writesOf(const Expr* e, std::vector<const VarDecl*>& out) {
    if (!e) return;
    auto add = [&out](const Expr* target, auto& self) -> void {
        if (target->kind == ExprKind::Construct) {
            for (const Expr* part : target->args) self(part, self);
            return;
        }
        const Expr* t = target;
        while (t->kind == ExprKind::Member || t->kind == ExprKind::Index || t->kind == ExprKind::Cast ||
               t->kind == ExprKind::Convert)
            t = t->args[0];
        if (t->kind == ExprKind::Name && t->var && std::find(out.begin(), out.end(), t->var) == out.end())
            out.push_back(t->var);
    };
    switch (e->kind) {
        case ExprKind::Assign: case ExprKind::Postfix: add(e->args[0], add); break;
        case ExprKind::Unary:
            if (e->op == Tok::PlusPlus || e->op == Tok::MinusMinus) add(e->args[0], add);
            break;
        case ExprKind::Call:
            for (std::size_t i = 0; i < e->args.size(); ++i)
                if (writesArgument(e, i)) add(e->args[i], add);
            if (e->ref == Ref::Function && e->func) {
                const FuncDecl* f = e->func->definition ? e->func->definition : e->func;
                auto known = functionWrites_.find(f);
                if (known == functionWrites_.end() && f->body && visiting_.insert(f).second) {
                    std::vector<const VarDecl*> inner;
                    writesOf(f->body, inner);
                    visiting_.erase(f);
                    known = functionWrites_.emplace(f, std::move(inner)).first;  // once per function
                }
                if (known != functionWrites_.end()) {
                    for (const VarDecl* v : known->second)
                        if ((v->isGlobal || (v->storage & kStorageStatic)) &&
                            std::find(out.begin(), out.end(), v) == out.end())
                            out.push_back(v);
                }
            }
            break;
        default: break;
    }
    for (const Expr* a : e->args) writesOf(a, out);
}

void Emitter::writesOf(const Stmt* s, std::vector<const VarDecl*>& out) {
    EachExpression(s, [this, &out](const Expr* e) { writesOf(e, out); });
}

// The condition under which a jump of kind "k" inside flattened sides is taken ("" when no
// side encloses it): return and discard obey every enclosing side, break the sides inside the
// innermost loop or switch, continue those inside the innermost loop.
std::string Emitter::jumpGuard(StmtKind k) const {
    std::string g;
    for (const FlatGuard& f : guards_) {
        if (k == StmtKind::Break && f.breakDepth != breakDepth_) continue;
        if (k == StmtKind::Continue && f.loopDepth != loopDepth_) continue;
        g += (g.empty() ? "" : " && ") + f.condition;
    }
    return g;
}

std::string Emitter::flattenedIf(const Stmt* s) {
    const std::string id = "fx_f" + std::to_string(flattenCount_++);
    std::unordered_set<const VarDecl*> local;
    Declared(s->then, local);
    Declared(s->otherwise, local);
    std::vector<const VarDecl*> all;
    writesOf(s->then, all);
    writesOf(s->otherwise, all);
    std::vector<const VarDecl*> vars;
    for (const VarDecl* v : all)
        if (!local.count(v)) vars.push_back(v);
    auto copies = [&](const std::string& prefix) {
        std::string out;
        for (std::size_t i = 0; i < vars.size(); ++i)
            out += pad() + GlslType(vars[i]->type.element()) + " " + prefix + std::to_string(i) +
                   ArraySuffix(vars[i]->type) + " = " + variableName(vars[i]) + ";\n";
        return out;
    };
    auto restore = [&](const std::string& prefix) {
        std::string out;
        for (std::size_t i = 0; i < vars.size(); ++i)
            out += pad() + variableName(vars[i]) + " = " + prefix + std::to_string(i) + ";\n";
        return out;
    };
    auto side = [&](const Stmt* body, const std::string& condition) {
        guards_.push_back({condition, loopDepth_, breakDepth_});
        std::string out = nested(body);
        guards_.pop_back();
        return out;
    };
    std::string out = pad() + "{\n";
    ++indent_;
    out += pad() + "bool " + id + " = " + expr(s->expr) + ";\n";
    out += copies(id + "_was");
    out += side(s->then, id);
    if (s->otherwise) {
        out += copies(id + "_then");
        out += restore(id + "_was");
        out += side(s->otherwise, "!" + id);
        if (!vars.empty()) {
            out += pad() + "if (" + id + ") {\n";
            ++indent_;
            out += restore(id + "_then");
            --indent_;
            out += pad() + "}\n";
        }
    } else if (!vars.empty()) {
        out += pad() + "if (!" + id + ") {\n";
        ++indent_;
        out += restore(id + "_was");
        --indent_;
        out += pad() + "}\n";
    }
    --indent_;
    return out + pad() + "}\n";
}

}  // namespace platform::gfx::fx::glsl
