// platform/gfx/fx/check.cpp: the checker.
//
// Index: [types and conversions] [scopes] [expressions] [intrinsics] [statements]
//        [constant values] [effect states] [entry points] [reflection] [driver]
#include "platform/gfx/fx/check.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <unordered_set>

namespace platform::gfx::fx {

std::string NormalizeSemantic(std::string_view semantic) {
    std::string s;
    for (char c : semantic) s += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (s == "SV_POSITION") s = "POSITION";
    if (s.rfind("SV_TARGET", 0) == 0) s = "COLOR" + s.substr(9);
    if (s == "SV_DEPTH") s = "DEPTH";
    std::size_t digits = s.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1]))) --digits;
    if (digits == s.size()) s += '0';
    return s;
}

namespace {

constexpr const char* kIntrinsicNames[] = {
#define FX_INTRINSIC_NAME(name) #name,
    FX_INTRINSICS(FX_INTRINSIC_NAME)
#undef FX_INTRINSIC_NAME
};

int IntrinsicNamed(std::string_view name) {
    for (int i = 0; i < static_cast<int>(sizeof kIntrinsicNames / sizeof kIntrinsicNames[0]); ++i)
        if (name == kIntrinsicNames[i]) return i;
    return -1;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// --- [types and conversions] -----------------------------------------------------------------

Type Poison() {
    Type t;
    t.rows = -1;
    return t;
}
bool IsPoison(const Type& t) { return t.base == Base::Void && t.rows == -1; }

int BaseRank(Base b) {
    switch (b) {
        case Base::Bool: return 0;
        case Base::Int: return 1;
        case Base::Uint: return 2;
        default: return 3;
    }
}

Type WithBase(Type t, Base b) {
    t.base = t.rows > 0 ? Base::Float : b;
    return t;
}

enum Cost { kImpossible = -1, kExact = 0, kBase = 1, kSplat = 2, kTruncate = 4 };

// What converting a value of "from" into "to" costs, or kImpossible. Explicit casts also allow
// a scalar into a struct (zero initialisation).
int ConversionCost(const Type& from, const Type& to, bool explicitCast) {
    if (from == to) return kExact;
    if (from.base == Base::Sampler && to.base == Base::Sampler && !from.isArray() &&
        !to.isArray() && (from.dim == to.dim))
        return kExact;
    if (from.base == Base::Texture && to.base == Base::Texture) return kExact;
    if (explicitCast && to.base == Base::Struct && !to.isArray() && from.isScalar()) return kSplat;
    if (!from.isNumericValue() || !to.isNumericValue()) return kImpossible;
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

// The type both operands of an arithmetic or comparison operator are converted to.
bool CommonType(const Type& a, const Type& b, Type& out) {
    if (!a.isNumericValue() || !b.isNumericValue()) return false;
    const Base base = BaseRank(a.base) >= BaseRank(b.base) ? a.base : b.base;
    if (a.isScalar()) {
        out = WithBase(b, base);
    } else if (b.isScalar()) {
        out = WithBase(a, base);
    } else if (a.isVector() && b.isVector()) {
        out = Type::Vector(base, std::min(a.cols, b.cols));
    } else if (a.isMatrix() && b.isMatrix()) {
        out = Type::Matrix(std::min(a.rows, b.rows), std::min(a.cols, b.cols));
    } else {
        return false;
    }
    if (out.rows > 0) out.base = Base::Float;
    return true;
}

Type BoolShaped(const Type& t) {
    Type r = t;
    if (r.rows > 0) {  // comparisons of matrices give float-typed masks here
        r.base = Base::Float;
        return r;
    }
    r.base = Base::Bool;
    return r;
}

Type FloatShaped(const Type& t) {
    Type r = t;
    r.base = Base::Float;
    return r;
}

// --- the checker -----------------------------------------------------------------------------

class Checker {
public:
    Checker(Module& m, std::vector<Diagnostic>& diags, CheckedEffect& out)
        : m_(m), diags_(diags), out_(out) {}

    void run() {
        registerGlobals();
        registerFunctions();
        for (VarDecl* g : m_.globals) checkGlobal(g);
        for (FuncDecl* f : m_.functions)
            if (f->body) checkFunction(f);
        checkRecursion();
        buildReflection();
        checkTechniques();
    }

private:
    // --- diagnostics ---

    void report(Diag id, int line, int column, const std::string& a = {},
                const std::string& b = {}, const std::string& c = {}) {
        diags_.push_back(MakeDiagnostic(id, line, column, a, b, c));
    }
    void report(Diag id, const Expr* at, const std::string& a = {}, const std::string& b = {},
                const std::string& c = {}) {
        report(id, at->line, at->column, a, b, c);
    }

    // --- [scopes] ---

    void registerGlobals() {
        for (VarDecl* g : m_.globals) {
            if (globals_.count(g->name)) {
                report(Diag::Redefinition, g->line, g->column, std::string(g->name));
                continue;
            }
            globals_[g->name] = g;
        }
    }

    static bool SameSignature(const FuncDecl* a, const FuncDecl* b) {
        if (a->params.size() != b->params.size()) return false;
        for (std::size_t i = 0; i < a->params.size(); ++i)
            if (a->params[i]->type != b->params[i]->type) return false;
        return true;
    }

    void registerFunctions() {
        for (FuncDecl* f : m_.functions) {
            if (globals_.count(f->name)) {
                report(Diag::Redefinition, f->line, f->column, std::string(f->name));
                continue;
            }
            for (VarDecl* p : f->params)
                if (p->type.base == Base::Void)
                    report(Diag::VoidVariable, p->line, p->column, std::string(p->name));
            auto& list = functions_[f->name];
            bool merged = false;
            for (FuncDecl* other : list) {
                if (!SameSignature(other, f)) continue;
                merged = true;
                if (other->body && f->body) {
                    report(Diag::Redefinition, f->line, f->column, std::string(f->name));
                } else if (f->body) {
                    other->definition = f;  // the prototype now points at its body
                    f->overloadIndex = other->overloadIndex;
                    std::replace(list.begin(), list.end(), other, f);
                } else {
                    f->definition = other;
                }
                break;
            }
            if (!merged) {
                f->overloadIndex = static_cast<int>(list.size());
                list.push_back(f);
            }
        }
        for (FuncDecl* f : m_.functions)
            if (!f->body && !f->definition)
                report(Diag::UnknownFunction, f->line, f->column, std::string(f->name),
                       " (declared but never defined)");
    }

    const VarDecl* lookupVar(std::string_view name) const {
        for (auto s = scopes_.rbegin(); s != scopes_.rend(); ++s)
            for (auto v = s->rbegin(); v != s->rend(); ++v)
                if ((*v)->name == name) return *v;
        auto g = globals_.find(name);
        return g == globals_.end() ? nullptr : g->second;
    }

    void declareLocal(VarDecl* v) {
        for (const VarDecl* other : scopes_.back())
            if (other->name == v->name) {
                report(Diag::Redefinition, v->line, v->column, std::string(v->name));
                return;
            }
        scopes_.back().push_back(v);
    }

    // --- conversions ---

    Expr* makeConvert(Expr* e, const Type& to) {
        Expr* c = m_.make<Expr>();
        c->kind = ExprKind::Convert;
        c->line = e->line;
        c->column = e->column;
        c->type = to;
        c->args = {e};
        return c;
    }

    // Converts the value in "slot" to "to", inserting a Convert node; reports failures.
    bool coerce(Expr*& slot, const Type& to, bool explicitCast = false) {
        const Type& from = slot->type;
        if (IsPoison(from) || IsPoison(to)) return false;
        const int cost = ConversionCost(from, to, explicitCast);
        if (cost == kImpossible) {
            report(Diag::TypeMismatch, slot, TypeName(from), TypeName(to));
            return false;
        }
        if (cost >= kTruncate && !explicitCast) report(Diag::ImplicitTruncation, slot);
        if (from != to) slot = makeConvert(slot, to);
        return true;
    }

    // --- [expressions] ---

    static bool isLiteral(const Expr* e) {
        if (e->kind == ExprKind::Unary && (e->op == Tok::Minus || e->op == Tok::Plus))
            return isLiteral(e->args[0]);
        return e->kind == ExprKind::IntLit || e->kind == ExprKind::FloatLit ||
               e->kind == ExprKind::BoolLit;
    }

    // Whether evaluating "e" changes something (an assignment, ++/-- or a call).
    static bool hasSideEffects(const Expr* e) {
        if (e->kind == ExprKind::Assign || e->kind == ExprKind::Postfix || e->kind == ExprKind::Call)
            return true;
        if (e->kind == ExprKind::Unary && (e->op == Tok::PlusPlus || e->op == Tok::MinusMinus))
            return true;
        for (const Expr* a : e->args)
            if (hasSideEffects(a)) return true;
        return false;
    }

    static bool isLvalue(const Expr* e, std::string* why) {
        switch (e->kind) {
            case ExprKind::Name:
                if (!e->var) return false;
                if (e->var->storage & kStorageConst) {
                    *why = "'" + std::string(e->var->name) + "' is const";
                    return false;
                }
                if (e->var->isGlobal && !(e->var->storage & kStorageStatic)) {
                    *why = "'" + std::string(e->var->name) + "' is a uniform parameter";
                    return false;
                }
                if (e->var->type.base == Base::Sampler || e->var->type.base == Base::Texture)
                    return false;
                return true;
            case ExprKind::Member:
                if (e->swizzleCount > 0) {
                    for (int i = 0; i < e->swizzleCount; ++i)
                        for (int j = 0; j < i; ++j)
                            if (e->swizzle[i] == e->swizzle[j]) {
                                *why = "repeated swizzle component";
                                return false;
                            }
                    if (e->matrixSwizzle && e->swizzleCount > 1) {
                        *why = "a matrix swizzle of several elements";
                        return false;
                    }
                    if (e->args[0]->type.isScalar() && e->swizzleCount > 1) {
                        *why = "a swizzle that widens a scalar";
                        return false;
                    }
                }
                return isLvalue(e->args[0], why);
            case ExprKind::Index: return isLvalue(e->args[0], why);
            default: return false;
        }
    }

    bool requireLvalue(const Expr* e) {
        std::string why = "expression is not assignable";
        if (isLvalue(e, &why)) return true;
        report(Diag::NotAssignable, e, why);
        return false;
    }

    Type check(Expr* e) {
        if (++depth_ > 400) {  // the parser's limit keeps this far away; belt and braces
            --depth_;
            return e->type = Poison();
        }
        e->type = checkInner(e);
        --depth_;
        return e->type;
    }

    bool anyPoison(Expr* e) {
        for (Expr* a : e->args)
            if (IsPoison(a->type)) return true;
        return false;
    }

    Type checkInner(Expr* e) {
        switch (e->kind) {
            case ExprKind::IntLit: return Type::Scalar(Base::Int);
            case ExprKind::FloatLit: return Type::Scalar(Base::Float);
            case ExprKind::BoolLit: return Type::Scalar(Base::Bool);
            case ExprKind::StringLit: {
                Type t{Base::String};
                t.cols = 0;
                return t;
            }
            case ExprKind::Name: {
                const VarDecl* v = lookupVar(e->text);
                if (!v) {
                    if (functions_.count(e->text) || IntrinsicNamed(e->text) >= 0) {
                        report(Diag::UnsupportedFeature, e, "a function used as a value");
                    } else {
                        report(Diag::UndeclaredName, e, std::string(e->text));
                    }
                    return Poison();
                }
                e->var = v;
                e->ref = v->isGlobal ? Ref::Global : Ref::Local;
                return v->type;
            }
            case ExprKind::Unary: return checkUnary(e);
            case ExprKind::Postfix: {
                const Type t = check(e->args[0]);
                if (IsPoison(t)) return t;
                if (!t.isNumericValue() || t.base == Base::Bool) {
                    report(Diag::BadOperands, e, TokenName(e->op), TypeName(t));
                    return Poison();
                }
                requireLvalue(e->args[0]);
                return t;
            }
            case ExprKind::Binary: return checkBinary(e);
            case ExprKind::Assign: return checkAssign(e);
            case ExprKind::Ternary: return checkTernary(e);
            case ExprKind::Call: return checkCall(e);
            case ExprKind::Construct: return checkConstruct(e);
            case ExprKind::Cast: {
                const Type t = check(e->args[0]);
                if (IsPoison(t)) return t;
                Type to = e->castType;
                if (to.base == Base::Struct && !isLiteral(e->args[0])) {
                    report(Diag::UnsupportedFeature, e, "casting a value that is not a constant to a struct");
                    return Poison();
                }
                if (ConversionCost(t, to, true) == kImpossible) {
                    report(Diag::TypeMismatch, e, TypeName(t), TypeName(to));
                    return Poison();
                }
                return to;
            }
            case ExprKind::Member: return checkMember(e);
            case ExprKind::Index: {
                const Type t = check(e->args[0]);
                const Type it = check(e->args[1]);
                if (IsPoison(t) || IsPoison(it)) return Poison();
                if (!it.isScalar()) {
                    report(Diag::TypeMismatch, e->args[1], TypeName(it), "int");
                    return Poison();
                }
                coerce(e->args[1], Type::Scalar(Base::Int));
                if (t.isArray()) return t.element();
                if (t.isVector()) return Type::Scalar(t.base);
                if (t.isMatrix()) return Type::Vector(Base::Float, t.cols);
                report(Diag::NotIndexable, e, TypeName(t));
                return Poison();
            }
            case ExprKind::Brace:
                report(Diag::UnsupportedFeature, e, "an initializer list here");
                return Poison();
            case ExprKind::Comma: {
                check(e->args[0]);
                return check(e->args[1]);
            }
            case ExprKind::Compile:
                report(Diag::UnsupportedFeature, e, "'compile' outside a pass");
                return Poison();
            case ExprKind::Convert: return e->type;
        }
        return Poison();
    }

    Type checkUnary(Expr* e) {
        const Type t = check(e->args[0]);
        if (IsPoison(t)) return t;
        const char* op = TokenName(e->op);
        if (!t.isNumericValue()) {
            report(Diag::BadOperands, e, op, TypeName(t));
            return Poison();
        }
        switch (e->op) {
            case Tok::Minus:
            case Tok::Plus:
                if (t.base == Base::Bool) {
                    coerce(e->args[0], WithBase(t, Base::Int));
                    return e->args[0]->type;
                }
                return t;
            case Tok::Bang:
                coerce(e->args[0], BoolShaped(t));
                return BoolShaped(t);
            case Tok::Tilde:
                if (t.base != Base::Int && t.base != Base::Uint) {
                    report(Diag::BadOperands, e, op, TypeName(t));
                    return Poison();
                }
                return t;
            default:  // ++ --
                if (t.base == Base::Bool) {
                    report(Diag::BadOperands, e, op, TypeName(t));
                    return Poison();
                }
                requireLvalue(e->args[0]);
                return t;
        }
    }

    // The type of "a op b" after converting both operands; converts them in place.
    Type binaryType(Expr* at, Tok op, Expr*& a, Expr*& b) {
        const Type ta = a->type, tb = b->type;
        if (IsPoison(ta) || IsPoison(tb)) return Poison();
        Type common;
        const std::string opName = TokenName(op);
        if (!CommonType(ta, tb, common)) {
            report(Diag::BadOperands, at, opName, TypeName(ta), " and '" + TypeName(tb) + "'");
            return Poison();
        }
        switch (op) {
            case Tok::AndAnd:
            case Tok::OrOr: {
                const Type bt = BoolShaped(common);
                if (bt.rows > 0) {
                    report(Diag::BadOperands, at, opName, TypeName(ta), " and '" + TypeName(tb) + "'");
                    return Poison();
                }
                coerce(a, bt);
                coerce(b, bt);
                return bt;
            }
            case Tok::Less: case Tok::Greater: case Tok::LessEqual: case Tok::GreaterEqual:
            case Tok::Equal: case Tok::NotEqual:
                if (common.rows > 0) {
                    report(Diag::UnsupportedFeature, at, "comparing matrices");
                    return Poison();
                }
                coerce(a, common);
                coerce(b, common);
                return BoolShaped(common);
            case Tok::Amp: case Tok::Pipe: case Tok::Caret: case Tok::Shl: case Tok::Shr:
                if (common.base == Base::Float || common.rows > 0) {
                    report(Diag::BadOperands, at, opName, TypeName(ta), " and '" + TypeName(tb) + "'");
                    return Poison();
                }
                if (common.base == Base::Bool) common = WithBase(common, Base::Int);
                coerce(a, common);
                coerce(b, common);
                return common;
            default:  // + - * / %
                if (op == Tok::Percent && common.rows > 0) {
                    report(Diag::BadOperands, at, opName, TypeName(ta), " and '" + TypeName(tb) + "'");
                    return Poison();
                }
                if (common.base == Base::Bool) common = WithBase(common, Base::Int);
                coerce(a, common);
                coerce(b, common);
                return common;
        }
    }

    Type checkBinary(Expr* e) {
        check(e->args[0]);
        check(e->args[1]);
        if (anyPoison(e)) return Poison();
        return binaryType(e, e->op, e->args[0], e->args[1]);
    }

    static Tok compoundOperator(Tok k) {
        switch (k) {
            case Tok::PlusAssign: return Tok::Plus;
            case Tok::MinusAssign: return Tok::Minus;
            case Tok::StarAssign: return Tok::Star;
            case Tok::SlashAssign: return Tok::Slash;
            case Tok::PercentAssign: return Tok::Percent;
            case Tok::ShlAssign: return Tok::Shl;
            case Tok::ShrAssign: return Tok::Shr;
            case Tok::AmpAssign: return Tok::Amp;
            case Tok::PipeAssign: return Tok::Pipe;
            case Tok::CaretAssign: return Tok::Caret;
            default: return Tok::End;
        }
    }

    // A compound assignment "t op= v" becomes "t = t op v" (args[1] is the binary node), so
    // the emitter writes plain assignments with HLSL's conversions explicit.
    Type checkAssign(Expr* e) {
        const Type t = check(e->args[0]);
        if (e->args[1]->kind == ExprKind::Brace) {
            report(Diag::UnsupportedFeature, e->args[1], "an initializer list here");
            return Poison();
        }
        check(e->args[1]);
        if (IsPoison(t) || IsPoison(e->args[1]->type)) return Poison();
        if (!requireLvalue(e->args[0])) return Poison();
        if (e->op != Tok::Assign) {
            // The target is evaluated twice in "t = t op v".
            if (hasSideEffects(e->args[0])) {
                report(Diag::UnsupportedFeature, e,
                       "a compound assignment whose target has side effects");
                return Poison();
            }
            Expr* b = m_.make<Expr>();
            b->kind = ExprKind::Binary;
            b->op = compoundOperator(e->op);
            b->line = e->line;
            b->column = e->column;
            b->args = {e->args[0], e->args[1]};
            b->type = binaryType(b, b->op, b->args[0], b->args[1]);
            if (IsPoison(b->type)) return Poison();
            e->args[1] = b;
            e->op = Tok::Assign;
        }
        coerce(e->args[1], t);
        return t;
    }

    Type checkTernary(Expr* e) {
        const Type c = check(e->args[0]);
        check(e->args[1]);
        check(e->args[2]);
        if (anyPoison(e)) return Poison();
        const Type a = e->args[1]->type, b = e->args[2]->type;
        Type common;
        if (a == b) {
            common = a;
        } else if (!CommonType(a, b, common)) {
            report(Diag::TypeMismatch, e->args[2], TypeName(b), TypeName(a));
            return Poison();
        }
        if (!c.isNumericValue() || c.rows > 0) {
            report(Diag::BadOperands, e, "?:", TypeName(c));
            return Poison();
        }
        if (c.isVector()) {
            if (!common.isNumericValue() || common.rows > 0) {
                report(Diag::BadOperands, e, "?:", TypeName(c));
                return Poison();
            }
            if (common.isScalar()) common = Type::Vector(common.base, c.cols);
            if (common.cols != c.cols) {
                report(Diag::TypeMismatch, e->args[0], TypeName(c), TypeName(BoolShaped(common)));
                return Poison();
            }
            coerce(e->args[0], BoolShaped(common));
        } else {
            coerce(e->args[0], Type::Scalar(Base::Bool));
        }
        if (a != common) coerce(e->args[1], common);
        if (b != common) coerce(e->args[2], common);
        return common;
    }

    Type checkConstruct(Expr* e) {
        const Type t = e->castType;
        int comps = 0;
        for (Expr*& a : e->args) {
            check(a);
            if (IsPoison(a->type)) return Poison();
            if (!a->type.isNumericValue()) {
                report(Diag::TypeMismatch, a, TypeName(a->type), TypeName(t));
                return Poison();
            }
            comps += a->type.components();
        }
        if (!t.isNumericValue()) {
            report(Diag::UnsupportedFeature, e, "a constructor of type '" + TypeName(t) + "'");
            return Poison();
        }
        if (e->args.size() == 1 && e->args[0]->type.isScalar()) {
            coerce(e->args[0], Type::Scalar(t.base == Base::Struct ? Base::Float : t.base));
            return t;
        }
        if (comps != t.components()) {
            report(Diag::ConstructorArguments, e, TypeName(t), std::to_string(t.components()),
                   std::to_string(comps));
            return Poison();
        }
        // Matrices are float in GLSL; convert other bases component-wise into float vectors.
        if (t.rows > 0)
            for (Expr*& a : e->args)
                if (a->type.base != Base::Float && a->type.rows == 0)
                    coerce(a, WithBase(a->type, Base::Float));
        return t;
    }

    Type checkMember(Expr* e) {
        const Type t = check(e->args[0]);
        if (IsPoison(t)) return t;
        const std::string_view name = e->text;
        if (t.base == Base::Struct && !t.isArray()) {
            for (std::size_t i = 0; i < t.st->members.size(); ++i)
                if (t.st->members[i]->name == name) {
                    e->memberIndex = static_cast<int>(i);
                    return t.st->members[i]->type;
                }
            report(Diag::NoMember, e, TypeName(t), std::string(name));
            return Poison();
        }
        if (!t.isNumericValue()) {
            report(Diag::NoMember, e, TypeName(t), std::string(name));
            return Poison();
        }
        if (t.isMatrix()) {
            // _m<r><c> (0-based) or _<r><c> (1-based), repeated
            std::size_t p = 0;
            int n = 0;
            while (p < name.size()) {
                int r, c;
                if (name.substr(p, 2) == "_m" && p + 3 < name.size() + 0 && p + 4 <= name.size()) {
                    r = name[p + 2] - '0';
                    c = name[p + 3] - '0';
                    p += 4;
                } else if (name[p] == '_' && p + 3 <= name.size()) {
                    r = name[p + 1] - '1';
                    c = name[p + 2] - '1';
                    p += 3;
                } else {
                    n = -1;
                    break;
                }
                if (r < 0 || r >= t.rows || c < 0 || c >= t.cols || n >= 4) {
                    n = -1;
                    break;
                }
                e->swizzle[n++] = r * 4 + c;
            }
            if (n <= 0) {
                report(Diag::BadSwizzle, e, std::string(name.substr(0, 20)), TypeName(t));
                return Poison();
            }
            e->swizzleCount = n;
            e->matrixSwizzle = true;
            return n == 1 ? Type::Scalar(Base::Float) : Type::Vector(Base::Float, n);
        }
        static constexpr const char* kSets[2] = {"xyzw", "rgba"};
        const int size = t.cols;
        bool ok = !name.empty() && name.size() <= 4;
        for (int set = 0; ok && set < 2; ++set) {
            bool all = true;
            for (std::size_t i = 0; i < name.size() && all; ++i) {
                const char* f = std::strchr(kSets[set], name[i]);
                if (!f || name[i] == 0 || f - kSets[set] >= size) {
                    all = false;
                } else {
                    e->swizzle[i] = static_cast<int>(f - kSets[set]);
                }
            }
            if (all) {
                e->swizzleCount = static_cast<int>(name.size());
                return e->swizzleCount == 1 ? Type::Scalar(t.base)
                                            : Type::Vector(t.base, e->swizzleCount);
            }
        }
        report(Diag::BadSwizzle, e, std::string(name.substr(0, 20)), TypeName(t));
        return Poison();
    }

    // --- calls ---

    // Picks the overload of "name" for the checked arguments "args"; null when none fits
    // (reported). Default parameter values fill missing trailing arguments.
    const FuncDecl* resolve(const Expr* at, std::string_view name, std::vector<Expr*>& args) {
        auto it = functions_.find(name);
        if (it == functions_.end()) return nullptr;
        const FuncDecl* best = nullptr;
        int bestCost = 1 << 30;
        bool ambiguous = false;
        for (const FuncDecl* f : it->second) {
            if (args.size() > f->params.size()) continue;
            bool fits = true;
            int cost = 0;
            for (std::size_t i = 0; i < f->params.size() && fits; ++i) {
                if (i >= args.size()) {
                    fits = f->params[i]->init != nullptr;
                    continue;
                }
                const int c = ConversionCost(args[i]->type, f->params[i]->type, false);
                if (c == kImpossible) fits = false;
                if ((f->params[i]->storage & kStorageOut) && c != kExact) fits = false;
                cost += c;
            }
            if (!fits) continue;
            if (cost < bestCost) {
                best = f;
                bestCost = cost;
                ambiguous = false;
            } else if (cost == bestCost) {
                ambiguous = true;
            }
        }
        if (!best) {
            std::string sig = " for (";
            for (std::size_t i = 0; i < args.size(); ++i)
                sig += (i ? ", " : "") + TypeName(args[i]->type);
            report(Diag::UnknownFunction, at, std::string(name), sig + ")");
            return nullptr;
        }
        if (ambiguous) {
            report(Diag::AmbiguousCall, at, std::string(name));
            return nullptr;
        }
        return best;
    }

    Type checkCall(Expr* e) {
        for (Expr* a : e->args) check(a);
        if (anyPoison(e)) return Poison();
        const std::string_view name = e->text;
        if (functions_.count(name)) {
            const FuncDecl* f = resolve(e, name, e->args);
            if (!f) return Poison();
            for (std::size_t i = e->args.size(); i < f->params.size(); ++i) {
                Expr* d = f->params[i]->init;  // default values are constant expressions
                check(d);
                e->args.push_back(d);
            }
            for (std::size_t i = 0; i < f->params.size(); ++i) {
                if (f->params[i]->storage & kStorageOut) {
                    requireLvalue(e->args[i]);
                } else {
                    coerce(e->args[i], f->params[i]->type);
                }
            }
            const FuncDecl* target = f->definition ? f->definition : f;
            e->func = target;
            e->ref = Ref::Function;
            if (current_) current_->callees.push_back(target);
            return f->ret;
        }
        const int intrinsic = IntrinsicNamed(name);
        if (intrinsic < 0) {
            if (lookupVar(name)) {
                report(Diag::NotAFunction, e, std::string(name));
            } else {
                report(Diag::UnknownFunction, e, std::string(name), "");
            }
            return Poison();
        }
        e->intrinsic = intrinsic;
        e->ref = Ref::Intrinsic;
        return checkIntrinsic(e, static_cast<Intrinsic>(intrinsic));
    }

    // --- [intrinsics] ---

    bool arity(Expr* e, std::size_t lo, std::size_t hi) {
        if (e->args.size() >= lo && e->args.size() <= hi) return true;
        report(Diag::UnknownFunction, e, std::string(e->text),
               " taking " + std::to_string(e->args.size()) + " arguments");
        return false;
    }

    // The common type of all arguments (float when "floatOnly"), converting them to it.
    Type unify(Expr* e, bool floatOnly) {
        Type common = e->args[0]->type;
        for (std::size_t i = 0; i < e->args.size(); ++i) {
            const Type t = e->args[i]->type;
            if (!t.isNumericValue()) {
                report(Diag::TypeMismatch, e->args[i], TypeName(t), "float");
                return Poison();
            }
            if (i > 0 && !CommonType(common, t, common)) {
                report(Diag::BadOperands, e, std::string(e->text), TypeName(t));
                return Poison();
            }
        }
        if (floatOnly || common.base == Base::Bool) common = FloatShaped(common);
        for (Expr*& a : e->args) coerce(a, common);
        return common;
    }

    bool requireVector(Expr* e, const Type& t, int size = 0) {
        if (t.isVector() && (size == 0 || t.cols == size)) return true;
        report(Diag::TypeMismatch, e, TypeName(t), size ? "float" + std::to_string(size) : "vector");
        return false;
    }

    Type sampleTexture(Expr* e, Dim dim, int coords, int extraArgs) {
        if (!arity(e, 2, 2 + extraArgs)) return Poison();
        const Type s = e->args[0]->type;
        if (s.base != Base::Sampler || s.isArray()) {
            report(Diag::SamplerRequired, e, std::string(e->text));
            return Poison();
        }
        if (s.dim != dim && !(dim == Dim::D1 && s.dim == Dim::D2)) {
            report(Diag::TypeMismatch, e->args[0], TypeName(s),
                   dim == Dim::D3 ? "sampler3D" : dim == Dim::Cube ? "samplerCUBE" : "sampler2D");
            return Poison();
        }
        for (std::size_t i = 1; i < e->args.size(); ++i) {
            const int n = i == 1 ? coords : (coords == 4 ? 2 : coords);
            coerce(e->args[i], MakeNumeric(Base::Float, 0, n));
        }
        return Type::Vector(Base::Float, 4);
    }

    bool outArgument(Expr*& arg, const Type& t) {
        if (!requireLvalue(arg)) return false;
        if (arg->type != t) {
            report(Diag::TypeMismatch, arg, TypeName(arg->type), TypeName(t));
            return false;
        }
        return true;
    }

    Type checkIntrinsic(Expr* e, Intrinsic k) {
        using I = Intrinsic;
        switch (k) {
            // T f(T), float
            case I::k_acos: case I::k_asin: case I::k_atan: case I::k_ceil: case I::k_cos:
            case I::k_cosh: case I::k_degrees: case I::k_exp: case I::k_exp2: case I::k_floor:
            case I::k_frac: case I::k_log: case I::k_log10: case I::k_log2: case I::k_radians:
            case I::k_round: case I::k_rsqrt: case I::k_saturate: case I::k_sin: case I::k_sinh:
            case I::k_sqrt: case I::k_tan: case I::k_tanh: case I::k_trunc: case I::k_ddx:
            case I::k_ddy: case I::k_fwidth:
                if (!arity(e, 1, 1)) return Poison();
                return unify(e, true);
            case I::k_normalize: {
                if (!arity(e, 1, 1)) return Poison();
                const Type t = unify(e, true);
                if (!IsPoison(t) && !requireVector(e->args[0], t)) return Poison();
                return t;
            }
            case I::k_abs:
                if (!arity(e, 1, 1)) return Poison();
                return unify(e, false);
            case I::k_sign: {
                if (!arity(e, 1, 1)) return Poison();
                const Type t = unify(e, false);
                return IsPoison(t) ? t : WithBase(t, Base::Int);
            }
            case I::k_atan2: case I::k_fmod: case I::k_pow: case I::k_step: case I::k_ldexp:
                if (!arity(e, 2, 2)) return Poison();
                return unify(e, true);
            case I::k_reflect: {
                if (!arity(e, 2, 2)) return Poison();
                const Type t = unify(e, true);
                if (!IsPoison(t) && !requireVector(e, t)) return Poison();
                return t;
            }
            case I::k_max: case I::k_min:
                if (!arity(e, 2, 2)) return Poison();
                return unify(e, false);
            case I::k_lerp: case I::k_smoothstep: case I::k_faceforward:
                if (!arity(e, 3, 3)) return Poison();
                return unify(e, true);
            case I::k_clamp:
                if (!arity(e, 3, 3)) return Poison();
                return unify(e, false);
            case I::k_refract: {
                if (!arity(e, 3, 3)) return Poison();
                std::vector<Expr*> saved = e->args;
                e->args.resize(2);
                const Type t = unify(e, true);
                saved[0] = e->args[0];
                saved[1] = e->args[1];
                e->args = saved;
                if (IsPoison(t) || !requireVector(e, t)) return Poison();
                coerce(e->args[2], Type::Scalar(Base::Float));
                return t;
            }
            case I::k_dot: case I::k_distance: {
                if (!arity(e, 2, 2)) return Poison();
                const Type t = unify(e, true);
                if (IsPoison(t)) return t;
                if (t.rows > 0) return requireVector(e, t), Poison();
                return Type::Scalar(Base::Float);
            }
            case I::k_length: {
                if (!arity(e, 1, 1)) return Poison();
                const Type t = unify(e, true);
                if (IsPoison(t)) return t;
                if (t.rows > 0) return requireVector(e, t), Poison();
                return Type::Scalar(Base::Float);
            }
            case I::k_cross:
                if (!arity(e, 2, 2)) return Poison();
                coerce(e->args[0], Type::Vector(Base::Float, 3));
                coerce(e->args[1], Type::Vector(Base::Float, 3));
                return Type::Vector(Base::Float, 3);
            case I::k_all: case I::k_any: {
                if (!arity(e, 1, 1)) return Poison();
                const Type t = e->args[0]->type;
                if (!t.isNumericValue() || t.rows > 0) {
                    report(Diag::TypeMismatch, e->args[0], TypeName(t), "vector");
                    return Poison();
                }
                coerce(e->args[0], BoolShaped(t));
                return Type::Scalar(Base::Bool);
            }
            case I::k_isfinite: case I::k_isinf: case I::k_isnan: {
                if (!arity(e, 1, 1)) return Poison();
                const Type t = unify(e, true);
                if (IsPoison(t) || t.rows > 0) return Poison();
                return BoolShaped(t);
            }
            case I::k_determinant: case I::k_transpose: {
                if (!arity(e, 1, 1)) return Poison();
                const Type t = e->args[0]->type;
                if (!t.isMatrix() || (k == I::k_determinant && t.rows != t.cols)) {
                    report(Diag::TypeMismatch, e->args[0], TypeName(t), "square matrix");
                    return Poison();
                }
                return k == I::k_determinant ? Type::Scalar(Base::Float)
                                             : Type::Matrix(t.cols, t.rows);
            }
            case I::k_mul: return checkMul(e);
            case I::k_lit:
                if (!arity(e, 3, 3)) return Poison();
                for (Expr*& a : e->args) coerce(a, Type::Scalar(Base::Float));
                return Type::Vector(Base::Float, 4);
            case I::k_D3DCOLORtoUBYTE4:
                if (!arity(e, 1, 1)) return Poison();
                coerce(e->args[0], Type::Vector(Base::Float, 4));
                return Type::Vector(Base::Int, 4);
            case I::k_clip:
                if (!arity(e, 1, 1)) return Poison();
                if (IsPoison(unify(e, true))) return Poison();
                return Type{Base::Void, 0, 0};
            case I::k_sincos: {
                if (!arity(e, 3, 3)) return Poison();
                Type t = e->args[0]->type;
                if (!t.isNumericValue()) return unify(e, true);
                t = FloatShaped(t);
                coerce(e->args[0], t);
                if (!outArgument(e->args[1], t) || !outArgument(e->args[2], t)) return Poison();
                return Type{Base::Void, 0, 0};
            }
            case I::k_modf: case I::k_frexp: {
                if (!arity(e, 2, 2)) return Poison();
                Type t = e->args[0]->type;
                if (!t.isNumericValue() || t.rows > 0) {
                    report(Diag::TypeMismatch, e->args[0], TypeName(t), "float");
                    return Poison();
                }
                t = FloatShaped(t);
                coerce(e->args[0], t);
                if (!outArgument(e->args[1], t)) return Poison();
                return t;
            }
            case I::k_tex1D: return sampleTexture(e, Dim::D1, 1, 2);
            case I::k_tex1Dlod: case I::k_tex1Dbias: case I::k_tex1Dproj:
                return sampleTexture(e, Dim::D1, 4, 0);
            case I::k_tex1Dgrad: return sampleTexture(e, Dim::D1, 1, 2);
            case I::k_tex2D: return sampleTexture(e, Dim::D2, 2, 2);
            case I::k_tex2Dlod: case I::k_tex2Dbias: case I::k_tex2Dproj:
                return sampleTexture(e, Dim::D2, 4, 0);
            case I::k_tex2Dgrad:
                if (!arity(e, 4, 4)) return Poison();
                return sampleTexture(e, Dim::D2, 2, 2);
            case I::k_tex3D: return sampleTexture(e, Dim::D3, 3, 2);
            case I::k_tex3Dlod: case I::k_tex3Dbias: case I::k_tex3Dproj:
                return sampleTexture(e, Dim::D3, 4, 0);
            case I::k_texCUBE: return sampleTexture(e, Dim::Cube, 3, 2);
            case I::k_texCUBElod: case I::k_texCUBEbias: case I::k_texCUBEproj:
                return sampleTexture(e, Dim::Cube, 4, 0);
        }
        return Poison();
    }

    // mul(a, b): scalar products, vector x matrix (row vector), matrix x vector (column
    // vector), matrix x matrix and vector . vector, with HLSL's truncation of the longer side.
    Type checkMul(Expr* e) {
        if (!arity(e, 2, 2)) return Poison();
        Type a = e->args[0]->type, b = e->args[1]->type;
        if (!a.isNumericValue() || !b.isNumericValue()) {
            report(Diag::BadOperands, e, "mul", TypeName(a), " and '" + TypeName(b) + "'");
            return Poison();
        }
        const Base base = BaseRank(a.base) >= BaseRank(b.base) ? a.base : b.base;
        const Base fb = base == Base::Bool ? Base::Int : base;
        if (a.isScalar() || b.isScalar()) {
            Type r;
            CommonType(a, b, r);
            r = WithBase(r, fb);
            coerce(e->args[0], a.isScalar() ? Type::Scalar(r.base) : r);
            coerce(e->args[1], b.isScalar() ? Type::Scalar(r.base) : r);
            return r;
        }
        if (a.isVector() && b.isVector()) {
            const int n = std::min(a.cols, b.cols);
            coerce(e->args[0], Type::Vector(Base::Float, n));
            coerce(e->args[1], Type::Vector(Base::Float, n));
            return Type::Scalar(Base::Float);
        }
        if (a.isVector() && b.isMatrix()) {
            if (a.cols < b.rows) {
                report(Diag::BadOperands, e, "mul", TypeName(a), " and '" + TypeName(b) + "'");
                return Poison();
            }
            coerce(e->args[0], Type::Vector(Base::Float, b.rows));
            return Type::Vector(Base::Float, b.cols);
        }
        if (a.isMatrix() && b.isVector()) {
            if (b.cols < a.cols) {
                report(Diag::BadOperands, e, "mul", TypeName(a), " and '" + TypeName(b) + "'");
                return Poison();
            }
            coerce(e->args[1], Type::Vector(Base::Float, a.cols));
            return Type::Vector(Base::Float, a.rows);
        }
        if (a.cols != b.rows) {
            report(Diag::BadOperands, e, "mul", TypeName(a), " and '" + TypeName(b) + "'");
            return Poison();
        }
        return MakeNumeric(Base::Float, a.rows, b.cols);
    }

    // --- initializers ---

    // Gathers the leaves of a brace list in order.
    void leaves(Expr* brace, std::vector<Expr*>& out) {
        for (Expr* a : brace->args) {
            if (a->kind == ExprKind::Brace) {
                leaves(a, out);
            } else {
                check(a);
                out.push_back(a);
            }
        }
    }

    // Builds a value of type "t" from leaves[pos...]: a Construct node (or the leaf itself when
    // one leaf has the type). Returns null (reported) when the leaves do not fit.
    Expr* aggregate(const Type& t, const std::vector<Expr*>& ls, std::size_t& pos, Expr* at) {
        if (pos >= ls.size()) {
            report(Diag::BadInitializer, at, "", "too few values");
            return nullptr;
        }
        Expr* first = ls[pos];
        if (IsPoison(first->type)) return nullptr;
        if (first->type == t) {
            ++pos;
            return first;
        }
        Expr* c = m_.make<Expr>();
        c->kind = ExprKind::Construct;
        c->line = first->line;
        c->column = first->column;
        c->castType = t;
        c->type = t;
        if (t.isArray() || t.base == Base::Struct) {
            const int n = t.isArray() ? t.arraySize : static_cast<int>(t.st->members.size());
            for (int i = 0; i < n; ++i) {
                const Type et = t.isArray() ? t.element() : t.st->members[static_cast<std::size_t>(i)]->type;
                Expr* part = aggregate(et, ls, pos, at);
                if (!part) return nullptr;
                c->args.push_back(part);
            }
            return c;
        }
        if (!t.isNumericValue()) {
            report(Diag::BadInitializer, at, "", "a list cannot initialise '" + TypeName(t) + "'");
            return nullptr;
        }
        int comps = 0;
        while (comps < t.components()) {
            if (pos >= ls.size()) {
                report(Diag::BadInitializer, at, "", "too few values");
                return nullptr;
            }
            Expr* l = ls[pos];
            if (IsPoison(l->type)) return nullptr;
            if (!l->type.isNumericValue()) {
                report(Diag::TypeMismatch, l, TypeName(l->type), TypeName(t));
                return nullptr;
            }
            comps += l->type.components();
            Expr* arg = l;
            if (t.rows > 0 && l->type.base != Base::Float) coerce(arg, WithBase(l->type, Base::Float));
            if (t.rows == 0 && l->type.base != t.base) coerce(arg, WithBase(l->type, t.base));
            c->args.push_back(arg);
            ++pos;
        }
        if (comps != t.components()) {
            report(Diag::BadInitializer, at, "", "values do not line up with the elements");
            return nullptr;
        }
        if (c->args.size() == 1 && t.isScalar()) return c->args[0];
        return c;
    }

    // Checks the initial value of "v" and converts it to the variable's type.
    void checkInitializer(VarDecl* v) {
        if (!v->init) return;
        if (v->init->kind == ExprKind::Brace) {
            std::vector<Expr*> ls;
            leaves(v->init, ls);
            for (Expr* l : ls)
                if (IsPoison(l->type)) {
                    v->init = nullptr;
                    return;
                }
            std::size_t pos = 0;
            Expr* built = nullptr;
            if (ls.size() == 1 && ls[0]->type.isScalar() && v->type.isNumericValue()) {
                built = ls[0];
                coerce(built, v->type);
                pos = 1;
            } else {
                built = aggregate(v->type, ls, pos, v->init);
            }
            if (built && pos != ls.size()) {
                report(Diag::BadInitializer, v->line, v->column, std::string(v->name),
                       "too many values");
                built = nullptr;
            }
            v->init = built;
            return;
        }
        check(v->init);
        if (IsPoison(v->init->type)) {
            v->init = nullptr;
            return;
        }
        if (!coerce(v->init, v->type)) v->init = nullptr;
    }

    void checkGlobal(VarDecl* g) {
        if (g->type.base == Base::Void) {
            report(Diag::VoidVariable, g->line, g->column, std::string(g->name));
            return;
        }
        for (AnnotationDecl& a : g->annotations) checkAnnotation(a);
        if (g->type.base == Base::Sampler) {
            if (g->init)
                report(Diag::BadInitializer, g->line, g->column, std::string(g->name),
                       "a sampler takes a sampler_state block");
            g->init = nullptr;
            return;
        }
        if (g->hasSamplerState) {
            report(Diag::BadInitializer, g->line, g->column, std::string(g->name),
                   "sampler_state initialises samplers only");
            return;
        }
        if (g->type.base == Base::Texture) {
            if (g->init)
                report(Diag::BadInitializer, g->line, g->column, std::string(g->name),
                       "a texture has no initial value");
            g->init = nullptr;
            return;
        }
        if (g->type.base == Base::Struct && !(g->storage & kStorageStatic)) {
            report(Diag::UnsupportedFeature, g->line, g->column,
                   "a struct-typed effect parameter ('" + std::string(g->name) + "')");
            return;
        }
        if (g->type.base == Base::String) {
            if (g->init && g->init->kind != ExprKind::StringLit)
                report(Diag::BadInitializer, g->line, g->column, std::string(g->name),
                       "a string needs a string literal");
            return;
        }
        checkInitializer(g);
        if (g->init && !(g->storage & kStorageStatic)) {
            std::vector<double> value;
            evalDepth_ = 0;
            if (!evalConst(g->init, value))
                report(Diag::NotConstant, g->init, std::string(g->name));
        }
    }

    void checkAnnotation(AnnotationDecl& a) {
        if (!a.value) return;
        if (a.value->kind == ExprKind::Brace) {
            std::vector<Expr*> ls;
            leaves(a.value, ls);
            return;
        }
        check(a.value);
    }

    // --- [statements] ---

    void checkFunction(FuncDecl* f) {
        current_ = f;
        scopes_.assign(1, {});
        for (VarDecl* p : f->params) {
            if (p->init) {
                check(p->init);
                if (!IsPoison(p->init->type)) coerce(p->init, p->type);
            }
            declareLocal(p);
        }
        checkBlock(f->body, false);
        if (f->ret.base != Base::Void && !IsPoison(f->ret) && !returns(f->body))
            report(Diag::MissingReturn, f->line, f->column, std::string(f->name));
        scopes_.clear();
        current_ = nullptr;
    }

    static bool returns(const Stmt* s) {
        if (!s) return false;
        switch (s->kind) {
            case StmtKind::Return: case StmtKind::Discard: return true;
            case StmtKind::Block:
                for (const Stmt* b : s->body)
                    if (returns(b)) return true;
                return false;
            case StmtKind::If: return returns(s->then) && returns(s->otherwise);
            case StmtKind::Do: return returns(s->then);
            default: return false;
        }
    }

    void checkBlock(Stmt* s, bool newScope) {
        if (newScope) scopes_.emplace_back();
        for (Stmt* b : s->body) checkStmt(b);
        if (newScope) scopes_.pop_back();
    }

    void checkCondition(Expr*& e) {
        check(e);
        if (IsPoison(e->type)) return;
        if (!e->type.isScalar()) {
            if (e->type.isVector()) {
                report(Diag::ImplicitTruncation, e);
                coerce(e, Type::Scalar(Base::Bool), true);
                return;
            }
            report(Diag::TypeMismatch, e, TypeName(e->type), "bool");
            return;
        }
        coerce(e, Type::Scalar(Base::Bool));
    }

    void checkStmt(Stmt* s) {
        switch (s->kind) {
            case StmtKind::Block: checkBlock(s, true); break;
            case StmtKind::Expr: check(s->expr); break;
            case StmtKind::Decl:
                for (VarDecl* v : s->decls) {
                    if (v->type.base == Base::Void) {
                        report(Diag::VoidVariable, v->line, v->column, std::string(v->name));
                        continue;
                    }
                    if (v->type.base == Base::Sampler || v->type.base == Base::Texture ||
                        v->type.base == Base::String || v->hasSamplerState) {
                        report(Diag::UnsupportedFeature, v->line, v->column,
                               "a local variable of type '" + TypeName(v->type) + "'");
                        continue;
                    }
                    checkInitializer(v);
                    declareLocal(v);
                }
                break;
            case StmtKind::If:
                checkCondition(s->expr);
                checkNested(s->then);
                if (s->otherwise) checkNested(s->otherwise);
                break;
            case StmtKind::While:
            case StmtKind::Do:
                checkCondition(s->expr);
                ++loops_;
                checkNested(s->then);
                --loops_;
                break;
            case StmtKind::For:
                scopes_.emplace_back();
                if (s->init) checkStmt(s->init);
                if (s->expr) checkCondition(s->expr);
                if (s->step) check(s->step);
                ++loops_;
                checkNested(s->then);
                --loops_;
                scopes_.pop_back();
                break;
            case StmtKind::Break:
            case StmtKind::Continue:
                if (loops_ == 0)
                    report(Diag::BadStatement, s->line, s->column,
                           s->kind == StmtKind::Break ? "break" : "continue",
                           "is only allowed inside a loop");
                break;
            case StmtKind::Return: {
                const Type ret = current_->ret;
                if (!s->expr) {
                    if (ret.base != Base::Void)
                        report(Diag::BadReturn, s->line, s->column, "a value is required");
                    break;
                }
                check(s->expr);
                if (IsPoison(s->expr->type)) break;
                if (ret.base == Base::Void) {
                    report(Diag::BadReturn, s->line, s->column, "a void function returns no value");
                    break;
                }
                coerce(s->expr, ret);
                break;
            }
            case StmtKind::Discard:
            case StmtKind::Empty: break;
        }
    }

    void checkNested(Stmt* s) {
        scopes_.emplace_back();
        checkStmt(s);
        scopes_.pop_back();
    }

    void checkRecursion() {
        // 0 = unvisited, 1 = on the stack, 2 = done
        std::unordered_map<const FuncDecl*, int> state;
        std::function<void(const FuncDecl*)> visit = [&](const FuncDecl* f) {
            state[f] = 1;
            for (const FuncDecl* c : f->callees) {
                if (state[c] == 1) {
                    if (!reportedRecursion_.count(c)) {
                        reportedRecursion_.insert(c);
                        report(Diag::RecursiveCall, c->line, c->column, std::string(c->name));
                    }
                    recursive_.insert(c);
                    recursive_.insert(f);
                } else if (state[c] == 0) {
                    visit(c);
                }
            }
            state[f] = 2;
        };
        for (const FuncDecl* f : m_.functions)
            if (f->body && state[f] == 0) visit(f);
    }

    // --- [constant values] ---

public:
    // Evaluates a checked expression built from literals, constructors, conversions,
    // arithmetic and other parameters' initial values; false when it is not constant.
    bool evalConst(const Expr* e, std::vector<double>& out) {
        if (++evalDepth_ > 64) return false;
        const bool ok = evalInner(e, out);
        --evalDepth_;
        return ok;
    }

private:
    // A global's constant value, computed once: expressions may name the same global many
    // times, and a chain of such globals must not cost exponential time.
    bool globalValue(const VarDecl* v, std::vector<double>& out) {
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

    static double ParseNumber(std::string_view text, bool isFloat) {
        std::string s(text);
        while (!s.empty() && std::strchr("fFhHlLuU", s.back()) && !(s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && std::isxdigit(static_cast<unsigned char>(s.back()))))
            s.pop_back();
        if (isFloat) return std::strtod(s.c_str(), nullptr);
        return static_cast<double>(static_cast<std::int32_t>(
            static_cast<std::uint32_t>(std::strtoull(s.c_str(), nullptr, 0))));
    }

    bool evalInner(const Expr* e, std::vector<double>& out) {
        out.clear();
        switch (e->kind) {
            case ExprKind::IntLit: out.push_back(ParseNumber(e->text, false)); return true;
            case ExprKind::FloatLit: out.push_back(ParseNumber(e->text, true)); return true;
            case ExprKind::BoolLit: out.push_back(e->text == "true" ? 1.0 : 0.0); return true;
            case ExprKind::Name:
                if (!e->var || !e->var->isGlobal || !e->var->init) return false;
                return globalValue(e->var, out);
            case ExprKind::Unary: {
                if (!evalConst(e->args[0], out)) return false;
                for (double& v : out) {
                    if (e->op == Tok::Minus) v = -v;
                    else if (e->op == Tok::Bang) v = v == 0.0;
                    else if (e->op != Tok::Plus) return false;
                }
                return true;
            }
            case ExprKind::Binary: {
                std::vector<double> b;
                if (!evalConst(e->args[0], out) || !evalConst(e->args[1], b)) return false;
                if (b.size() != out.size()) return false;
                const bool integer = e->type.base != Base::Float;
                for (std::size_t i = 0; i < out.size(); ++i) {
                    switch (e->op) {
                        case Tok::Plus: out[i] += b[i]; break;
                        case Tok::Minus: out[i] -= b[i]; break;
                        case Tok::Star: out[i] *= b[i]; break;
                        case Tok::Slash:
                            if (integer && b[i] == 0.0) return false;
                            out[i] /= b[i];
                            if (integer) out[i] = std::trunc(out[i]);
                            break;
                        default: return false;
                    }
                }
                return true;
            }
            case ExprKind::Convert:
            case ExprKind::Cast: {
                if (!evalConst(e->args[0], out)) return false;
                return convertValue(e->args[0]->type, e->type, out);
            }
            case ExprKind::Construct: {
                if (e->type.base == Base::Struct) return false;
                std::vector<double> part;
                for (const Expr* a : e->args) {
                    if (!evalConst(a, part)) return false;
                    out.insert(out.end(), part.begin(), part.end());
                }
                if (out.size() == 1 && e->type.components() > 1 && !e->type.isArray())
                    out.assign(static_cast<std::size_t>(e->type.components()), out[0]);
                if (e->type.base == Base::Int)
                    for (double& v : out) v = std::trunc(v);
                if (e->type.base == Base::Bool)
                    for (double& v : out) v = v != 0.0;
                return true;
            }
            case ExprKind::Call: return e->ref == Ref::Intrinsic && evalIntrinsic(e, out);
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
    bool evalIntrinsic(const Expr* e, std::vector<double>& out) {
        std::vector<std::vector<double>> a(e->args.size());
        for (std::size_t i = 0; i < e->args.size(); ++i)
            if (!evalConst(e->args[i], a[i]) || a[i].empty()) return false;
        using I = Intrinsic;
        const auto k = static_cast<I>(e->intrinsic);
        auto each = [&](double (*f)(double)) {
            for (double v : a[0]) out.push_back(f(v));
            return true;
        };
        auto each2 = [&](double (*f)(double, double)) {
            if (a.size() != 2 || a[1].size() != a[0].size()) return false;
            for (std::size_t i = 0; i < a[0].size(); ++i) out.push_back(f(a[0][i], a[1][i]));
            return true;
        };
        auto dot = [&]() {
            double d = 0;
            for (std::size_t i = 0; i < a[0].size() && i < a.back().size(); ++i) d += a[0][i] * a.back()[i];
            return d;
        };
        switch (k) {
            case I::k_abs: return each([](double v) { return std::fabs(v); });
            case I::k_sqrt: return each([](double v) { return std::sqrt(v); });
            case I::k_sin: return each([](double v) { return std::sin(v); });
            case I::k_cos: return each([](double v) { return std::cos(v); });
            case I::k_tan: return each([](double v) { return std::tan(v); });
            case I::k_exp: return each([](double v) { return std::exp(v); });
            case I::k_log: return each([](double v) { return std::log(v); });
            case I::k_floor: return each([](double v) { return std::floor(v); });
            case I::k_ceil: return each([](double v) { return std::ceil(v); });
            case I::k_frac: return each([](double v) { return v - std::floor(v); });
            case I::k_radians: return each([](double v) { return v * 3.14159265358979323846 / 180.0; });
            case I::k_degrees: return each([](double v) { return v * 180.0 / 3.14159265358979323846; });
            case I::k_saturate: return each([](double v) { return std::clamp(v, 0.0, 1.0); });
            case I::k_min: return each2([](double x, double y) { return std::min(x, y); });
            case I::k_max: return each2([](double x, double y) { return std::max(x, y); });
            case I::k_pow: return each2([](double x, double y) { return std::pow(x, y); });
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

    static bool convertValue(const Type& from, const Type& to, std::vector<double>& v) {
        if (to.base == Base::Struct || v.empty()) return false;
        if (from.isScalar() && to.components() > 1) {
            v.assign(static_cast<std::size_t>(to.components()), v[0]);
        } else if (from.isMatrix() && to.isMatrix()) {
            std::vector<double> r;
            for (int i = 0; i < to.rows; ++i)
                for (int j = 0; j < to.cols; ++j)
                    r.push_back(v[static_cast<std::size_t>(i * from.cols + j)]);
            v = r;
        } else {
            v.resize(static_cast<std::size_t>(std::max(1, to.components())));
        }
        for (double& x : v) {
            if (to.base == Base::Int || to.base == Base::Uint) x = std::trunc(x);
            if (to.base == Base::Bool) x = x != 0.0;
        }
        return true;
    }

    // --- [effect states] ---

    struct EnumValue {
        const char* name;
        std::uint32_t value;
    };
    enum class ValueKind { Bool, ZBuffer, Fill, Shade, Blend, BlendOp, Cull, Cmp, Int, Float,
                           Filter, Address, Colour };

    static const std::vector<EnumValue>& Values(ValueKind k) {
        static const std::vector<EnumValue> kBool = {{"TRUE", 1}, {"FALSE", 0}};
        static const std::vector<EnumValue> kZ = {{"TRUE", 1}, {"FALSE", 0}, {"USEW", 2}};
        static const std::vector<EnumValue> kFill = {{"POINT", 1}, {"WIREFRAME", 2}, {"SOLID", 3}};
        static const std::vector<EnumValue> kShade = {{"FLAT", 1}, {"GOURAUD", 2}, {"PHONG", 3}};
        static const std::vector<EnumValue> kBlend = {
            {"ZERO", 1}, {"ONE", 2}, {"SRCCOLOR", 3}, {"INVSRCCOLOR", 4}, {"SRCALPHA", 5},
            {"INVSRCALPHA", 6}, {"DESTALPHA", 7}, {"INVDESTALPHA", 8}, {"DESTCOLOR", 9},
            {"INVDESTCOLOR", 10}, {"SRCALPHASAT", 11}, {"BOTHSRCALPHA", 12},
            {"BOTHINVSRCALPHA", 13}, {"BLENDFACTOR", 14}, {"INVBLENDFACTOR", 15}};
        static const std::vector<EnumValue> kBlendOp = {
            {"ADD", 1}, {"SUBTRACT", 2}, {"REVSUBTRACT", 3}, {"MIN", 4}, {"MAX", 5}};
        static const std::vector<EnumValue> kCull = {{"NONE", 1}, {"CW", 2}, {"CCW", 3}};
        static const std::vector<EnumValue> kCmp = {
            {"NEVER", 1}, {"LESS", 2}, {"EQUAL", 3}, {"LESSEQUAL", 4}, {"GREATER", 5},
            {"NOTEQUAL", 6}, {"GREATEREQUAL", 7}, {"ALWAYS", 8}};
        static const std::vector<EnumValue> kFilter = {
            {"NONE", 0}, {"POINT", 1}, {"LINEAR", 2}, {"ANISOTROPIC", 3},
            {"PYRAMIDALQUAD", 6}, {"GAUSSIANQUAD", 7}};
        static const std::vector<EnumValue> kAddress = {
            {"WRAP", 1}, {"MIRROR", 2}, {"CLAMP", 3}, {"BORDER", 4}, {"MIRRORONCE", 5}};
        static const std::vector<EnumValue> kNone;
        switch (k) {
            case ValueKind::Bool: return kBool;
            case ValueKind::ZBuffer: return kZ;
            case ValueKind::Fill: return kFill;
            case ValueKind::Shade: return kShade;
            case ValueKind::Blend: return kBlend;
            case ValueKind::BlendOp: return kBlendOp;
            case ValueKind::Cull: return kCull;
            case ValueKind::Cmp: return kCmp;
            case ValueKind::Filter: return kFilter;
            case ValueKind::Address: return kAddress;
            default: return kNone;
        }
    }

    // The value of a state assignment: an enum name (with or without its D3D prefix), TRUE or
    // FALSE, or a constant expression. False when none of these.
    bool stateValue(Expr* e, ValueKind kind, std::uint32_t& out) {
        if (e->kind == ExprKind::Name || e->kind == ExprKind::BoolLit) {
            std::string_view name = e->text;
            const std::size_t underscore = name.find('_');
            for (int pass = 0; pass < 2; ++pass) {
                for (const EnumValue& v : Values(kind))
                    if (EqualsNoCase(name, v.name)) {
                        out = v.value;
                        return true;
                    }
                if (kind != ValueKind::Bool)
                    for (const EnumValue& v : Values(ValueKind::Bool))
                        if (EqualsNoCase(name, v.name) &&
                            (kind == ValueKind::Int || kind == ValueKind::ZBuffer)) {
                            out = v.value;
                            return true;
                        }
                // A second look without the Direct3D prefix ("D3DBLEND_ONE" -> "ONE").
                if (pass == 1 || underscore == std::string_view::npos) break;
                name = name.substr(underscore + 1);
            }
            if (e->kind == ExprKind::Name && !lookupVar(e->text)) return false;
        }
        check(e);
        if (IsPoison(e->type) || !e->type.isNumericValue()) return false;
        std::vector<double> v;
        evalDepth_ = 0;
        if (!evalConst(e, v) || v.empty()) return false;
        if (kind == ValueKind::Float) {
            const float f = static_cast<float>(v[0]);
            std::memcpy(&out, &f, sizeof out);
        } else if (kind == ValueKind::Colour && v.size() == 4) {
            auto byte = [](double x) {
                return static_cast<std::uint32_t>(std::clamp(x, 0.0, 1.0) * 255.0 + 0.5);
            };
            out = byte(v[3]) << 24 | byte(v[0]) << 16 | byte(v[1]) << 8 | byte(v[2]);
        } else {
            out = static_cast<std::uint32_t>(static_cast<std::int64_t>(v[0]));
        }
        return true;
    }

    struct StateRow {
        const char* name;
        std::uint32_t code;  // D3DRS_* or D3DSAMP_*; 0 = known but not supported
        ValueKind kind;
    };

    static const StateRow* findState(const std::vector<StateRow>& rows, std::string_view name) {
        for (const StateRow& r : rows)
            if (EqualsNoCase(name, r.name)) return &r;
        return nullptr;
    }

    static const std::vector<StateRow>& SamplerStates() {
        static const std::vector<StateRow> rows = {
            {"AddressU", 1, ValueKind::Address},     {"AddressV", 2, ValueKind::Address},
            {"AddressW", 3, ValueKind::Address},     {"BorderColor", 4, ValueKind::Colour},
            {"MagFilter", 5, ValueKind::Filter},     {"MinFilter", 6, ValueKind::Filter},
            {"MipFilter", 7, ValueKind::Filter},     {"MipMapLodBias", 8, ValueKind::Float},
            {"MaxMipLevel", 9, ValueKind::Int},      {"MaxAnisotropy", 10, ValueKind::Int},
            {"SRGBTexture", 11, ValueKind::Bool},
        };
        return rows;
    }

    static const std::vector<StateRow>& RenderStates() {
        static const std::vector<StateRow> rows = {
            {"ZEnable", 7, ValueKind::ZBuffer},          {"FillMode", 8, ValueKind::Fill},
            {"ShadeMode", 9, ValueKind::Shade},          {"ZWriteEnable", 14, ValueKind::Bool},
            {"AlphaTestEnable", 15, ValueKind::Bool},    {"SrcBlend", 19, ValueKind::Blend},
            {"DestBlend", 20, ValueKind::Blend},         {"CullMode", 22, ValueKind::Cull},
            {"ZFunc", 23, ValueKind::Cmp},               {"AlphaRef", 24, ValueKind::Int},
            {"AlphaFunc", 25, ValueKind::Cmp},           {"DitherEnable", 26, ValueKind::Bool},
            {"AlphaBlendEnable", 27, ValueKind::Bool},   {"FogEnable", 28, ValueKind::Bool},
            {"SpecularEnable", 29, ValueKind::Bool},     {"StencilEnable", 52, ValueKind::Bool},
            {"Lighting", 137, ValueKind::Bool},          {"ColorWriteEnable", 168, ValueKind::Int},
            {"BlendOp", 171, ValueKind::BlendOp},        {"ScissorTestEnable", 174, ValueKind::Bool},
            {"SeparateAlphaBlendEnable", 206, ValueKind::Bool},
            {"SrcBlendAlpha", 207, ValueKind::Blend},    {"DestBlendAlpha", 208, ValueKind::Blend},
            {"BlendOpAlpha", 209, ValueKind::BlendOp},   {"PointSize", 154, ValueKind::Float},
            {"MultiSampleAntialias", 161, ValueKind::Bool},
            {"TextureFactor", 60, ValueKind::Int},       {"Ambient", 139, ValueKind::Int},
            {"FogColor", 34, ValueKind::Int},            {"NormalizeNormals", 143, ValueKind::Bool},
            // Fixed-function states without a meaning for programmable passes.
            {"ColorOp", 0, ValueKind::Int},    {"ColorArg0", 0, ValueKind::Int},
            {"ColorArg1", 0, ValueKind::Int},  {"ColorArg2", 0, ValueKind::Int},
            {"AlphaOp", 0, ValueKind::Int},    {"AlphaArg0", 0, ValueKind::Int},
            {"AlphaArg1", 0, ValueKind::Int},  {"AlphaArg2", 0, ValueKind::Int},
            {"TexCoordIndex", 0, ValueKind::Int}, {"TextureTransformFlags", 0, ValueKind::Int},
            {"Sampler", 0, ValueKind::Int},    {"Texture", 0, ValueKind::Int},
            {"WorldTransform", 0, ValueKind::Int}, {"ViewTransform", 0, ValueKind::Int},
            {"ProjectionTransform", 0, ValueKind::Int}, {"FogMode", 0, ValueKind::Int},
            {"FogTableMode", 0, ValueKind::Int}, {"FogVertexMode", 0, ValueKind::Int},
            {"FogStart", 0, ValueKind::Int},   {"FogEnd", 0, ValueKind::Int},
            {"FogDensity", 0, ValueKind::Int}, {"VertexShaderConstant", 0, ValueKind::Int},
            {"PixelShaderConstant", 0, ValueKind::Int}, {"MinFilter", 0, ValueKind::Int},
            {"MagFilter", 0, ValueKind::Int},  {"MipFilter", 0, ValueKind::Int},
            {"AddressU", 0, ValueKind::Int},   {"AddressV", 0, ValueKind::Int},
            {"StencilFunc", 0, ValueKind::Int}, {"StencilRef", 0, ValueKind::Int},
            {"StencilPass", 0, ValueKind::Int}, {"StencilFail", 0, ValueKind::Int},
            {"StencilZFail", 0, ValueKind::Int}, {"StencilMask", 0, ValueKind::Int},
            {"StencilWriteMask", 0, ValueKind::Int}, {"DepthBias", 0, ValueKind::Int},
            {"SlopeScaleDepthBias", 0, ValueKind::Int}, {"Wrap0", 0, ValueKind::Int},
            {"Clipping", 0, ValueKind::Int},   {"ClipPlaneEnable", 0, ValueKind::Int},
            {"ColorVertex", 0, ValueKind::Int}, {"VertexBlend", 0, ValueKind::Int},
            {"PointSpriteEnable", 0, ValueKind::Int}, {"PointScaleEnable", 0, ValueKind::Int},
            {"LocalViewer", 0, ValueKind::Int}, {"DiffuseMaterialSource", 0, ValueKind::Int},
            {"SpecularMaterialSource", 0, ValueKind::Int}, {"AmbientMaterialSource", 0, ValueKind::Int},
            {"MaterialAmbient", 0, ValueKind::Int}, {"MaterialDiffuse", 0, ValueKind::Int},
            {"MaterialSpecular", 0, ValueKind::Int}, {"MaterialPower", 0, ValueKind::Int},
            {"LightEnable", 0, ValueKind::Int}, {"LightType", 0, ValueKind::Int},
            {"LightDiffuse", 0, ValueKind::Int}, {"LightPosition", 0, ValueKind::Int},
            {"LightDirection", 0, ValueKind::Int}, {"LightAmbient", 0, ValueKind::Int},
            {"LightSpecular", 0, ValueKind::Int}, {"LightRange", 0, ValueKind::Int},
            {"LightAttenuation0", 0, ValueKind::Int}, {"LightAttenuation1", 0, ValueKind::Int},
            {"LightAttenuation2", 0, ValueKind::Int}, {"TwoSidedStencilMode", 0, ValueKind::Int},
            {"AntialiasedLineEnable", 0, ValueKind::Int}, {"SrgbWriteEnable", 0, ValueKind::Int},
        };
        return rows;
    }

    int parameterIndexOf(const VarDecl* v) const { return v ? v->reflectIndex : -1; }

    void checkSamplerStates(VarDecl* s, ParameterInfo& info) {
        for (StateAssign& a : s->samplerStates) {
            if (EqualsNoCase(a.name, "Texture")) {
                Expr* v = a.value;
                const VarDecl* t = v->kind == ExprKind::Name ? lookupVar(v->text) : nullptr;
                if (!t || t->type.base != Base::Texture || !t->isGlobal) {
                    report(Diag::BadSamplerState, a.line, a.column,
                           "'Texture' must name a texture parameter");
                    continue;
                }
                info.texture = parameterIndexOf(t);
                continue;
            }
            const StateRow* row = findState(SamplerStates(), a.name);
            if (!row) {
                report(Diag::UnknownState, a.line, a.column, std::string(a.name.substr(0, 40)));
                continue;
            }
            std::uint32_t value = 0;
            if (!stateValue(a.value, row->kind, value)) {
                report(Diag::BadStateValue, a.line, a.column, row->name);
                continue;
            }
            info.samplerStates.push_back({row->code, value});
        }
    }

    // --- [entry points] ---

    static bool IsProfile(std::string_view p, bool vertex) {
        static constexpr const char* kVertex[] = {"vs_1_1", "vs_2_0", "vs_2_a", "vs_2_sw",
                                                  "vs_3_0", "vs_3_sw"};
        static constexpr const char* kPixel[] = {"ps_1_1", "ps_1_2", "ps_1_3", "ps_1_4",
                                                 "ps_2_0", "ps_2_a", "ps_2_b", "ps_2_sw",
                                                 "ps_3_0", "ps_3_sw"};
        if (vertex) {
            for (const char* k : kVertex)
                if (p == k) return true;
        } else {
            for (const char* k : kPixel)
                if (p == k) return true;
        }
        return false;
    }

    // Whether a parameter (or return value) of type "t" with semantic "sem" crosses the stage
    // boundary completely: its own semantic, or a struct whose members all have semantics.
    bool hasSemantics(const Type& t, std::string_view sem, std::string& missing,
                      std::string_view name) {
        if (!sem.empty()) return true;
        if (t.base != Base::Struct || t.isArray()) {
            missing = std::string(name);
            return false;
        }
        for (const VarDecl* m : t.st->members)
            if (!hasSemantics(m->type, m->semantic, missing, m->name)) return false;
        return true;
    }

    bool checkEntry(StateAssign& a, bool vertex, EntryPoint& out) {
        Expr* v = a.value;
        if (v->kind != ExprKind::Compile) {
            if ((v->kind == ExprKind::Name && EqualsNoCase(v->text, "NULL")) ||
                (v->kind == ExprKind::IntLit && v->text == "0"))
                return true;
            report(Diag::BadStateValue, a.line, a.column, std::string(a.name));
            return false;
        }
        const std::string profile(v->text);
        if (!IsProfile(profile, vertex)) {
            const bool other = IsProfile(profile, !vertex);
            report(Diag::BadProfile, v->line, v->column, profile,
                   other ? (vertex ? "not a vertex shader profile" : "not a pixel shader profile")
                         : "unsupported profile");
            return false;
        }
        Expr* call = v->args[0];
        scopes_.clear();
        current_ = nullptr;
        for (Expr* arg : call->args) check(arg);
        for (Expr* arg : call->args)
            if (IsPoison(arg->type)) return false;
        auto it = functions_.find(call->text);
        if (it == functions_.end()) {
            report(Diag::UnknownFunction, call, std::string(call->text), "");
            return false;
        }
        // Arguments go to the 'uniform' parameters in order, or to the leading parameters of a
        // function that marks none.
        auto binding = [&](const FuncDecl* f, std::vector<std::size_t>& slots) {
            slots.clear();
            for (std::size_t i = 0; i < f->params.size(); ++i) {
                const VarDecl* p = f->params[i];
                if (p->storage & kStorageOut) continue;
                // Parameters marked 'uniform', and those without a semantic (which cannot be
                // stage inputs), take the arguments of 'compile'.
                if ((p->storage & kStorageUniform) ||
                    (p->semantic.empty() && p->type.base != Base::Struct))
                    slots.push_back(i);
            }
            if (slots.size() < call->args.size()) return false;
            slots.resize(call->args.size());
            for (std::size_t i = 0; i < call->args.size(); ++i)
                if (ConversionCost(call->args[i]->type, f->params[slots[i]]->type, false) ==
                    kImpossible)
                    return false;
            return true;
        };
        const FuncDecl* chosen = nullptr;
        std::vector<std::size_t> slots;
        for (const FuncDecl* f : it->second) {
            const FuncDecl* def = f->definition ? f->definition : f;
            if (binding(def, slots)) {
                chosen = def;
                break;
            }
        }
        if (!chosen) {
            report(Diag::UnknownFunction, call, std::string(call->text), " for these arguments");
            return false;
        }
        if (recursive_.count(chosen)) return false;
        for (Expr* arg : call->args)
            if (callsFunction(arg)) {
                report(Diag::BadEntryPoint, arg, std::string(chosen->name),
                       "arguments of 'compile' must be constants or parameters");
                return false;
            }
        std::vector<Expr*> bound(chosen->params.size(), nullptr);
        for (std::size_t i = 0; i < call->args.size(); ++i) {
            coerce(call->args[i], chosen->params[slots[i]]->type);
            bound[slots[i]] = call->args[i];
        }
        const std::string fname(chosen->name);
        bool ok = true;
        for (std::size_t i = 0; i < chosen->params.size(); ++i) {
            if (bound[i]) continue;
            const VarDecl* p = chosen->params[i];
            if ((p->storage & kStorageUniform) && !(p->storage & kStorageOut)) {
                report(Diag::BadEntryPoint, call, fname,
                       "uniform parameter '" + std::string(p->name) + "' has no value");
                ok = false;
                continue;
            }
            std::string missing;
            if (!hasSemantics(p->type, p->semantic, missing, p->name)) {
                report(Diag::MissingSemantic, call, fname, missing);
                ok = false;
            }
            if (p->type.base == Base::Sampler || p->type.base == Base::Texture) {
                report(Diag::BadEntryPoint, call, fname,
                       "sampler parameter '" + std::string(p->name) + "' has no value");
                ok = false;
            }
        }
        if (chosen->ret.base != Base::Void) {
            std::string missing;
            if (!hasSemantics(chosen->ret, chosen->semantic, missing, "return value")) {
                report(Diag::MissingSemantic, call, fname, missing);
                ok = false;
            }
        }
        if (!ok) return false;
        std::vector<IoVar> ins, outs;
        CollectIo(*chosen, bound, ins, outs);
        bool found = false;
        for (const IoVar& o : outs) {
            if (vertex && o.semantic == "POSITION0") found = true;
            if (!vertex && (o.semantic.rfind("COLOR", 0) == 0 || o.semantic == "DEPTH0"))
                found = true;
        }
        if (!found) {
            report(Diag::BadEntryPoint, call, fname,
                   vertex ? "a vertex shader must write POSITION"
                          : "a pixel shader must write COLOR");
            return false;
        }
        for (const IoVar& io : ins)
            if (!io.type.isNumericValue() || io.type.rows > 0) {
                report(Diag::BadEntryPoint, call, fname,
                       "input '" + io.semantic + "' must be a scalar or vector");
                return false;
            }
        for (const IoVar& io : outs)
            if (!io.type.isNumericValue() || io.type.rows > 0) {
                report(Diag::BadEntryPoint, call, fname,
                       "output '" + io.semantic + "' must be a scalar or vector");
                return false;
            }
        out.func = chosen;
        out.boundArgs = bound;
        out.profile = profile;
        return true;
    }

    static bool callsFunction(const Expr* e) {
        if (e->kind == ExprKind::Call && e->ref == Ref::Function) return true;
        for (const Expr* a : e->args)
            if (callsFunction(a)) return true;
        return false;
    }

    void checkTechniques() {
        if (m_.techniques.empty()) {
            report(Diag::NoTechnique, m_.endLine, m_.endColumn);
            return;
        }
        std::unordered_set<std::string_view> names;
        for (TechniqueDecl* t : m_.techniques) {
            if (!t->name.empty() && !names.insert(t->name).second)
                report(Diag::DuplicateTechnique, t->line, t->column, std::string(t->name));
            for (AnnotationDecl& a : t->annotations) checkAnnotation(a);
            TechniquePlan plan;
            plan.decl = t;
            for (const AnnotationDecl& a : t->annotations) plan.annotations.push_back(annotationInfo(a));
            for (PassDecl* p : t->passes) {
                for (AnnotationDecl& a : p->annotations) checkAnnotation(a);
                PassPlan pp;
                pp.decl = p;
                for (const AnnotationDecl& a : p->annotations) pp.annotations.push_back(annotationInfo(a));
                int psLine = 0, psColumn = 0;
                for (StateAssign& a : p->states) {
                    if (EqualsNoCase(a.name, "VertexShader")) {
                        checkEntry(a, true, pp.vs);
                        continue;
                    }
                    if (EqualsNoCase(a.name, "PixelShader")) {
                        checkEntry(a, false, pp.ps);
                        psLine = a.line;
                        psColumn = a.column;
                        continue;
                    }
                    const StateRow* row = findState(RenderStates(), a.name);
                    if (!row) {
                        report(Diag::UnknownState, a.line, a.column,
                               std::string(a.name.substr(0, 40)));
                        continue;
                    }
                    if (row->code == 0 || a.index >= 0) {
                        report(Diag::IgnoredState, a.line, a.column, row->name);
                        continue;
                    }
                    std::uint32_t value = 0;
                    if (!stateValue(a.value, row->kind, value)) {
                        report(Diag::BadStateValue, a.line, a.column, row->name);
                        continue;
                    }
                    pp.renderStates.push_back({row->code, value});
                }
                if (!pp.vs.func && !pp.ps.func) {
                    bool setAny = false;
                    for (StateAssign& a : p->states)
                        setAny = setAny || EqualsNoCase(a.name, "VertexShader") ||
                                 EqualsNoCase(a.name, "PixelShader");
                    if (!setAny)
                        report(Diag::EmptyPass, p->line, p->column, std::string(p->name));
                }
                if (pp.vs.func && pp.ps.func) {
                    std::vector<IoVar> vin, vout, pin, pout;
                    CollectIo(*pp.vs.func, pp.vs.boundArgs, vin, vout);
                    CollectIo(*pp.ps.func, pp.ps.boundArgs, pin, pout);
                    for (const IoVar& i : pin) {
                        if (i.semantic == "VPOS0" || i.semantic == "VFACE0" ||
                            i.semantic == "POSITION0")
                            continue;
                        bool written = false;
                        for (const IoVar& o : vout) written = written || o.semantic == i.semantic;
                        if (!written)
                            report(Diag::UnmatchedSemantic, psLine, psColumn, i.semantic);
                    }
                }
                plan.passes.push_back(std::move(pp));
            }
            out_.techniques.push_back(std::move(plan));
        }
    }

    // --- [reflection] ---

    static ParamType ObjectType(const Type& t) {
        if (t.base == Base::Texture) {
            switch (t.dim) {
                case Dim::D1: return ParamType::Texture1D;
                case Dim::D2: return ParamType::Texture2D;
                case Dim::D3: return ParamType::Texture3D;
                case Dim::Cube: return ParamType::TextureCube;
                default: return ParamType::Texture;
            }
        }
        switch (t.dim) {
            case Dim::D1: return ParamType::Sampler1D;
            case Dim::D3: return ParamType::Sampler3D;
            case Dim::Cube: return ParamType::SamplerCube;
            default: return ParamType::Sampler2D;
        }
    }

    AnnotationInfo annotationInfo(const AnnotationDecl& a) {
        AnnotationInfo info;
        info.name = a.name;
        info.type = a.type;
        if (!a.value) return info;
        if (a.value->kind == ExprKind::StringLit) {
            std::string_view s = a.value->text;
            if (s.size() >= 2) s = s.substr(1, s.size() - 2);
            info.value = std::string(s);
            return info;
        }
        std::vector<Expr*> ls;
        if (a.value->kind == ExprKind::Brace) {
            std::vector<Expr*> stack = {a.value};
            std::function<void(Expr*)> walk = [&](Expr* e) {
                if (e->kind == ExprKind::Brace) {
                    for (Expr* c : e->args) walk(c);
                } else {
                    ls.push_back(e);
                }
            };
            walk(a.value);
        } else {
            ls.push_back(a.value);
        }
        for (Expr* l : ls) {
            std::vector<double> v;
            evalDepth_ = 0;
            if (IsPoison(l->type) || !evalConst(l, v)) continue;
            for (double d : v) {
                info.numbers.push_back(static_cast<float>(d));
                char buf[32];
                std::snprintf(buf, sizeof buf, "%g", d);
                if (!info.value.empty()) info.value += ' ';
                info.value += buf;
            }
        }
        return info;
    }

    void buildReflection() {
        for (VarDecl* g : m_.globals) {
            if (g->storage & kStorageStatic) continue;
            if (globals_[g->name] != g) continue;  // a redefinition, already reported
            if (g->type.base == Base::Void || g->type.base == Base::Struct) continue;
            ParameterInfo p;
            p.name = std::string(g->name);
            p.semantic = std::string(g->semantic);
            p.typeName = TypeName(g->type.element());
            p.elements = g->type.arraySize;
            p.isShared = (g->storage & kStorageShared) != 0;
            const Type t = g->type.element();
            if (t.isNumeric()) {
                p.glslName = "h" + p.name;
                p.paramClass = t.isScalar()   ? ParamClass::Scalar
                               : t.isVector() ? ParamClass::Vector
                                              : ParamClass::MatrixRows;
                p.type = t.base == Base::Bool  ? ParamType::Bool
                         : t.base == Base::Float ? ParamType::Float
                                                 : ParamType::Int;
                p.rows = t.rows > 0 ? t.rows : 1;
                p.columns = t.cols;
                p.sizeBytes = p.rows * p.columns * 4 * std::max(1, p.elements);
                if (g->init) {
                    std::vector<double> v;
                    evalDepth_ = 0;
                    if (evalConst(g->init, v))
                        for (double d : v) p.initialValue.push_back(static_cast<float>(d));
                }
            } else if (t.base == Base::String) {
                p.paramClass = ParamClass::Object;
                p.type = ParamType::String;
                p.rows = p.columns = 1;
            } else {
                p.paramClass = ParamClass::Object;
                p.type = ObjectType(t);
                p.rows = p.columns = 1;
                if (t.base == Base::Sampler) p.glslName = "h" + p.name;
            }
            for (const AnnotationDecl& a : g->annotations) p.annotations.push_back(annotationInfo(a));
            g->reflectIndex = static_cast<int>(out_.parameters.size());
            out_.parameters.push_back(std::move(p));
            out_.parameterDecls.push_back(g);
        }
        for (std::size_t i = 0; i < out_.parameterDecls.size(); ++i) {
            VarDecl* g = const_cast<VarDecl*>(out_.parameterDecls[i]);
            if (g->type.base == Base::Sampler) checkSamplerStates(g, out_.parameters[i]);
        }
    }

    Module& m_;
    std::vector<Diagnostic>& diags_;
    CheckedEffect& out_;
    std::unordered_map<std::string_view, VarDecl*> globals_;
    std::unordered_map<std::string_view, std::vector<FuncDecl*>> functions_;
    std::vector<std::vector<VarDecl*>> scopes_;
    std::unordered_set<const FuncDecl*> recursive_, reportedRecursion_;
    FuncDecl* current_ = nullptr;
    int loops_ = 0;
    int depth_ = 0;
    int evalDepth_ = 0;
    std::unordered_map<const VarDecl*, std::pair<bool, std::vector<double>>> constCache_;
};

void CollectMembers(const Type& t, std::string_view sem, IoVar base, std::vector<IoVar>& list) {
    if (!sem.empty()) {
        base.semantic = NormalizeSemantic(sem);
        base.type = t;
        list.push_back(base);
        return;
    }
    if (t.base != Base::Struct || t.isArray()) return;
    for (std::size_t i = 0; i < t.st->members.size(); ++i) {
        IoVar m = base;
        m.path.push_back(static_cast<int>(i));
        CollectMembers(t.st->members[i]->type, t.st->members[i]->semantic, m, list);
    }
}

}  // namespace

void CollectIo(const FuncDecl& func, const std::vector<Expr*>& bound, std::vector<IoVar>& inputs,
               std::vector<IoVar>& outputs) {
    for (std::size_t i = 0; i < func.params.size(); ++i) {
        if (i < bound.size() && bound[i]) continue;
        const VarDecl* p = func.params[i];
        IoVar base;
        base.param = static_cast<int>(i);
        if (p->storage & kStorageOut) {
            base.output = true;
            CollectMembers(p->type, p->semantic, base, outputs);
            if (!(p->storage & kStorageIn)) continue;
            base.output = false;
            CollectMembers(p->type, p->semantic, base, inputs);  // inout: an input as well
        } else {
            CollectMembers(p->type, p->semantic, base, inputs);
        }
    }
    if (func.ret.base != Base::Void) {
        IoVar base;
        base.param = -1;
        base.output = true;
        CollectMembers(func.ret, func.semantic, base, outputs);
    }
}

void Check(Module& module, std::vector<Diagnostic>& diagnostics, CheckedEffect& out) {
    Checker(module, diagnostics, out).run();
}

}  // namespace platform::gfx::fx
