// platform/gfx/fx/const_eval.cpp: the operator table of constant expressions (const_eval.h).
#include "platform/gfx/fx/const_eval.h"

#include <cmath>
#include <cstdint>

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

}  // namespace platform::gfx::fx
