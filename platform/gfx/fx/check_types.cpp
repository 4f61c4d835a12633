// platform/gfx/fx/check_types.cpp: types and implicit conversions: what converting one value type
// into another costs, the common type of two operands, and the Convert nodes the checker inserts.
#include "platform/gfx/fx/checker.h"

#include <algorithm>

namespace platform::gfx::fx {

Type Poison() {
    Type t;
    t.rows = -1;
    return t;
}
bool IsPoison(const Type& t) { return t.base == Base::Void && t.rows == -1; }

// The order of scalar types in mixed arithmetic: bool < int < uint < float.
int BaseRank(Base b) {
    switch (b) {
        case Base::Bool: return 0;
        case Base::Int: return 1;
        case Base::Uint: return 2;
        default: return 3;
    }
}

// "t" with scalar type "b" (matrices stay float, with elements of "b").
Type WithBase(Type t, Base b) {
    t.base = t.rows > 0 ? Base::Float : b;
    if (t.rows > 0) t.elements = b == Base::Float ? Base::Float : b;
    return t;
}

// What converting a value of "from" into "to" costs, or kImpossible. Explicit casts also allow
// a scalar into a struct (zero initialisation).
// The member types of struct "t" in order, nested structs spread out: two structs of the
// same list hold the same values in the same places.
static void MemberLayout(const Type& t, std::vector<Type>& out) {
    if (t.base != Base::Struct || !t.st) {
        out.push_back(t);
        return;
    }
    for (const VarDecl* m : t.st->members) MemberLayout(m->type, out);
}

int ConversionCost(const Type& from, const Type& to, bool explicitCast) {
    if (from == to) return kExact;
    // Two structs declared apart but laid out alike convert into each other implicitly
    // (a function declared to return one returning the other), as the native compiler lets
    // them; a cast between other structs reads their scalars in order (checked at the cast).
    if (from.base == Base::Struct && to.base == Base::Struct && !from.isArray() && !to.isArray() &&
        from.st && to.st && NumericLeaves(from) && NumericLeaves(to)) {
        std::vector<Type> a, b;
        MemberLayout(from, a);
        MemberLayout(to, b);
        return a == b ? kBase : kImpossible;
    }
    if (from.base == Base::Sampler && to.base == Base::Sampler && !from.isArray() &&
        !to.isArray() && (from.dim == to.dim || from.dim == Dim::None || to.dim == Dim::None))
        return kExact;
    if (from.base == Base::Texture && to.base == Base::Texture) return kExact;
    if (explicitCast && to.base == Base::Struct && !to.isArray() && from.isScalar()) return kSplat;
    if (!from.isNumericValue() || !to.isNumericValue()) return kImpossible;
    // A vector and a matrix of as many components convert into each other ("float2x2 m =
    // v4"), the vector's components in the matrix's row order. (float1xN and floatNx1 follow
    // the matrix rules.)
    const bool plainVector = (from.isVector() && !from.isMatrixShaped() && to.isMatrix()) ||
                             (from.isMatrix() && to.isVector() && !to.isMatrixShaped());
    if (plainVector && from.components() == to.components()) return kBase;
    // A matrix truncates to float1xN and floatNx1 as to any smaller matrix (its first row or
    // its first column).
    if (from.isMatrix() && to.isMatrixShaped() && !to.isMatrix())
        return to.hlslRows() <= from.rows && to.hlslCols() <= from.cols ? kTruncate : kImpossible;
    const int base = from.base == to.base || from.rows > 0 ? 0 : kBase;
    if (from.isScalar()) return to.isScalar() ? base : kSplat + base;
    if (from.isVector()) {
        if (to.isVector() && to.cols == from.cols) return base;
        if (to.isVector() && to.cols < from.cols) return kTruncate + base;
        if (to.isScalar()) return kTruncate + base;
        return kImpossible;
    }
    // matrix
    if (to.isMatrix() && to.rows == from.rows && to.cols == from.cols) return base;
    if (to.isMatrix() && to.rows <= from.rows && to.cols <= from.cols) return kTruncate;
    if (to.isScalar()) return kTruncate;
    return kImpossible;
}

// Whether every scalar a value of type "t" holds is a number (arrays and struct members
// included): what a component-wise cast reads and writes.
bool NumericLeaves(const Type& t) {
    if (t.base != Base::Struct) return t.isNumeric();
    if (!t.st) return false;
    for (const VarDecl* m : t.st->members)
        if (!NumericLeaves(m->type)) return false;
    return true;
}

// The precision of a float of type "t" (ints and bools count as float).
static Precision PrecisionOf(const Type& t) {
    return t.base == Base::Float ? t.precision : Precision::Float;
}

// The precision of arithmetic on "a" and "b": the wider of their float operands' (half * half
// stays half, half * float is float, half * int is half).
Precision WiderPrecision(const Type& a, const Type& b) {
    if (a.base != Base::Float) return PrecisionOf(b);
    if (b.base != Base::Float) return a.precision;
    return std::max(a.precision, b.precision);
}

// The tie-break of overload resolution between conversions of one cost: 0 for the same
// precision, 1 for a promotion, 2 for a conversion to a narrower float.
int PrecisionCost(const Type& from, const Type& to) {
    const Precision f = PrecisionOf(from), t = PrecisionOf(to);
    return f == t ? 0 : f < t ? 1 : 2;
}

// The type both operands of an arithmetic or comparison operator are converted to.
bool CommonType(const Type& a, const Type& b, Type& out) {
    if (!a.isNumericValue() || !b.isNumericValue()) return false;
    const Base base = BaseRank(a.scalarBase()) >= BaseRank(b.scalarBase()) ? a.scalarBase() : b.scalarBase();
    const bool oneLine = (a.isMatrixShaped() && !a.isMatrix()) || (b.isMatrixShaped() && !b.isMatrix());
    if (oneLine && a.isMatrixShaped() && b.isMatrixShaped()) {
        // float1x4 + float4x4: both truncate to the smaller number of rows and of columns.
        out = MakeNumeric(base, std::min(a.hlslRows(), b.hlslRows()), std::min(a.hlslCols(), b.hlslCols()));
        out.precision = WiderPrecision(a, b);
        return true;
    }
    if (a.isScalar()) {
        out = WithBase(b, base);
    } else if (b.isScalar()) {
        out = WithBase(a, base);
    } else if (a.isVector() && b.isVector()) {
        out = Type::Vector(base, std::min(a.cols, b.cols));
    } else if (a.isMatrix() && b.isMatrix()) {
        out = MakeNumeric(base, std::min(a.rows, b.rows), std::min(a.cols, b.cols));
    } else {
        return false;
    }
    if (out.rows > 0) out = WithBase(out, base);
    out.precision = out.base == Base::Float ? WiderPrecision(a, b) : Precision::Float;
    return true;
}

// The result type of a comparison of values of type "t".
Type BoolShaped(const Type& t) {
    Type r = t;
    if (r.rows > 0) {  // a bool matrix: a float matrix of 0 and 1
        r.base = Base::Float;
        r.elements = Base::Bool;
        return r;
    }
    r.base = Base::Bool;
    return r;
}

// "t" with float components.
Type FloatShaped(const Type& t) {
    Type r = t;
    r.base = Base::Float;
    r.elements = Base::Float;
    return r;
}

// A Convert node that turns "e" into type "to".
Expr* Checker::makeConvert(Expr* e, const Type& to) {
    Expr* c = m_.make<Expr>();
    c->kind = ExprKind::Convert;
    c->line = e->line;
    c->column = e->column;
    c->type = to;
    c->args = {e};
    return c;
}

// Converts the value in "slot" to "to", inserting a Convert node; reports failures.
bool Checker::coerce(Expr*& slot, const Type& to, bool explicitCast) {
    const Type& from = slot->type;
    if (IsPoison(from) || IsPoison(to)) return false;
    const int cost = ConversionCost(from, to, explicitCast);
    if (cost == kImpossible) {
        report(Diag::TypeMismatch, slot, TypeName(from), TypeName(to));
        return false;
    }
    if (cost >= kTruncate && !explicitCast) report(Diag::ImplicitTruncation, slot);
    if (!from.sameValues(to)) slot = makeConvert(slot, to);
    return true;
}

}  // namespace platform::gfx::fx
