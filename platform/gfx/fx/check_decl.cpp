// platform/gfx/fx/check_decl.cpp: declarations: global variables and parameters, initial values
// (brace lists built into constructors) and annotations.
#include "platform/gfx/fx/checker.h"

#include <cmath>

namespace platform::gfx::fx {

// Gathers the leaves of a brace list in order.
void Checker::leaves(Expr* brace, std::vector<Expr*>& out) {
    for (Expr* a : brace->args) {
        if (a->kind == ExprKind::Brace) {
            leaves(a, out);
        } else {
            check(a);
            out.push_back(a);
        }
    }
}

// Replaces the leaf ls[pos] of a brace list by its parts (an array's elements, a struct's
// members, a vector's or a matrix's components): a list is read as its scalars in order, so
// a value may cover several elements of the target or end inside one. False when it has no
// parts or may not be read more than once (reported).
bool Checker::splitLeaf(std::vector<Expr*>& ls, std::size_t pos) {
    Expr* l = ls[pos];
    const Type t = l->type;
    const bool parts = t.isArray() || (t.base == Base::Struct && t.st) ||
                       (t.isNumericValue() && t.components() > 1);
    if (!parts) return false;
    if (HasSideEffects(l)) {
        report(Diag::UnsupportedFeature, l, "a value with side effects spread over several elements of a list");
        return false;
    }
    auto part = [&](ExprKind kind, const Type& type) {
        Expr* p = m_.make<Expr>();
        p->kind = kind;
        p->line = l->line;
        p->column = l->column;
        p->args = {l};
        p->type = type;
        return p;
    };
    std::vector<Expr*> out;
    if (t.isArray()) {
        for (int k = 0; k < t.outerSize(); ++k) {
            Expr* index = m_.make<Expr>();
            index->kind = ExprKind::IntLit;
            index->line = l->line;
            index->column = l->column;
            index->text = m_.keep(std::to_string(k));
            index->type = Type::Scalar(Base::Int);
            Expr* p = part(ExprKind::Index, t.indexed());
            p->args.push_back(index);
            out.push_back(p);
        }
    } else if (t.base == Base::Struct) {
        for (std::size_t k = 0; k < t.st->members.size(); ++k) {
            Expr* p = part(ExprKind::Member, t.st->members[k]->type);
            p->text = t.st->members[k]->name;
            p->memberIndex = static_cast<int>(k);
            out.push_back(p);
        }
    } else {
        for (int k = 0; k < t.components(); ++k) {
            Expr* p = part(ExprKind::Member, Type::Scalar(t.rows > 0 ? Base::Float : t.base));
            p->swizzleCount = 1;
            p->matrixSwizzle = t.rows > 0;
            p->swizzle[0] = t.rows > 0 ? (k / t.cols) * 4 + k % t.cols : k;
            out.push_back(p);
        }
    }
    ls.erase(ls.begin() + static_cast<std::ptrdiff_t>(pos));
    ls.insert(ls.begin() + static_cast<std::ptrdiff_t>(pos), out.begin(), out.end());
    return true;
}

// Builds a value of type "t" from leaves[pos...]: a Construct node (or the leaf itself when
// one leaf has the type). Returns null (reported) when the leaves do not fit.
Expr* Checker::aggregate(const Type& t, std::vector<Expr*>& ls, std::size_t& pos, Expr* at) {
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
        // An array or a struct, or a value that ends past this element, gives its parts.
        const bool straddles = l->type.isNumericValue() && comps + l->type.components() > t.components();
        if ((!l->type.isNumericValue() || straddles) && splitLeaf(ls, pos)) continue;
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
void Checker::checkInitializer(VarDecl* v) {
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

// global := type name [: semantic] [< annotations >] [= initial-value | sampler_state {...}] ;
// Samplers take only sampler_state blocks, textures no value, strings a string literal;
// a parameter's initial value must be constant (static globals may compute theirs).
void Checker::checkGlobal(VarDecl* g) {
    if (g->type.base == Base::Void) {
        report(Diag::VoidVariable, g->line, g->column, std::string(g->name));
        return;
    }
    for (AnnotationDecl& a : g->annotations) {
        checkAnnotation(a);
        for (const AnnotationDecl& other : g->annotations) {
            if (&other == &a) break;
            if (other.name == a.name) report(Diag::Redefinition, a.line, a.column, a.name);
        }
    }
    if (g->type.isShader()) return;  // checked once functions are (checkShaderGlobal)
    if (g->type.base == Base::Sampler) {
        if (g->init)
            report(Diag::BadInitializer, g->line, g->column, std::string(g->name),
                   "a sampler takes a sampler_state block");
        g->init = nullptr;
        const std::size_t blocks = g->elementSamplerStates.size();
        if (blocks > 0 && (!g->type.isArray() || blocks > static_cast<std::size_t>(g->type.arraySize)))
            report(Diag::BadInitializer, g->line, g->column, std::string(g->name),
                   "more sampler_state blocks than the sampler has elements");
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
    } else if (g->init && (g->storage & kStorageConst) && !g->type.isArray() && g->type.rows == 0 &&
               (g->type.base == Base::Float || g->type.base == Base::Int || g->type.base == Base::Uint ||
                g->type.base == Base::Bool)) {
        // A static const of a constant value is folded: the stages declare the value itself.
        std::vector<double> value;
        evalDepth_ = 0;
        bool finite = evalConst(g->init, value) && value.size() == static_cast<std::size_t>(g->type.components());
        // Integers fold only where they are exact in a double, so the emitted literal is the value.
        const bool integral = g->type.base == Base::Int || g->type.base == Base::Uint;
        for (double v : value) finite = finite && std::isfinite(v) && (!integral || std::fabs(v) < 9007199254740992.0);
        if (finite) g->folded = value;
    }
}

// annotation := type name = value ;  (the value is a constant, a string or a brace list)
void Checker::checkAnnotation(AnnotationDecl& a) {
    if (!a.value) return;
    if (a.value->kind == ExprKind::Brace) {
        std::vector<Expr*> ls;
        leaves(a.value, ls);
        return;
    }
    check(a.value);
}

}  // namespace platform::gfx::fx
