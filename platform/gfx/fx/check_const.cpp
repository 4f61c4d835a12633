// platform/gfx/fx/check_const.cpp: constant evaluation: the values of initial values, state values
// and annotations, folded from literals, constructors, conversions, arithmetic and intrinsics.
#include "platform/gfx/fx/checker.h"
#include "platform/gfx/fx/const_eval.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>

namespace platform::gfx::fx {
namespace {

// The mode a value of scalar type "b" computes in (double folds as float; the numeric types
// are the only ones that reach here).
ConstMode ModeOf(Base b) {
    return b == Base::Int ? ConstMode::Int : b == Base::Uint ? ConstMode::Uint : b == Base::Bool ? ConstMode::Bool : ConstMode::Float;
}

}  // namespace

// Evaluates a checked expression built from literals, constructors, conversions,
// arithmetic and other parameters' initial values; false when it is not constant.
bool Checker::evalConst(const Expr* e, std::vector<double>& out) {
    if (++evalDepth_ > 64) return false;
    const bool ok = evalInner(e, out);
    --evalDepth_;
    return ok;
}

// A global's constant value, computed once: expressions may name the same global many
// times, and a chain of such globals must not cost exponential time.
bool Checker::globalValue(const VarDecl* v, std::vector<double>& out) {
    auto it = constCache_.find(v);
    if (it != constCache_.end()) {
        out = it->second.second;
        return it->second.first;
    }
    constCache_[v] = {false, {}};  // a cycle through this global is not constant
    const bool ok = evalConst(v->init, out);
    constCache_[v] = {ok, ok ? out : std::vector<double>{}};
    return ok;
}

// constant := literal | global-with-initial-value | unary(- + !) constant
//           | constant (+ - * / % | & ^ << >>) constant | constant ? constant : constant
//           | conversion | cast | constructor
//           | intrinsic(constant...) | constant.swizzle | constant[constant]
// Integer division truncates and refuses a zero divisor.
bool Checker::evalInner(const Expr* e, std::vector<double>& out) {
    out.clear();
    switch (e->kind) {
        case ExprKind::IntLit: out.push_back(IntLiteralValue32(e->text)); return true;
        case ExprKind::FloatLit: out.push_back(FloatLiteralValue(e->text)); return true;
        case ExprKind::BoolLit: out.push_back(e->text == "true" ? 1.0 : 0.0); return true;
        case ExprKind::Name:
            if (!e->var || !e->var->isGlobal || !e->var->init) return false;
            return globalValue(e->var, out);
        case ExprKind::Unary: {
            if (!evalConst(e->args[0], out)) return false;
            const ConstMode mode = ModeOf(e->type.base);
            for (double& v : out)
                if (ConstUnary(e->op, mode, v, v) != ConstStatus::Ok) return false;
            return true;
        }
        case ExprKind::Binary: {
            std::vector<double> b;
            if (!evalConst(e->args[0], out) || !evalConst(e->args[1], b)) return false;
            if (b.size() != out.size()) return false;
            // Comparisons and logic give bools of their operands' type; the rest compute in
            // the result's type.
            const bool compares = e->type.base == Base::Bool && e->args[0]->type.base != Base::Bool;
            const ConstMode mode = ModeOf(compares ? e->args[0]->type.base : e->type.base);
            for (std::size_t i = 0; i < out.size(); ++i)
                if (ConstBinary(e->op, mode, out[i], b[i], out[i]) != ConstStatus::Ok) return false;
            return true;
        }
        case ExprKind::Convert:
        case ExprKind::Cast: {
            if (!evalConst(e->args[0], out)) return false;
            return convertValue(e->args[0]->type, e->type, out);
        }
        case ExprKind::Construct: {
            // Structs (built from brace lists) hold their members' values in order.
            std::vector<double> part;
            for (const Expr* a : e->args) {
                if (!evalConst(a, part)) return false;
                out.insert(out.end(), part.begin(), part.end());
            }
            if (e->type.base == Base::Struct) return true;
            if (out.size() == 1 && e->type.components() > 1 && !e->type.isArray())
                out.assign(static_cast<std::size_t>(e->type.components()), out[0]);
            if (e->type.base == Base::Int || e->type.base == Base::Uint || e->type.base == Base::Bool)
                for (double& v : out) v = ConstConvert(ModeOf(e->type.base), v);
            return true;
        }
        case ExprKind::Ternary: {
            // Component by component, as the shader computes it: both sides are values.
            std::vector<double> yes, no;
            if (!evalConst(e->args[0], out) || !evalConst(e->args[1], yes) || !evalConst(e->args[2], no))
                return false;
            const std::size_t n = std::max({out.size(), yes.size(), no.size()});
            for (const auto* v : {&out, &yes, &no})
                if (v->empty() || (v->size() != 1 && v->size() != n)) return false;
            std::vector<double> r(n);
            for (std::size_t i = 0; i < n; ++i)
                r[i] = out[out.size() == 1 ? 0 : i] != 0 ? yes[yes.size() == 1 ? 0 : i] : no[no.size() == 1 ? 0 : i];
            out = r;
            return true;
        }
        case ExprKind::Call: return e->ref == Ref::Intrinsic && evalIntrinsic(e, out);
        case ExprKind::Comma: {
            // "(1.0f, 1.0f, 1.0f, 1.0f)" is the comma operator: the value is the last one.
            std::vector<double> left;
            return evalConst(e->args[0], left) && evalConst(e->args[1], out);
        }
        case ExprKind::Index: {  // an element, a row of an array or a matrix, a component
            std::vector<double> base, index;
            if (!evalConst(e->args[0], base) || !evalConst(e->args[1], index) || index.size() != 1)
                return false;
            const Type& t = e->args[0]->type;
            if (!t.isArray() && (t.shape == Shape::One || t.shape == Shape::Row)) {
                out = base;
                return true;
            }
            const long long per = t.isArray() ? ScalarCount(t.indexed()) : t.isMatrix() ? t.cols : 1;
            const double at = index[0] * static_cast<double>(per);
            if (!(index[0] >= 0) || at + static_cast<double>(per) > static_cast<double>(base.size())) return false;
            const auto from = base.begin() + static_cast<std::ptrdiff_t>(at);
            out.assign(from, from + static_cast<std::ptrdiff_t>(per));
            return true;
        }
        case ExprKind::Member: {
            std::vector<double> base;
            if (e->swizzleCount == 0 || e->matrixSwizzle || !evalConst(e->args[0], base))
                return false;
            for (int i = 0; i < e->swizzleCount; ++i) {
                const auto k = static_cast<std::size_t>(e->swizzle[i]);
                out.push_back(k < base.size() ? base[k] : base[0]);
            }
            return true;
        }
        default: return false;
    }
}

// Constant folding of the float intrinsics that initial values use (an effect's initial
// values are evaluated once, at creation).
bool Checker::evalIntrinsic(const Expr* e, std::vector<double>& out) {
    std::vector<std::vector<double>> a(e->args.size());
    for (std::size_t i = 0; i < e->args.size(); ++i)
        if (!evalConst(e->args[i], a[i]) || a[i].empty()) return false;
    using I = Intrinsic;
    const auto k = static_cast<I>(e->intrinsic);
    const IntrinsicRow& row = IntrinsicRowOf(e->intrinsic);
    if (row.fold) {  // per component; a scalar argument serves every component
        std::size_t n = 1;
        for (const auto& v : a) n = std::max(n, v.size());
        for (const auto& v : a)
            if (v.size() != 1 && v.size() != n) return false;
        for (std::size_t i = 0; i < n; ++i) {
            double x[3] = {0, 0, 0}, r = 0;
            for (std::size_t j = 0; j < a.size() && j < 3; ++j) x[j] = a[j][a[j].size() == 1 ? 0 : i];
            if (!FoldIntrinsic(e->intrinsic, x, static_cast<int>(a.size()), r)) return false;
            out.push_back(r);
        }
        return true;
    }
    auto dot = [&]() {
        double d = 0;
        for (std::size_t i = 0; i < a[0].size() && i < a.back().size(); ++i) d += a[0][i] * a.back()[i];
        return d;
    };
    switch (k) {
        case I::k_dot: out.push_back(dot()); return true;
        case I::k_length: out.push_back(std::sqrt(dot())); return true;
        case I::k_normalize: {
            const double len = std::sqrt(dot());
            if (len == 0.0) return false;
            for (double v : a[0]) out.push_back(v / len);
            return true;
        }
        default: return false;
    }
}

// Converts a constant value between types as an implicit conversion would: a scalar splats,
// a matrix keeps its top-left part, a vector keeps its leading components; int truncates and
// bool tests against zero.
bool Checker::convertValue(const Type& from, const Type& to, std::vector<double>& v) {
    if (to.base == Base::Struct || from.base == Base::Struct || v.empty()) return false;
    if (to.isArray() || from.isArray()) {  // component by component
        const auto n = static_cast<std::size_t>(ScalarCount(to));
        if (v.size() < n) return false;
        v.resize(n);
        for (double& x : v) x = ConstConvert(ModeOf(to.base), x);
        return true;
    }
    if (from.isScalar() && to.components() > 1) {
        v.assign(static_cast<std::size_t>(to.components()), v[0]);
    } else if (from.isMatrix() && to.isMatrix()) {
        std::vector<double> r;
        for (int i = 0; i < to.rows; ++i)
            for (int j = 0; j < to.cols; ++j)
                r.push_back(v[static_cast<std::size_t>(i * from.cols + j)]);
        v = r;
    } else if (from.isMatrix() && to.shape == Shape::Column) {  // the first column
        std::vector<double> r;
        for (int i = 0; i < to.cols; ++i) r.push_back(v[static_cast<std::size_t>(i * from.cols)]);
        v = r;
    } else {
        v.resize(static_cast<std::size_t>(std::max(1, to.components())));
    }
    for (double& x : v) x = ConstConvert(ModeOf(to.base), x);
    return true;
}

}  // namespace platform::gfx::fx
