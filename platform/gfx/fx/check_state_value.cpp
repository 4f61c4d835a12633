// platform/gfx/fx/check_state_value.cpp: the values of state assignments. A value is a
// constant program (const_lower.h) over the state's value names, literals, parameters, static
// constants, operators, ?:, casts, constructors, swizzles, indices, folding intrinsics, lists
// and calls of functions that return a value: folded now when it reads no parameter, else kept
// for the effect to run when a pass begins, by the same evaluator (const_eval.h).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gfx/fx/checker.h"
#include "platform/gfx/fx/const_eval.h"
#include "platform/gfx/fx/const_lower.h"

namespace platform::gfx::fx {
namespace {

constexpr int kMaxStateDepth = 64;  // nesting of a state value's expression

// A double as a 32-bit state word: values outside the 64-bit range (and NaN) give 0 instead of
// undefined behaviour, then the low 32 bits are kept as Direct3D's DWORD cast does.
std::uint32_t Word(double v) {
    if (!(std::fabs(v) < 9.2e18)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(v));
}

std::uint32_t FloatBits(double v) {
    const float f = static_cast<float>(std::clamp(v, -3.4e38, 3.4e38));
    std::uint32_t out = 0;
    std::memcpy(&out, &f, sizeof out);
    return out;
}

// A colour's four 0-1 channels (red, green, blue, alpha) as a D3DCOLOR.
std::uint32_t ColourWord(const std::vector<double>& v) {
    auto byte = [](double x) {
        return static_cast<std::uint32_t>(std::clamp(std::isnan(x) ? 0.0 : x, 0.0, 1.0) * 255.0 + 0.5);
    };
    return byte(v[3]) << 24 | byte(v[0]) << 16 | byte(v[1]) << 8 | byte(v[2]);
}

}  // namespace

// What the names and calls of a state value of kind "kind" mean: a bare name is first a value
// of the state ("ColorArg1 = Texture" means the texture argument even where a sampler is called
// Texture; "<NAME>" is a parameter), then a parameter, read when the pass begins, or a global
// with a constant value. A call of a function no shader stage compiles is its body's value.
class Checker::StateSource : public ConstSource {
public:
    StateSource(Checker& c, ValueKind kind) : c_(c), kind_(kind) {}

    bool name(const Expr* e, Type& type, std::vector<StateOp>& ops) override {
        double v = 0;
        if (!e->var && e->op != Tok::Less && Checker::enumValue(e->text, kind_, v)) {
            type = Type::Scalar(Base::Int);
            ops.push_back(StateOp::Number(v));
            return true;
        }
        const VarDecl* var = e->var ? e->var : c_.lookupVar(e->text);
        if (!var) return refuse(e, "' is not a value of this state, nor a parameter");
        type = var->type;
        if (var->isGlobal && !(var->storage & kStorageStatic) && var->reflectIndex >= 0 && var->type.isNumeric() &&
            ScalarCount(var->type) <= 4096) {
            StateOp p;
            p.kind = StateOp::Parameter;
            p.index = var->reflectIndex;
            p.count = static_cast<int>(ScalarCount(var->type));
            ops.push_back(std::move(p));
            return true;
        }
        std::vector<double> value;
        c_.evalDepth_ = 0;
        if (var->isGlobal && var->init && var->type.isNumeric() && c_.globalValue(var, value)) {
            ops.push_back(ConstValueOp(std::move(value)));
            return true;
        }
        return refuse(e, "' is not a numeric parameter or constant");
    }

    Call call(const Expr* e, Type& type, std::vector<StateOp>& ops, int depth) override {
        const auto it = c_.functions_.find(e->text);
        if (it == c_.functions_.end() || !e->args.empty()) return Call::NotMine;
        for (const FuncDecl* f : it->second) {
            const FuncDecl* d = f->definition ? f->definition : f;
            if (!d->params.empty() || !d->body) continue;
            if (returnProgram(d->body, type, ops, depth)) return Call::Done;
            if (!reported) refuse(e, "' must return an expression, or choose one with if and else");
            return Call::Failed;
        }
        return Call::NotMine;
    }

    bool prepare(Expr* e) override {
        if (e->type.base == Base::Void) c_.check(e);
        reported = reported || IsPoison(e->type);
        return !IsPoison(e->type);
    }
    bool braces() const override { return true; }
    double trueValue() const override { return kind_ == ValueKind::ColorWrite ? 15 : 1; }
    int maxDepth() const override { return kMaxStateDepth; }
    void tooDeep(const Expr* e) override {
        if (!reported) c_.report(Diag::NestingTooDeep, e->line, e->column, std::to_string(kMaxStateDepth));
        reported = true;
    }

    bool reported = false;  // a diagnostic names what is wrong

private:
    bool refuse(const Expr* e, const char* why) {
        c_.report(Diag::BadStateValue, e->line, e->column, c_.stateName_,
                  ": '" + std::string(e->text.substr(0, 40)) + why);
        reported = true;
        return false;
    }

    // A function body that returns a value: "return e;", or "if (c) <body> else <body>" with a
    // returning body on each side (a selection). False when the body is other.
    bool returnProgram(const Stmt* body, Type& type, std::vector<StateOp>& ops, int depth) {
        if (!body || depth > kMaxStateDepth) return false;
        while (body->kind == StmtKind::Block && body->body.size() == 1) body = body->body[0];
        if (body->kind == StmtKind::Return && body->expr) return LowerConst(body->expr, *this, type, ops, depth + 1);
        // "if (c) return a; return b;" and "if (c) return a; else return b;"
        const Stmt* test = nullptr;
        const Stmt* yes = nullptr;
        const Stmt* no = nullptr;
        if (body->kind == StmtKind::If) {
            test = body;
            yes = body->then;
            no = body->otherwise;
        } else if (body->kind == StmtKind::Block && body->body.size() == 2 && body->body[0]->kind == StmtKind::If &&
                   !body->body[0]->otherwise) {
            test = body->body[0];
            yes = test->then;
            no = body->body[1];
        }
        if (!test || !yes || !no) return false;
        const ValueKind kind = kind_;
        kind_ = ValueKind::Int;  // the condition is a number, not a value of the state
        Type c, other;
        const bool tested = LowerConst(test->expr, *this, c, ops, depth + 1);
        kind_ = kind;
        if (!tested || !returnProgram(yes, type, ops, depth + 1) || !returnProgram(no, other, ops, depth + 1))
            return false;
        if (other.components() > type.components()) type = other;
        StateOp select;
        select.kind = StateOp::Select;
        ops.push_back(std::move(select));
        return true;
    }

    Checker& c_;
    ValueKind kind_;
};

// The programs of state value "e": one, or four for a colour or vector state given a value of
// three or more components (red, green, blue, alpha; three components have an opaque alpha).
// False after a diagnostic.
bool Checker::statePrograms(const Expr* e, ValueKind kind, StateExpression& expr) {
    StateSource source(*this, kind);
    std::vector<StateOp> ops;
    Type type;
    if (!LowerConst(e, source, type, ops)) {
        if (!source.reported) {
            const Expr* at = source.refused ? source.refused : e;
            report(Diag::BadStateValue, at->line, at->column, stateName_,
                   ": the expression is not a constant, a parameter or an operator of them");
        }
        return false;
    }
    const long long n = std::max(1LL, ScalarCount(type));
    const bool vector = (kind == ValueKind::Colour || kind == ValueKind::Vector) && n >= 3;
    for (long long c = 0; c < (vector ? 4 : 1); ++c) {
        expr.programs.push_back(ops);
        if (c == 3 && n == 3) {
            expr.programs.back() = {StateOp::Number(1.0)};
        } else if (n > 1) {
            StateOp pick;
            pick.kind = StateOp::Gather;
            pick.picks = {static_cast<int>(std::min(c, n - 1))};
            expr.programs.back().push_back(std::move(pick));
        }
    }
    return true;
}

// The value of a state assignment as a constant ("constant" true, "out" the state word) or as
// a program over parameters ("expr.programs"). False after a diagnostic.
bool Checker::stateValue(const Expr* e, const char* stateName, ValueKind kind, std::uint32_t& out,
                         bool& constant, StateExpression& expr) {
    expr.programs.clear();
    expr.asFloat = kind == ValueKind::Float;
    stateName_ = stateName;
    if (!statePrograms(e, kind, expr)) return false;
    constant = true;
    for (const auto& p : expr.programs)
        for (const StateOp& op : p) constant = constant && op.kind != StateOp::Parameter;
    if (!constant) return true;
    std::vector<double> values;
    for (const auto& p : expr.programs) {
        std::vector<double> v;
        const ConstStatus s = RunConstProgram(p, nullptr, v);
        if (s != ConstStatus::Ok) {
            report(Diag::BadStateValue, e->line, e->column, stateName_,
                   s == ConstStatus::DivisionByZero ? ": the expression divides by zero"
                                                    : ": the expression cannot be evaluated");
            return false;
        }
        values.push_back(v[0]);
    }
    if (values.size() == 4) out = ColourWord(values);
    else if (kind == ValueKind::Float) out = FloatBits(values[0]);
    else out = Word(values[0]);
    return true;
}

// The numbers of a state value written as a list ("{1.0, 0.5, 0, 1}", lists nested in order):
// each leaf is a constant of one or more components. False after a diagnostic.
bool Checker::braceValues(Expr* brace, std::vector<double>& out) {
    std::vector<Expr*> todo(brace->args.rbegin(), brace->args.rend());
    while (!todo.empty()) {
        Expr* a = todo.back();
        todo.pop_back();
        if (a->kind == ExprKind::Brace) {
            todo.insert(todo.end(), a->args.rbegin(), a->args.rend());
            continue;
        }
        check(a);
        std::vector<double> v;
        evalDepth_ = 0;
        if (IsPoison(a->type)) return false;
        if (!a->type.isNumericValue() || ReadsParameter(a) || !evalConst(a, v) || v.empty() ||
            out.size() + v.size() > 4096) {
            report(Diag::BadStateValue, a->line, a->column, stateName_ ? stateName_ : "",
                   ": a list's values must be constants");
            return false;
        }
        out.insert(out.end(), v.begin(), v.end());
    }
    if (out.empty()) report(Diag::BadStateValue, brace->line, brace->column, stateName_ ? stateName_ : "", ": the list is empty");
    return !out.empty();
}

}  // namespace platform::gfx::fx
