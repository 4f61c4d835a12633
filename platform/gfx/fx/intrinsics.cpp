// platform/gfx/fx/intrinsics.cpp: one row per intrinsic function, in the order of
// FX_INTRINSICS: how its arguments are typed, how many it takes, which it writes, how GLSL
// spells it and how it folds. Where the reference page's words and the Direct3D 9 compiler
// differ, the rows follow the compiler: round() rounds halves to even, pow(0, y < 0) is +inf,
// atan2(-0, x < 0) is +pi, faceforward() returns -n when dot(i, ng) is 0, and smoothstep()
// keeps its formula when min > max, as clamp() does (max, then min: the upper bound wins).
// The last column says which stages and models have the intrinsic (mad and dst, which the
// reference lists for model 5, are in every Direct3D 9 model, as the native compiler has them).
#include <algorithm>
#include <cmath>

#include "platform/gfx/fx/check.h"

namespace platform::gfx::fx {
namespace {

using S = IntrinsicShape;
using I = Intrinsic;
using A = Availability;

constexpr double kPi = 3.14159265358979323846;

double Abs(double a, double, double) { return std::fabs(a); }
double Acos(double a, double, double) { return std::acos(a); }
double Asin(double a, double, double) { return std::asin(a); }
double Atan(double a, double, double) { return std::atan(a); }
double Atan2(double y, double x, double) { return y == 0 && x < 0 ? kPi : std::atan2(y, x); }
double Ceil(double a, double, double) { return std::ceil(a); }
double Clamp(double a, double lo, double hi) { return std::min(std::max(a, lo), hi); }
double Cos(double a, double, double) { return std::cos(a); }
double Cosh(double a, double, double) { return std::cosh(a); }
double Degrees(double a, double, double) { return a * 180.0 / kPi; }
double Exp(double a, double, double) { return std::exp(a); }
double Exp2(double a, double, double) { return std::exp2(a); }
double Floor(double a, double, double) { return std::floor(a); }
double Fmod(double a, double b, double) { return std::fmod(a, b); }
double Frac(double a, double, double) { return a - std::floor(a); }
double Ldexp(double a, double b, double) { return a * std::exp2(b); }
double Lerp(double a, double b, double s) { return a + (b - a) * s; }
double Log(double a, double, double) { return std::log(a); }
double Log10(double a, double, double) { return std::log10(a); }
double Log2(double a, double, double) { return std::log2(a); }
double Mad(double a, double b, double c) { return a * b + c; }
double Max(double a, double b, double) { return std::max(a, b); }
double Min(double a, double b, double) { return std::min(a, b); }
double Pow(double a, double b, double) {
    return a == 0 && b < 0 ? HUGE_VAL : std::pow(a, b);
}
double Radians(double a, double, double) { return a * kPi / 180.0; }
double Round(double a, double, double) { return std::nearbyint(a); }
double Rsqrt(double a, double, double) { return 1.0 / std::sqrt(a); }
double Saturate(double a, double, double) { return std::min(std::max(a, 0.0), 1.0); }
double Sign(double a, double, double) { return a > 0 ? 1 : a < 0 ? -1 : 0; }
double Sin(double a, double, double) { return std::sin(a); }
double Sinh(double a, double, double) { return std::sinh(a); }
double Smoothstep(double lo, double hi, double x) {
    const double t = std::min(std::max((x - lo) / (hi - lo), 0.0), 1.0);
    return t * t * (3 - 2 * t);
}
double Sqrt(double a, double, double) { return std::sqrt(a); }
double Step(double y, double x, double) { return x >= y ? 1 : 0; }
double Tan(double a, double, double) { return std::tan(a); }
double Tanh(double a, double, double) { return std::tanh(a); }
double Trunc(double a, double, double) { return std::trunc(a); }

// ORDER Intrinsic
constexpr IntrinsicRow kIntrinsics[] = {
    {I::k_abs, "abs", S::Numeric, 1, 1, 0, "abs", Abs, A::Any},
    {I::k_acos, "acos", S::Float, 1, 1, 0, "acos", Acos, A::Any},
    {I::k_all, "all", S::Reduce, 1, 1, 0, "all", nullptr, A::Any},
    {I::k_any, "any", S::Reduce, 1, 1, 0, "any", nullptr, A::Any},
    {I::k_asin, "asin", S::Float, 1, 1, 0, "asin", Asin, A::Any},
    {I::k_atan, "atan", S::Float, 1, 1, 0, "atan", Atan, A::Any},
    {I::k_atan2, "atan2", S::Float, 2, 2, 0, "fx_atan2", Atan2, A::Any},
    {I::k_ceil, "ceil", S::Float, 1, 1, 0, "ceil", Ceil, A::Any},
    {I::k_clamp, "clamp", S::Numeric, 3, 3, 0, "min(max($0, $1), $2)", Clamp, A::Any},
    {I::k_clip, "clip", S::Special, 1, 1, 0, "fx_clip", nullptr, A::Pixel},
    {I::k_cos, "cos", S::Float, 1, 1, 0, "cos", Cos, A::Any},
    {I::k_cosh, "cosh", S::Float, 1, 1, 0, "cosh", Cosh, A::Any},
    {I::k_cross, "cross", S::Special, 2, 2, 0, "cross", nullptr, A::Any},
    {I::k_ddx, "ddx", S::Float, 1, 1, 0, "dFdx", nullptr, A::PixelGradients},
    {I::k_ddy, "ddy", S::Float, 1, 1, 0, "dFdy", nullptr, A::PixelGradients},
    {I::k_degrees, "degrees", S::Float, 1, 1, 0, "degrees", Degrees, A::Any},
    {I::k_determinant, "determinant", S::Special, 1, 1, 0, "determinant", nullptr, A::Any},
    {I::k_distance, "distance", S::ToScalar, 2, 2, 0, "distance", nullptr, A::Any},
    {I::k_dot, "dot", S::ToScalar, 2, 2, 0, "dot", nullptr, A::Any},
    {I::k_dst, "dst", S::Special, 2, 2, 0, "fx_dst", nullptr, A::Any},
    {I::k_exp, "exp", S::Float, 1, 1, 0, "exp", Exp, A::Any},
    {I::k_exp2, "exp2", S::Float, 1, 1, 0, "exp2", Exp2, A::Any},
    {I::k_faceforward, "faceforward", S::Vector, 3, 3, 0, "faceforward", nullptr, A::Any},
    {I::k_floor, "floor", S::Float, 1, 1, 0, "floor", Floor, A::Any},
    {I::k_fmod, "fmod", S::Float, 2, 2, 0, "fx_fmod", Fmod, A::Any},
    {I::k_frac, "frac", S::Float, 1, 1, 0, "fract", Frac, A::Any},
    {I::k_frexp, "frexp", S::Special, 2, 2, 1u << 1, "fx_frexp", nullptr, A::Any},
    {I::k_fwidth, "fwidth", S::Float, 1, 1, 0, "fwidth", nullptr, A::PixelGradients},
    {I::k_isfinite, "isfinite", S::Test, 1, 1, 0, "fx_isfinite", nullptr, A::Any},
    {I::k_isinf, "isinf", S::Test, 1, 1, 0, "isinf", nullptr, A::Any},
    {I::k_isnan, "isnan", S::Test, 1, 1, 0, "isnan", nullptr, A::Any},
    {I::k_ldexp, "ldexp", S::Float, 2, 2, 0, "($0 * exp2($1))", Ldexp, A::Any},
    {I::k_length, "length", S::ToScalar, 1, 1, 0, "length", nullptr, A::Any},
    {I::k_lerp, "lerp", S::Float, 3, 3, 0, "mix", Lerp, A::Any},
    {I::k_lit, "lit", S::Special, 3, 3, 0, "fx_lit", nullptr, A::Any},
    {I::k_log, "log", S::Float, 1, 1, 0, "log", Log, A::Any},
    {I::k_log10, "log10", S::Float, 1, 1, 0, "(log2($0) * 0.301029996)", Log10, A::Any},
    {I::k_log2, "log2", S::Float, 1, 1, 0, "log2", Log2, A::Any},
    {I::k_max, "max", S::Numeric, 2, 2, 0, "max", Max, A::Any},
    {I::k_min, "min", S::Numeric, 2, 2, 0, "min", Min, A::Any},
    {I::k_modf, "modf", S::Special, 2, 2, 1u << 1, "modf", nullptr, A::Any},
    {I::k_mul, "mul", S::Special, 2, 2, 0, nullptr, nullptr, A::Any},
    {I::k_normalize, "normalize", S::Vector, 1, 1, 0, "normalize", nullptr, A::Any},
    {I::k_pow, "pow", S::Float, 2, 2, 0, "fx_pow", Pow, A::Any},
    {I::k_radians, "radians", S::Float, 1, 1, 0, "radians", Radians, A::Any},
    {I::k_reflect, "reflect", S::Vector, 2, 2, 0, "reflect", nullptr, A::Any},
    {I::k_refract, "refract", S::Special, 3, 3, 0, "refract", nullptr, A::Any},
    {I::k_round, "round", S::Float, 1, 1, 0, "roundEven", Round, A::Any},
    {I::k_rsqrt, "rsqrt", S::Float, 1, 1, 0, "inversesqrt", Rsqrt, A::Any},
    {I::k_saturate, "saturate", S::Float, 1, 1, 0, "clamp($0, 0.0, 1.0)", Saturate, A::Any},
    {I::k_sign, "sign", S::Sign, 1, 1, 0, "$T(sign($0))", Sign, A::Any},
    {I::k_sin, "sin", S::Float, 1, 1, 0, "sin", Sin, A::Any},
    {I::k_sincos, "sincos", S::Special, 3, 3, 3u << 1, "fx_sincos", nullptr, A::Any},
    {I::k_sinh, "sinh", S::Float, 1, 1, 0, "sinh", Sinh, A::Any},
    {I::k_smoothstep, "smoothstep", S::Float, 3, 3, 0, "fx_smoothstep", Smoothstep, A::Any},
    {I::k_sqrt, "sqrt", S::Float, 1, 1, 0, "sqrt", Sqrt, A::Any},
    {I::k_step, "step", S::Float, 2, 2, 0, "step", Step, A::Any},
    {I::k_tan, "tan", S::Float, 1, 1, 0, "tan", Tan, A::Any},
    {I::k_tanh, "tanh", S::Float, 1, 1, 0, "tanh", Tanh, A::Any},
    {I::k_transpose, "transpose", S::Special, 1, 1, 0, "transpose", nullptr, A::Any},
    {I::k_trunc, "trunc", S::Float, 1, 1, 0, "trunc", Trunc, A::Any},
    {I::k_tex1D, "tex1D", S::Special, 2, 4, 0, nullptr, nullptr, A::Pixel},
    {I::k_tex1Dlod, "tex1Dlod", S::Special, 2, 2, 0, nullptr, nullptr, A::Model3},
    {I::k_tex1Dbias, "tex1Dbias", S::Special, 2, 2, 0, nullptr, nullptr, A::PixelModel2},
    {I::k_tex1Dproj, "tex1Dproj", S::Special, 2, 2, 0, nullptr, nullptr, A::PixelModel2},
    {I::k_tex1Dgrad, "tex1Dgrad", S::Special, 4, 4, 0, nullptr, nullptr, A::PixelGradients},
    {I::k_tex2D, "tex2D", S::Special, 2, 4, 0, nullptr, nullptr, A::Pixel},
    {I::k_tex2Dlod, "tex2Dlod", S::Special, 2, 2, 0, nullptr, nullptr, A::Model3},
    {I::k_tex2Dbias, "tex2Dbias", S::Special, 2, 2, 0, nullptr, nullptr, A::PixelModel2},
    {I::k_tex2Dproj, "tex2Dproj", S::Special, 2, 2, 0, nullptr, nullptr, A::PixelModel2},
    {I::k_tex2Dgrad, "tex2Dgrad", S::Special, 4, 4, 0, nullptr, nullptr, A::PixelGradients},
    {I::k_tex3D, "tex3D", S::Special, 2, 4, 0, nullptr, nullptr, A::Pixel},
    {I::k_tex3Dlod, "tex3Dlod", S::Special, 2, 2, 0, nullptr, nullptr, A::Model3},
    {I::k_tex3Dbias, "tex3Dbias", S::Special, 2, 2, 0, nullptr, nullptr, A::PixelModel2},
    {I::k_tex3Dproj, "tex3Dproj", S::Special, 2, 2, 0, nullptr, nullptr, A::PixelModel2},
    {I::k_texCUBE, "texCUBE", S::Special, 2, 4, 0, nullptr, nullptr, A::Pixel},
    {I::k_texCUBElod, "texCUBElod", S::Special, 2, 2, 0, nullptr, nullptr, A::Model3},
    {I::k_texCUBEbias, "texCUBEbias", S::Special, 2, 2, 0, nullptr, nullptr, A::PixelModel2},
    {I::k_texCUBEproj, "texCUBEproj", S::Special, 2, 2, 0, nullptr, nullptr, A::PixelModel2},
    {I::k_D3DCOLORtoUBYTE4, "D3DCOLORtoUBYTE4", S::Special, 1, 1, 0, nullptr, nullptr, A::Any},
    {I::k_tex3Dgrad, "tex3Dgrad", S::Special, 4, 4, 0, nullptr, nullptr, A::PixelGradients},
    {I::k_texCUBEgrad, "texCUBEgrad", S::Special, 4, 4, 0, nullptr, nullptr, A::PixelGradients},
    {I::k_noise, "noise", S::Special, 1, 1, 0, nullptr, nullptr, A::TextureFill},
    {I::k_mad, "mad", S::Numeric, 3, 3, 0, "($0 * $1 + $2)", Mad, A::Any},
    // Shader model 4 and 5 only (the reference's "minimum shader model" column): known by
    // name and typed, so a Direct3D 9 stage that reaches a call is refused as not having it
    // rather than as calling an unknown function; the spellings only keep any text valid.
    {I::k_rcp, "rcp", S::Float, 1, 1, 0, "(1.0 / $0)", nullptr, A::Model4},
    {I::k_countbits, "countbits", S::Sign, 1, 1, 0, "$T($0)", nullptr, A::Model4},
    {I::k_firstbithigh, "firstbithigh", S::Sign, 1, 1, 0, "$T($0)", nullptr, A::Model4},
    {I::k_firstbitlow, "firstbitlow", S::Sign, 1, 1, 0, "$T($0)", nullptr, A::Model4},
    {I::k_reversebits, "reversebits", S::Sign, 1, 1, 0, "$T($0)", nullptr, A::Model4},
    {I::k_asfloat, "asfloat", S::Float, 1, 1, 0, "($0)", nullptr, A::Model4},
    {I::k_asint, "asint", S::Sign, 1, 1, 0, "$T($0)", nullptr, A::Model4},
    {I::k_asuint, "asuint", S::Sign, 1, 1, 0, "$T($0)", nullptr, A::Model4},
    {I::k_asdouble, "asdouble", S::Float, 2, 2, 0, "($0 + $1)", nullptr, A::Model4},
    {I::k_f16tof32, "f16tof32", S::Float, 1, 1, 0, "($0)", nullptr, A::Model4},
    {I::k_f32tof16, "f32tof16", S::Sign, 1, 1, 0, "$T($0)", nullptr, A::Model4},
    {I::k_fma, "fma", S::Float, 3, 3, 0, "($0 * $1 + $2)", nullptr, A::Model4},
    {I::k_ddx_coarse, "ddx_coarse", S::Float, 1, 1, 0, "dFdx", nullptr, A::Model4},
    {I::k_ddx_fine, "ddx_fine", S::Float, 1, 1, 0, "dFdx", nullptr, A::Model4},
    {I::k_ddy_coarse, "ddy_coarse", S::Float, 1, 1, 0, "dFdy", nullptr, A::Model4},
    {I::k_ddy_fine, "ddy_fine", S::Float, 1, 1, 0, "dFdy", nullptr, A::Model4},
};

static_assert(sizeof kIntrinsics / sizeof kIntrinsics[0] == kIntrinsicCount,
              "one row per intrinsic");

}  // namespace

const IntrinsicRow& IntrinsicRowOf(int i) { return kIntrinsics[i]; }

bool FoldIntrinsic(int i, const double* args, int count, double& out) {
    if (i < 0 || i >= kIntrinsicCount) return false;
    const IntrinsicRow& row = kIntrinsics[i];
    if (!row.fold || count < row.minArgs || count > row.maxArgs || count > 3) return false;
    double x[3] = {0, 0, 0};
    for (int j = 0; j < count; ++j) x[j] = args[j];
    out = row.fold(x[0], x[1], x[2]);
    return true;
}

bool AvailableIn(Availability a, std::string_view profile) {
    const bool pixel = profile.rfind("ps_", 0) == 0;
    const bool model3 = profile.rfind("vs_3", 0) == 0 || profile.rfind("ps_3", 0) == 0;
    switch (a) {
        case Availability::Any: return true;
        case Availability::Pixel: return pixel;
        case Availability::PixelModel2: return pixel && profile.rfind("ps_1", 0) != 0;
        case Availability::PixelGradients:
            return pixel && (model3 || profile == "ps_2_a" || profile == "ps_2_sw");
        case Availability::Model3: return model3;
        case Availability::Loops:
            return pixel ? model3 || profile == "ps_2_a" || profile == "ps_2_sw" : profile != "vs_1_1";
        case Availability::TextureFill:
        case Availability::Model4: return false;
    }
    return false;
}

const char* AvailabilityNeeds(Availability a) {
    switch (a) {
        case Availability::Any: return "every shader";
        case Availability::Pixel: return "pixel shaders only";
        case Availability::PixelModel2: return "pixel shaders from ps_2_0 on";
        case Availability::PixelGradients: return "pixel shaders with gradients (ps_2_a, ps_3_0)";
        case Availability::Model3: return "shader model 3 (vs_3_0, ps_3_0)";
        case Availability::Loops: return "models with loops (vs_2_0, ps_2_a, ps_3_0); this one unrolls every loop";
        case Availability::TextureFill: return "texture fill functions only";
        case Availability::Model4: return "shader model 4 and up";
    }
    return "";
}

}  // namespace platform::gfx::fx
