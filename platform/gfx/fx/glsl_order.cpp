// platform/gfx/fx/glsl_order.cpp: ?:, && and || evaluate every operand once, in order (HLSL
// has no short circuit). GLSL's ?:, && and || skip operands and mix() reads its operands last
// to first, so operands with side effects go through helper functions, whose arguments are
// all evaluated. An operand that a later one could change (c ? (c = 0, a) : b) is kept in a
// temporary first: a GLSL compiler may read a variable passed to a function only after the
// later arguments have run.
#include "platform/gfx/fx/glsl_emitter.h"

#include <cctype>

namespace platform::gfx::fx::glsl {

namespace {

// Whether evaluating "e" may change a variable: an assignment, an increment, a call of one of
// the effect's functions or of an intrinsic with out arguments.
bool Changes(const Expr* e) {
    if (e->kind == ExprKind::Assign || e->kind == ExprKind::Postfix) return true;
    if (e->kind == ExprKind::Unary && (e->op == Tok::PlusPlus || e->op == Tok::MinusMinus)) return true;
    if (e->kind == ExprKind::Call) {
        if (e->ref == Ref::Function) return true;
        const auto k = static_cast<Intrinsic>(e->intrinsic);
        if (k == Intrinsic::k_sincos || k == Intrinsic::k_modf || k == Intrinsic::k_frexp) return true;
    }
    for (const Expr* a : e->args)
        if (Changes(a)) return true;
    return false;
}

// Whether the value of "e" depends on a variable (or on a call, which may read one).
bool Reads(const Expr* e) {
    if ((e->kind == ExprKind::Name && e->var) || (e->kind == ExprKind::Call && e->ref == Ref::Function)) return true;
    for (const Expr* a : e->args)
        if (Reads(a)) return true;
    return false;
}

}  // namespace

// The texts of operands "ops"; each one followed by an operand with side effects is assigned
// to a temporary, in "prefix" ("t0 = c, "), and stands for it.
std::vector<std::string> Emitter::inOrder(const std::vector<const Expr*>& ops, std::string& prefix) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < ops.size(); ++i) {
        std::string text = expr(ops[i]);
        bool changedLater = false;
        for (std::size_t j = i + 1; j < ops.size(); ++j) changedLater = changedLater || Changes(ops[j]);
        if (changedLater && Reads(ops[i])) {
            const Type& t = ops[i]->type;
            const std::string name = "fx_t" + std::to_string(temps_.size());
            temps_.push_back(GlslType(t.element()) + " " + name + ArraySuffix(t) + ";\n");
            prefix += name + " = " + text + ", ";
            text = name;
        }
        texts.push_back(text);
    }
    return texts;
}

// "c ? a : b": a vector condition picks per component, a matrix one per element.
std::string Emitter::ternary(const Expr* e) {
    const Expr* c = e->args[0];
    const Type& ct = c->type;
    const bool effects = HasSideEffects(e->args[1]) || HasSideEffects(e->args[2]) ||
                         (ct.isVector() && Changes(c));  // mix() would read c last
    std::string prefix;
    const std::vector<std::string> t = effects ? inOrder({c, e->args[1], e->args[2]}, prefix)
                                               : std::vector<std::string>{expr(c), expr(e->args[1]), expr(e->args[2])};
    auto ordered = [&prefix](const std::string& call) { return prefix.empty() ? call : "(" + prefix + call + ")"; };
    if (ct.isMatrix()) return ordered(matrixOp(e, "select", &t));
    if (ct.isVector()) {
        const bool inOrderNeeded = Changes(c) || Changes(e->args[1]) || Changes(e->args[2]);
        if (e->type.base == Base::Float && !inOrderNeeded) return "mix(" + t[2] + ", " + t[1] + ", " + t[0] + ")";
        // GLSL 3.30's mix() selects floats only: ints and bools go component by component.
        const std::string T = GlslType(e->type), C = GlslType(ct);
        std::string parts;
        for (int i = 0; i < e->type.cols; ++i)
            parts += std::string(i ? ", " : "") + "c." + kComponents[i] + " ? a." + kComponents[i] + " : b." +
                     kComponents[i];
        parts = e->type.base == Base::Float ? "mix(b, a, c)" : T + "(" + parts + ")";
        dynamicHelpers_.insert(T + " fx_select(" + C + " c, " + T + " a, " + T + " b) { return " + parts + "; }\n");
        return ordered("fx_select(" + t[0] + ", " + t[1] + ", " + t[2] + ")");
    }
    if (!effects) return "(" + t[0] + " ? " + t[1] + " : " + t[2] + ")";
    const std::string T = GlslType(e->type.element()) + ArraySuffix(e->type);
    std::string name = "fx_select_";
    for (char ch : T) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    dynamicHelpers_.insert(T + " " + name + "(bool c, " + T + " a, " + T + " b) { return c ? a : b; }\n");
    return ordered(name + "(" + t[0] + ", " + t[1] + ", " + t[2] + ")");
}

// "a && b", "a || b": per component on vectors and matrices (of 0 and 1).
std::string Emitter::logical(const Expr* e) {
    const Expr* a = e->args[0];
    const Expr* b = e->args[1];
    const bool conj = e->op == Tok::AndAnd;
    std::string prefix;
    const std::vector<std::string> t = inOrder({a, b}, prefix);
    auto ordered = [&prefix](const std::string& call) { return prefix.empty() ? call : "(" + prefix + call + ")"; };
    if (a->type.isMatrix()) return ordered(matrixOp(e, conj ? "and" : "or", &t));
    if (a->type.isVector()) {
        const std::string u = "uvec" + std::to_string(a->type.cols);
        return ordered(GlslType(e->type) + "(" + u + "(" + t[0] + ")" + (conj ? " & " : " | ") + u + "(" + t[1] +
                       "))");
    }
    if (!HasSideEffects(b)) return "(" + t[0] + (conj ? " && " : " || ") + t[1] + ")";
    dynamicHelpers_.insert(conj ? "bool fx_and(bool a, bool b) { return a && b; }\n"
                                : "bool fx_or(bool a, bool b) { return a || b; }\n");
    return ordered(std::string(conj ? "fx_and(" : "fx_or(") + t[0] + ", " + t[1] + ")");
}

}  // namespace platform::gfx::fx::glsl
