// platform/gfx/fx/const_eval.cpp: the operator table of constant expressions and the
// evaluator of constant programs (const_eval.h).
#include "platform/gfx/fx/const_eval.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/gfx/fx/check.h"

namespace platform::gfx::fx {
namespace {

using U64 = std::uint64_t;
using I64 = std::int64_t;

// Integer operands in two's complement; "bits" is 32 or 64, "sign" whether the mode is signed.
// Every result is computed in 64 bits and narrowed by the caller, which is how wrapping works.
struct IntArgs {
    I64 a, b;
    int bits;
    bool sign;
};

// The row of one binary operator: its float form (null where floats have none) and its
// integer form (null where integers fold through the float form, as the comparisons do not).
struct BinaryRow {
    Tok op;
    double (*real)(double, double);
    ConstStatus (*whole)(const IntArgs&, I64&);
};

ConstStatus Divide(const IntArgs& x, I64& r) {
    if (x.b == 0) return ConstStatus::DivisionByZero;
    if (!x.sign) r = static_cast<I64>(static_cast<U64>(x.a) / static_cast<U64>(x.b));
    else if (x.a == INT64_MIN && x.b == -1) r = x.a;  // wraps, as the 32-bit modes do
    else r = x.a / x.b;
    return ConstStatus::Ok;
}

ConstStatus Remainder(const IntArgs& x, I64& r) {
    if (x.b == 0) return ConstStatus::DivisionByZero;
    if (!x.sign) r = static_cast<I64>(static_cast<U64>(x.a) % static_cast<U64>(x.b));
    else if (x.b == -1) r = 0;
    else r = x.a % x.b;
    return ConstStatus::Ok;
}

#define FX_INT(expr) [](const IntArgs& x, I64& r) { r = (expr); return ConstStatus::Ok; }
#define FX_REAL(expr) [](double a, double b) -> double { return (expr); }

constexpr BinaryRow kBinary[] = {
    {Tok::Plus, FX_REAL(a + b), FX_INT(static_cast<I64>(static_cast<U64>(x.a) + static_cast<U64>(x.b)))},
    {Tok::Minus, FX_REAL(a - b), FX_INT(static_cast<I64>(static_cast<U64>(x.a) - static_cast<U64>(x.b)))},
    {Tok::Star, FX_REAL(a * b), FX_INT(static_cast<I64>(static_cast<U64>(x.a) * static_cast<U64>(x.b)))},
    {Tok::Slash, FX_REAL(a / b), Divide},
    {Tok::Percent, FX_REAL(std::fmod(a, b)), Remainder},
    {Tok::Amp, nullptr, FX_INT(x.a & x.b)},
    {Tok::Pipe, nullptr, FX_INT(x.a | x.b)},
    {Tok::Caret, nullptr, FX_INT(x.a ^ x.b)},
    {Tok::Shl, nullptr, FX_INT(static_cast<I64>(static_cast<U64>(x.a) << (x.b & (x.bits - 1))))},
    {Tok::Shr, nullptr,
     FX_INT(x.sign ? x.a >> (x.b & (x.bits - 1))
                   : static_cast<I64>((static_cast<U64>(x.a) & (x.bits == 64 ? ~U64{0} : 0xffffffffu)) >>
                                      (x.b & (x.bits - 1))))},
    {Tok::Less, FX_REAL(a < b), FX_INT(x.sign ? x.a < x.b : static_cast<U64>(x.a) < static_cast<U64>(x.b))},
    {Tok::Greater, FX_REAL(a > b), FX_INT(x.sign ? x.a > x.b : static_cast<U64>(x.a) > static_cast<U64>(x.b))},
    {Tok::LessEqual, FX_REAL(a <= b), FX_INT(x.sign ? x.a <= x.b : static_cast<U64>(x.a) <= static_cast<U64>(x.b))},
    {Tok::GreaterEqual, FX_REAL(a >= b), FX_INT(x.sign ? x.a >= x.b : static_cast<U64>(x.a) >= static_cast<U64>(x.b))},
    {Tok::Equal, FX_REAL(a == b), FX_INT(x.a == x.b)},
    {Tok::NotEqual, FX_REAL(a != b), FX_INT(x.a != x.b)},
    {Tok::AndAnd, FX_REAL(a != 0 && b != 0), FX_INT(x.a != 0 && x.b != 0)},
    {Tok::OrOr, FX_REAL(a != 0 || b != 0), FX_INT(x.a != 0 || x.b != 0)},
};

#undef FX_INT
#undef FX_REAL

const BinaryRow* FindBinary(Tok op) {
    for (const BinaryRow& r : kBinary)
        if (r.op == op) return &r;
    return nullptr;
}

// A 32-bit mode's operand as its 64-bit two's complement pattern (uint zero-extended).
I64 Word(double v, bool sign) {
    const I64 w = std::fabs(v) < 9.2e18 ? static_cast<I64>(v) : 0;
    return sign ? static_cast<I64>(static_cast<std::int32_t>(static_cast<std::uint32_t>(w)))
                : static_cast<I64>(static_cast<std::uint32_t>(w));
}

double Narrow(I64 r, bool sign) {
    return sign ? static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(r)))
                : static_cast<double>(static_cast<std::uint32_t>(r));
}

}  // namespace

ConstStatus ConstBinary(Tok op, ConstMode mode, double a, double b, double& out) {
    const BinaryRow* row = FindBinary(op);
    if (!row) return ConstStatus::NotConstant;
    if (mode == ConstMode::Float) {
        if (!row->real || (op == Tok::Percent && b == 0)) return ConstStatus::NotConstant;
        out = row->real(a, b);
        return ConstStatus::Ok;
    }
    if (mode == ConstMode::Wide) {
        I64 r = 0;
        const ConstStatus s = ConstBinary64(op, static_cast<I64>(a), static_cast<I64>(b), r);
        if (s == ConstStatus::Ok) out = static_cast<double>(r);
        return s;
    }
    const bool sign = mode != ConstMode::Uint;
    I64 r = 0;
    const ConstStatus s = row->whole({Word(a, sign), Word(b, sign), 32, sign}, r);
    if (s != ConstStatus::Ok) return s;
    out = Narrow(r, sign);
    return ConstStatus::Ok;
}

ConstStatus ConstUnary(Tok op, ConstMode mode, double a, double& out) {
    switch (op) {
        case Tok::Plus: out = a; return ConstStatus::Ok;
        case Tok::Bang: out = a == 0; return ConstStatus::Ok;
        case Tok::Minus:
            if (mode != ConstMode::Float) return ConstBinary(Tok::Minus, mode, 0, a, out);
            out = -a;  // keeps the sign of a zero
            return ConstStatus::Ok;
        case Tok::Tilde:
            if (mode == ConstMode::Float) return ConstStatus::NotConstant;
            return ConstBinary(Tok::Caret, mode, a, -1, out);
        default: return ConstStatus::NotConstant;
    }
}

ConstStatus ConstBinary64(Tok op, I64 a, I64 b, I64& out) {
    const BinaryRow* row = FindBinary(op);
    if (!row) return ConstStatus::NotConstant;
    return row->whole({a, b, 64, true}, out);
}

ConstStatus ConstUnary64(Tok op, I64 a, I64& out) {
    switch (op) {
        case Tok::Plus: out = a; return ConstStatus::Ok;
        case Tok::Bang: out = a == 0; return ConstStatus::Ok;
        case Tok::Minus: return ConstBinary64(Tok::Minus, 0, a, out);
        case Tok::Tilde: out = ~a; return ConstStatus::Ok;
        default: return ConstStatus::NotConstant;
    }
}

double ConstConvert(ConstMode to, double v) {
    switch (to) {
        case ConstMode::Float: return v;
        case ConstMode::Bool: return v != 0.0;
        case ConstMode::Int: return Narrow(Word(std::trunc(v), true), true);
        case ConstMode::Uint: return Narrow(Word(std::trunc(v), false), false);
        case ConstMode::Wide: return std::fabs(v) < 9.2e18 ? std::trunc(v) : 0.0;
    }
    return v;
}

namespace {

using Value = std::vector<double>;

// One component of a value that has one or "n": a one-component value serves every component.
double At(const Value& v, std::size_t i) { return v[v.size() == 1 ? 0 : i]; }

// The component count of an operation on "a" and "b": equal, or one of them a single one.
bool Common(const Value& a, const Value& b, std::size_t& n) {
    if (a.empty() || b.empty() || (a.size() != b.size() && a.size() != 1 && b.size() != 1)) return false;
    n = std::max(a.size(), b.size());
    return true;
}

// The intrinsics that fold a whole vector rather than one component at a time.
ConstStatus WholeIntrinsic(Intrinsic k, const std::vector<Value>& a, Value& out) {
    auto dot = [&]() {
        double d = 0;
        for (std::size_t i = 0; i < a[0].size() && i < a.back().size(); ++i) d += a[0][i] * a.back()[i];
        return d;
    };
    switch (k) {
        case Intrinsic::k_dot:
            if (a.size() != 2) return ConstStatus::NotConstant;
            out = {dot()};
            return ConstStatus::Ok;
        case Intrinsic::k_length:
            if (a.size() != 1) return ConstStatus::NotConstant;
            out = {std::sqrt(dot())};
            return ConstStatus::Ok;
        case Intrinsic::k_normalize: {
            const double len = a.size() == 1 ? std::sqrt(dot()) : 0.0;
            if (len == 0.0) return ConstStatus::NotConstant;
            for (double v : a[0]) out.push_back(v / len);
            return ConstStatus::Ok;
        }
        default: return ConstStatus::NotConstant;
    }
}

ConstStatus RunIntrinsic(int row, std::vector<Value>& a, Value& out) {
    if (row < 0 || row >= kIntrinsicCount) return ConstStatus::NotConstant;
    if (!IntrinsicRowOf(row).fold) return WholeIntrinsic(static_cast<Intrinsic>(row), a, out);
    std::size_t n = 1;
    for (const Value& v : a) n = std::max(n, v.size());
    for (const Value& v : a)
        if (v.empty() || (v.size() != 1 && v.size() != n)) return ConstStatus::NotConstant;
    for (std::size_t i = 0; i < n; ++i) {  // a scalar argument serves every component
        double x[3] = {0, 0, 0}, r = 0;
        for (std::size_t j = 0; j < a.size() && j < 3; ++j) x[j] = At(a[j], i);
        if (!FoldIntrinsic(row, x, static_cast<int>(a.size()), r)) return ConstStatus::NotConstant;
        out.push_back(r);
    }
    return ConstStatus::Ok;
}

// One step on the value stack; NotConstant where the program is malformed.
ConstStatus Step(const StateOp& op, const std::function<double(int, int)>& parameter, std::vector<Value>& stack) {
    using K = StateOp::Kind;
    const auto mode = static_cast<ConstMode>(op.mode);
    const auto arity = op.kind == K::Constant || op.kind == K::Parameter ? 0u
                       : op.kind == K::Binary || op.kind == K::Index || op.kind == K::Comma ? 2u
                       : op.kind == K::Select ? 3u
                       : op.kind == K::Concat || op.kind == K::Intrinsic ? static_cast<unsigned>(std::max(0, op.count))
                       : 1u;
    if (stack.size() < arity || (op.kind == K::Intrinsic && (op.count < 1 || op.count > 3))) return ConstStatus::NotConstant;
    Value r;
    switch (op.kind) {
        case K::Constant: stack.push_back(op.values); return ConstStatus::Ok;
        case K::Parameter:
            if (!parameter || op.count < 1 || static_cast<std::size_t>(op.count) > kMaxConstComponents) return ConstStatus::NotConstant;
            for (int c = 0; c < op.count; ++c) r.push_back(parameter(op.index, c));
            stack.push_back(std::move(r));
            return ConstStatus::Ok;
        case K::Unary:
            for (double& v : stack.back())
                if (const ConstStatus s = ConstUnary(static_cast<Tok>(op.op), mode, v, v); s != ConstStatus::Ok) return s;
            return ConstStatus::Ok;
        case K::Convert:
            for (double& v : stack.back()) v = ConstConvert(mode, v);
            return ConstStatus::Ok;
        case K::Gather: {
            const Value& v = stack.back();
            if (op.picks.empty()) {
                if (op.count < 1 || static_cast<std::size_t>(op.count) > v.size()) return ConstStatus::NotConstant;
                r.assign(v.begin(), v.begin() + op.count);
            }
            for (int k : op.picks) {
                if (k < 0 || static_cast<std::size_t>(k) >= v.size()) return ConstStatus::NotConstant;
                r.push_back(v[static_cast<std::size_t>(k)]);
            }
            stack.back() = std::move(r);
            return ConstStatus::Ok;
        }
        case K::Splat:
            if (stack.back().size() != 1 || op.count < 1 || static_cast<std::size_t>(op.count) > kMaxConstComponents) return ConstStatus::NotConstant;
            stack.back().assign(static_cast<std::size_t>(op.count), stack.back()[0]);
            return ConstStatus::Ok;
        case K::Concat: {
            std::size_t total = 0;
            for (std::size_t i = stack.size() - arity; i < stack.size(); ++i) total += stack[i].size();
            if (total > kMaxConstComponents) return ConstStatus::NotConstant;
            for (std::size_t i = stack.size() - arity; i < stack.size(); ++i) r.insert(r.end(), stack[i].begin(), stack[i].end());
            stack.resize(stack.size() - arity);
            stack.push_back(std::move(r));
            return ConstStatus::Ok;
        }
        case K::Intrinsic: {
            std::vector<Value> args(stack.end() - arity, stack.end());
            stack.resize(stack.size() - arity);
            if (const ConstStatus s = RunIntrinsic(op.index, args, r); s != ConstStatus::Ok) return s;
            stack.push_back(std::move(r));
            return ConstStatus::Ok;
        }
        default: break;
    }
    if (op.kind == K::Select) {
        const Value no = std::move(stack.back());
        stack.pop_back();
        const Value yes = std::move(stack.back());
        stack.pop_back();
        const Value test = std::move(stack.back());
        std::size_t n = 0, m = 0;
        if (!Common(test, yes, n) || !Common(yes, no, m) || !Common(test, no, n)) return ConstStatus::NotConstant;
        n = std::max(n, m);
        for (std::size_t i = 0; i < n; ++i) r.push_back(At(test, i) != 0 ? At(yes, i) : At(no, i));
        stack.back() = std::move(r);
        return ConstStatus::Ok;
    }
    Value b = std::move(stack.back());
    stack.pop_back();
    Value& a = stack.back();
    if (op.kind == K::Comma) {
        a = std::move(b);
        return ConstStatus::Ok;
    }
    if (op.kind == K::Index) {
        if (op.count == 0) return ConstStatus::Ok;
        if (b.size() != 1 || op.count < 0) return ConstStatus::NotConstant;
        const double i = ConstConvert(ConstMode::Int, b[0]);
        const double from = i * static_cast<double>(op.count);
        if (i < 0 || from + static_cast<double>(op.count) > static_cast<double>(a.size())) return ConstStatus::NotConstant;
        const auto at = a.begin() + static_cast<std::ptrdiff_t>(from);
        a = Value(at, at + op.count);
        return ConstStatus::Ok;
    }
    if (op.kind != K::Binary) return ConstStatus::NotConstant;
    std::size_t n = 0;
    if (!Common(a, b, n)) return ConstStatus::NotConstant;
    r.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        if (const ConstStatus s = ConstBinary(static_cast<Tok>(op.op), mode, At(a, i), At(b, i), r[i]); s != ConstStatus::Ok)
            return s;
    a = std::move(r);
    return ConstStatus::Ok;
}

}  // namespace

ConstStatus RunConstProgram(const std::vector<StateOp>& ops, const std::function<double(int, int)>& parameter,
                            std::vector<double>& out) {
    std::vector<Value> stack;
    stack.reserve(8);
    for (const StateOp& op : ops)
        if (const ConstStatus s = Step(op, parameter, stack); s != ConstStatus::Ok) return s;
    if (stack.size() != 1 || stack[0].empty()) return ConstStatus::NotConstant;
    out = std::move(stack[0]);
    return ConstStatus::Ok;
}

bool RunStateProgram(const std::vector<StateOp>& ops, const std::function<double(int, int)>& parameter,
                     double& out) {
    std::vector<double> v;
    if (RunConstProgram(ops, parameter, v) != ConstStatus::Ok) return false;
    out = v[0];
    return true;
}

}  // namespace platform::gfx::fx
