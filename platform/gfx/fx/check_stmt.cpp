// platform/gfx/fx/check_stmt.cpp: statements and function bodies: scopes of blocks and loops,
// conditions, returns, and the call graph (recursion is refused).
#include "platform/gfx/fx/checker.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <functional>
#include <unordered_map>

namespace platform::gfx::fx {

// function := type name ( parameters ) [: semantic] { statements }
// Parameters form the outer scope; a non-void function must return on every path.
void Checker::checkFunction(FuncDecl* f) {
    current_ = f;
    scopes_.assign(1, {});
    for (VarDecl* p : f->params) {
        if (p->init) {
            check(p->init);
            if (!IsPoison(p->init->type)) coerce(p->init, p->type);
        }
        declareLocal(p);
    }
    checkBlock(f->body, false);
    if (f->ret.base != Base::Void && !IsPoison(f->ret) && !returns(f->body))
        report(Diag::MissingReturn, f->line, f->column, std::string(f->name));
    scopes_.clear();
    current_ = nullptr;
}

// Whether every path through "s" ends in return or discard.
bool Checker::returns(const Stmt* s) {
    if (!s) return false;
    switch (s->kind) {
        case StmtKind::Return: case StmtKind::Discard: return true;
        case StmtKind::Block:
            for (const Stmt* b : s->body)
                if (returns(b)) return true;
            return false;
        case StmtKind::If: return returns(s->then) && returns(s->otherwise);
        case StmtKind::Do: return returns(s->then);
        default: return false;
    }
}

namespace {

const Expr* Bare(const Expr* e) {
    while (e && e->kind == ExprKind::Convert) e = e->args[0];
    return e;
}

bool IsVariable(const Expr* e, const VarDecl* v) {
    e = Bare(e);
    return e && e->kind == ExprKind::Name && e->var == v;
}

constexpr int kMostUnrolled = 1024;  // iterations a model without loops unrolls at most

}  // namespace

// Whether loop "s" runs a number of times known here, so that a model without loops can
// unroll it: a for loop "v = a; v < b; v += c" (any comparison, ++ and -- too) with constant
// b and c that ends within kMostUnrolled iterations from a constant a, or a while or do loop
// whose condition is a constant false. Where the start is not a constant here (no
// initialiser, "for (v; ...)", or one that reads other variables), the native compiler's
// constant propagation may still know it, so only the step's direction toward the bound is
// checked.
// "trips" receives the number of iterations where it is known (-1 otherwise), also when it
// is too many to unroll.
bool Checker::unrollable(const Stmt* s, long long& trips) {
    trips = -1;
    std::vector<double> c;
    if (s->kind != StmtKind::For)
        return s->expr && evalConst(s->expr, c) && c.size() == 1 && c[0] == 0;
    if (!s->expr || !s->step) return false;
    const Expr* cond = Bare(s->expr);
    if (cond->kind != ExprKind::Binary) return false;
    const VarDecl* v = nullptr;
    std::vector<double> start;
    if (s->init && s->init->kind == StmtKind::Decl && s->init->decls.size() == 1 && s->init->decls[0]->init) {
        v = s->init->decls[0];
        if (!evalConst(v->init, start)) start.clear();
    } else if (s->init && s->init->kind == StmtKind::Expr && s->init->expr &&
               s->init->expr->kind == ExprKind::Assign && s->init->expr->op == Tok::Assign &&
               Bare(s->init->expr->args[0])->kind == ExprKind::Name) {
        v = Bare(s->init->expr->args[0])->var;
        if (!evalConst(s->init->expr->args[1], start)) start.clear();
    } else {
        // The counter goes on from its value before the loop: the name compared with a constant.
        for (int side = 0; side < 2 && !v; ++side) {
            const Expr* n = Bare(cond->args[side]);
            std::vector<double> other;
            if (n && n->kind == ExprKind::Name && evalConst(cond->args[1 - side], other)) v = n->var;
        }
    }
    if (!v) return false;
    Tok op = cond->op;
    std::vector<double> bound;
    if (IsVariable(cond->args[0], v)) {
        if (!evalConst(cond->args[1], bound)) return false;
    } else if (IsVariable(cond->args[1], v)) {
        if (!evalConst(cond->args[0], bound)) return false;
        op = op == Tok::Less ? Tok::Greater : op == Tok::Greater ? Tok::Less
           : op == Tok::LessEqual ? Tok::GreaterEqual : op == Tok::GreaterEqual ? Tok::LessEqual : op;
    } else {
        return false;
    }
    if (bound.size() != 1) return false;
    double delta = 0;
    const Expr* step = Bare(s->step);
    if ((step->kind == ExprKind::Postfix || step->kind == ExprKind::Unary) && IsVariable(step->args[0], v)) {
        if (step->op == Tok::PlusPlus) delta = 1;
        if (step->op == Tok::MinusMinus) delta = -1;
    } else if (step->kind == ExprKind::Assign && IsVariable(step->args[0], v)) {
        const Expr* value = Bare(step->args[1]);  // "v += c" is held as "v = v + c"
        std::vector<double> d;
        if (value->kind == ExprKind::Binary && IsVariable(value->args[0], v) && evalConst(value->args[1], d) &&
            d.size() == 1 && (value->op == Tok::Plus || value->op == Tok::Minus))
            delta = value->op == Tok::Plus ? d[0] : -d[0];
    }
    if (delta == 0) return false;
    if (start.size() != 1)
        return (delta > 0 && (op == Tok::Less || op == Tok::LessEqual)) ||
               (delta < 0 && (op == Tok::Greater || op == Tok::GreaterEqual));
    double x = start[0];
    const double b = bound[0];
    for (int n = 0; n <= kMostUnrolled; ++n) {
        const bool runs = op == Tok::Less ? x < b : op == Tok::LessEqual ? x <= b : op == Tok::Greater ? x > b
                        : op == Tok::GreaterEqual ? x >= b : op == Tok::NotEqual ? x != b : op == Tok::Equal && x == b;
        if (!runs) {
            trips = n;
            return true;
        }
        x += delta;
    }
    // Too long to unroll; a counter moving toward an ordered bound still has a known count.
    const bool up = delta > 0 && (op == Tok::Less || op == Tok::LessEqual);
    const bool down = delta < 0 && (op == Tok::Greater || op == Tok::GreaterEqual);
    if (up || down) {
        const double span = (b - start[0]) / delta;  // positive here
        const double n = (op == Tok::LessEqual || op == Tok::GreaterEqual) ? std::floor(span) + 1 : std::ceil(span);
        if (n < 9e18) trips = static_cast<long long>(n);
    }
    return false;
}

// Records a loop a model without loops cannot unroll: its length when known.
void Checker::noteLoop(const Stmt* s, long long trips) {
    if (!current_) return;
    const std::string_view what =
        trips < 0 ? std::string_view("a loop of unknown length")
                  : m_.keep("a loop of " + std::to_string(trips) + " iterations (more than " +
                            std::to_string(kMostUnrolled) + " to unroll)");
    current_->stageUses.push_back({s->line, s->column, what, Availability::Loops});
}

// block := { statement... }
void Checker::checkBlock(Stmt* s, bool newScope) {
    if (newScope) scopes_.emplace_back();
    for (Stmt* b : s->body) checkStmt(b);
    if (newScope) scopes_.pop_back();
}

// The condition of if, while, do and for: a scalar converted to bool (a vector is truncated
// to its first component, with a warning).
void Checker::checkCondition(Expr*& e) {
    check(e);
    if (IsPoison(e->type)) return;
    if (!e->type.isScalar()) {
        if (e->type.isVector()) {
            report(Diag::ImplicitTruncation, e);
            coerce(e, Type::Scalar(Base::Bool), true);
            return;
        }
        report(Diag::TypeMismatch, e, TypeName(e->type), "bool");
        return;
    }
    coerce(e, Type::Scalar(Base::Bool));
}

// statement := block | expression ; | declaration | if | while | do | for | break | continue
//            | return | discard | ;
void Checker::checkStmt(Stmt* s) {
    switch (s->kind) {
        case StmtKind::Block: checkBlock(s, true); break;
        case StmtKind::Expr: check(s->expr); break;
        case StmtKind::Decl:
            for (VarDecl* v : s->decls) {
                if (v->type.base == Base::Void) {
                    report(Diag::VoidVariable, v->line, v->column, std::string(v->name));
                    continue;
                }
                if (v->type.base == Base::Sampler || v->type.base == Base::Texture ||
                    v->type.base == Base::String || v->hasSamplerState) {
                    // GLSL has samplers only as uniforms and parameters: a local copy of one
                    // (or an array of them) has no form there. The name stays declared, so its
                    // uses do not add "undeclared identifier" errors of their own.
                    const bool object = v->type.base != Base::String;
                    report(Diag::UnsupportedFeature, v->line, v->column,
                           "a local variable of type '" + TypeName(v->type) + "'" +
                               (object ? " (a sampler or a texture is a global or a parameter)" : ""));
                    v->type = Poison();
                    declareLocal(v);
                    continue;
                }
                checkInitializer(v);
                declareLocal(v);
            }
            break;
        case StmtKind::If:
            checkCondition(s->expr);
            checkNested(s->then);
            if (s->otherwise) checkNested(s->otherwise);
            break;
        case StmtKind::While:
        case StmtKind::Do:
            checkCondition(s->expr);
            ++loops_;
            checkNested(s->then);
            --loops_;
            if (long long trips = 0; current_ && !IsPoison(s->expr->type) && !unrollable(s, trips)) noteLoop(s, trips);
            break;
        case StmtKind::For:
            // Direct3D 9's scoping: a variable declared in the initialiser belongs to the
            // enclosing block, so it is still visible after the loop.
            if (s->init) {
                forInit_ = true;
                checkStmt(s->init);
                forInit_ = false;
            }
            if (s->expr) checkCondition(s->expr);
            if (s->step) check(s->step);
            ++loops_;
            checkNested(s->then);
            --loops_;
            if (long long trips = 0; current_ && !unrollable(s, trips)) noteLoop(s, trips);
            break;
        case StmtKind::Switch: {
            // switch := 'switch' ( int ) { (case CONSTANT : | default : | statement)* }
            check(s->expr);
            if (!IsPoison(s->expr->type) && (s->expr->type.base == Base::Float || !s->expr->type.isScalar())) {
                report(Diag::BadStatement, s->expr, "switch", "needs an integer scalar");
            } else if (!IsPoison(s->expr->type)) {
                coerce(s->expr, Type::Scalar(Base::Int));
            }
            ++switches_;
            checkBlock(s, true);
            --switches_;
            std::vector<double> seen;
            bool sawDefault = false;
            for (Stmt* c : s->body) {
                if (c->kind != StmtKind::Case) continue;
                if (!c->expr) {
                    if (sawDefault)
                        report(Diag::BadStatement, c->line, c->column, "default", "is given twice in a switch");
                    sawDefault = true;
                    continue;
                }
                const double v = c->label;
                if (std::find(seen.begin(), seen.end(), v) != seen.end())
                    report(Diag::BadStatement, c->line, c->column, "case " + std::to_string(static_cast<long>(v)),
                           "is given twice in a switch");
                seen.push_back(v);
            }
            break;
        }
        case StmtKind::Case: {
            if (switches_ == 0) {
                report(Diag::BadStatement, s->line, s->column, s->expr ? "case" : "default",
                       "is only allowed inside a switch");
                break;
            }
            if (!s->expr) break;
            check(s->expr);
            std::vector<double> v;
            if (IsPoison(s->expr->type)) break;
            if (!s->expr->type.isScalar() || s->expr->type.base == Base::Float || !evalConst(s->expr, v) ||
                v.size() != 1) {
                report(Diag::BadStatement, s->line, s->column, "case", "needs an integer constant");
                break;
            }
            s->label = v[0];
            break;
        }
        case StmtKind::Break:
            if (loops_ == 0 && switches_ == 0)
                report(Diag::BadStatement, s->line, s->column, "break", "is only allowed inside a loop or a switch");
            break;
        case StmtKind::Continue:
            if (loops_ == 0)
                report(Diag::BadStatement, s->line, s->column,
                       s->kind == StmtKind::Break ? "break" : "continue",
                       "is only allowed inside a loop");
            break;
        case StmtKind::Return: {
            const Type ret = current_->ret;
            if (!s->expr) {
                if (ret.base != Base::Void)
                    report(Diag::BadReturn, s->line, s->column, "a value is required");
                break;
            }
            check(s->expr);
            if (IsPoison(s->expr->type)) break;
            if (ret.base == Base::Void) {
                report(Diag::BadReturn, s->line, s->column, "a void function returns no value");
                break;
            }
            coerce(s->expr, ret);
            break;
        }
        case StmtKind::Discard:
            if (current_) current_->stageUses.push_back({s->line, s->column, "discard", Availability::Pixel});
            break;
        case StmtKind::Empty: break;
    }
}

// The body of if or a loop: a scope of its own even when it is not a block.
void Checker::checkNested(Stmt* s) {
    scopes_.emplace_back();
    checkStmt(s);
    scopes_.pop_back();
}

// Reports every function that calls itself, directly or through others (shaders cannot
// recurse); such functions are never compiled into a stage.
void Checker::checkRecursion() {
    // 0 = unvisited, 1 = on the stack, 2 = done
    std::unordered_map<const FuncDecl*, int> state;
    std::function<void(const FuncDecl*)> visit = [&](const FuncDecl* f) {
        state[f] = 1;
        for (const FuncDecl* c : f->callees) {
            if (state[c] == 1) {
                if (!reportedRecursion_.count(c)) {
                    reportedRecursion_.insert(c);
                    report(Diag::RecursiveCall, c->line, c->column, std::string(c->name));
                }
                recursive_.insert(c);
                recursive_.insert(f);
            } else if (state[c] == 0) {
                visit(c);
            }
        }
        state[f] = 2;
    };
    for (const FuncDecl* f : m_.functions)
        if (f->body && state[f] == 0) visit(f);
}

}  // namespace platform::gfx::fx
