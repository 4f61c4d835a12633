// platform/gfx/fx/glsl_cast.cpp: casts that read a value component by component ("(int[4])f"
// of a float[6], "(float[4])v", "(S)v"): the source's scalars in order (array elements, struct
// members, matrix rows) fill the target's, each converted to its scalar type.
#include "platform/gfx/fx/glsl_emitter.h"

#include <cctype>
#include <cstddef>
#include <utility>
#include <vector>

namespace platform::gfx::fx::glsl {
namespace {

// The GLSL of each scalar of a value "text" of type "t", with its scalar type.
void Scalars(const std::string& text, const Type& t, std::vector<std::pair<std::string, Base>>& out) {
    if (t.isArray()) {
        for (int k = 0; k < t.arraySize; ++k) Scalars(text + "[" + std::to_string(k) + "]", t.element(), out);
    } else if (t.base == Base::Struct) {
        for (const VarDecl* m : t.st->members) Scalars(text + "." + UserName(m->name), m->type, out);
    } else if (t.rows > 0) {
        for (int r = 0; r < t.rows; ++r)
            for (int c = 0; c < t.cols; ++c)
                out.emplace_back(text + "[" + std::to_string(r) + "][" + std::to_string(c) + "]", t.base);  // held as floats
    } else if (t.cols > 1) {
        for (int c = 0; c < t.cols; ++c) out.emplace_back(text + "[" + std::to_string(c) + "]", t.base);
    } else {
        out.emplace_back(text, t.base);
    }
}

// A value of type "t" built from scalars[pos...].
std::string Build(const Type& t, const std::vector<std::pair<std::string, Base>>& scalars, std::size_t& pos) {
    if (t.isArray()) {
        std::string s = GlslType(t.element()) + ArraySuffix(t) + "(";
        for (int k = 0; k < t.arraySize; ++k) s += (k ? ", " : "") + Build(t.element(), scalars, pos);
        return s + ")";
    }
    if (t.base == Base::Struct) {
        std::string s = GlslType(t) + "(";
        for (std::size_t i = 0; i < t.st->members.size(); ++i)
            s += (i ? ", " : "") + Build(t.st->members[i]->type, scalars, pos);
        return s + ")";
    }
    // Matrices list their rows in order, which is the GLSL constructor's column order here;
    // their elements are floats, converted through the matrix's own scalar type (an int
    // matrix truncates, a bool matrix holds 0 and 1).
    const Base base = t.scalarBase();
    const std::string elementType = GlslType(Type::Scalar(base));
    std::string s = t.components() > 1 ? GlslType(t) + "(" : "";
    for (int k = 0; k < t.components(); ++k, ++pos) {
        const auto& [text, from] = scalars[pos];
        std::string value = from == base ? text : elementType + "(" + text + ")";
        if (t.rows > 0 && base != Base::Float) value = "float(" + value + ")";
        s += (k ? ", " : "") + value;
    }
    return t.components() > 1 ? s + ")" : s;
}

// "float[8]" as part of a helper's name: "floatx8".
std::string Spelled(const Type& t) {
    std::string s = GlslType(t.element());
    for (char ch : ArraySuffix(t))
        if (std::isdigit(static_cast<unsigned char>(ch))) s += ch;
        else if (ch == '[') s += 'x';
    return s;
}

}  // namespace

// The checker allows the cast only when "from" holds at least as many scalars as "to".
std::string Emitter::castComponents(const std::string& text, const Type& from, const Type& to) {
    std::vector<std::pair<std::string, Base>> scalars;
    Scalars("v", from, scalars);
    if (static_cast<long long>(scalars.size()) < ScalarCount(to)) return zero(to);
    std::size_t pos = 0;
    const std::string value = Build(to, scalars, pos);
    const std::string name = "fx_cast_" + Spelled(from) + "_to_" + Spelled(to);
    dynamicHelpers_.insert(GlslType(to.element()) + ArraySuffix(to) + " " + name + "(" +
                           GlslType(from.element()) + " v" + ArraySuffix(from) + ") { return " +
                           value + "; }\n");
    return name + "(" + text + ")";
}

// "(to)x = v" for a cast that reads x's scalars in order: v's scalars, converted, overwrite
// x's leading ones; the assignment's value is v.
std::string Emitter::assignComponents(const std::string& target, const Type& targetType, const std::string& value,
                                      const Type& valueType) {
    std::vector<std::pair<std::string, Base>> into, from;
    Scalars("x", targetType, into);
    Scalars("v", valueType, from);
    std::string body;
    for (std::size_t k = 0; k < from.size() && k < into.size(); ++k) {
        const std::string scalarType = GlslType(Type::Scalar(into[k].second));
        body += " " + into[k].first + " = " +
                (from[k].second == into[k].second ? from[k].first : scalarType + "(" + from[k].first + ")") + ";";
    }
    const std::string valueDecl = GlslType(valueType.element()) + ArraySuffix(valueType);
    const std::string name = "fx_write_" + Spelled(valueType) + "_into_" + Spelled(targetType);
    dynamicHelpers_.insert(valueDecl + " " + name + "(inout " + GlslType(targetType.element()) + " x" +
                           ArraySuffix(targetType) + ", " + GlslType(valueType.element()) + " v" +
                           ArraySuffix(valueType) + ") {" + body + " return v; }\n");
    return name + "(" + target + ", " + value + ")";
}

// The cast under the members and indices of assignment target "e" ("((int2x2)m)[1][0]",
// "((int4)v).x"), or null.
static const Expr* CastUnder(const Expr* e) {
    while (e->kind == ExprKind::Member || e->kind == ExprKind::Index) e = e->args[0];
    return e->kind == ExprKind::Cast ? e : nullptr;
}

// Whether a cast keeps every component where it was: a vector's leading components, a
// matrix's upper-left part, or the same shape of another scalar type.
static bool KeepsPlaces(const Type& from, const Type& to) {
    if ((from.isScalar() || from.isVector()) && (to.isScalar() || to.isVector()))
        return to.components() <= from.components() && from.shape == to.shape;
    return from.isMatrix() && to.isMatrix() && to.rows <= from.rows && to.cols <= from.cols;
}

// "((int2x2)m)[1][0] = v": the element of m it names takes v, which the checker converted to
// the cast's scalar type (truncated for int, 0 or 1 for bool), converted back to m's; the
// assignment's value is v. Empty when the target holds no such cast.
std::string Emitter::assignThroughCast(const Expr* e) {
    const Expr* target = e->args[0];
    const Expr* cast = target->kind == ExprKind::Cast ? nullptr : CastUnder(target);
    if (!cast || !KeepsPlaces(cast->args[0]->type, cast->type)) return "";
    // The target without the cast: its members and indices applied to the value itself.
    std::vector<const Expr*> path;
    for (const Expr* x = target; x != cast; x = x->args[0]) path.push_back(x);
    const Expr* below = cast->args[0];
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        Expr* c = &scratch_.emplace_back(**it);
        c->args[0] = const_cast<Expr*>(below);
        below = c;
    }
    Type stored = e->type, held = e->type;  // the value's element type, and how GLSL holds it
    stored.base = cast->args[0]->type.scalarBase();
    held.base = cast->args[0]->type.isMatrix() ? Base::Float : stored.base;
    const std::string name = "fx_assign_" + Spelled(e->type) + "_as_" + Spelled(stored);
    dynamicHelpers_.insert(GlslType(e->type) + " " + name + "(inout " + GlslType(held) + " x, " + GlslType(e->type) +
                           " v) { x = " + convertText(convertText("v", e->type, stored), stored, held) +
                           "; return v; }\n");
    return name + "(" + expr(below) + ", " + expr(e->args[1]) + ")";
}

// "++x", "x--" of a target GLSL cannot increment as it is emitted (a cast, a constructor of
// l-values, an element of an int or bool matrix): the assignment "x = x + 1", whose value is
// the new value; a postfix gives the old one (the new one less 1).
std::string Emitter::increment(const Expr* e) {
    const Expr* x = e->args[0];
    const bool up = e->op == Tok::PlusPlus;
    Expr* one = &scratch_.emplace_back();
    one->kind = ExprKind::IntLit;
    one->text = "1";
    one->type = Type::Scalar(Base::Int);
    Expr* step = &scratch_.emplace_back();
    step->kind = ExprKind::Convert;
    step->type = x->type;
    step->args = {one};
    Expr* sum = &scratch_.emplace_back();
    sum->kind = ExprKind::Binary;
    sum->op = up ? Tok::Plus : Tok::Minus;
    sum->type = x->type;
    sum->args = {const_cast<Expr*>(x), step};
    Expr* assign = &scratch_.emplace_back();
    assign->kind = ExprKind::Assign;
    assign->op = Tok::Assign;
    assign->type = x->type;
    assign->args = {const_cast<Expr*>(x), sum};
    if (e->kind != ExprKind::Postfix) return expr(assign);
    return "(" + expr(assign) + (up ? " - " : " + ") + expr(step) + ")";
}

}  // namespace platform::gfx::fx::glsl
