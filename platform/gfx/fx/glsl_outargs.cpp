// platform/gfx/fx/glsl_outargs.cpp: out and inout arguments that GLSL cannot bind as they
// stand. GLSL binds an out argument only to an l-value of exactly the parameter's type; HLSL
// also converts (an int4 into an out float4 and back) and binds what GLSL holds differently
// (a row of a multi-dimensional array, a cast, a constructor of l-values). Such a call goes
// through a wrapper function: it takes the variables the argument names (inout; globals are
// used where they are) and the values of its indices, passes a temporary of the parameter's
// type, and writes it back after the call, in parameter order, as an assignment would.
#include "platform/gfx/fx/glsl_emitter.h"

namespace platform::gfx::fx::glsl {

namespace {

bool IsRow(const Expr* e) {
    return e->kind == ExprKind::Index && e->type.isArray() && e->args[0]->type.inner[0] > 0;
}

}  // namespace

// Whether out argument "arg" binds to a GLSL out parameter of type "param" as it is emitted.
bool Emitter::bindsDirectly(const Expr* arg, const Type& param) {
    if (arg->type != param) return false;
    for (const Expr* e = arg;;) {
        // An element of an int or bool matrix (held as floats) takes a converted value.
        if ((e->kind == ExprKind::Member || e->kind == ExprKind::Index) && e->args[0]->type.isMatrix() &&
            e->args[0]->type.elements != Base::Float)
            return false;
        switch (e->kind) {
            case ExprKind::Name: return true;
            case ExprKind::Member:
                if (e->matrixSwizzle && e->swizzleCount > 1) return false;
                e = e->args[0];
                break;
            case ExprKind::Index:
                if (IsRow(e)) return false;  // emitted as an array built from its elements
                e = e->args[0];
                while (IsRow(e)) e = e->args[0];  // an element is one of the flat array's
                break;
            default: return false;
        }
    }
}

// A copy of l-value "e" for the wrapper's body: local variables become its inout parameters
// (one per variable, however often it is named), indices its int parameters. "params" and
// "values" collect the parameters' declarations and the call's arguments for them.
const Expr* Emitter::wrapperLvalue(const Expr* e, OutWrapper& w) {
    Expr* c = &scratch_.emplace_back(*e);
    if (e->kind == ExprKind::Name) {
        if (!e->var || e->var->isGlobal || (e->var->storage & kStorageStatic)) return c;  // used in place
        for (const auto& [var, name] : w.roots)
            if (var == e->var) return name;
        c->var = nullptr;
        c->text = scratchNames_.emplace_back("fx_outarg_r" + std::to_string(w.roots.size()));
        w.roots.emplace_back(e->var, c);
        w.params.push_back("inout " + GlslType(e->type.element()) + " " + UserName(c->text) + ArraySuffix(e->type));
        w.values.push_back(expr(e));
        return c;
    }
    for (std::size_t i = 0; i < c->args.size(); ++i) {
        if (e->kind == ExprKind::Index && i == 1) {
            Expr* at = &scratch_.emplace_back(*e->args[1]);
            at->kind = ExprKind::Name;
            at->var = nullptr;
            at->args.clear();
            at->text = scratchNames_.emplace_back("fx_outarg_i" + std::to_string(w.params.size()));
            w.params.push_back(GlslType(at->type) + " " + UserName(at->text));
            w.values.push_back(expr(e->args[1]));
            c->args[1] = at;
        } else {
            c->args[i] = const_cast<Expr*>(wrapperLvalue(e->args[i], w));
        }
    }
    return c;
}

// Call "e" (a user function's or an intrinsic's) through a wrapper; "param[i]" is the type
// argument i is passed as and "out[i]" whether it is written.
std::string Emitter::outArgumentCall(const Expr* e, const std::vector<Type>& param, const std::vector<bool>& out) {
    OutWrapper w;
    Expr* inner = &scratch_.emplace_back(*e);
    std::string before, after;
    auto name = [this](const std::string& n, const Type& t) {
        Expr* x = &scratch_.emplace_back();
        x->kind = ExprKind::Name;
        x->text = scratchNames_.emplace_back(n);
        x->type = t;
        return x;
    };
    for (std::size_t i = 0; i < e->args.size(); ++i) {
        const Expr* a = e->args[i];
        const std::string n = "fx_outarg_a" + std::to_string(i);
        if (!out[i]) {
            w.params.push_back(GlslType(a->type.element()) + " " + UserName(n) + ArraySuffix(a->type));
            w.values.push_back(expr(a));
            inner->args[i] = name(n, a->type);
            continue;
        }
        const Expr* target = wrapperLvalue(a, w);
        Expr* temp = name(n, param[i]);
        before += " " + GlslType(param[i].element()) + " " + UserName(n) + ArraySuffix(param[i]) + " = " +
                  convertText(expr(target), a->type, param[i]) + ";";
        Expr* value = temp;
        if (!param[i].sameValues(a->type)) {
            value = &scratch_.emplace_back();
            value->kind = ExprKind::Convert;
            value->type = a->type;
            value->args = {temp};
        }
        Expr* assign = &scratch_.emplace_back();
        assign->kind = ExprKind::Assign;
        assign->op = Tok::Assign;
        assign->type = a->type;
        assign->args = {const_cast<Expr*>(target), value};
        after += " " + expr(assign) + ";";
        inner->args[i] = temp;
    }
    const bool returns = e->type.base != Base::Void;
    const std::string r = GlslType(e->type);
    std::string params;
    for (std::size_t i = 0; i < w.params.size(); ++i) params += (i ? ", " : "") + w.params[i];
    const std::string body = "(" + params + ") {" + before + " " + (returns ? r + " r = " : "") + expr(inner) + ";" +
                             after + (returns ? " return r;" : "") + " }\n";
    auto it = outWrappers_.find(r + body);
    if (it == outWrappers_.end()) {
        const std::string n = "fx_out" + std::to_string(outWrappers_.size());
        it = outWrappers_.emplace(r + body, n).first;
        lateHelpers_.push_back(r + " " + n + body);
    }
    if (e->func) prototypes_.insert(signature(e->func) + ";\n");
    std::string s = it->second + "(";
    for (std::size_t i = 0; i < w.values.size(); ++i) s += (i ? ", " : "") + w.values[i];
    return s + ")";
}

}  // namespace platform::gfx::fx::glsl
