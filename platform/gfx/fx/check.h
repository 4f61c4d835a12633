// platform/gfx/fx/check.h: the checker: names, types, implicit conversions, overloads,
// entry points and effect states. It annotates the syntax tree (types, resolved names,
// inserted conversions) for the emitter and builds the reflection.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gfx/fx/asm/asm.h"
#include "platform/gfx/fx/ast.h"
#include "platform/gfx/fx/diag.h"
#include "platform/gfx/fx/fx.h"

namespace platform::gfx::fx {

// ORDER Intrinsic: the intrinsic functions the checker knows, by HLSL name; kIntrinsics
// (intrinsics.cpp) holds one row per name in this order.
#define FX_INTRINSICS(X)                                                                        \
    X(abs) X(acos) X(all) X(any) X(asin) X(atan) X(atan2) X(ceil) X(clamp) X(clip) X(cos)      \
    X(cosh) X(cross) X(ddx) X(ddy) X(degrees) X(determinant) X(distance) X(dot) X(dst) X(exp) X(exp2) \
    X(faceforward) X(floor) X(fmod) X(frac) X(frexp) X(fwidth) X(isfinite) X(isinf) X(isnan)   \
    X(ldexp) X(length) X(lerp) X(lit) X(log) X(log10) X(log2) X(max) X(min) X(modf) X(mul)     \
    X(normalize) X(pow) X(radians) X(reflect) X(refract) X(round) X(rsqrt) X(saturate)         \
    X(sign) X(sin) X(sincos) X(sinh) X(smoothstep) X(sqrt) X(step) X(tan) X(tanh) X(transpose) \
    X(trunc) X(tex1D) X(tex1Dlod) X(tex1Dbias) X(tex1Dproj) X(tex1Dgrad) X(tex2D) X(tex2Dlod)  \
    X(tex2Dbias) X(tex2Dproj) X(tex2Dgrad) X(tex3D) X(tex3Dlod) X(tex3Dbias) X(tex3Dproj)      \
    X(texCUBE) X(texCUBElod) X(texCUBEbias) X(texCUBEproj) X(D3DCOLORtoUBYTE4)     \
    X(tex3Dgrad) X(texCUBEgrad) X(noise) X(mad) X(rcp) X(countbits) X(firstbithigh)           \
    X(firstbitlow) X(reversebits) X(asfloat) X(asint) X(asuint) X(asdouble) X(f16tof32)        \
    X(f32tof16) X(fma) X(ddx_coarse) X(ddx_fine) X(ddy_coarse) X(ddy_fine)

enum class Intrinsic {
#define FX_INTRINSIC_ID(name) k_##name,
    FX_INTRINSICS(FX_INTRINSIC_ID)
#undef FX_INTRINSIC_ID
};

#define FX_INTRINSIC_COUNT(name) +1
inline constexpr int kIntrinsicCount = 0 FX_INTRINSICS(FX_INTRINSIC_COUNT);
#undef FX_INTRINSIC_COUNT

// How an intrinsic's arguments and result are typed. Every shape but Special takes scalars,
// vectors (float1 included) and, unless said otherwise, matrices, and works per component.
enum class IntrinsicShape {
    Float,     // T f(T, ...): the arguments' common type, made float
    Numeric,   // as Float, but int arguments stay int
    Sign,      // as Numeric, the result int-shaped
    Vector,    // as Float, scalars and vectors only
    ToScalar,  // float f(T, T): scalars and vectors only
    Test,      // bool-shaped f(T): the argument made float
    Reduce,    // bool f(T): any numeric shape
    Special,   // written by hand in the checker and the emitter
};

struct IntrinsicRow {
    Intrinsic id;
    const char* name;
    IntrinsicShape shape;
    int minArgs, maxArgs;
    unsigned outArgs;  // bit i: argument i is written (an out argument)
    // The GLSL spelling: a function name called with the arguments, or an expression in which
    // $0.. stand for the arguments (each used once) and $T for the result's GLSL type.
    const char* glsl;
    // Constant folding, one component at a time (arguments past the call's are 0); null when
    // the intrinsic does not fold.
    double (*fold)(double, double, double);
    // The stages and models that have it (a lookup given gradients needs PixelGradients too).
    Availability avail;
};

// The row of intrinsic "i" (0 <= i < kIntrinsicCount).
const IntrinsicRow& IntrinsicRowOf(int i);

// The Intrinsic with this HLSL name, or -1 (check_intrinsic.cpp).
int IntrinsicNamed(std::string_view name);

// Folds intrinsic "i" for one component of its "count" arguments "args" (a scalar argument
// serves every component): false when the intrinsic has no per-component fold or "count" is
// not one it takes. The one fold of every place that computes constants and state values.
bool FoldIntrinsic(int i, const double* args, int count, double& out);

// The HLSL name of intrinsic "i" (0 <= i < kIntrinsicCount).
inline const char* IntrinsicName(int i) { return IntrinsicRowOf(i).name; }

// Whether shader profile "profile" ("ps_2_0", "vs_3_0") has what "a" needs.
bool AvailableIn(Availability a, std::string_view profile);
// What "a" needs, in words: "pixel shaders only".
const char* AvailabilityNeeds(Availability a);

// "texcoord" -> "TEXCOORD0", "SV_Position" -> "POSITION0", "COLOR1" -> "COLOR1".
std::string NormalizeSemantic(std::string_view semantic);

// Whether "semantic" may stand as an input (or output) of the vertex (or pixel) stage of
// "profile" (semantics.cpp holds the rows).
bool SemanticAllowed(std::string_view semantic, bool vertex, bool output, std::string_view profile);
// How many registers the inputs (or outputs) of that stage of "profile" may take, one per
// semantic; VPOS and VFACE have registers of their own and do not count.
int StageRegisters(bool vertex, bool output, std::string_view profile);

// A shader of a pass: the function, the arguments "compile" binds to its parameters (one slot
// per parameter, null where unbound: the arguments go to the 'uniform' parameters in order, or
// to the leading ones when the function marks none), and the profile ("vs_3_0"). "func" is
// null when the pass sets no shader of that stage.
struct EntryPoint {
    const FuncDecl* func = nullptr;
    std::vector<Expr*> boundArgs;
    std::string profile;
    // A shader written in assembly instead (func is then null).
    std::shared_ptr<const assembly::Program> program;
    bool present() const { return func != nullptr || program != nullptr; }
};

// A pass's stage taken from a shader array: the shaders it may pick and the index program
// that picks one when the pass begins.
struct StageChoice {
    std::vector<EntryPoint> choices;  // empty: the stage is fixed (PassPlan::vs / ps)
    std::vector<IndexOp> index;
};

struct PassPlan {
    const PassDecl* decl = nullptr;
    EntryPoint vs, ps;
    StageChoice vsChoice, psChoice;
    std::vector<StateValue> renderStates;
    std::vector<ParameterState> transforms, textures;
    std::vector<SamplerStageState> samplerStates;
    std::vector<StateExpression> stateExpressions;
    int fvf = -1;
    std::vector<ShaderConstant> constants;
    TextureStage stages[8];
    bool stagesSet = false;
    std::uint32_t transformFlags[8] = {};           // TextureTransformFlags[n]
    std::uint32_t lightEnabled = 0, lightTypes[8] = {};  // LightEnable[n] bits, LightType[n]
    std::vector<FixedValue> fixedValues;
    std::vector<AnnotationInfo> annotations;
};

struct TechniquePlan {
    const TechniqueDecl* decl = nullptr;
    std::vector<PassPlan> passes;
    std::vector<AnnotationInfo> annotations;
};

struct CheckedEffect {
    std::vector<ParameterInfo> parameters;  // reflection, in declaration order
    std::vector<const VarDecl*> parameterDecls;
    std::vector<TechniquePlan> techniques;
};

// Checks "module" and fills "out". Errors and warnings go to "diagnostics".
void Check(Module& module, std::vector<Diagnostic>& diagnostics, CheckedEffect& out);

}  // namespace platform::gfx::fx

namespace platform::gfx::fx {

// One value that crosses a shader stage boundary: a parameter or the return value of an entry
// point, or a struct member inside one ("path" walks member indices from there).
struct IoVar {
    std::string semantic;  // normalised
    Type type;
    int param = -1;        // parameter index, or -1 for the return value
    std::vector<int> path; // struct member indices below the parameter or return value
    int element = -1;      // the array element, for an array with a semantic; else -1
    bool output = false;
    int line = 0, column = 0;  // of the declaration that gives the semantic
};

// The inputs and outputs of entry point "func" whose parameters with a non-null slot in "bound"
// are bound by "compile". Members and parameters without semantics are left out (the checker
// reports them).
void CollectIo(const FuncDecl& func, const std::vector<Expr*>& bound, std::vector<IoVar>& inputs,
               std::vector<IoVar>& outputs);

}  // namespace platform::gfx::fx
