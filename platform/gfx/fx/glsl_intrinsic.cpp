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

std::string Emitter::intrinsic(const Expr* e) {
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

}  // namespace platform::gfx::fx::glsl
