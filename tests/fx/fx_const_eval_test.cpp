// tests/fx/fx_const_eval_test.cpp: the constant operators, one row per mode's edge: 32-bit
// wrapping, unsigned and signed shifts and comparisons, division by zero per mode, and the
// preprocessor's 64-bit forms; constant programs that do not fit their steps are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/gfx/fx/const_eval.h"
#include "platform/gfx/fx/const_lower.h"

namespace fx = platform::gfx::fx;
using fx::ConstMode;
using fx::ConstStatus;
using fx::Tok;

TEST(FxConstEval, BinaryRowsFollowTheirMode) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        Tok op;
        ConstMode mode;
        double a, b;
        ConstStatus status;
        double want;
    } rows[] = {
        {Tok::Plus, ConstMode::Int, 2147483647, 1, ConstStatus::Ok, -2147483648.0},
        {Tok::Star, ConstMode::Int, 65536, 65536, ConstStatus::Ok, 0},
        {Tok::Minus, ConstMode::Uint, 0, 1, ConstStatus::Ok, 4294967295.0},
        {Tok::Slash, ConstMode::Int, -7, 2, ConstStatus::Ok, -3},
        {Tok::Slash, ConstMode::Int, -2147483648.0, -1, ConstStatus::Ok, -2147483648.0},
        {Tok::Percent, ConstMode::Int, -7, 2, ConstStatus::Ok, -1},
        {Tok::Slash, ConstMode::Int, 1, 0, ConstStatus::DivisionByZero, 0},
        {Tok::Percent, ConstMode::Uint, 1, 0, ConstStatus::DivisionByZero, 0},
        {Tok::Slash, ConstMode::Float, 1, 0, ConstStatus::Ok, inf},
        {Tok::Percent, ConstMode::Float, 1, 0, ConstStatus::NotConstant, 0},
        {Tok::Pipe, ConstMode::Float, 1, 2, ConstStatus::NotConstant, 0},
        {Tok::Shr, ConstMode::Int, -8, 1, ConstStatus::Ok, -4},
        {Tok::Shr, ConstMode::Uint, -8, 1, ConstStatus::Ok, 2147483644.0},
        {Tok::Shl, ConstMode::Int, 1, 33, ConstStatus::Ok, 2},
        {Tok::Less, ConstMode::Uint, -1, 1, ConstStatus::Ok, 0},
        {Tok::Less, ConstMode::Int, -1, 1, ConstStatus::Ok, 1},
        {Tok::AndAnd, ConstMode::Float, 0.5, 2, ConstStatus::Ok, 1},
        {Tok::Comma, ConstMode::Int, 1, 2, ConstStatus::NotConstant, 0},
    };
    for (const auto& r : rows) {
        double out = 0;
        EXPECT_EQ(fx::ConstBinary(r.op, r.mode, r.a, r.b, out), r.status) << r.a << " " << r.b;
        if (r.status == ConstStatus::Ok) EXPECT_EQ(out, r.want) << r.a << " " << r.b;
    }
    double out = 0;
    EXPECT_EQ(fx::ConstUnary(Tok::Minus, ConstMode::Int, -2147483648.0, out), ConstStatus::Ok);
    EXPECT_EQ(out, -2147483648.0);
    EXPECT_EQ(fx::ConstUnary(Tok::Tilde, ConstMode::Uint, 0, out), ConstStatus::Ok);
    EXPECT_EQ(out, 4294967295.0);
    EXPECT_EQ(fx::ConstUnary(Tok::Minus, ConstMode::Float, 0, out), ConstStatus::Ok);
    EXPECT_TRUE(std::signbit(out));
    EXPECT_EQ(fx::ConstConvert(ConstMode::Int, 4294967297.9), 1);
    EXPECT_EQ(fx::ConstConvert(ConstMode::Uint, -1.5), 4294967295.0);
    EXPECT_EQ(fx::ConstConvert(ConstMode::Int, std::nan("")), 0);
}

TEST(FxConstEval, WideRowsFollowSixtyFourBitC) {
    const std::int64_t lo = std::numeric_limits<std::int64_t>::min();
    const struct {
        Tok op;
        std::int64_t a, b;
        ConstStatus status;
        std::int64_t want;
    } rows[] = {
        {Tok::Slash, lo, -1, ConstStatus::Ok, lo},
        {Tok::Percent, lo, -1, ConstStatus::Ok, 0},
        {Tok::Percent, 5, 0, ConstStatus::DivisionByZero, 0},
        {Tok::Shl, 1, 63, ConstStatus::Ok, lo},
        {Tok::Shr, -1, 70, ConstStatus::Ok, -1},
        {Tok::Plus, std::numeric_limits<std::int64_t>::max(), 1, ConstStatus::Ok, lo},
        {Tok::Greater, 4294967296, 1, ConstStatus::Ok, 1},
    };
    for (const auto& r : rows) {
        std::int64_t out = 0;
        EXPECT_EQ(fx::ConstBinary64(r.op, r.a, r.b, out), r.status) << r.a << " " << r.b;
        if (r.status == ConstStatus::Ok) EXPECT_EQ(out, r.want) << r.a << " " << r.b;
    }
}

TEST(FxConstEval, MalformedProgramsAreRefusedNotRead) {
    using K = fx::StateOp::Kind;
    auto op = [](K k, int count = 0, std::vector<int> picks = {}) {
        fx::StateOp o;
        o.kind = k;
        o.count = count;
        o.picks = std::move(picks);
        return o;
    };
    const fx::StateOp two = fx::StateOp::Number(2), pair = fx::ConstValueOp({1, 2});
    const struct {
        const char* what;
        std::vector<fx::StateOp> ops;
    } rows[] = {
        {"empty", {}},
        {"binary of one value", {two, op(K::Binary)}},
        {"select of two", {two, two, op(K::Select)}},
        {"index past the end", {pair, two, op(K::Index, 1)}},
        {"negative index", {pair, fx::StateOp::Number(-1), op(K::Index, 1)}},
        {"gather past the end", {pair, op(K::Gather, 0, {2})}},
        {"splat of two", {pair, op(K::Splat, 4)}},
        {"concat of more than the stack", {two, op(K::Concat, 3)}},
        {"intrinsic of no arguments", {op(K::Intrinsic, 0)}},
        {"parameter without a source", {op(K::Parameter, 1)}},
        {"two values left", {two, two}},
        {"mismatched sizes", {pair, fx::ConstValueOp({1, 2, 3}), op(K::Binary)}},
    };
    for (const auto& r : rows) {
        std::vector<double> out;
        EXPECT_EQ(fx::RunConstProgram(r.ops, nullptr, out), ConstStatus::NotConstant) << r.what;
    }
}
