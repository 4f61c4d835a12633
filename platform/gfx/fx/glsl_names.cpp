// platform/gfx/fx/glsl_names.cpp: names, types and literals as GLSL spells them, and the text of
// the helper functions the generated code calls.
#include "platform/gfx/fx/glsl_emitter.h"

#include <cmath>
#include <cstdio>

namespace platform::gfx::fx::glsl {

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


// --- [helpers] -------------------------------------------------------------------------------

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
            case kHelperAtan2:  // atan2(-0, x < 0) is +pi, as atan2(+0, x < 0)
                out += T + " fx_atan2(" + T + " y, " + T + " x) { " + T + " a = atan(y, x); return " +
                       (i == 0 ? std::string("y == 0.0 ? abs(a) : a")
                               : "mix(a, abs(a), " + T + "(equal(y, " + T + "(0.0))))") +
                       "; }\n";
                break;
            case kHelperPow:  // pow(0, y < 0) is +inf; GLSL leaves it undefined. The vector form
                              // selects (a blend with inf by 0 would be NaN)
                out += T + " fx_pow(" + T + " x, " + T + " y) { return " +
                       (i == 0 ? std::string("(x == 0.0 && y < 0.0) ? uintBitsToFloat(0x7F800000u) : pow(x, y)")
                               : "mix(pow(x, y), " + T + "(uintBitsToFloat(0x7F800000u)), b" + T +
                                     "(" + T + "(equal(x, " + T + "(0.0))) * " + T + "(lessThan(y, " + T +
                                     "(0.0)))))") +
                       "; }\n";
                break;
            case kHelperSmoothstep:  // the reference's formula, which also holds for min > max
                out += T + " fx_smoothstep(" + T + " a, " + T + " b, " + T + " x) { " + T +
                       " t = clamp((x - a) / (b - a), 0.0, 1.0); return t * t * (3.0 - 2.0 * t); }\n";
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

Helper HelperNamed(std::string_view name) {
    // ORDER Helper
    static constexpr const char* kHelperNames[] = {
        "fx_fmod", "fx_clip", "fx_sincos", "fx_lit", "fx_frexp", "fx_isfinite",
        "fx_atan2", "fx_pow", "fx_smoothstep",
    };
    static_assert(sizeof kHelperNames / sizeof kHelperNames[0] == kHelperCount, "one name per helper");
    for (int h = 0; h < kHelperCount; ++h)
        if (name == kHelperNames[h]) return static_cast<Helper>(h);
    return kHelperCount;
}

}  // namespace platform::gfx::fx::glsl
