// platform/gfx/fx/emit_glsl.cpp: writes GLSL 3.30 core from the checked syntax tree.
//
// Index: [names and types] [helpers] [expressions] [conversions] [statements] [stages]
#include "platform/gfx/fx/emit_glsl.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <unordered_set>

namespace platform::gfx::fx {
namespace {

// --- [names and types] -----------------------------------------------------------------------

std::string UserName(std::string_view name) { return GlslName(name); }

std::string FunctionName(const FuncDecl* f) {
    if (f->overloadIndex == 0) return UserName(f->name);
    return "fx_o" + std::to_string(f->overloadIndex) + "_" + std::string(f->name);
}

std::string GlslType(const Type& t) {
    std::string prefix;
    switch (t.base) {
        case Base::Void: return "void";
        case Base::Struct: return UserName(t.st->name);
        case Base::Sampler:
            return t.dim == Dim::D3 ? "sampler3D" : t.dim == Dim::Cube ? "samplerCube" : "sampler2D";
        case Base::Bool: prefix = "b"; break;
        case Base::Int: prefix = "i"; break;
        case Base::Uint: prefix = "u"; break;
        default: break;
    }
    if (t.rows > 0) {
        if (t.rows == t.cols) return "mat" + std::to_string(t.rows);
        return "mat" + std::to_string(t.rows) + "x" + std::to_string(t.cols);
    }
    if (t.cols > 1) return prefix + "vec" + std::to_string(t.cols);
    switch (t.base) {
        case Base::Bool: return "bool";
        case Base::Int: return "int";
        case Base::Uint: return "uint";
        default: return "float";
    }
}

std::string ArraySuffix(const Type& t) {
    return t.isArray() ? "[" + std::to_string(t.arraySize) + "]" : "";
}

std::string FormatFloat(double v) {
    if (std::isnan(v)) return "(0.0/0.0)";
    if (v > 3.4028234e38) return "3.4028234e38";
    if (v < -3.4028234e38) return "-3.4028234e38";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    std::string s = buf;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

double LiteralValue(const Expr* e) { return fx::LiteralValue(e->kind, e->text); }

constexpr char kComponents[] = "xyzw";

// --- [helpers] -------------------------------------------------------------------------------

enum Helper { kHelperFmod, kHelperClip, kHelperSincos, kHelperLit, kHelperFrexp, kHelperIsfinite, kHelperCount };

// Functions the generated code calls that GLSL 3.30 lacks, in the four float shapes.
std::string HelperText(Helper h) {
    std::string out;
    static constexpr const char* kTypes[] = {"float", "vec2", "vec3", "vec4"};
    static constexpr const char* kBools[] = {"bool", "bvec2", "bvec3", "bvec4"};
    for (int i = 0; i < 4; ++i) {
        const std::string T = kTypes[i], B = kBools[i];
        switch (h) {
            case kHelperFmod:
                out += T + " fx_fmod(" + T + " a, " + T + " b) { return a - b * trunc(a / b); }\n";
                break;
            case kHelperClip:
                out += "void fx_clip(" + T + " x) { if (" +
                       (i == 0 ? std::string("x < 0.0") : "any(lessThan(x, " + T + "(0.0)))") +
                       ") discard; }\n";
                break;
            case kHelperSincos:
                out += "void fx_sincos(" + T + " x, out " + T + " s, out " + T +
                       " c) { s = sin(x); c = cos(x); }\n";
                break;
            case kHelperFrexp:
                out += T + " fx_frexp(" + T + " x, out " + T + " e) { e = " +
                       (i == 0 ? std::string("(x == 0.0) ? 0.0 : floor(log2(abs(x))) + 1.0")
                               : "mix(floor(log2(abs(x))) + 1.0, " + T + "(0.0), equal(x, " + T +
                                     "(0.0)))") +
                       "; return x * exp2(-e); }\n";
                break;
            case kHelperIsfinite:
                out += B + " fx_isfinite(" + T + " x) { return " +
                       (i == 0 ? std::string("!isinf(x) && !isnan(x)")
                               : "not(" + B + "(u" + std::string(kTypes[i]).substr(0, 0) + "vec" +
                                     std::to_string(i + 1) + "(isinf(x)) | uvec" +
                                     std::to_string(i + 1) + "(isnan(x))))") +
                       "; }\n";
                break;
            case kHelperLit:
                if (i == 0)
                    out += "vec4 fx_lit(float n_dot_l, float n_dot_h, float m) { return vec4(1.0, "
                           "max(n_dot_l, 0.0), (n_dot_l < 0.0 || n_dot_h < 0.0) ? 0.0 : "
                           "pow(n_dot_h, m), 1.0); }\n";
                break;
            default: break;
        }
    }
    return out;
}

// --- the emitter -----------------------------------------------------------------------------

class Emitter {
public:
    Emitter(const CheckedEffect& effect, PassInfo& out) : effect_(effect), out_(out) {}

    std::string stage(const EntryPoint& entry, bool vertex, const EntryPoint* other) {
        helpers_.clear();
        dynamicHelpers_.clear();
        funcs_.clear();
        globals_.clear();
        std::string body;
        if (entry.func) {
            collectFunctions(entry.func);
            for (const Expr* a : entry.boundArgs) collectGlobals(a);  // null slots are skipped
            for (const FuncDecl* f : funcs_) collectGlobals(f->body);
            for (const FuncDecl* f : funcs_)
                for (const VarDecl* p : f->params)
                    if (p->init) collectGlobals(p->init);
        }
        closeGlobals();
        written_.clear();
        for (const FuncDecl* f : funcs_) collectWrites(f->body);
        // Function bodies first, so that helper and global use is known for the header.
        for (const FuncDecl* f : funcs_) body += function(f);
        const std::string mainText = vertex ? vertexMain(entry, other) : fragmentMain(entry, other);
        std::string head = "#version 330 core\n";
        for (int h = 0; h < kHelperCount; ++h)
            if (helpers_.count(static_cast<Helper>(h))) head += HelperText(static_cast<Helper>(h));
        head += structs();  // before the helpers: some take structs
        for (const std::string& text : dynamicHelpers_) head += text;
        head += globalsText(vertex);
        return head + body + mainText;
    }

private:
    // --- reachability ---

    void collectFunctions(const FuncDecl* f) {
        if (std::find(funcs_.begin(), funcs_.end(), f) != funcs_.end() || visiting_.count(f))
            return;
        visiting_.insert(f);
        for (const FuncDecl* c : f->callees) collectFunctions(c);
        visiting_.erase(f);
        funcs_.push_back(f);  // callees first
    }

    void collectGlobals(const Expr* e) {
        if (!e) return;
        if (e->kind == ExprKind::Name && e->var && e->var->isGlobal) addGlobal(e->var);
        for (const Expr* a : e->args) collectGlobals(a);
    }

    // Calls "f" on every expression of statement "s" and the statements inside it.
    template <typename F>
    static void EachExpression(const Stmt* s, const F& f) {
        if (!s) return;
        f(s->expr);
        f(s->step);
        EachExpression(s->init, f);
        EachExpression(s->then, f);
        EachExpression(s->otherwise, f);
        for (const Stmt* b : s->body) EachExpression(b, f);
        for (const VarDecl* v : s->decls) f(v->init);
    }

    void collectGlobals(const Stmt* s) {
        EachExpression(s, [this](const Expr* e) { collectGlobals(e); });
    }

    void addGlobal(const VarDecl* v) {
        if (globalSet_.count(v)) return;
        globalSet_.insert(v);
        globals_.push_back(v);
    }

    // --- writes to parameters ---

    // The variable an l-value "e" writes to (through members, indices and swizzles), or null.
    static const VarDecl* writtenVariable(const Expr* e) {
        while (e->kind == ExprKind::Member || e->kind == ExprKind::Index) e = e->args[0];
        return e->kind == ExprKind::Name ? e->var : nullptr;
    }

    void noteWrite(const Expr* target) {
        if (target->kind == ExprKind::Construct) {
            for (const Expr* part : target->args) noteWrite(part);
            return;
        }
        const VarDecl* v = writtenVariable(target);
        if (v && v->isGlobal && !(v->storage & kStorageStatic)) written_.insert(v);
    }

    // Finds the uniform parameters a stage writes: HLSL lets a shader change a parameter for
    // the rest of its invocation, GLSL does not, so each becomes a private copy.
    void collectWrites(const Expr* e) {
        if (!e) return;
        switch (e->kind) {
            case ExprKind::Assign: case ExprKind::Postfix: noteWrite(e->args[0]); break;
            case ExprKind::Unary:
                if (e->op == Tok::PlusPlus || e->op == Tok::MinusMinus) noteWrite(e->args[0]);
                break;
            case ExprKind::Call:
                for (std::size_t i = 0; i < e->args.size(); ++i)
                    if (writesArgument(e, i)) noteWrite(e->args[i]);
                break;
            default: break;
        }
        for (const Expr* a : e->args) collectWrites(a);
    }

    void collectWrites(const Stmt* s) {
        EachExpression(s, [this](const Expr* e) { collectWrites(e); });
    }

    // Whether call "e" writes its argument "i" (an out or inout parameter).
    static bool writesArgument(const Expr* e, std::size_t i) {
        if (e->ref == Ref::Function)
            return i < e->func->params.size() && (e->func->params[i]->storage & kStorageOut);
        if (e->ref != Ref::Intrinsic) return false;
        switch (static_cast<Intrinsic>(e->intrinsic)) {
            case Intrinsic::k_sincos: return i >= 1;
            case Intrinsic::k_modf: case Intrinsic::k_frexp: return i == 1;
            default: return false;
        }
    }

    // The GLSL name of variable "v" in this stage.
    std::string variableName(const VarDecl* v) const {
        if (written_.count(v)) return "fx_w_" + std::string(v->name);
        if (v->rename > 0) return UserName(v->name) + "_r" + std::to_string(v->rename);
        return UserName(v->name);
    }

    // Static globals' initialisers may name further globals.
    void closeGlobals() {
        for (std::size_t i = 0; i < globals_.size(); ++i)
            if (globals_[i]->storage & kStorageStatic) collectGlobals(globals_[i]->init);
        globalSet_.clear();
    }

    // --- declarations ---

    std::string structs() {
        std::vector<const StructDecl*> used;
        std::function<void(const Type&)> use = [&](const Type& t) {
            if (t.base != Base::Struct || !t.st) return;
            if (std::find(used.begin(), used.end(), t.st) != used.end()) return;
            for (const VarDecl* m : t.st->members) use(m->type);
            used.push_back(t.st);
        };
        for (const FuncDecl* f : funcs_) {
            use(f->ret);
            for (const VarDecl* p : f->params) use(p->type);
            useLocals(f->body, use);
        }
        for (const VarDecl* g : globals_) use(g->type);
        std::string s;
        for (const StructDecl* st : used) {
            s += "struct " + UserName(st->name) + " {\n";
            for (const VarDecl* m : st->members)
                s += "    " + GlslType(m->type.element()) + " " + UserName(m->name) +
                     ArraySuffix(m->type) + ";\n";
            s += "};\n";
        }
        return s;
    }

    void useLocals(const Stmt* s, const std::function<void(const Type&)>& use) {
        if (!s) return;
        for (const VarDecl* v : s->decls) use(v->type);
        useLocals(s->init, use);
        useLocals(s->then, use);
        useLocals(s->otherwise, use);
        for (const Stmt* b : s->body) useLocals(b, use);
    }

    std::string globalsText(bool vertex) {
        std::string s;
        (void)vertex;
        for (const VarDecl* g : globals_) {
            if (g->type.base == Base::Texture) continue;
            const bool isStatic = (g->storage & kStorageStatic) != 0;
            s += (isStatic ? "" : "uniform ") + GlslType(g->type.element()) + " " +
                 UserName(g->name) + ArraySuffix(g->type) + ";\n";
            if (written_.count(g))
                s += GlslType(g->type.element()) + " " + variableName(g) + ArraySuffix(g->type) + ";\n";
            if (!isStatic && g->reflectIndex >= 0) {
                auto& list = g->type.base == Base::Sampler ? out_.samplers : out_.uniforms;
                auto use = [&list](int index) {
                    if (std::find(list.begin(), list.end(), index) == list.end())
                        list.push_back(index);
                };
                if (g->type.base != Base::Struct) use(g->reflectIndex);
                // A struct parameter uploads member by member.
                for (std::size_t i = 0; g->type.base == Base::Struct && i < effect_.parameters.size(); ++i)
                    if (effect_.parameters[i].parent == g->reflectIndex) use(static_cast<int>(i));
            }
        }
        return s;
    }

    std::string staticInits() {
        std::string s;
        for (const VarDecl* g : globals_)
            if (written_.count(g)) s += "    " + variableName(g) + " = " + UserName(g->name) + ";\n";
        for (const VarDecl* g : globals_) {
            if (!(g->storage & kStorageStatic)) continue;
            s += "    " + UserName(g->name) + " = " +
                 (g->init ? expr(g->init) : zero(g->type)) + ";\n";
        }
        return s;
    }

    std::string function(const FuncDecl* f) {
        std::string s = GlslType(f->ret) + " " + FunctionName(f) + "(";
        for (std::size_t i = 0; i < f->params.size(); ++i) {
            const VarDecl* p = f->params[i];
            if (i) s += ", ";
            const unsigned io = p->storage & (kStorageIn | kStorageOut);
            if (io == (kStorageIn | kStorageOut)) s += "inout ";
            else if (io == kStorageOut) s += "out ";
            s += GlslType(p->type.element()) + " " + UserName(p->name) + ArraySuffix(p->type);
        }
        s += ")\n";
        indent_ = 0;
        s += stmt(f->body);
        return s;
    }

    // --- [expressions] ---

    void need(Helper h) { helpers_.insert(h); }

    std::string args(const Expr* e, std::size_t from = 0) {
        std::string s;
        for (std::size_t i = from; i < e->args.size(); ++i) {
            if (i > from) s += ", ";
            s += expr(e->args[i]);
        }
        return s;
    }

    static const char* compareFunction(Tok op) {
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

    std::string expr(const Expr* e) {
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
                if (e->op == Tok::Bang && t.isVector()) return "not(" + expr(e->args[0]) + ")";
                return "(" + std::string(TokenName(e->op)) + expr(e->args[0]) + ")";
            }
            case ExprKind::Postfix: return "(" + expr(e->args[0]) + TokenName(e->op) + ")";
            case ExprKind::Binary: return binary(e);
            case ExprKind::Assign:
                if (e->args[0]->kind == ExprKind::Construct) return assignParts(e);
                if (e->args[0]->matrixSwizzle && e->args[0]->swizzleCount > 1)
                    return assignMatrixElements(e);
                return "(" + expr(e->args[0]) + " = " + expr(e->args[1]) + ")";
            case ExprKind::Ternary:
                if (e->args[0]->type.isVector())
                    return "mix(" + expr(e->args[2]) + ", " + expr(e->args[1]) + ", " +
                           expr(e->args[0]) + ")";
                // HLSL evaluates both branches; GLSL's ?: skips one, so branches that change
                // something go through a function, whose arguments are all evaluated in order.
                if (HasSideEffects(e->args[1]) || HasSideEffects(e->args[2]))
                    return select(e);
                return "(" + expr(e->args[0]) + " ? " + expr(e->args[1]) + " : " +
                       expr(e->args[2]) + ")";
            case ExprKind::Call:
                if (e->ref == Ref::Function) return FunctionName(e->func) + "(" + args(e) + ")";
                return intrinsic(e);
            case ExprKind::Construct: return construct(e);
            case ExprKind::Cast:
            case ExprKind::Convert: return convert(e->args[0], e->type);
            case ExprKind::Member: return member(e);
            case ExprKind::Index: return expr(e->args[0]) + "[" + expr(e->args[1]) + "]";
            case ExprKind::Comma: return "(" + expr(e->args[0]) + ", " + expr(e->args[1]) + ")";
            default: return "0";
        }
    }

    std::string binary(const Expr* e) {
        const Expr* a = e->args[0];
        const Expr* b = e->args[1];
        const Type& ta = a->type;
        if (const char* f = compareFunction(e->op); f && ta.isVector())
            return std::string(f) + "(" + expr(a) + ", " + expr(b) + ")";
        if ((e->op == Tok::AndAnd || e->op == Tok::OrOr) && ta.isVector()) {
            const std::string u = "uvec" + std::to_string(ta.cols);
            return GlslType(e->type) + "(" + u + "(" + expr(a) + ")" +
                   (e->op == Tok::AndAnd ? " & " : " | ") + u + "(" + expr(b) + "))";
        }
        if (e->op == Tok::Star && ta.isMatrix() && b->type.isMatrix())
            return "matrixCompMult(" + expr(a) + ", " + expr(b) + ")";
        if (e->op == Tok::Percent && e->type.base == Base::Float) {
            need(kHelperFmod);
            return "fx_fmod(" + expr(a) + ", " + expr(b) + ")";
        }
        // HLSL's && and || evaluate both operands; GLSL's skip the second one.
        if ((e->op == Tok::AndAnd || e->op == Tok::OrOr) && HasSideEffects(b)) {
            const bool conj = e->op == Tok::AndAnd;
            dynamicHelpers_.insert(conj ? "bool fx_and(bool a, bool b) { return a && b; }\n"
                                        : "bool fx_or(bool a, bool b) { return a || b; }\n");
            return std::string(conj ? "fx_and(" : "fx_or(") + expr(a) + ", " + expr(b) + ")";
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

    std::string member(const Expr* e) {
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

    // "c ? a : b" with every operand evaluated, in order.
    std::string select(const Expr* e) {
        const std::string T = GlslType(e->type) + ArraySuffix(e->type);
        std::string name = "fx_select_";
        for (char ch : T) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        dynamicHelpers_.insert(T + " " + name + "(bool c, " + T + " a, " + T +
                               " b) { return c ? a : b; }\n");
        return name + "(" + expr(e->args[0]) + ", " + expr(e->args[1]) + ", " +
               expr(e->args[2]) + ")";
    }

    // "m._11_22 = v": GLSL cannot swizzle a matrix, so a helper takes the matrix as inout
    // (its l-value is evaluated once) and writes the elements one by one.
    std::string assignMatrixElements(const Expr* e) {
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
    std::string assignParts(const Expr* e) {
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

    std::string construct(const Expr* e) {
        const Type& t = e->castType;
        if (t.isArray()) return GlslType(t.element()) + ArraySuffix(t) + "(" + args(e) + ")";
        if (t.base == Base::Struct) return GlslType(t) + "(" + args(e) + ")";
        if (e->args.size() == 1 && e->args[0]->type.isScalar() && t.rows > 0)
            return splatMatrix(expr(e->args[0]), t);
        return GlslType(t) + "(" + args(e) + ")";
    }

    static std::string splatMatrix(const std::string& scalar, const Type& t) {
        // GLSL's mat(s) is a diagonal; HLSL's is every element s: scale a matrix of ones (the
        // scalar's text appears once, however large it is).
        const std::string column = "vec" + std::to_string(t.cols) + "(1.0)";
        std::string s = "((" + scalar + ") * " + GlslType(t) + "(";
        for (int i = 0; i < t.rows; ++i) s += (i ? ", " : "") + column;
        return s + "))";
    }

    // --- intrinsics ---

    std::string call(const char* name, const Expr* e) { return std::string(name) + "(" + args(e) + ")"; }

    // tex*lod / tex*bias / tex*proj read the coordinate's parts several times: a helper takes
    // it once.
    std::string sample(const Expr* e, Dim dim, const char* kind) {
        const std::string s = expr(e->args[0]);
        const std::string c = expr(e->args[1]);
        const std::string k(kind);
        if (k == "plain") {
            if (dim == Dim::D1) {
                if (e->args.size() == 4)
                    return "textureGrad(" + s + ", vec2(" + c + ", 0.5), vec2(" + expr(e->args[2]) +
                           ", 0.0), vec2(" + expr(e->args[3]) + ", 0.0))";
                return "texture(" + s + ", vec2(" + c + ", 0.5))";
            }
            if (e->args.size() == 4)
                return "textureGrad(" + s + ", " + c + ", " + expr(e->args[2]) + ", " + expr(e->args[3]) + ")";
            return "texture(" + s + ", " + c + ")";
        }
        const std::string sampler = GlslType(e->args[0]->type);
        const std::string name = "fx_" + k + "_" + sampler + (dim == Dim::D1 ? "_1d" : "");
        std::string at;
        switch (dim) {
            case Dim::D1: at = k == "proj" ? "vec2(t.x / t.w, 0.5)" : "vec2(t.x, 0.5)"; break;
            case Dim::D2: at = "t.xy"; break;
            default: at = "t.xyz"; break;
        }
        std::string body = "vec4 " + name + "(" + sampler + " s, vec4 t) { return ";
        if (k == "lod") body += "textureLod(s, " + at + ", t.w)";
        else if (k == "bias") body += "texture(s, " + at + ", t.w)";
        else if (dim == Dim::D1 || dim == Dim::Cube) body += "texture(s, " + at + ")";
        else body += "textureProj(s, t)";
        dynamicHelpers_.insert(body + "; }\n");
        return name + "(" + s + ", " + c + ")";
    }

    std::string intrinsic(const Expr* e) {
        using I = Intrinsic;
        const auto k = static_cast<I>(e->intrinsic);
        switch (k) {
            case I::k_abs: return call("abs", e);
            case I::k_acos: return call("acos", e);
            case I::k_asin: return call("asin", e);
            case I::k_atan: return call("atan", e);
            case I::k_atan2: return call("atan", e);
            case I::k_ceil: return call("ceil", e);
            case I::k_clamp: return call("clamp", e);
            case I::k_cos: return call("cos", e);
            case I::k_cosh: return call("cosh", e);
            case I::k_cross: return call("cross", e);
            case I::k_ddx: return call("dFdx", e);
            case I::k_ddy: return call("dFdy", e);
            case I::k_fwidth: return call("fwidth", e);
            case I::k_degrees: return call("degrees", e);
            case I::k_determinant: return call("determinant", e);
            case I::k_distance: return call("distance", e);
            case I::k_dot: return call("dot", e);
            case I::k_exp: return call("exp", e);
            case I::k_exp2: return call("exp2", e);
            case I::k_faceforward:  // -n * sign(dot(i, ng)): a zero dot product gives zero
                return "(-(" + expr(e->args[0]) + ") * sign(dot(" + expr(e->args[1]) + ", " +
                       expr(e->args[2]) + ")))";
            case I::k_dst:
                dynamicHelpers_.insert(
                    "vec4 fx_dst(vec4 a, vec4 b) { return vec4(1.0, a.y * b.y, a.z, b.w); }\n");
                return call("fx_dst", e);
            case I::k_floor: return call("floor", e);
            case I::k_fmod: need(kHelperFmod); return call("fx_fmod", e);
            case I::k_frac: return call("fract", e);
            case I::k_frexp: need(kHelperFrexp); return call("fx_frexp", e);
            case I::k_isfinite: need(kHelperIsfinite); return call("fx_isfinite", e);
            case I::k_isinf: return call("isinf", e);
            case I::k_isnan: return call("isnan", e);
            case I::k_ldexp: return "(" + expr(e->args[0]) + " * exp2(" + expr(e->args[1]) + "))";
            case I::k_length: return call("length", e);
            case I::k_lerp: return call("mix", e);
            case I::k_lit: need(kHelperLit); return call("fx_lit", e);
            case I::k_log: return call("log", e);
            case I::k_log10: return "(log2(" + expr(e->args[0]) + ") * 0.301029996)";
            case I::k_log2: return call("log2", e);
            case I::k_max: return call("max", e);
            case I::k_min: return call("min", e);
            case I::k_modf: return call("modf", e);
            case I::k_normalize: return call("normalize", e);
            case I::k_pow: return call("pow", e);
            case I::k_radians: return call("radians", e);
            case I::k_reflect: return call("reflect", e);
            case I::k_refract: return call("refract", e);
            case I::k_round: return call("round", e);
            case I::k_rsqrt: return call("inversesqrt", e);
            case I::k_saturate: return "clamp(" + expr(e->args[0]) + ", 0.0, 1.0)";
            case I::k_sign: {
                const Type& t = e->args[0]->type;
                if (t.base == Base::Int) return call("sign", e);
                return GlslType(e->type) + "(sign(" + expr(e->args[0]) + "))";
            }
            case I::k_sin: return call("sin", e);
            case I::k_sinh: return call("sinh", e);
            case I::k_smoothstep: return call("smoothstep", e);
            case I::k_sqrt: return call("sqrt", e);
            case I::k_step: return call("step", e);
            case I::k_tan: return call("tan", e);
            case I::k_tanh: return call("tanh", e);
            case I::k_transpose: return call("transpose", e);
            case I::k_trunc: return call("trunc", e);
            case I::k_all:
            case I::k_any:
                if (e->args[0]->type.isScalar()) return expr(e->args[0]);
                return call(k == I::k_all ? "all" : "any", e);
            case I::k_clip: need(kHelperClip); return call("fx_clip", e);
            case I::k_sincos: need(kHelperSincos); return call("fx_sincos", e);
            case I::k_D3DCOLORtoUBYTE4:
                return "ivec4((" + expr(e->args[0]) + ").zyxw * 255.001953)";
            case I::k_mul: {
                const Expr* a = e->args[0];
                const Expr* b = e->args[1];
                if (a->type.isScalar() || b->type.isScalar())
                    return "(" + expr(a) + " * " + expr(b) + ")";
                if (a->type.isVector() && b->type.isVector())
                    return "dot(" + expr(a) + ", " + expr(b) + ")";
                // The GLSL matrices hold the transposes (see fx.h): v*M -> G*v, M*v -> v*G,
                // A*B -> GB*GA.
                return "(" + expr(b) + " * " + expr(a) + ")";
            }
            case I::k_tex1D: return sample(e, Dim::D1, "plain");
            case I::k_tex1Dgrad: return sample(e, Dim::D1, "plain");
            case I::k_tex1Dlod: return sample(e, Dim::D1, "lod");
            case I::k_tex1Dbias: return sample(e, Dim::D1, "bias");
            case I::k_tex1Dproj: return sample(e, Dim::D1, "proj");
            case I::k_tex2D: case I::k_tex2Dgrad: return sample(e, Dim::D2, "plain");
            case I::k_tex2Dlod: return sample(e, Dim::D2, "lod");
            case I::k_tex2Dbias: return sample(e, Dim::D2, "bias");
            case I::k_tex2Dproj: return sample(e, Dim::D2, "proj");
            case I::k_tex3D: return sample(e, Dim::D3, "plain");
            case I::k_tex3Dlod: return sample(e, Dim::D3, "lod");
            case I::k_tex3Dbias: return sample(e, Dim::D3, "bias");
            case I::k_tex3Dproj: return sample(e, Dim::D3, "proj");
            case I::k_texCUBE: return sample(e, Dim::Cube, "plain");
            case I::k_texCUBElod: return sample(e, Dim::Cube, "lod");
            case I::k_texCUBEbias: return sample(e, Dim::Cube, "bias");
            case I::k_texCUBEproj: return sample(e, Dim::Cube, "proj");
            case I::k_tex3Dgrad: return sample(e, Dim::D3, "plain");
            case I::k_texCUBEgrad: return sample(e, Dim::Cube, "plain");
            case I::k_noise: return "0.0";  // refused in shader stages; never emitted
        }
        return "0";
    }

    // --- [conversions] ---

    // The GLSL for the value of "e" converted to "to" (HLSL's implicit and explicit rules).
    std::string convert(const Expr* e, const Type& to) {
        const Type& from = e->type;
        if (from == to) return expr(e);
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

    std::string convertText(const std::string& text, const Type& from, const Type& to) {
        if (from == to) return text;
        if (to.base == Base::Struct) return splatStruct(text, from, to);
        if (from.isScalar()) {
            if (to.isMatrix()) return splatMatrix(convertText(text, from, Type::Scalar(Base::Float)), to);
            return GlslType(to) + "(" + text + ")";
        }
        if (from.isVector() && to.isMatrix()) return GlslType(to) + "(" + text + ")";  // rows in order
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
            if (to.isScalar()) return GlslType(to) + "((" + text + ")[0][0])";
            return GlslType(to) + "(" + text + ")";
        }
        return text;
    }

    std::string splatStruct(const std::string& scalar, const Type& from, const Type& to) {
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

    std::string zero(const Type& t) {
        const Type z = Type::Scalar(Base::Int);
        if (t.isArray()) {
            std::string s = GlslType(t.element()) + ArraySuffix(t) + "(";
            for (int k = 0; k < t.arraySize; ++k) s += (k ? ", " : "") + convertText("0", z, t.element());
            return s + ")";
        }
        return convertText("0", z, t);
    }

    // --- [statements] ---

    std::string pad() const { return std::string(static_cast<std::size_t>(indent_) * 4, ' '); }

    std::string declaration(const VarDecl* v) {
        std::string s = GlslType(v->type.element()) + " " + variableName(v) + ArraySuffix(v->type);
        if (v->init) s += " = " + expr(v->init);
        return s;
    }

    std::string simple(const Stmt* s) {
        if (s->kind == StmtKind::Decl) {
            std::string out;
            for (std::size_t i = 0; i < s->decls.size(); ++i) {
                const VarDecl* v = s->decls[i];
                if (i == 0) {
                    out += declaration(v);
                } else {
                    out += ", " + variableName(v) + ArraySuffix(v->type);
                    if (v->init) out += " = " + expr(v->init);
                }
            }
            return out;
        }
        if (s->kind == StmtKind::Expr) return expr(s->expr);
        return "";
    }

    std::string stmt(const Stmt* s) {
        switch (s->kind) {
            case StmtKind::Block: {
                std::string out = pad() + "{\n";
                ++indent_;
                for (const Stmt* b : s->body) out += stmt(b);
                --indent_;
                return out + pad() + "}\n";
            }
            case StmtKind::Expr: return pad() + expr(s->expr) + ";\n";
            case StmtKind::Decl: {
                std::string out;
                for (const VarDecl* v : s->decls) out += pad() + declaration(v) + ";\n";
                return out;
            }
            case StmtKind::If: {
                std::string out = pad() + "if (" + expr(s->expr) + ")\n" + nested(s->then);
                if (s->otherwise) out += pad() + "else\n" + nested(s->otherwise);
                return out;
            }
            case StmtKind::While: return pad() + "while (" + expr(s->expr) + ")\n" + nested(s->then);
            case StmtKind::Do:
                return pad() + "do\n" + nested(s->then) + pad() + "while (" + expr(s->expr) + ");\n";
            case StmtKind::For:
                // A variable the initialiser declares outlives the loop (HLSL's scoping), so
                // the declaration goes before it.
                if (s->init && s->init->kind == StmtKind::Decl)
                    return stmt(s->init) + pad() + "for (; " + (s->expr ? expr(s->expr) : "") + "; " +
                           (s->step ? expr(s->step) : "") + ")\n" + nested(s->then);
                return pad() + "for (" + (s->init ? simple(s->init) : "") + "; " +
                       (s->expr ? expr(s->expr) : "") + "; " + (s->step ? expr(s->step) : "") +
                       ")\n" + nested(s->then);
            case StmtKind::Break: return pad() + "break;\n";
            case StmtKind::Continue: return pad() + "continue;\n";
            case StmtKind::Discard: return pad() + "discard;\n";
            case StmtKind::Return:
                return pad() + "return" + (s->expr ? " " + expr(s->expr) : "") + ";\n";
            case StmtKind::Empty: return pad() + ";\n";
        }
        return "";
    }

    std::string nested(const Stmt* s) {
        if (s->kind == StmtKind::Block) return stmt(s);
        if (s->kind == StmtKind::For && s->init && s->init->kind == StmtKind::Decl)
            return pad() + "{\n" + indented(s) + pad() + "}\n";  // keeps the hoisted declaration inside
        return indented(s);
    }

    std::string indented(const Stmt* s) {
        ++indent_;
        std::string out = stmt(s);
        --indent_;
        return out;
    }

    // --- [stages] ---

    // The GLSL path to an IoVar inside the wrapper's locals ("fx_p1.hmember").
    std::string ioPath(const FuncDecl& f, const IoVar& io) {
        std::string s = io.param < 0 ? "fx_ret" : "fx_p" + std::to_string(io.param);
        Type t = io.param < 0 ? f.ret : f.params[static_cast<std::size_t>(io.param)]->type;
        for (int m : io.path) {
            s += "." + UserName(t.st->members[static_cast<std::size_t>(m)]->name);
            t = t.st->members[static_cast<std::size_t>(m)]->type;
        }
        if (io.element >= 0) s += "[" + std::to_string(io.element) + "]";
        return s;
    }

    static std::string Pad4(const std::string& value, const Type& t) {
        // A vec4 from a scalar or vector, with Direct3D's defaults (0, 0, 0, 1) behind it.
        const int n = t.cols;
        const std::string v = t.base == Base::Float ? value : (n == 1 ? "float" : "vec" + std::to_string(n)) + std::string("(") + value + ")";
        switch (n) {
            case 1: return "vec4(" + v + ", 0.0, 0.0, 1.0)";
            case 2: return "vec4(" + v + ", 0.0, 1.0)";
            case 3: return "vec4(" + v + ", 1.0)";
            default: return v;
        }
    }

    // "vec4 source" narrowed to the input's type.
    std::string fromVec4(const std::string& source, const Type& t) {
        return convertText(source, Type::Vector(Base::Float, 4), t);
    }

    // Declares the entry's parameters and return value as locals, calls it, and returns the
    // call statement. Inputs are assigned by "input(io)".
    std::string callEntry(const EntryPoint& entry, const std::vector<IoVar>& inputs,
                          const std::function<std::string(const IoVar&)>& input) {
        const FuncDecl& f = *entry.func;
        std::string s;
        auto bound = [&](std::size_t i) { return i < entry.boundArgs.size() ? entry.boundArgs[i] : nullptr; };
        for (std::size_t i = 0; i < f.params.size(); ++i) {
            if (bound(i)) continue;
            const VarDecl* p = f.params[i];
            s += "    " + GlslType(p->type.element()) + " fx_p" + std::to_string(i) + ArraySuffix(p->type) + ";\n";
        }
        for (const IoVar& io : inputs) s += "    " + ioPath(f, io) + " = " + input(io) + ";\n";
        std::string callText = FunctionName(&f) + "(";
        for (std::size_t i = 0; i < f.params.size(); ++i) {
            if (i) callText += ", ";
            callText += bound(i) ? expr(bound(i)) : "fx_p" + std::to_string(i);
        }
        callText += ")";
        if (f.ret.base != Base::Void) {
            s += "    " + GlslType(f.ret) + " fx_ret = " + callText + ";\n";
        } else {
            s += "    " + callText + ";\n";
        }
        return s;
    }

    std::string vertexMain(const EntryPoint& entry, const EntryPoint* pixel) {
        std::string decls, s = "void main()\n{\n" + staticInits();
        std::vector<IoVar> ins, outs;
        std::set<std::string> attributes;
        auto attribute = [&](const std::string& sem) {
            const std::string name = "fx_a_" + sem;
            if (attributes.insert(sem).second) {
                const int loc = SemanticLocation(sem);
                decls += "layout(location = " + std::to_string(loc) + ") in vec4 " + name + ";\n";
                out_.inputs.push_back({sem, loc, 4});
            }
            return name;
        };
        std::vector<std::string> varyings;
        auto varying = [&](const std::string& sem) {
            if (std::find(varyings.begin(), varyings.end(), sem) == varyings.end()) {
                varyings.push_back(sem);
                decls += "out vec4 fx_v_" + sem + ";\n";
            }
            return "fx_v_" + sem;
        };
        auto clip = [](const std::string& p) {
            return "    gl_Position = vec4(" + p + ".x, -" + p + ".y, 2.0 * " + p + ".z - " + p +
                   ".w, " + p + ".w);\n";
        };
        if (entry.func) {
            CollectIo(*entry.func, entry.boundArgs, ins, outs);
            for (const IoVar& io : ins) {
                if (SemanticLocation(io.semantic) < 0) {
                    // No attribute for this semantic: the input reads as zero.
                    continue;
                }
                attribute(io.semantic);
            }
            s += callEntry(entry, ins, [&](const IoVar& io) {
                if (SemanticLocation(io.semantic) < 0) return zero(io.type);
                return fromVec4("fx_a_" + io.semantic, io.type);
            });
            for (const IoVar& io : outs) {
                const std::string value = Pad4(ioPath(*entry.func, io), io.type);
                if (io.semantic == "POSITION0") {
                    s += "    vec4 fx_position = " + value + ";\n" + clip(std::string("fx_position"));
                } else {
                    s += "    " + varying(io.semantic) + " = " + value + ";\n";
                }
            }
        } else {
            // No vertex shader: Direct3D's fixed-function transform (unlit): the position by
            // world * view * projection; every input the pixel stage reads comes straight from
            // the attribute of the same semantic.
            decls += "uniform mat4 fx_ff_wvp;\n";
            s += "    vec4 fx_position = fx_ff_wvp * " + attribute("POSITION0") + ";\n" +
                 clip("fx_position");
            if (!pixel || !pixel->func) {
                // The fixed-function pixel stage reads the diffuse colour and coordinate set 0.
                for (const char* sem : {"COLOR0", "TEXCOORD0"})
                    s += "    " + varying(sem) + " = " + attribute(sem) + ";\n";
            }
            if (pixel && pixel->func) {
                CollectIo(*pixel->func, pixel->boundArgs, ins, outs);
                for (const IoVar& io : ins) {
                    if (SemanticLocation(io.semantic) < 0 || io.semantic == "POSITION0") continue;
                    s += "    " + varying(io.semantic) + " = " + attribute(io.semantic) + ";\n";
                }
            }
        }
        writtenVaryings_ = varyings;
        return decls + s + "}\n";
    }

    std::string fragmentMain(const EntryPoint& entry, const EntryPoint* vertex) {
        (void)vertex;
        std::string decls, s = "void main()\n{\n" + staticInits();
        std::set<std::string> declared;
        auto input = [&](const IoVar& io) -> std::string {
            if (io.semantic == "VPOS0")
                return fromVec4("vec4(gl_FragCoord.xy - 0.5, 0.0, 1.0)", io.type);
            if (io.semantic == "VFACE0")
                return convertText("(gl_FrontFacing ? 1.0 : -1.0)", Type::Scalar(Base::Float), io.type);
            if (io.semantic == "POSITION0")
                return fromVec4("vec4(gl_FragCoord.xy, gl_FragCoord.z, 1.0 / gl_FragCoord.w)", io.type);
            if (std::find(writtenVaryings_.begin(), writtenVaryings_.end(), io.semantic) ==
                writtenVaryings_.end())
                return zero(io.type);
            if (declared.insert(io.semantic).second) decls += "in vec4 fx_v_" + io.semantic + ";\n";
            return fromVec4("fx_v_" + io.semantic, io.type);
        };
        if (entry.func) {
            std::vector<IoVar> ins, outs;
            CollectIo(*entry.func, entry.boundArgs, ins, outs);
            s += callEntry(entry, ins, input);
            for (const IoVar& io : outs) {
                const std::string value = ioPath(*entry.func, io);
                if (io.semantic == "DEPTH0") {
                    s += "    gl_FragDepth = " + convertText(value, io.type, Type::Scalar(Base::Float)) + ";\n";
                    continue;
                }
                const int index = io.semantic.back() - '0';
                const std::string name = "fx_o_" + io.semantic;
                if (declared.insert(name).second)
                    decls += "layout(location = " + std::to_string(index) + ") out vec4 " + name + ";\n";
                s += "    " + name + " = " + Pad4(value, io.type) + ";\n";
            }
        } else {
            // No pixel shader: Direct3D's default texture stage 0, the texture bound to unit 0
            // (when there is one) modulated by the diffuse colour (white when the vertex stage
            // writes none).
            auto written = [&](const char* sem) {
                return std::find(writtenVaryings_.begin(), writtenVaryings_.end(), sem) !=
                       writtenVaryings_.end();
            };
            decls += "layout(location = 0) out vec4 fx_o_COLOR0;\n"
                     "uniform sampler2D fx_ff_stage0;\nuniform int fx_ff_textured;\n";
            if (written("COLOR0")) decls += "in vec4 fx_v_COLOR0;\n";
            if (written("TEXCOORD0")) decls += "in vec4 fx_v_TEXCOORD0;\n";
            s += std::string("    vec4 fx_diffuse = ") +
                 (written("COLOR0") ? "fx_v_COLOR0" : "vec4(1.0)") + ";\n";
            s += std::string("    if (fx_ff_textured != 0) fx_diffuse *= texture(fx_ff_stage0, ") +
                 (written("TEXCOORD0") ? "fx_v_TEXCOORD0.xy" : "vec2(0.0)") + ");\n";
            s += "    fx_o_COLOR0 = fx_diffuse;\n";
        }
        return decls + s + "}\n";
    }

    const CheckedEffect& effect_;
    PassInfo& out_;
    std::set<Helper> helpers_;
    std::set<std::string> dynamicHelpers_;  // helpers made for the types in use
    std::vector<const FuncDecl*> funcs_;
    std::unordered_set<const FuncDecl*> visiting_;
    std::vector<const VarDecl*> globals_;
    std::unordered_set<const VarDecl*> globalSet_;
    std::unordered_set<const VarDecl*> written_;  // uniform parameters the stage writes
    std::vector<std::string> writtenVaryings_;
    int indent_ = 0;
};

}  // namespace

void EmitPass(const CheckedEffect& effect, const PassPlan& pass, PassInfo& out) {
    Emitter emitter(effect, out);
    out.vertexProfile = pass.vs.profile;
    out.pixelProfile = pass.ps.profile;
    out.vertexGlsl = emitter.stage(pass.vs, true, &pass.ps);
    out.fragmentGlsl = emitter.stage(pass.ps, false, &pass.vs);
    out.fixedVertex = pass.vs.func == nullptr;
    out.fixedPixel = pass.ps.func == nullptr;
}

}  // namespace platform::gfx::fx
