// platform/gfx/fx/glsl_flatten.cpp: an 'if' flattened because a gradient operation sits under
// its condition, which varies per pixel. Both sides run in every pixel, so the gradients see
// all four pixels of the quad: the variables the sides write are saved first, and afterwards
// each keeps the taken side's value. Jumps inside (discard, clip, return, break, continue) are
// taken only where the side's condition holds.
//
// Where a gradient follows a return, break or continue that only some pixels take, or sits in
// a switch whose selector varies, those pixels do not leave: the jump sets a flag (fx_done for
// a function, fx_brkN and fx_contN for a loop, fx_brkN for a switch), and every statement after
// it runs in all pixels as a "frozen run": its writes are saved first and put back where the
// flags say the pixel had left. A function returns its fx_value at its end; a loop runs every
// iteration in every pixel (its count is known and the same in all of them), and a pixel that
// broke gets back the loop counter it had; a switch tests its labels one after the other.
#include <algorithm>
#include <cstdint>

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

// A case label as the int the selector is compared as (a uint label keeps its bits).
std::string Label(const Stmt* c) {
    const double d = c->label;
    const long long v = d > -9e18 && d < 9e18 ? static_cast<long long>(d) : 0;
    return std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
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
    if (k == StmtKind::Discard && liveFlag_) g = g.empty() ? "fx_live" : "fx_live && " + g;
    return g;
}

std::string Emitter::saved(const std::vector<const VarDecl*>& vars, const std::string& prefix) {
    std::string out;
    for (std::size_t i = 0; i < vars.size(); ++i)
        out += pad() + GlslType(vars[i]->type.element()) + " " + prefix + std::to_string(i) + ArraySuffix(vars[i]->type) +
               " = " + variableName(vars[i]) + ";\n";
    return out;
}

std::string Emitter::restored(const std::vector<const VarDecl*>& vars, const std::string& prefix) {
    std::string out;
    for (std::size_t i = 0; i < vars.size(); ++i)
        out += pad() + variableName(vars[i]) + " = " + prefix + std::to_string(i) + ";\n";
    return out;
}

// A function called from here discards only where "condition" holds too.
std::string Emitter::liveEnter(const std::string& id, const std::string& condition) {
    if (!liveFlag_) return "";
    return pad() + "bool " + id + "_live = fx_live;\n" + pad() + "fx_live = fx_live && " + condition + ";\n";
}

std::string Emitter::liveLeave(const std::string& id) {
    return liveFlag_ ? pad() + "fx_live = " + id + "_live;\n" : "";
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
    auto copies = [&](const std::string& prefix) { return saved(vars, prefix); };
    auto restore = [&](const std::string& prefix) { return restored(vars, prefix); };
    auto side = [&](const Stmt* body, const std::string& condition) {
        guards_.push_back({condition, loopDepth_, breakDepth_});
        const std::string name = id + (condition[0] == '!' ? "n" : "");
        std::string out = liveEnter(name, condition) + nested(body) + liveLeave(name);
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

// Statements list[from, to) of one block: after the first that may leave pixels frozen, the
// rest runs in frozen runs, each up to and including the next such statement.
std::string Emitter::statements(const std::vector<Stmt*>& list, std::size_t from, std::size_t to) {
    std::string out;
    bool left = false;
    for (std::size_t i = from; i < to;) {
        if (!left) {
            left = leaves(list[i]);
            out += stmt(list[i++]);
            continue;
        }
        std::size_t end = i;
        while (end < to && !leaves(list[end])) ++end;
        if (end < to) ++end;
        out += frozenRun(liveCondition(), list, i, end);
        i = end;
    }
    return out;
}

// Whether statement "s" holds a jump that leaves pixels frozen at this level: a return in a
// function that keeps returned pixels running, a break of the frozen loop or switch being
// written, a continue of the frozen loop being written.
bool Emitter::leaves(const Stmt* s) const {
    if (!frozenReturns_ && frozen_.empty()) return false;
    const bool breaks = !frozen_.empty() && frozen_.back().breakDepth == breakDepth_;
    bool continues = false;
    for (const Frozen& f : frozen_)
        if (!f.continued.empty() && f.loopDepth == loopDepth_) continues = true;
    auto walk = [&](const Stmt* t, int breakLevel, int loopLevel, auto& self) -> bool {
        if (!t) return false;
        switch (t->kind) {
            case StmtKind::Return: return frozenReturns_;
            case StmtKind::Break: return breakLevel == 0 && breaks;
            case StmtKind::Continue: return loopLevel == 0 && continues;
            case StmtKind::For: case StmtKind::While: case StmtKind::Do:
                return self(t->then, breakLevel + 1, loopLevel + 1, self);
            case StmtKind::Switch:
                for (const Stmt* b : t->body)
                    if (self(b, breakLevel + 1, loopLevel, self)) return true;
                return false;
            default:
                if (self(t->then, breakLevel, loopLevel, self) || self(t->otherwise, breakLevel, loopLevel, self))
                    return true;
                for (const Stmt* b : t->body)
                    if (self(b, breakLevel, loopLevel, self)) return true;
                return false;
        }
    };
    return walk(s, 0, 0, walk);
}

// Where a pixel has not left: no return, and no break or continue of a frozen construct.
std::string Emitter::liveCondition() const {
    std::string out;
    auto add = [&out](const std::string& flag) { out += (out.empty() ? "!" : " && !") + flag; };
    if (frozenReturns_) add("fx_done");
    for (const Frozen& f : frozen_) {
        add(f.broke);
        if (!f.continued.empty()) add(f.continued);
    }
    return out.empty() ? "true" : out;
}

// Statements list[from, to), run in every pixel; the pixels where "condition" fails get their
// writes back. Declarations stay in the enclosing block, where later runs see them.
std::string Emitter::frozenRun(const std::string& condition, const std::vector<Stmt*>& list, std::size_t from,
                               std::size_t to) {
    const std::string id = "fx_f" + std::to_string(flattenCount_++);
    std::unordered_set<const VarDecl*> local;
    std::vector<const VarDecl*> all, vars;
    for (std::size_t i = from; i < to; ++i) {
        Declared(list[i], local);
        writesOf(list[i], all);
    }
    for (const VarDecl* v : all)
        if (!local.count(v)) vars.push_back(v);
    std::string out = pad() + "bool " + id + " = " + condition + ";\n" + saved(vars, id + "_was");
    guards_.push_back({id, loopDepth_, breakDepth_});
    out += liveEnter(id, id) + statements(list, from, to) + liveLeave(id);
    guards_.pop_back();
    if (!vars.empty()) {
        out += pad() + "if (!" + id + ") {\n";
        ++indent_;
        out += restored(vars, id + "_was");
        --indent_;
        out += pad() + "}\n";
    }
    return out;
}

// A return, break or continue that leaves its pixel frozen: the flag is set (where the
// enclosing flattened sides are taken), and a real loop or switch between the jump and what
// it leaves is left for real ("done" is false when the jump is an ordinary one).
std::string Emitter::frozenJump(const Stmt* s, bool& done) {
    const int frozenDepth = frozen_.empty() ? 0 : frozen_.back().breakDepth;
    std::string set, value;
    bool real = false;  // a real loop or switch lies between
    if (s->kind == StmtKind::Return && frozenReturns_) {
        if (s->expr) {
            value = "fx_r" + std::to_string(flattenCount_++);
            set = "fx_value = " + value + "; ";
        }
        set += "fx_done = true;";
        real = breakDepth_ > frozenDepth;
    } else if (s->kind == StmtKind::Break && !frozen_.empty() && frozen_.back().breakDepth == breakDepth_) {
        const Frozen& f = frozen_.back();
        set = f.broke + " = true;";
        for (std::size_t i = 0; i < f.stepVars.size(); ++i)
            set += " " + f.broke + "_s" + std::to_string(i) + " = " + variableName(f.stepVars[i]) + ";";
    } else if (s->kind == StmtKind::Continue) {
        for (auto f = frozen_.rbegin(); f != frozen_.rend() && set.empty(); ++f)
            if (!f->continued.empty() && f->loopDepth == loopDepth_) {
                set = f->continued + " = true;";
                // Real switches between: the levels inside the loop less the frozen ones.
                int between = breakDepth_ - f->breakDepth;
                for (auto g = frozen_.rbegin(); g != f; ++g) --between;
                real = between > 0;
            }
    }
    done = !set.empty();
    if (!done) return "";
    const std::string guard = jumpGuard(s->kind);
    if (real) set += " break;";
    const std::string jump = (guard.empty() ? "" : "if (" + guard + ") ") + "{ " + set + " }\n";
    if (value.empty()) return pad() + jump;
    // The value is computed in every pixel, as the rest of a flattened side is; a block keeps
    // the two statements together under an if without braces.
    return pad() + "{ " + GlslType(s->expr->type) + " " + value + " = " + expr(s->expr) + "; " + jump.substr(0, jump.size() - 1) +
           " }\n";
}

// A loop some pixels may leave early while a gradient needs them: every pixel runs every
// iteration, its body a frozen run.
std::string Emitter::frozenLoop(const Stmt* s) {
    const std::string n = std::to_string(flattenCount_++);
    Frozen f{"fx_brk" + n, "fx_cont" + n, loopDepth_, breakDepth_, {}};
    writesOf(s->step, f.stepVars);
    std::string out;
    if (s->kind == StmtKind::For && s->init)
        out += s->init->kind == StmtKind::Decl ? stmt(s->init) : pad() + simple(s->init) + ";\n";
    out += pad() + "bool " + f.broke + " = false;\n" + saved(f.stepVars, f.broke + "_s");
    if (s->kind == StmtKind::For)
        out += pad() + "for (; " + (s->expr ? expr(s->expr) : "") + "; " + (s->step ? expr(s->step) : "") + ") {\n";
    else
        out += pad() + (s->kind == StmtKind::While ? "while (" + expr(s->expr) + ") {\n" : "do {\n");
    ++indent_;
    out += pad() + "bool " + f.continued + " = false;\n";
    frozen_.push_back(f);
    std::vector<Stmt*> body{s->then};
    out += frozenRun(liveCondition(), body, 0, 1);
    frozen_.pop_back();
    --indent_;
    out += pad() + "}" + (s->kind == StmtKind::Do ? " while (" + expr(s->expr) + ");\n" : "\n");
    if (!f.stepVars.empty()) {
        out += pad() + "if (" + f.broke + ") {\n";
        ++indent_;
        out += restored(f.stepVars, f.broke + "_s");
        --indent_;
        out += pad() + "}\n";
    }
    return out;
}

// A switch whose selector varies, or which pixels may leave at different breaks, with a
// gradient inside: the labels are tested in order, each run of statements between them
// taken where a label at or before it matched and no break came since.
std::string Emitter::frozenSwitch(const Stmt* s) {
    const std::string n = std::to_string(flattenCount_++);
    const std::string sel = "fx_sel" + n, in = "fx_in" + n;
    std::string any;
    for (const Stmt* b : s->body)
        if (b->kind == StmtKind::Case && b->expr)
            any += (any.empty() ? "" : " || ") + sel + " == " + Label(b);
    std::string out = pad() + "{\n";
    ++indent_;
    out += pad() + "int " + sel + " = int(" + expr(s->expr) + ");\n" + pad() + "bool " + in + " = false;\n";
    ++breakDepth_;
    frozen_.push_back({"fx_brk" + n, "", loopDepth_, breakDepth_, {}});
    out += pad() + "bool fx_brk" + n + " = false;\n";
    for (std::size_t i = 0; i < s->body.size();) {
        const Stmt* b = s->body[i];
        if (b->kind == StmtKind::Case) {
            const std::string test = b->expr ? sel + " == " + Label(b)
                                             : "!(" + (any.empty() ? std::string("false") : any) + ")";
            out += pad() + in + " = " + in + " || " + test + ";\n";
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < s->body.size() && s->body[end]->kind != StmtKind::Case) ++end;
        out += frozenRun(in + " && " + liveCondition(), s->body, i, end);
        i = end;
    }
    frozen_.pop_back();
    --breakDepth_;
    --indent_;
    return out + pad() + "}\n";
}

// A function that keeps the pixels that returned running: its result is fx_value.
std::string Emitter::frozenFunction(const FuncDecl* f) {
    std::string out = "{\n";
    indent_ = 1;
    out += pad() + "bool fx_done = false;\n";
    const bool value = !(f->ret.base == Base::Void);
    if (value) out += pad() + GlslType(f->ret) + " fx_value;\n";
    out += statements(f->body->body, 0, f->body->body.size());
    if (value) out += pad() + "return fx_value;\n";
    indent_ = 0;
    return out + "}\n";
}

bool Emitter::Discards(const Stmt* s) {
    bool found = false;
    std::function<void(const Expr*)> look = [&](const Expr* e) {
        if (!e || found) return;
        if (e->kind == ExprKind::Call && e->ref == Ref::Intrinsic && e->intrinsic == static_cast<int>(Intrinsic::k_clip))
            found = true;
        for (const Expr* a : e->args) look(a);
    };
    std::function<void(const Stmt*)> walk = [&](const Stmt* t) {
        if (!t || found) return;
        if (t->kind == StmtKind::Discard) found = true;
        walk(t->init);
        walk(t->then);
        walk(t->otherwise);
        for (const Stmt* b : t->body) walk(b);
    };
    walk(s);
    EachExpression(s, look);
    return found;
}

bool Emitter::HasFlattened(const Stmt* s) {
    if (!s) return false;
    if (s->flattened) return true;
    if (HasFlattened(s->init) || HasFlattened(s->then) || HasFlattened(s->otherwise)) return true;
    for (const Stmt* b : s->body)
        if (HasFlattened(b)) return true;
    return false;
}

}  // namespace platform::gfx::fx::glsl
