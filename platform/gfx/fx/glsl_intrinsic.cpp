// platform/gfx/fx/glsl_intrinsic.cpp: intrinsic calls and texture lookups.
#include "platform/gfx/fx/glsl_emitter.h"

#include <cmath>

namespace platform::gfx::fx::glsl {

// tex*lod / tex*bias / tex*proj read the coordinate's parts several times: a helper takes
// it once.
std::string Emitter::sample(const Expr* e, Dim dim, const char* kind) {
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

std::string Spell(const char* glsl, const std::vector<std::string>& args, const std::string& type) {
    const std::string_view g(glsl);
    if (g.find('$') == std::string_view::npos) {
        std::string s = std::string(g) + "(";
        for (std::size_t i = 0; i < args.size(); ++i) s += (i ? ", " : "") + args[i];
        return s + ")";
    }
    std::string s;
    for (std::size_t i = 0; i < g.size(); ++i) {
        if (g[i] != '$' || i + 1 == g.size()) {
            s += g[i];
        } else if (g[i + 1] == 'T') {
            s += type;
            ++i;
        } else {
            s += args[static_cast<std::size_t>(g[i + 1] - '0')];
            ++i;
        }
    }
    return s;
}

// An intrinsic its row spells. GLSL's functions take scalars and vectors only, so a call on
// matrices goes through a helper that applies the spelling to each row.
std::string Emitter::shaped(const Expr* e, const IntrinsicRow& row) {
    needHelperNamed(row.glsl);
    const Type& t = e->args[0]->type;
    if (!t.isMatrix()) {
        std::vector<std::string> a;
        for (const Expr* arg : e->args) a.push_back(expr(arg));
        return "(" + Spell(row.glsl, a, GlslType(e->type)) + ")";
    }
    const std::string m = GlslType(t), r = GlslType(e->type), vec = "vec" + std::to_string(t.cols);
    const std::string name = "fx_" + std::string(row.name) + "_" + m;
    std::string params, rows;
    for (std::size_t j = 0; j < e->args.size(); ++j)
        params += (j ? ", " : "") + m + " a" + std::to_string(j);
    for (int i = 0; i < t.rows; ++i) {
        std::vector<std::string> a;
        for (std::size_t j = 0; j < e->args.size(); ++j)
            a.push_back("a" + std::to_string(j) + "[" + std::to_string(i) + "]");
        rows += (i ? ", " : "") + vec + "(" + Spell(row.glsl, a, vec) + ")";
    }
    dynamicHelpers_.insert(r + " " + name + "(" + params + ") { return " + r + "(" + rows + "); }\n");
    return call(name.c_str(), e);
}

// any() / all(): a scalar or vector was made bool; a matrix holds 0 and 1 in a float matrix.
std::string Emitter::reduce(const Expr* e, bool all) {
    const Type& t = e->args[0]->type;
    if (t.isScalar()) return "(" + expr(e->args[0]) + ")";
    if (!t.isMatrix()) return call(all ? "all" : "any", e);
    const std::string m = GlslType(t), name = std::string(all ? "fx_all_" : "fx_any_") + m;
    std::string body;
    for (int i = 0; i < t.rows; ++i)
        body += std::string(i ? (all ? " && " : " || ") : "") + (all ? "all" : "any") +
                "(notEqual(m[" + std::to_string(i) + "], vec" + std::to_string(t.cols) + "(0.0)))";
    dynamicHelpers_.insert("bool " + name + "(" + m + " m) { return " + body + "; }\n");
    return call(name.c_str(), e);
}

// "m name(m x, out m o)" of matrix type "t" (GLSL's modf and the frexp helper take
// vectors): "perRow" on each row.
void Emitter::byRows(const Type& t, const std::string& name, const std::string& perRow) {
    const std::string m = GlslType(t);
    std::string s = m + " " + name + "(" + m + " x, out " + m + " o) { " + m + " r;";
    for (int i = 0; i < t.rows; ++i) {
        const std::string k = std::to_string(i);
        s += " r[" + k + "] = " + perRow + "(x[" + k + "], o[" + k + "]);";
    }
    dynamicHelpers_.insert(s + " return r; }\n");
}

std::string Emitter::intrinsic(const Expr* e) {
    using I = Intrinsic;
    const auto k = static_cast<I>(e->intrinsic);
    const IntrinsicRow& row = IntrinsicRowOf(e->intrinsic);
    if (row.shape == IntrinsicShape::Reduce) return reduce(e, k == I::k_all);
    if (row.shape != IntrinsicShape::Special) return shaped(e, row);
    if (k == I::k_sincos || k == I::k_modf || k == I::k_frexp) {  // out arguments of the value's type
        const Type& t = e->args[0]->type;
        const std::vector<Type> param(e->args.size(), t);
        std::vector<bool> out(e->args.size(), true);
        out[0] = false;
        for (std::size_t i = 1; i < e->args.size(); ++i)
            if (!bindsDirectly(e->args[i], t)) return outArgumentCall(e, param, out);
    }
    switch (k) {
        case I::k_cross: return call("cross", e);
        case I::k_determinant: case I::k_transpose:  // of a scalar or vector: the value itself
            if (!e->args[0]->type.isMatrix()) return "(" + expr(e->args[0]) + ")";
            return call(k == I::k_determinant ? "determinant" : "transpose", e);
        case I::k_dst:
            dynamicHelpers_.insert(
                "vec4 fx_dst(vec4 a, vec4 b) { return vec4(1.0, a.y * b.y, a.z, b.w); }\n");
            return call("fx_dst", e);
        case I::k_frexp:
            need(kHelperFrexp);
            if (e->type.isMatrix()) byRows(e->type, "fx_frexp", "fx_frexp");
            return call("fx_frexp", e);
        case I::k_lit: need(kHelperLit); return call("fx_lit", e);
        case I::k_modf:
            if (e->type.base == Base::Int || e->type.base == Base::Uint) {  // no fraction
                const std::string t = GlslType(e->type);
                dynamicHelpers_.insert(t + " fx_modf(" + t + " x, out " + t + " i) { i = x; return " +
                                       t + "(0); }\n");
                return call("fx_modf", e);
            }
            if (!e->type.isMatrix()) return call("modf", e);
            byRows(e->type, "fx_modf", "modf");
            return call("fx_modf", e);
        case I::k_refract: return call("refract", e);
        case I::k_clip: {
            need(kHelperClip);
            // Inside a flattened side, a pixel discards only where the side is taken.
            const std::string guard = jumpGuard(StmtKind::Discard);
            if (guard.empty()) return call("fx_clip", e);
            return "fx_clip((" + guard + ") ? " + expr(e->args[0]) + " : " + zero(e->args[0]->type) + ")";
        }
        case I::k_sincos: {
            need(kHelperSincos);
            const Type& t = e->args[0]->type;
            if (t.isMatrix()) {  // GLSL's sin and cos take vectors: one row at a time
                const std::string m = GlslType(t);
                std::string s = "void fx_sincos(" + m + " x, out " + m + " s, out " + m + " c) {";
                for (int i = 0; i < t.rows; ++i)
                    s += " fx_sincos(x[" + std::to_string(i) + "], s[" + std::to_string(i) + "], c[" +
                         std::to_string(i) + "]);";
                dynamicHelpers_.insert(s + " }\n");
            }
            return call("fx_sincos", e);
        }
        case I::k_D3DCOLORtoUBYTE4:
            return "ivec4((" + expr(e->args[0]) + ").zyxw * 255.001953)";
        case I::k_mul: {
            const Expr* a = e->args[0];
            const Expr* b = e->args[1];
            if (a->type.isScalar() || b->type.isScalar())
                return "(" + expr(a) + " * " + expr(b) + ")";
            if (a->type.isVector() && b->type.isVector() && e->type.isMatrix())  // column * row
                return "outerProduct(" + expr(b) + ", " + expr(a) + ")";
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
        default: break;
    }
    return "0";
}

}  // namespace platform::gfx::fx::glsl
