// platform/gfx/fx/check_flow.cpp: gradient operations under flow control that varies per pixel.
//
// A gradient (ddx, ddy, fwidth, and the lookups that take their level of detail from the
// coordinates' gradients: tex*D and texCUBE without gradients, tex*bias, tex*proj) is defined
// only where every pixel of a quad runs it. Under an 'if' whose condition varies per pixel the
// compiler flattens the 'if' (both sides are evaluated, the taken side's writes kept: the
// emitter does it for statements marked "flattened"); it cannot do that under '[branch]', which
// asks for a real branch, nor inside a loop whose trip count varies per pixel, and refuses those
// at the gradient's line. A pixel that leaves early (a return, break or continue under a
// condition that varies, or a switch whose selector varies) before a gradient keeps running
// with its writes frozen: the function is marked "frozenReturns", the loop or switch
// "flattened". What varies per pixel: the entry point's inputs and what is computed from them,
// including everything written under control that varies (from the end of that control on:
// inside it, every pixel that runs it computes the same); parameters, literals and the
// lookups' and gradients' values of uniform arguments do not.
#include <functional>

#include "platform/gfx/fx/checker.h"

namespace platform::gfx::fx {
namespace {

using I = Intrinsic;

bool IsGradient(const Expr* e) {
    if (e->kind != ExprKind::Call || e->ref != Ref::Intrinsic) return false;
    switch (static_cast<I>(e->intrinsic)) {
        case I::k_ddx: case I::k_ddy: case I::k_fwidth:
        case I::k_tex1Dbias: case I::k_tex2Dbias: case I::k_tex3Dbias: case I::k_texCUBEbias:
        case I::k_tex1Dproj: case I::k_tex2Dproj: case I::k_tex3Dproj: case I::k_texCUBEproj:
            return true;
        case I::k_tex1D: case I::k_tex2D: case I::k_tex3D: case I::k_texCUBE:
            return e->args.size() == 2;  // with four, the gradients are given
        default: return false;
    }
}

// Whether a write to "v" is seen after its function returns.
bool Outlives(const VarDecl* v) { return v->isGlobal || (v->storage & (kStorageStatic | kStorageOut)); }

const VarDecl* WrittenVariable(const Expr* e) {
    while (e->kind == ExprKind::Member || e->kind == ExprKind::Index || e->kind == ExprKind::Cast ||
           e->kind == ExprKind::Convert)
        e = e->args[0];
    return e->kind == ExprKind::Name ? e->var : nullptr;
}

class FlowWalk {
public:
    struct Refusal {
        const Expr* at = nullptr;
        const Stmt* construct = nullptr;
        bool tooLong = false;  // the walk ran out of steps at line, column
        int line = 0, column = 0;
    };

    // "unrollable": whether a loop runs a number of times known at compile time; "branches":
    // whether the model has dynamic branching ([branch] is flattened where it has not).
    FlowWalk(const EntryPoint& entry, std::function<bool(const Stmt*)> unrollable, bool branches)
        : unrollable_(std::move(unrollable)), branches_(branches) {
        for (std::size_t i = 0; i < entry.func->params.size(); ++i)
            if (i >= entry.boundArgs.size() || !entry.boundArgs[i]) {
                const VarDecl* p = entry.func->params[i];
                if (!(p->storage & kStorageOut) || (p->storage & kStorageIn)) varying_.insert(p);
            }
    }

    // Walks the entry point; the first gradient that cannot be flattened, if any.
    Refusal run(const FuncDecl* f) {
        callBody(f);
        return refusal_;
    }

    static constexpr long kMostSteps = 2000000;  // deep nests of loops and calls stop the walk
    // The ifs marked [branch] that were flattened for a model without dynamic branching.
    const std::vector<const Stmt*>& flattenedBranches() const { return flattenedBranches_; }

private:
    enum class Kind { If, Loop, Other };
    struct Construct {
        const Stmt* s;
        Kind kind;
        // Written inside with values that do not vary: the same in every pixel that runs the
        // construct, they vary once it ends (the pixels that skipped it kept the old value).
        std::vector<const VarDecl*> pending = {};
    };
    struct Frame {
        const FuncDecl* func = nullptr;
        std::size_t base = 0;  // constructs_ when the call began
        bool returnVarying = false;
        bool afterReturn = false;  // a return under varying control came before
        bool leftEarly = false;    // some pixels may have returned, others not
    };
    struct LoopFrame {
        std::size_t depth;  // constructs_ when the loop or switch began
        bool exitsVarying = false;
        bool loop = true;  // false for a switch, which a continue passes through
    };

    bool controlVaries() const { return !constructs_.empty(); }

    void popConstruct() {
        for (const VarDecl* v : constructs_.back().pending) taint(v);
        constructs_.pop_back();
    }

    void taint(const VarDecl* v) {
        if (v && varying_.insert(v).second && everVarying_.insert(v).second) changed_ = true;
    }

    // A whole variable given a value that does not vary (a declaration, or "v = value"): it
    // is the same in every pixel that runs this, until the enclosing varying control ends.
    // A path that skips the definition (the other side of an if, another case, the next
    // iteration, no iteration) keeps the old value: leaving the branch's scope brings it back.
    void definedUniform(const VarDecl* v) {
        if (varying_.erase(v) && !scopes_.empty()) scopes_.back().push_back(v);
        if (controlVaries()) constructs_.back().pending.push_back(v);
    }

    void enterScope() { scopes_.emplace_back(); }
    void exitScope() {
        for (const VarDecl* v : scopes_.back()) taint(v);
        scopes_.pop_back();
    }

    void gradient(const Expr* e) {
        if (quiet_) return;
        for (const Construct& c : constructs_) {
            const bool branch = c.kind == Kind::If && (c.s->attrs & kAttrBranch);
            const bool refuse = c.kind == Kind::Loop || (branch && branches_);
            if (refuse && !refusal_.at && !refusal_.tooLong) refusal_ = {e, c.s};
            if (branch && !branches_ && !c.s->flattened) flattenedBranches_.push_back(c.s);
        }
        // Ifs are flattened; so are loops of a known count and switches that pixels may
        // leave at different points, and functions some pixels may have returned from.
        for (const Construct& c : constructs_)
            if (c.kind != Kind::Loop) const_cast<Stmt*>(c.s)->flattened = true;
        for (const Frame& f : frames_)
            if (f.leftEarly) const_cast<FuncDecl*>(f.func)->frozenReturns = true;
    }

    bool outOfSteps(int line, int column) {
        if (++steps_ <= kMostSteps) return false;
        if (!refusal_.tooLong) refusal_ = {nullptr, nullptr, true, line, column};
        return true;
    }

    bool expr(const Expr* e) {
        if (!e || outOfSteps(e->line, e->column)) return false;
        switch (e->kind) {
            case ExprKind::IntLit: case ExprKind::FloatLit: case ExprKind::BoolLit:
            case ExprKind::StringLit: case ExprKind::Asm:
                return false;
            case ExprKind::Name: return e->var && varying_.count(e->var);
            case ExprKind::Assign: {
                const bool value = expr(e->args[1]);
                const bool target = expr(e->args[0]);
                if (!value && e->op == Tok::Assign && e->args[0]->kind == ExprKind::Name && e->args[0]->var &&
                    !(afterReturns_ > 0 && Outlives(e->args[0]->var))) {
                    definedUniform(e->args[0]->var);
                    return false;
                }
                writes(e->args[0], value);
                return value || (e->op != Tok::Assign && target);
            }
            case ExprKind::Postfix: case ExprKind::Unary: {
                const bool v = expr(e->args[0]);
                if (e->op == Tok::PlusPlus || e->op == Tok::MinusMinus) writes(e->args[0], false);
                return v;
            }
            case ExprKind::Call:
                if (e->ref == Ref::Function && e->func) return call(e);
                break;
            default: break;
        }
        bool any = false;
        for (const Expr* a : e->args) any = expr(a) || any;
        if (e->kind == ExprKind::Call && e->ref == Ref::Intrinsic && e->intrinsic >= 0) {
            if (IsGradient(e)) gradient(e);
            const unsigned outs = IntrinsicRowOf(e->intrinsic).outArgs;
            for (std::size_t i = 0; i < e->args.size() && i < 32; ++i)
                if ((outs >> i) & 1u) writes(e->args[i], any);
        }
        return any;
    }

    // A write of a value that varies ("value"), or under control that varies, varies; after a
    // return some pixels took, so does what outlives the function (its pixels keep the value
    // they had when they returned).
    void writes(const Expr* target, bool value) {
        if (target->kind == ExprKind::Construct) {
            for (const Expr* part : target->args) writes(part, value);
            return;
        }
        const VarDecl* v = WrittenVariable(target);
        if (!v) return;
        if (value || (afterReturns_ > 0 && Outlives(v))) taint(v);
        else if (controlVaries() && !varying_.count(v)) constructs_.back().pending.push_back(v);
    }

    bool call(const Expr* e) {
        const FuncDecl* f = e->func->definition ? e->func->definition : e->func;
        std::vector<bool> args;
        for (const Expr* a : e->args) args.push_back(expr(a));
        if (!f->body || active_.count(f)) return false;
        for (std::size_t i = 0; i < f->params.size() && i < args.size(); ++i)
            if (args[i] && (!(f->params[i]->storage & kStorageOut) || (f->params[i]->storage & kStorageIn)))
                taint(f->params[i]);
        const bool ret = callBody(f);
        for (std::size_t i = 0; i < f->params.size() && i < e->args.size(); ++i)
            if (f->params[i]->storage & kStorageOut) writes(e->args[i], varying_.count(f->params[i]) > 0);
        return ret;
    }

    bool callBody(const FuncDecl* f) {
        active_.insert(f);
        frames_.push_back({f, constructs_.size()});
        const std::vector<LoopFrame> outerLoops = std::move(loops_);
        loops_.clear();
        stmt(f->body);
        loops_ = outerLoops;
        const Frame done = frames_.back();
        frames_.pop_back();
        if (done.afterReturn) --afterReturns_;
        active_.erase(f);
        return done.returnVarying;
    }

    void under(const Stmt* s, Kind kind, bool varies, const Stmt* body, const Stmt* other = nullptr) {
        if (varies) constructs_.push_back({s, kind});
        enterScope();
        stmt(body);
        exitScope();
        enterScope();
        stmt(other);
        exitScope();
        if (varies) popConstruct();
    }

    // A break leaves the innermost loop or switch, a continue the switches up to its loop.
    void exitLoop(bool toLoop) {
        for (auto l = loops_.rbegin(); l != loops_.rend(); ++l) {
            if (constructs_.size() > l->depth) l->exitsVarying = true;
            if (!toLoop || l->loop) break;
        }
    }

    void loop(const Stmt* s) {
        stmt(s->init);
        // The body is walked until what varies settles (a value may vary only from the second
        // iteration on), quietly; then once more, judging its gradients.
        const bool wasQuiet = quiet_;
        bool varies = false, varyingCondition = false;
        for (int pass = 0; pass < 4; ++pass) {
            quiet_ = true;
            changed_ = false;
            loops_.push_back({constructs_.size()});
            enterScope();
            const bool cond = expr(s->expr);
            under(s, Kind::Loop, varies, s->then);
            expr(s->step);
            exitScope();
            varyingCondition = varyingCondition || cond;
            varies = varies || cond || loops_.back().exitsVarying;
            loops_.pop_back();
            if (!changed_ && pass > 0) break;
        }
        quiet_ = wasQuiet;
        // A loop of a known count that a pixel may leave early is unrolled, its exits then
        // being flattened like ifs; one whose count varies cannot be.
        loops_.push_back({constructs_.size()});
        if (varies) constructs_.push_back({s, varyingCondition || !unrollable_(s) ? Kind::Loop : Kind::Other});
        enterScope();
        expr(s->expr);
        stmt(s->then);
        expr(s->step);
        exitScope();
        if (varies) popConstruct();
        loops_.pop_back();
    }

    // A switch's body: each label may be entered from the switch itself.
    void caseBodies(const Stmt* s) {
        enterScope();
        for (const Stmt* b : s->body) {
            if (b->kind == StmtKind::Case) {
                exitScope();
                enterScope();
            }
            stmt(b);
        }
        exitScope();
    }

    void stmt(const Stmt* s) {
        if (!s || outOfSteps(s->line, s->column)) return;
        switch (s->kind) {
            case StmtKind::Block:
                for (const Stmt* b : s->body) stmt(b);
                break;
            case StmtKind::Expr: expr(s->expr); break;
            case StmtKind::Decl:
                for (const VarDecl* v : s->decls)
                    if (v->init && !(v->storage & kStorageStatic)) {
                        if (expr(v->init)) taint(v);
                        else definedUniform(v);
                    }
                break;
            case StmtKind::If: {
                const bool cond = expr(s->expr);
                under(s, Kind::If, cond, s->then, s->otherwise);
                break;
            }
            case StmtKind::Switch: {
                bool varies = expr(s->expr);
                if (!varies) {  // a break under a varying condition leaves it per pixel
                    const bool wasQuiet = quiet_;
                    quiet_ = true;
                    loops_.push_back({constructs_.size(), false, false});
                    caseBodies(s);
                    varies = loops_.back().exitsVarying;
                    loops_.pop_back();
                    quiet_ = wasQuiet;
                }
                loops_.push_back({constructs_.size(), false, false});
                if (varies) constructs_.push_back({s, Kind::Other});
                caseBodies(s);
                if (varies) popConstruct();
                loops_.pop_back();
                break;
            }
            case StmtKind::For: case StmtKind::While: case StmtKind::Do: loop(s); break;
            case StmtKind::Break: case StmtKind::Continue: exitLoop(s->kind == StmtKind::Continue); break;
            case StmtKind::Return: {
                const bool value = expr(s->expr);  // may call functions, which push frames
                Frame& f = frames_.back();
                if (value || controlVaries()) f.returnVarying = true;
                if (constructs_.size() > f.base) {
                    f.leftEarly = true;
                    for (LoopFrame& l : loops_)  // this function's loops, left per pixel
                        if (constructs_.size() > l.depth) l.exitsVarying = true;
                }
                if (!constructs_.empty() && !f.afterReturn) {
                    f.afterReturn = true;
                    ++afterReturns_;
                }
                break;
            }
            default: break;
        }
    }

    std::function<bool(const Stmt*)> unrollable_;
    bool branches_;
    std::vector<const Stmt*> flattenedBranches_;
    std::unordered_set<const VarDecl*> varying_;
    std::unordered_set<const VarDecl*> everVarying_;  // grows only: the loops' passes settle on it
    std::unordered_set<const FuncDecl*> active_;
    std::vector<Construct> constructs_;
    std::vector<std::vector<const VarDecl*>> scopes_;  // variables defined uniform in each branch
    std::vector<Frame> frames_;
    std::vector<LoopFrame> loops_;
    int afterReturns_ = 0;
    bool quiet_ = false;
    bool changed_ = false;
    long steps_ = 0;
    Refusal refusal_;
};

}  // namespace

// Walks pixel entry point "entry" as the native compiler inlines it; false (reported) when a
// gradient sits where no flattening can keep it defined.
bool Checker::gradientFlow(const EntryPoint& entry) {
    if (!entry.func || !entry.func->body) return true;
    // Pixel models with dynamic branching; the others (ps_1_x, ps_2_0, ps_2_b) only flatten.
    const bool branches = entry.profile == "ps_2_a" || entry.profile == "ps_2_sw" || entry.profile == "ps_3_0" ||
                          entry.profile == "ps_3_sw";
    FlowWalk walk(entry, [this](const Stmt* s) {
        long long trips = 0;
        return unrollable(s, trips);
    }, branches);
    const FlowWalk::Refusal r = walk.run(entry.func);
    for (const Stmt* s : walk.flattenedBranches())
        report(Diag::BranchFlattened, s->line, s->column, entry.profile, std::to_string(s->line));
    if (r.tooLong) {
        report(Diag::FlowTooLong, r.line, r.column, std::string(entry.func->name),
               std::to_string(FlowWalk::kMostSteps));
        return false;
    }
    if (!r.at) return true;
    const bool loop = r.construct->kind != StmtKind::If;
    report(Diag::GradientInVaryingFlow, r.at, std::string(IntrinsicName(r.at->intrinsic)) + "()",
           loop ? "a loop whose trip count" : "an if marked [branch] whose condition",
           std::to_string(r.construct->line));
    return false;
}

}  // namespace platform::gfx::fx
