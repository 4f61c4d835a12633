// platform/gfx/fx/const_lower.cpp: constant expressions made constant programs (const_lower.h).
//
// constant := literal | name (the source's) | unary(- + ! ~) constant
//           | constant (+ - * / % & | ^ << >> < > <= >= == != && ||) constant
//           | constant ? constant : constant | constant , constant
//           | conversion | cast | constructor | { constant, ... } (where the source allows)
//           | intrinsic(constant...) | constant.swizzle | constant[constant]
#include "platform/gfx/fx/const_lower.h"

#include <algorithm>

#include "platform/gfx/fx/check.h"
#include "platform/gfx/fx/const_eval.h"

namespace platform::gfx::fx {
namespace {

using Ops = std::vector<StateOp>;

StateOp Op(StateOp::Kind k, int count = 0) {
    StateOp o;
    o.kind = k;
    o.count = count;
    return o;
}

StateOp ModeOp(StateOp::Kind k, Base b, int op = 0) {
    StateOp o = Op(k);
    o.mode = ConstModeOf(b);
    o.op = op;
    return o;
}

bool Typed(const Expr* e) { return e->kind == ExprKind::Convert || e->type.base != Base::Void; }

// The type arithmetic on "a" and "b" computes in: float if either is, else uint if either is,
// else int (bools compute as ints).
Base Promoted(Base a, Base b) {
    if (a == Base::Float || b == Base::Float) return Base::Float;
    if (a == Base::Uint || b == Base::Uint) return Base::Uint;
    return Base::Int;
}

bool IsBitOperator(Tok op) {
    return op == Tok::Amp || op == Tok::Pipe || op == Tok::Caret || op == Tok::Shl || op == Tok::Shr;
}

bool IsTest(Tok op) {
    return op == Tok::Less || op == Tok::Greater || op == Tok::LessEqual || op == Tok::GreaterEqual ||
           op == Tok::Equal || op == Tok::NotEqual || op == Tok::AndAnd || op == Tok::OrOr;
}

// "t" with scalar type "b" (its shape kept).
Type WithBase(Type t, Base b) {
    t.base = t.rows > 0 ? Base::Float : b;
    if (t.rows > 0) t.elements = b;
    return t;
}

// The components of swizzle "s" (xyzw or rgba) into "picks"; false for another member.
bool SwizzleOf(std::string_view s, std::vector<int>& picks) {
    if (s.empty() || s.size() > 4) return false;
    for (const char* set : {"xyzw", "rgba"}) {
        picks.clear();
        for (char c : s) {
            const char* at = std::char_traits<char>::find(set, 4, c);
            if (!at) break;
            picks.push_back(static_cast<int>(at - set));
        }
        if (picks.size() == s.size()) return true;
    }
    return false;
}

// The type of an intrinsic's result from its arguments' types, on an untyped tree.
bool IntrinsicType(const IntrinsicRow& row, const std::vector<Type>& args, Type& t) {
    const auto k = row.id;
    if (k == Intrinsic::k_dot || k == Intrinsic::k_length) {
        t = Type::Scalar(Base::Float);
        return true;
    }
    if (!row.fold && k != Intrinsic::k_normalize) return false;
    t = args[0];
    Base b = args[0].scalarBase();
    for (const Type& a : args) {
        if (a.isArray() || !a.isNumeric()) return false;
        if (a.components() > t.components()) t = a;
        b = Promoted(b, a.scalarBase());
    }
    const bool integers = row.shape == IntrinsicShape::Numeric && b != Base::Float;
    t = WithBase(t, row.shape == IntrinsicShape::Sign ? Base::Int : integers ? b : Base::Float);
    return true;
}

class Lowering {
public:
    Lowering(ConstSource& s, Ops& ops) : s_(s), ops_(ops) {}

    bool lower(const Expr* e, Type& t, int depth) {
        if (depth > s_.maxDepth()) {
            s_.tooDeep(e);
            return false;
        }
        if (ops_.size() > kMaxConstOps || values_ > kMaxConstComponents) return false;
        if (node(e, t, depth)) {
            // A name's value is copied into the program at each use: the copies are bounded.
            if (e->kind == ExprKind::Name && !ops_.empty()) values_ += ops_.back().values.size();
            return values_ <= kMaxConstComponents;
        }
        if (!s_.refused) s_.refused = e;
        return false;
    }

private:
    bool node(const Expr* e, Type& t, int depth) {
        switch (e->kind) {
            case ExprKind::IntLit:
                t = Typed(e) ? e->type
                             : Type::Scalar(e->text.find_first_of("uU") != std::string_view::npos ? Base::Uint : Base::Int);
                return push(IntLiteralValue32(e->text));
            case ExprKind::FloatLit: t = Type::Scalar(Base::Float); return push(FloatLiteralValue(e->text));
            case ExprKind::BoolLit: t = Type::Scalar(Base::Bool); return push(e->text == "true" ? s_.trueValue() : 0);
            case ExprKind::Name: return s_.name(e, t, ops_);
            case ExprKind::Unary: return unary(e, t, depth);
            case ExprKind::Binary: return binary(e, t, depth);
            case ExprKind::Ternary: return ternary(e, t, depth);
            case ExprKind::Comma: {
                Type left;
                if (!lower(e->args[0], left, depth + 1) || !lower(e->args[1], t, depth + 1)) return false;
                ops_.push_back(Op(StateOp::Comma));
                return true;
            }
            case ExprKind::Convert:
            case ExprKind::Cast: {
                if (e->args.size() != 1) return false;
                Type from;
                if (!lower(e->args[0], from, depth + 1)) return false;
                t = Typed(e) ? e->type : e->castType;
                return LowerConvert(from, t, ops_);
            }
            case ExprKind::Construct: return construct(const_cast<Expr*>(e), t, depth);
            case ExprKind::Member: return member(const_cast<Expr*>(e), t, depth);
            case ExprKind::Index: return index(const_cast<Expr*>(e), t, depth);
            case ExprKind::Call: return call(const_cast<Expr*>(e), t, depth);
            case ExprKind::Brace: return brace(e, t, depth);
            default: return false;
        }
    }

    bool push(double v) {
        ops_.push_back(StateOp::Number(v));
        return true;
    }

    bool unary(const Expr* e, Type& t, int depth) {
        if (e->op != Tok::Minus && e->op != Tok::Plus && e->op != Tok::Bang && e->op != Tok::Tilde) return false;
        if (!lower(e->args[0], t, depth + 1)) return false;
        if (Typed(e)) t = e->type;
        else if (e->op == Tok::Bang) t = WithBase(t, Base::Bool);
        else if (t.scalarBase() == Base::Bool) t = WithBase(t, Base::Int);
        if (e->op != Tok::Plus) ops_.push_back(ModeOp(StateOp::Unary, t.base, static_cast<int>(e->op)));
        return true;
    }

    bool binary(const Expr* e, Type& t, int depth) {
        Type a, b;
        if (!lower(e->args[0], a, depth + 1) || !lower(e->args[1], b, depth + 1)) return false;
        Base mode;
        if (Typed(e)) {
            // Comparisons and logic give bools of their operands' type; the rest compute in
            // the result's type.
            t = e->type;
            mode = e->type.base == Base::Bool && a.base != Base::Bool ? a.base : e->type.base;
        } else {
            if (a.isArray() || b.isArray() || !a.isNumeric() || !b.isNumeric()) return false;
            if (a.components() != b.components() && a.components() != 1 && b.components() != 1) return false;
            mode = Promoted(a.scalarBase(), b.scalarBase());
            // Bit operators on floats work on their whole numbers, as state values' words do.
            if (IsBitOperator(e->op) && mode == Base::Float) mode = Base::Uint;
            t = WithBase(a.components() >= b.components() ? a : b, IsTest(e->op) ? Base::Bool : mode);
        }
        ops_.push_back(ModeOp(StateOp::Binary, mode, static_cast<int>(e->op)));
        return true;
    }

    bool ternary(const Expr* e, Type& t, int depth) {
        Type c, yes, no;
        if (!lower(e->args[0], c, depth + 1) || !lower(e->args[1], yes, depth + 1) ||
            !lower(e->args[2], no, depth + 1))
            return false;
        ops_.push_back(Op(StateOp::Select));
        if (Typed(e)) t = e->type;
        else t = WithBase(yes.components() >= no.components() ? yes : no, Promoted(yes.scalarBase(), no.scalarBase()));
        return true;
    }

    bool construct(Expr* e, Type& t, int depth) {
        if (!s_.prepare(e)) return false;
        t = Typed(e) ? e->type : e->castType;
        long long total = 0;
        for (const Expr* a : e->args) {
            Type at;
            if (!lower(a, at, depth + 1)) return false;
            total += ScalarCount(at);
        }
        ops_.push_back(Op(StateOp::Concat, static_cast<int>(e->args.size())));
        if (t.base == Base::Struct) return true;  // members in order
        if (total == 1 && t.components() > 1 && !t.isArray()) ops_.push_back(Op(StateOp::Splat, t.components()));
        else if (!Typed(e) && total != ScalarCount(t)) return false;
        if (t.base == Base::Int || t.base == Base::Uint || t.base == Base::Bool)
            ops_.push_back(ModeOp(StateOp::Convert, t.base));
        return true;
    }

    bool member(Expr* e, Type& t, int depth) {
        if (!s_.prepare(e)) return false;
        Type base;
        if (!lower(e->args[0], base, depth + 1)) return false;
        StateOp g = Op(StateOp::Gather);
        if (Typed(e)) {
            if (e->swizzleCount == 0 || e->matrixSwizzle) return false;
            g.picks.assign(e->swizzle, e->swizzle + e->swizzleCount);
            t = e->type;
        } else {
            if (base.isArray() || base.rows > 0 || !base.isNumeric() || !SwizzleOf(e->text, g.picks)) return false;
            for (int k : g.picks)
                if (k >= base.cols) return false;
            t = g.picks.size() == 1 ? Type::Scalar(base.base) : Type::Vector(base.base, static_cast<int>(g.picks.size()));
        }
        ops_.push_back(std::move(g));
        return true;
    }

    // An element of an array, a row of a matrix or a component of a vector.
    bool index(Expr* e, Type& t, int depth) {
        if (!s_.prepare(e)) return false;
        Type base, at;
        if (!lower(e->args[0], base, depth + 1) || !lower(e->args[1], at, depth + 1) || at.components() != 1 ||
            at.isArray())
            return false;
        int per = 0;  // a one-component value indexed by 0 keeps the value
        if (base.isArray()) per = static_cast<int>(std::min<long long>(ScalarCount(base.indexed()), kMaxConstOps));
        else if (base.shape != Shape::One && base.shape != Shape::Row) per = base.isMatrix() ? base.cols : 1;
        t = Typed(e) ? e->type
            : base.isArray() ? base.indexed()
            : base.isMatrix() ? Type::Vector(Base::Float, base.cols)
                              : Type::Scalar(base.base);
        ops_.push_back(Op(StateOp::Index, per));
        return true;
    }

    bool call(Expr* e, Type& t, int depth) {
        if (!Typed(e) || e->ref != Ref::Intrinsic) {
            const ConstSource::Call c = s_.call(e, t, ops_, depth + 1);
            if (c != ConstSource::Call::NotMine) return c == ConstSource::Call::Done;
            if (!s_.prepare(e)) return false;
        }
        const int row = Typed(e) ? (e->ref == Ref::Intrinsic ? e->intrinsic : -1) : IntrinsicNamed(e->text);
        if (row < 0 || e->args.empty() || e->args.size() > 3) return false;
        std::vector<Type> types(e->args.size());
        for (std::size_t i = 0; i < e->args.size(); ++i)
            if (!lower(e->args[i], types[i], depth + 1)) return false;
        if (Typed(e)) t = e->type;
        else if (!IntrinsicType(IntrinsicRowOf(row), types, t)) return false;
        StateOp o = Op(StateOp::Intrinsic, static_cast<int>(e->args.size()));
        o.index = row;
        ops_.push_back(std::move(o));
        return true;
    }

    // "{1, 0.5, {0, 1}}": the leaves' components in order (nested lists read in order).
    bool brace(const Expr* e, Type& t, int depth) {
        if (!s_.braces()) return false;
        std::vector<const Expr*> todo(e->args.rbegin(), e->args.rend());
        int leaves = 0;
        long long total = 0;
        while (!todo.empty()) {
            const Expr* a = todo.back();
            todo.pop_back();
            if (a->kind == ExprKind::Brace) {
                todo.insert(todo.end(), a->args.rbegin(), a->args.rend());
                continue;
            }
            Type at;
            if (!lower(a, at, depth + 1)) return false;
            ++leaves;
            total += ScalarCount(at);
        }
        if (leaves == 0 || total > static_cast<long long>(kMaxConstComponents)) return false;
        ops_.push_back(Op(StateOp::Concat, leaves));
        t = Type::Scalar(Base::Float);
        if (total > 1) t.arraySize = static_cast<int>(total);
        return true;
    }

    ConstSource& s_;
    Ops& ops_;
    std::size_t values_ = 0;  // components of the names' values in the program
};

}  // namespace

unsigned char ConstModeOf(Base b) {
    const ConstMode m = b == Base::Int    ? ConstMode::Int
                        : b == Base::Uint ? ConstMode::Uint
                        : b == Base::Bool ? ConstMode::Bool
                                          : ConstMode::Float;
    return static_cast<unsigned char>(m);
}

bool LowerConst(const Expr* e, ConstSource& source, Type& type, std::vector<StateOp>& ops, int depth) {
    return Lowering(source, ops).lower(e, type, depth);
}

bool LowerConvert(const Type& from, const Type& to, std::vector<StateOp>& ops) {
    if (to.base == Base::Struct || from.base == Base::Struct || !to.isNumeric() || !from.isNumeric()) return false;
    StateOp g = Op(StateOp::Gather);
    if (to.isArray() || from.isArray()) {  // component by component
        const long long n = ScalarCount(to);
        if (ScalarCount(from) < n) return false;
        if (ScalarCount(from) > n) g.count = static_cast<int>(n);
    } else if (from.isScalar() && to.components() > 1) {
        ops.push_back(Op(StateOp::Splat, to.components()));
    } else if (from.isMatrix() && to.isMatrix()) {
        if (to.rows > from.rows || to.cols > from.cols) return false;
        for (int i = 0; i < to.rows; ++i)
            for (int j = 0; j < to.cols; ++j) g.picks.push_back(i * from.cols + j);
    } else if (from.isMatrix() && to.shape == Shape::Column) {  // the first column
        if (to.cols > from.rows) return false;
        for (int i = 0; i < to.cols; ++i) g.picks.push_back(i * from.cols);
    } else {
        const int n = std::max(1, to.components());
        if (n > from.components()) return false;
        if (n < from.components()) g.count = n;
    }
    if (g.count > 0 || !g.picks.empty()) ops.push_back(std::move(g));
    ops.push_back(ModeOp(StateOp::Convert, to.base));
    return true;
}

StateOp ConstValueOp(std::vector<double> values) {
    StateOp o;
    o.count = static_cast<int>(values.size());
    o.values = std::move(values);
    return o;
}

}  // namespace platform::gfx::fx
