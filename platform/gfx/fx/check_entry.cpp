// platform/gfx/fx/check_entry.cpp: entry points and the stage boundary: the shaders "compile"
// names, how its arguments bind to the function's parameters, and the semantics crossing each
// stage.
#include "platform/gfx/fx/checker.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace platform::gfx::fx {

namespace {

// Whether "e" or "s" names the variable "v" anywhere.
bool Names(const Expr* e, const VarDecl* v) {
    if (!e) return false;
    if (e->var == v) return true;
    for (const Expr* a : e->args)
        if (Names(a, v)) return true;
    return false;
}

// Whether "e" reads the member at "path" (struct member indices) of parameter "p": through
// that member, one of its members or the parameter as a whole.
bool Reads(const Expr* e, const VarDecl* p, const std::vector<int>& path) {
    if (!e) return false;
    std::vector<int> chain;
    const Expr* x = e;
    for (; x->kind == ExprKind::Member && x->swizzleCount == 0 && x->memberIndex >= 0; x = x->args[0])
        chain.insert(chain.begin(), x->memberIndex);
    if (x->var == p && x->kind == ExprKind::Name) {
        const std::size_t n = std::min(chain.size(), path.size());
        return std::equal(chain.begin(), chain.begin() + static_cast<long>(n), path.begin());
    }
    for (const Expr* a : e->args)
        if (Reads(a, p, path)) return true;
    return false;
}

// Whether statement "s" holds an expression for which "test" holds.
template <typename Test>
bool AnyExpr(const Stmt* s, const Test& test) {
    if (!s) return false;
    if (test(s->expr) || test(s->step) || AnyExpr(s->init, test) || AnyExpr(s->then, test) ||
        AnyExpr(s->otherwise, test))
        return true;
    for (const Stmt* b : s->body)
        if (AnyExpr(b, test)) return true;
    for (const VarDecl* d : s->decls)
        if (test(d->init)) return true;
    return false;
}

bool Names(const Stmt* s, const VarDecl* v) {
    return AnyExpr(s, [v](const Expr* e) { return Names(e, v); });
}

// Appends the stage values of a value of type "t": itself when it has a semantic, else each
// member of a struct in turn (members without one are left out). An array with a semantic
// takes one per element with consecutive indices ("float2 t[3] : TEXCOORD1" is TEXCOORD1..3).
void CollectMembers(const Type& t, std::string_view sem, IoVar base, std::vector<IoVar>& list) {
    if (!sem.empty() && t.base == Base::Struct && !t.isArray()) {
        // A semantic on a whole struct ("O PS() : COLOR"): members with a semantic of their own
        // keep it, the others take the struct's with consecutive indices.
        const std::string whole = NormalizeSemantic(sem);
        std::size_t digits = whole.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(whole[digits - 1]))) --digits;
        int next = std::atoi(whole.c_str() + digits);
        for (std::size_t i = 0; i < t.st->members.size(); ++i) {
            IoVar m = base;
            m.path.push_back(static_cast<int>(i));
            const VarDecl* member = t.st->members[i];
            const std::string own = member->semantic.empty()
                                        ? whole.substr(0, digits) + std::to_string(next++)
                                        : std::string(member->semantic);
            CollectMembers(member->type, own, m, list);
        }
        return;
    }
    if (!sem.empty()) {
        base.semantic = NormalizeSemantic(sem);
        base.type = t.element();
        if (!t.isArray()) {
            list.push_back(base);
            return;
        }
        std::size_t digits = base.semantic.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(base.semantic[digits - 1]))) --digits;
        const std::string name = base.semantic.substr(0, digits);
        const int first = std::atoi(base.semantic.c_str() + digits);
        for (int k = 0; k < t.arraySize; ++k) {
            IoVar e = base;
            e.semantic = name + std::to_string(first + k);
            e.element = k;
            list.push_back(e);
        }
        return;
    }
    if (t.base != Base::Struct || t.isArray()) return;
    for (std::size_t i = 0; i < t.st->members.size(); ++i) {
        IoVar m = base;
        m.path.push_back(static_cast<int>(i));
        m.line = t.st->members[i]->line;
        m.column = t.st->members[i]->column;
        CollectMembers(t.st->members[i]->type, t.st->members[i]->semantic, m, list);
    }
}

}  // namespace

// Whether "p" names a shader model 1.1 to 3.0 profile of the vertex (or pixel) stage.
bool Checker::IsProfile(std::string_view p, bool vertex) {
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
bool Checker::hasSemantics(const Type& t, std::string_view sem, std::string& missing,
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

// The first use, in entry point "f" or a function it reaches, of something "profile" lacks;
// null when there is none.
const StageUse* Checker::unavailableUse(const FuncDecl* f, std::string_view profile) {
    std::vector<const FuncDecl*> todo = {f};
    std::unordered_set<const FuncDecl*> seen = {f};
    while (!todo.empty()) {
        const FuncDecl* g = todo.back();
        todo.pop_back();
        for (const StageUse& u : g->stageUses)
            if (!AvailableIn(u.need, profile)) return &u;
        for (const FuncDecl* c : g->callees)
            if (seen.insert(c).second) todo.push_back(c);
    }
    return nullptr;
}

// compiled-shader := compile profile function ( args )
// Binds the arguments, checks every remaining parameter crosses the stage boundary with a
// semantic, and that a vertex stage writes POSITION and a pixel stage COLOR or DEPTH.
bool Checker::checkCompile(Expr* v, bool vertex, EntryPoint& out) {
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
    if (sharedRegisters(chosen, profile) || samplerKindClash(chosen)) return false;
    if (const StageUse* u = unavailableUse(chosen, profile)) {
        if (u->need == Availability::TextureFill) {
            report(Diag::TextureFillOnly, u->line, u->column, "noise", std::string(chosen->name));
        } else {
            report(Diag::NotInProfile, u->line, u->column, std::string(u->what), profile,
                   AvailabilityNeeds(u->need));
        }
        return false;
    }
    for (Expr* arg : call->args)
        if (callsFunction(arg)) {
            report(Diag::BadEntryPoint, arg, std::string(chosen->name),
                   "arguments of 'compile' must be constants or parameters");
            return false;
        }
    std::vector<Expr*> bound(chosen->params.size(), nullptr);
    for (std::size_t i = 0; i < call->args.size(); ++i) {
        const VarDecl* p = chosen->params[slots[i]];
        if (p->type.base == Base::Sampler && call->args[i]->type.base == Base::Sampler) {
            if (!passSampler(call->args[i], p)) return false;
        } else {
            coerce(call->args[i], p->type);
        }
        bound[slots[i]] = call->args[i];
    }
    const std::string fname(chosen->name);
    bool ok = true;
    for (std::size_t i = 0; i < chosen->params.size(); ++i) {
        if (bound[i]) continue;
        const VarDecl* p = chosen->params[i];
        if ((p->storage & kStorageUniform) && !(p->storage & kStorageOut) && p->init &&
            !IsPoison(p->init->type)) {
            bound[i] = p->init;  // "compile ps_2_0 F()" leaves a default value in place
            continue;
        }
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
    // SV_Position is Direct3D 10's name: a Direct3D 9 pixel shader cannot read it. A parameter
    // that is never read is dropped, as the native compiler drops unread inputs (effects
    // written for both generations keep one in their pixel shaders' signatures).
    for (std::size_t i = 0; i < chosen->params.size() && !vertex; ++i) {
        const VarDecl* p = chosen->params[i];
        const bool svPosition =
            EqualsNoCase(p->semantic.substr(0, 3), "SV_") && NormalizeSemantic(p->semantic) == "POSITION0";
        if (!bound[i] && !(p->storage & kStorageOut) && svPosition && Names(chosen->body, p)) {
            report(Diag::BadEntryPoint, p->line, p->column, fname,
                   "a Direct3D 9 pixel shader cannot take SV_Position (use VPOS)");
            ok = false;
        }
    }
    if (!ok) return false;
    std::vector<IoVar> ins, outs;
    CollectIo(*chosen, bound, ins, outs);
    for (const std::vector<IoVar>* list : {&ins, &outs})  // "TEXCOORD" and "TEXCOORD0" are one
        for (std::size_t i = 0; i < list->size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if ((*list)[i].semantic == (*list)[j].semantic) {
                    report(Diag::BadEntryPoint, chosen->line, chosen->column, fname,
                           "semantic '" + (*list)[i].semantic + "' is given twice");
                    return false;
                }
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
    for (const std::vector<IoVar>* list : {&ins, &outs})
        for (const IoVar& io : *list)
            if (io.element >= 16) {  // no stage has more registers than that
                report(Diag::BadEntryPoint, call, fname,
                       "the array at '" + io.semantic + "' has more than 16 elements");
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
    // A pixel shader's input that is never read is dropped before its semantic is looked at,
    // so a struct shared with the vertex stage may carry POSITION or NORMAL into ps_2_0.
    auto dropped = [&](const IoVar& io) {
        if (vertex || io.output) return false;
        const VarDecl* p = chosen->params[static_cast<std::size_t>(io.param)];
        return !AnyExpr(chosen->body, [&](const Expr* e) { return Reads(e, p, io.path); });
    };
    for (const std::vector<IoVar>* list : {&ins, &outs})
        for (const IoVar& io : *list)
            if (!SemanticAllowed(io.semantic, vertex, io.output, profile) && !dropped(io)) {
                report(Diag::BadSemantic, io.line, io.column, io.output ? "output" : "input",
                       io.semantic, profile);
                return false;
            }
    for (const std::vector<IoVar>* list : {&ins, &outs}) {
        int used = 0;
        for (const IoVar& io : *list) {
            if (io.semantic == "VPOS0" || io.semantic == "VFACE0" || dropped(io)) continue;
            if (++used > StageRegisters(vertex, io.output, profile)) {
                report(Diag::BadEntryPoint, io.line, io.column, fname,
                       std::string(io.output ? "outputs" : "inputs") + " need more than the " +
                           std::to_string(StageRegisters(vertex, io.output, profile)) + " registers of " +
                           std::string(profile));
                return false;
            }
        }
    }
    out.func = chosen;
    out.boundArgs = bound;
    out.profile = profile;
    return vertex || gradientFlow(out);
}

// Whether "e" calls one of the effect's own functions.
bool Checker::callsFunction(const Expr* e) {
    if (e->kind == ExprKind::Call && e->ref == Ref::Function) return true;
    for (const Expr* a : e->args)
        if (callsFunction(a)) return true;
    return false;
}

void CollectIo(const FuncDecl& func, const std::vector<Expr*>& bound, std::vector<IoVar>& inputs,
               std::vector<IoVar>& outputs) {
    for (std::size_t i = 0; i < func.params.size(); ++i) {
        if (i < bound.size() && bound[i]) continue;
        const VarDecl* p = func.params[i];
        IoVar base;
        base.param = static_cast<int>(i);
        base.line = p->line;
        base.column = p->column;
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
        base.line = func.line;
        base.column = func.column;
        CollectMembers(func.ret, func.semantic, base, outputs);
    }
}

}  // namespace platform::gfx::fx
