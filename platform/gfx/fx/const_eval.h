// platform/gfx/fx/const_eval.h: the operators of constant expressions, one table for every
// place the compiler computes a value before the program runs: array sizes, initial values,
// static constants, state values (at compile time and at pass begin) and #if lines; and the
// one evaluator of constant programs (StateOp, fx.h), the form const_lower.h makes of every
// constant expression. The compiler runs a program to fold a constant, the effect object
// runs the ones that read parameters when a pass begins.
//
// A value is one scalar of a mode: float (IEEE double, as HLSL's float and double fold),
// int and uint (32-bit, wrapping), bool (0 or 1), or the preprocessor's 64-bit signed
// integers. The 32-bit modes and bool are carried in a double, which holds them exactly.
//
// Threads: pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gfx/fx/fx.h"
#include "platform/gfx/fx/lexer.h"

namespace platform::gfx::fx {

enum class ConstMode : unsigned char { Float, Int, Uint, Bool, Wide };

enum class ConstStatus : unsigned char {
    Ok,
    NotConstant,     // the operator does not apply to the mode (a bit operator on floats)
    DivisionByZero,  // an integer division or remainder by zero
};

// "a op b" in "mode". Comparisons and && || give 0 or 1. Float division by zero gives an
// infinity or NaN; a float remainder by zero is not folded.
ConstStatus ConstBinary(Tok op, ConstMode mode, double a, double b, double& out);
// "op a" for - + ! ~.
ConstStatus ConstUnary(Tok op, ConstMode mode, double a, double& out);
// The preprocessor's 64-bit forms: two's complement, C's precedence is the caller's.
ConstStatus ConstBinary64(Tok op, std::int64_t a, std::int64_t b, std::int64_t& out);
ConstStatus ConstUnary64(Tok op, std::int64_t a, std::int64_t& out);
// A value converted to "to": int and uint truncate toward zero and wrap to 32 bits (a value
// beyond 64 bits or NaN becomes 0), bool tests against zero, float keeps it.
double ConstConvert(ConstMode to, double v);

// The most components one value of a constant program may hold.
inline constexpr std::size_t kMaxConstComponents = std::size_t{1} << 20;

// Runs constant program "ops"; "parameter(index, component)" gives a parameter's current
// value (null: the program reads none). Ok with the value's components in "out";
// DivisionByZero for an integer division by zero; NotConstant for any other step that does not
// apply (a bit operator on floats, an index out of range, a malformed program).
ConstStatus RunConstProgram(const std::vector<StateOp>& ops,
                            const std::function<double(int, int)>& parameter, std::vector<double>& out);

}  // namespace platform::gfx::fx
