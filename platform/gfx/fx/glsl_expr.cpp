// platform/gfx/fx/glsl_expr.cpp: expressions and conversions.
#include "platform/gfx/fx/glsl_emitter.h"

#include <cmath>

namespace platform::gfx::fx::glsl {

std::string Emitter::args(const Expr* e, std::size_t from) {
    std::string s;
    for (std::size_t i = from; i < e->args.size(); ++i) {
        if (i > from) s += ", ";
        s += expr(e->args[i]);
    }
    return s;
}

const char* Emitter::compareFunction(Tok op) {
    switch (op) {
        case Tok::Less: return "lessThan";
        case Tok::Greater: return "greaterThan";
        case Tok::LessEqual: return "lessThanEqual";
        case Tok::GreaterEqual: return "greaterThanEqual";
        case Tok::Equal: return "equal";
        case Tok::NotEqual: return "notEqual";
        default: return nullptr;
    }
}

std::string Emitter::expr(const Expr* e) {
    switch (e->kind) {
        case ExprKind::IntLit: {
            const double v = LiteralValue(e);
            return v < 0 ? "(" + std::to_string(static_cast<long long>(v)) + ")"
                         : std::to_string(static_cast<long long>(v));
        }
        case ExprKind::FloatLit: return FormatFloat(LiteralValue(e));
        case ExprKind::BoolLit: return e->text == "true" ? "true" : "false";
        case ExprKind::StringLit: return "0";
        case ExprKind::Name: return e->var ? variableName(e->var) : UserName(e->text);
        case ExprKind::Unary: {
            const Type& t = e->args[0]->type;
            if ((e->op == Tok::PlusPlus || e->op == Tok::MinusMinus) && !bindsDirectly(e->args[0], t))
                return increment(e);
            if (e->op == Tok::Bang && t.isVector()) return "not(" + expr(e->args[0]) + ")";
            if (e->op == Tok::Bang && t.isMatrix()) return "(1.0 - " + expr(e->args[0]) + ")";  // of 0 and 1
            return "(" + std::string(TokenName(e->op)) + expr(e->args[0]) + ")";
        }
        case ExprKind::Postfix:
            if (!bindsDirectly(e->args[0], e->args[0]->type)) return increment(e);
            return "(" + expr(e->args[0]) + TokenName(e->op) + ")";
        case ExprKind::Binary: return binary(e);
        case ExprKind::Assign: return assign(e);
        case ExprKind::Ternary: return ternary(e);
        case ExprKind::Call:
            if (e->ref == Ref::Function) return userCall(e);
            return intrinsic(e);
        case ExprKind::Construct: return construct(e);
        case ExprKind::Cast:
        case ExprKind::Convert: return convert(e->args[0], e->type);
        case ExprKind::Member: return member(e);
        case ExprKind::Index: return index(e);
        case ExprKind::Comma: return "(" + expr(e->args[0]) + ", " + expr(e->args[1]) + ")";
        default: return "0";
    }
}

// "target = v". An element or row of an int or bool matrix (held as floats) takes v as an
// assignment of that type would: truncated, or 0 and 1.
std::string Emitter::assign(const Expr* e) {
    const Expr* target = e->args[0];
    Base elements = Base::Float;
    for (const Expr* x = target; x->kind == ExprKind::Member || x->kind == ExprKind::Index; x = x->args[0])
        if (x->args[0]->type.isMatrix()) {
            elements = x->args[0]->type.elements;
            break;
        }
    if (elements != Base::Float && !e->type.isMatrix()) {
        Type as = e->type;
        as.base = elements;
        Expr* whole = &scratch_.emplace_back();
        whole->kind = ExprKind::Convert;
        whole->type = as;
        whole->args = {e->args[1]};
        Expr* back = &scratch_.emplace_back(*whole);
        back->type = e->type;
        back->args = {whole};
        Expr* copy = &scratch_.emplace_back(*e);
        copy->args = {const_cast<Expr*>(target), back};
        return assignTo(copy);
    }
    return assignTo(e);
}

std::string Emitter::assignTo(const Expr* e) {
    if (e->args[0]->kind == ExprKind::Construct) return assignParts(e);
    if (std::string s = assignThroughCast(e); !s.empty()) return s;
    if (e->args[0]->matrixSwizzle && e->args[0]->swizzleCount > 1)
        return assignMatrixElements(e);
    if (e->args[0]->kind == ExprKind::Cast) {  // the leading components of a vector
        const Expr* v = e->args[0]->args[0];
        if (v->type.isMatrix() && e->type.isMatrix()) {  // a smaller matrix's rows and columns
            const std::string name = "fx_write_" + GlslType(e->type) + "_into_" + GlslType(v->type);
            dynamicHelpers_.insert(GlslType(e->type) + " " + name + "(inout " + GlslType(v->type) + " x, " +
                                   GlslType(e->type) + " v) { for (int r = 0; r < " +
                                   std::to_string(e->type.rows) + "; ++r) for (int c = 0; c < " +
                                   std::to_string(e->type.cols) + "; ++c) x[r][c] = v[r][c]; return v; }\n");
            return name + "(" + expr(v) + ", " + expr(e->args[1]) + ")";
        }
        if (!(v->type.isScalar() || v->type.isVector()) || !(e->type.isScalar() || e->type.isVector()))
            return assignComponents(expr(v), v->type, expr(e->args[1]), e->type);
        const int n = e->args[0]->type.components();
        std::string target = expr(v);
        Type part = v->type;
        if (v->type.isVector()) {
            target += "." + std::string(kComponents, static_cast<std::size_t>(n));
            part = MakeNumeric(v->type.base, 0, n);
        }
        // The assignment's value has the cast's type.
        return convertText("(" + target + " = " + convertText(expr(e->args[1]), e->args[1]->type, part) + ")", part,
                           e->type);
    }
    if (e->args[0]->kind == ExprKind::Index && e->args[0]->type.isArray() &&
        e->args[0]->args[0]->type.inner[0] > 0)
        return assignRow(e);
    return "(" + expr(e->args[0]) + " = " + expr(e->args[1]) + ")";
}

// "a[i]". A float1 or float1xN holds one value of its index (the scalar, the row); the
// rows of a multi-dimensional array are runs of its flat GLSL array.
std::string Emitter::index(const Expr* e) {
    const Type& t = e->args[0]->type;
    if (!t.isArray() && t.isNumeric() && (t.shape == Shape::One || t.shape == Shape::Row))
        return expr(e->args[0]);  // the checker refuses indices with side effects here
    std::string root, offset;
    flatIndex(e, root, offset);
    if (!e->type.isArray()) return root + "[" + offset + "]";
    // A row as a whole value: an array built from its elements.
    std::string s = GlslType(e->type.element()) + ArraySuffix(e->type) + "(";
    for (int k = 0; k < e->type.arraySize; ++k)
        s += (k ? ", " : "") + root + "[" + offset + " + " + std::to_string(k) + "]";
    return s + ")";
}

// The array whose flat elements a row index "e" (c[i], d[i][j]) reads.
static const Expr* RootArray(const Expr* e) {
    const Expr* base = e->args[0];
    if (base->kind == ExprKind::Index && base->type.isArray() && base->args[0]->type.inner[0] > 0)
        return RootArray(base);
    return base;
}

// "c[i] = r" for a row of a multi-dimensional array: a helper writes the row's run of the flat
// array (the index is evaluated once) and gives the row's value.
std::string Emitter::assignRow(const Expr* e) {
    std::string root, offset;
    flatIndex(e->args[0], root, offset);
    const Type& row = e->type;
    const Type& whole = RootArray(e->args[0])->type;
    const std::string element = GlslType(row.element());
    const std::string name = "fx_set_row_" + element + "_" + std::to_string(whole.arraySize) + "_" +
                             std::to_string(row.arraySize);
    dynamicHelpers_.insert(element + ArraySuffix(row) + " " + name + "(inout " + element + " a" +
                           ArraySuffix(whole) + ", int at, " + element + " v" + ArraySuffix(row) +
                           ") { for (int k = 0; k < " + std::to_string(row.arraySize) +
                           "; ++k) a[at + k] = v[k]; return v; }\n");
    return name + "(" + root + ", " + offset + ", " + expr(e->args[1]) + ")";
}

// The flat array an index of a (multi-dimensional) array reads, and the element's offset in it.
void Emitter::flatIndex(const Expr* e, std::string& root, std::string& offset) {
    const Expr* base = e->args[0];
    const int stride = base->type.inner[0] > 0 ? base->type.inner[0] : 1;
    std::string at = expr(e->args[1]);
    if (stride > 1) at = "(" + at + ") * " + std::to_string(stride);
    if (base->kind == ExprKind::Index && base->type.isArray() && base->args[0]->type.inner[0] > 0) {
        flatIndex(base, root, offset);
        offset = "(" + offset + " + " + at + ")";
        return;
    }
    root = expr(base);
    offset = at;
}

// A call of one of the effect's functions; out arguments that GLSL cannot bind as they stand
// go through a wrapper (glsl_outargs.cpp).
std::string Emitter::userCall(const Expr* e) {
    const FuncDecl* f = e->func;
    std::vector<Type> param;
    std::vector<bool> out;
    bool direct = true;
    for (std::size_t i = 0; i < e->args.size(); ++i) {
        param.push_back(i < f->params.size() ? f->params[i]->type : e->args[i]->type);
        out.push_back(i < f->params.size() && (f->params[i]->storage & kStorageOut));
        if (out.back() && !bindsDirectly(e->args[i], param.back())) direct = false;
    }
    if (direct) return FunctionName(f) + "(" + args(e) + ")";
    return outArgumentCall(e, param, out);
}

std::string Emitter::binary(const Expr* e) {
    const Expr* a = e->args[0];
    const Expr* b = e->args[1];
    const Type& ta = a->type;
    if (const char* f = compareFunction(e->op); f && ta.isVector())
        return std::string(f) + "(" + expr(a) + ", " + expr(b) + ")";
    if (const char* f = compareFunction(e->op); f && ta.isMatrix()) return matrixOp(e, f);
    if (e->op == Tok::AndAnd || e->op == Tok::OrOr) return logical(e);
    if (e->op == Tok::Star && ta.isMatrix() && b->type.isMatrix())
        return "matrixCompMult(" + expr(a) + ", " + expr(b) + ")";
    // An int matrix is held as floats: its quotient is truncated toward zero.
    if (e->op == Tok::Slash && e->type.isMatrix())
        return integralMatrix("(" + expr(a) + " / " + expr(b) + ")", Base::Float, e->type);
    if (e->op == Tok::Percent && e->type.isMatrix()) {  // per element: fx_fmod on each row
        need(kHelperFmod);
        const std::string m = GlslType(e->type), name = "fx_fmod_" + m;
        std::string rows;
        for (int i = 0; i < e->type.rows; ++i)
            rows += (i ? ", " : "") + std::string("fx_fmod(a[") + std::to_string(i) + "], b[" + std::to_string(i) + "])";
        dynamicHelpers_.insert(m + " " + name + "(" + m + " a, " + m + " b) { return " + m + "(" + rows + "); }\n");
        return name + "(" + expr(a) + ", " + expr(b) + ")";
    }
    if (e->op == Tok::Percent && e->type.base == Base::Float) {
        need(kHelperFmod);
        return "fx_fmod(" + expr(a) + ", " + expr(b) + ")";
    }
    // Integer / and % truncate toward zero as C does (Direct3D 9 defines % only for operands
    // of the same sign; this is its truncating meaning for the others too). GLSL leaves
    // both undefined for negative operands, so they work on magnitudes and put the sign
    // back. A zero divisor stays undefined, as it is in Direct3D 9.
    if ((e->op == Tok::Slash || e->op == Tok::Percent) && e->type.base == Base::Int &&
        e->type.rows == 0) {
        const std::string T = GlslType(e->type);
        dynamicHelpers_.insert(T + " fx_idiv(" + T + " a, " + T +
                               " b) { return (abs(a) / abs(b)) * sign(a) * sign(b); }\n");
        if (e->op == Tok::Slash) return "fx_idiv(" + expr(a) + ", " + expr(b) + ")";
        dynamicHelpers_.insert(T + " fx_imod(" + T + " a, " + T +
                               " b) { return a - b * ((abs(a) / abs(b)) * sign(a) * sign(b)); }\n");
        return "fx_imod(" + expr(a) + ", " + expr(b) + ")";
    }
    return "(" + expr(a) + " " + TokenName(e->op) + " " + expr(b) + ")";
}

std::string Emitter::member(const Expr* e) {
    const Expr* base = e->args[0];
    if (e->swizzleCount == 0) return expr(base) + "." + UserName(e->text);
    if (e->matrixSwizzle) {
        auto element = [&](int k) {
            return expr(base) + "[" + std::to_string(k / 4) + "][" + std::to_string(k % 4) + "]";
        };
        if (e->swizzleCount == 1) return element(e->swizzle[0]);
        // Several elements: a helper takes the matrix once and picks them.
        const std::string mat = GlslType(base->type);
        const std::string vec = "vec" + std::to_string(e->swizzleCount);
        const std::string ivec = "ivec" + std::to_string(e->swizzleCount);
        const std::string name = "fx_pick_" + mat;
        std::string body = vec + " " + name + "(" + mat + " m, " + ivec + " r, " + ivec + " c) { return " + vec + "(";
        for (int i = 0; i < e->swizzleCount; ++i)
            body += std::string(i ? ", " : "") + "m[r." + kComponents[i] + "][c." + kComponents[i] + "]";
        dynamicHelpers_.insert(body + "); }\n");
        std::string rows = ivec + "(", cols = ivec + "(";
        for (int i = 0; i < e->swizzleCount; ++i) {
            rows += (i ? ", " : "") + std::to_string(e->swizzle[i] / 4);
            cols += (i ? ", " : "") + std::to_string(e->swizzle[i] % 4);
        }
        return name + "(" + expr(base) + ", " + rows + "), " + cols + "))";
    }
    if (base->type.isScalar()) {
        if (e->swizzleCount == 1) return expr(base);
        return GlslType(e->type) + "(" + expr(base) + ")";
    }
    std::string s = expr(base) + ".";
    for (int i = 0; i < e->swizzleCount; ++i) s += kComponents[e->swizzle[i]];
    return s;
}

// A comparison ("lessThan", ...), "and", "or" or "select" (c ? a : b) of matrices, per
// element: GLSL has none of them on matrices, so a helper works column by column. Bool
// matrices hold 0 and 1.
std::string Emitter::matrixOp(const Expr* e, const std::string& op, const std::vector<std::string>* texts) {
    const Type& t = e->args[e->args.size() - 1]->type;
    const std::string m = GlslType(t), v = "vec" + std::to_string(t.cols), bv = "b" + v;
    const std::string name = "fx_" + op + "_" + m;
    std::string params, columns;
    for (std::size_t j = 0; j < e->args.size(); ++j) params += (j ? ", " : "") + m + " a" + std::to_string(j);
    for (int i = 0; i < t.rows; ++i) {
        const std::string k = "[" + std::to_string(i) + "]";
        std::string c;
        if (op == "select") c = "mix(a2" + k + ", a1" + k + ", " + bv + "(a0" + k + "))";
        else if (op == "and") c = "a0" + k + " * a1" + k;
        else if (op == "or") c = "max(a0" + k + ", a1" + k + ")";
        else c = v + "(" + op + "(a0" + k + ", a1" + k + "))";
        columns += (i ? ", " : "") + c;
    }
    dynamicHelpers_.insert(m + " " + name + "(" + params + ") { return " + m + "(" + columns + "); }\n");
    std::string s = name + "(";
    for (std::size_t j = 0; j < e->args.size(); ++j) s += (j ? ", " : "") + (texts ? (*texts)[j] : expr(e->args[j]));
    return s + ")";
}

// "m._11_22 = v": GLSL cannot swizzle a matrix, so a helper takes the matrix as inout
// (its l-value is evaluated once) and writes the elements one by one.
std::string Emitter::assignMatrixElements(const Expr* e) {
    const Expr* target = e->args[0];
    const std::string mat = GlslType(target->args[0]->type);
    const std::string vec = GlslType(target->type);
    std::string name = "fx_set_" + mat;
    std::string body;
    for (int i = 0; i < target->swizzleCount; ++i) {
        const int k = target->swizzle[i];
        name += "_" + std::to_string(k / 4) + std::to_string(k % 4);
        body += " m[" + std::to_string(k / 4) + "][" + std::to_string(k % 4) + "] = v." +
                kComponents[i] + ";";
    }
    dynamicHelpers_.insert(vec + " " + name + "(inout " + mat + " m, " + vec + " v) {" + body +
                           " return v; }\n");
    return name + "(" + expr(target->args[0]) + ", " + expr(e->args[1]) + ")";
}

// "float4(a, b) = v" assigns the parts of v to a and b in order: a helper takes the parts
// as out parameters and returns v, so the assignment stays one expression.
std::string Emitter::assignParts(const Expr* e) {
    const Expr* target = e->args[0];
    std::string name = "fx_parts_" + GlslType(target->type);
    for (const Expr* part : target->args) name += "_" + GlslType(part->type);
    std::string body = GlslType(target->type) + " " + name + "(";
    std::string assigns;
    int from = 0;
    for (std::size_t i = 0; i < target->args.size(); ++i) {
        const Type& t = target->args[i]->type;
        body += "out " + GlslType(t) + " p" + std::to_string(i) + ", ";
        const int n = t.components();
        assigns += " p" + std::to_string(i) + " = " + GlslType(t) + "(";
        for (int k = 0; k < n; ++k) assigns += std::string(k ? ", " : "") + "f[" + std::to_string(from + k) + "]";
        assigns += ");";
        from += n;
    }
    // The value's components, flattened (matrices by GLSL column, i.e. HLSL row).
    std::string flat = "float f[" + std::to_string(from) + "] = float[](";
    for (int k = 0; k < from; ++k) {
        flat += k ? ", " : "";
        if (target->type.rows > 0) {
            flat += "float(v[" + std::to_string(k / target->type.cols) + "][" + std::to_string(k % target->type.cols) + "])";
        } else if (target->type.cols > 1) {
            flat += "float(v[" + std::to_string(k) + "])";
        } else {
            flat += "float(v)";
        }
    }
    body += GlslType(target->type) + " v) { " + flat + ");" + assigns + " return v; }\n";
    dynamicHelpers_.insert(body);
    std::string call = name + "(";
    for (const Expr* part : target->args) call += expr(part) + ", ";
    return call + expr(e->args[1]) + ")";
}

std::string Emitter::construct(const Expr* e) {
    const Type& t = e->castType;
    if (t.isArray()) return GlslType(t.element()) + ArraySuffix(t) + "(" + args(e) + ")";
    if (t.base == Base::Struct) return GlslType(t) + "(" + args(e) + ")";
    if (e->args.size() == 1 && e->args[0]->type.isScalar() && t.rows > 0)
        return splatMatrix(expr(e->args[0]), t);
    return GlslType(t) + "(" + args(e) + ")";
}

std::string Emitter::splatMatrix(const std::string& scalar, const Type& t) {
    // GLSL's mat(s) is a diagonal; HLSL's is every element s: scale a matrix of ones (the
    // scalar's text appears once, however large it is).
    const std::string column = "vec" + std::to_string(t.cols) + "(1.0)";
    std::string s = "((" + scalar + ") * " + GlslType(t) + "(";
    for (int i = 0; i < t.rows; ++i) s += (i ? ", " : "") + column;
    return s + "))";
}

// The GLSL for the value of "e" converted to "to" (HLSL's implicit and explicit rules).
std::string Emitter::convert(const Expr* e, const Type& to) {
    const Type& from = e->type;
    if (from.sameValues(to)) return expr(e);
    const bool literal = e->kind == ExprKind::IntLit || e->kind == ExprKind::FloatLit ||
                         e->kind == ExprKind::BoolLit;
    if (literal && to.isScalar()) {
        const double v = LiteralValue(e);
        switch (to.base) {
            case Base::Float: return FormatFloat(v);
            case Base::Bool: return v != 0.0 ? "true" : "false";
            case Base::Uint: return std::to_string(static_cast<std::uint32_t>(static_cast<std::int64_t>(v))) + "u";
            default: {
                const auto i = static_cast<long long>(std::trunc(v));
                return i < 0 ? "(" + std::to_string(i) + ")" : std::to_string(i);
            }
        }
    }
    return convertText(expr(e), from, to);
}

std::string Emitter::convertText(const std::string& text, const Type& from, const Type& to) {
    if (from.sameValues(to)) return text;
    if (from.isArray() || to.isArray() || from.base == Base::Struct ||
        (to.base == Base::Struct && !from.isScalar()))
        return castComponents(text, from, to);
    if (to.base == Base::Struct) return splatStruct(text, from, to);
    if (from.isScalar()) {
        if (to.isMatrix())
            return splatMatrix(convertText(convertText(text, from, Type::Scalar(to.elements)),
                                           Type::Scalar(to.elements), Type::Scalar(Base::Float)),
                               to);
        return GlslType(to) + "(" + text + ")";
    }
    if (from.isVector() && to.isMatrix())  // rows in order
        return integralMatrix(GlslType(to) + "(" + text + ")", from.scalarBase(), to);
    if (from.isVector()) {
        std::string v = text;
        int n = from.cols;
        if (to.components() < from.cols || to.isScalar()) {
            n = to.isScalar() ? 1 : to.cols;
            v = "(" + text + ")." + std::string(kComponents, static_cast<std::size_t>(n));
        }
        if (to.base == from.base) return v;
        return GlslType(to) + "(" + v + ")";
    }
    if (from.isMatrix()) {
        if (to.shape == Shape::Column && to.isVector()) {  // the first column, through a helper
            const std::string m = GlslType(from), v = GlslType(to);
            const std::string name = "fx_column_" + m + "_" + v;
            std::string body = v + " " + name + "(" + m + " m) { return " + v + "(";
            for (int i = 0; i < to.cols; ++i) body += std::string(i ? ", " : "") + "m[" + std::to_string(i) + "][0]";
            dynamicHelpers_.insert(body + "); }\n");
            return name + "(" + text + ")";
        }
        if (to.shape == Shape::Row && to.isVector()) {  // the first row
            std::string row = "(" + text + ")[0]";
            if (to.cols < from.cols) row += "." + std::string(kComponents, static_cast<std::size_t>(to.cols));
            return to.base == Base::Float ? row : GlslType(to) + "(" + row + ")";
        }
        if (to.isScalar()) return GlslType(to) + "((" + text + ")[0][0])";
        if (to.isMatrix()) return integralMatrix(GlslType(to) + "(" + text + ")", from.scalarBase(), to);
        return GlslType(to) + "(" + text + ")";
    }
    return text;
}

// GLSL's matrices hold floats, so an int matrix's elements are whole numbers and a bool
// matrix's are 0 and 1: a float matrix of type "to" converted from elements of type "from"
// is made so (truncated toward zero, or 1 where not zero).
std::string Emitter::integralMatrix(const std::string& text, Base from, const Type& to) {
    const bool toBool = to.elements == Base::Bool;
    const bool fromWhole = from == Base::Int || from == Base::Uint || from == Base::Bool;
    if (toBool ? from == Base::Bool : to.elements == Base::Float || fromWhole) return text;
    const std::string m = GlslType(to), v = "vec" + std::to_string(to.cols);
    const std::string name = std::string(toBool ? "fx_bool_" : "fx_whole_") + m;
    std::string columns;
    for (int i = 0; i < to.rows; ++i) {
        const std::string k = "m[" + std::to_string(i) + "]";
        columns += (i ? ", " : "") + (toBool ? v + "(notEqual(" + k + ", " + v + "(0.0)))" : "trunc(" + k + ")");
    }
    dynamicHelpers_.insert(m + " " + name + "(" + m + " m) { return " + m + "(" + columns + "); }\n");
    return name + "(" + text + ")";
}

std::string Emitter::splatStruct(const std::string& scalar, const Type& from, const Type& to) {
    std::string s = GlslType(to) + "(";
    for (std::size_t i = 0; i < to.st->members.size(); ++i) {
        const Type& mt = to.st->members[i]->type;
        if (i) s += ", ";
        if (mt.isArray()) {
            s += GlslType(mt.element()) + ArraySuffix(mt) + "(";
            for (int k = 0; k < mt.arraySize; ++k)
                s += (k ? ", " : "") + convertText(scalar, from, mt.element());
            s += ")";
        } else {
            s += convertText(scalar, from, mt);
        }
    }
    return s + ")";
}

std::string Emitter::zero(const Type& t) {
    const Type z = Type::Scalar(Base::Int);
    if (t.isArray()) {
        std::string s = GlslType(t.element()) + ArraySuffix(t) + "(";
        for (int k = 0; k < t.arraySize; ++k) s += (k ? ", " : "") + convertText("0", z, t.element());
        return s + ")";
    }
    return convertText("0", z, t);
}

}  // namespace platform::gfx::fx::glsl
