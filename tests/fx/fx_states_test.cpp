// tests/fx/fx_states_test.cpp: effect states beyond one literal each: flag combinations,
// values computed from parameters, state functions, sampler states of a register, what GL
// cannot draw (kept and warned), hostile state expressions, and fxcheck's -D and include
// lookup.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

#include "platform/gfx/fx/fx.h"
#include "platform/gfx/gfx.h"

namespace {

namespace fx = platform::gfx::fx;
namespace gfx = platform::gfx;

fx::CompileResult Pass(const std::string& globals, const std::string& states) {
    return fx::Compile(globals +
                       "\nfloat4 VS(float4 p : POSITION) : POSITION { return p; }\n"
                       "float4 PS() : COLOR { return 1; }\ntechnique T { pass P { " +
                       states + " VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }");
}

const fx::StateValue* Render(const fx::PassInfo& p, std::uint32_t state) {
    for (const fx::StateValue& v : p.renderStates)
        if (v.state == state) return &v;
    return nullptr;
}

// Runs a computed state with parameter values "params" (index -> first components).
double Eval(const fx::StateExpression& e, const std::vector<std::vector<double>>& params, int program = 0) {
    double out = -1;
    EXPECT_TRUE(fx::RunStateProgram(e.programs[static_cast<std::size_t>(program)],
                                    [&](int p, int c) { return params[static_cast<std::size_t>(p)][static_cast<std::size_t>(c)]; },
                                    out));
    return out;
}

TEST(FxStates, NamesCombineAndFoldWithOperatorsAndStaticConstants) {
    const fx::CompileResult c = Pass("static const int kRef = 5 % 3;",
                                     "ColorWriteEnable = RED|GREEN|BLUE|ALPHA; ColorWriteEnable1 = Red | Blue;"
                                     " StencilRef = kRef; StencilMask = 0xF0 >> 4 | 1 << 8; ZEnable = true;"
                                     " StencilWriteMask = ~0; CullMode = 1 + 1;");
    ASSERT_TRUE(c.ok) << c.Messages();
    const fx::PassInfo& p = c.techniques[0].passes[0];
    EXPECT_EQ(Render(p, gfx::D3DRS_COLORWRITEENABLE)->value, 15u);
    EXPECT_EQ(Render(p, gfx::D3DRS_COLORWRITEENABLE1)->value, 5u);
    EXPECT_EQ(Render(p, gfx::D3DRS_STENCILREF)->value, 2u);
    EXPECT_EQ(Render(p, gfx::D3DRS_STENCILMASK)->value, 0x10Fu);
    EXPECT_EQ(Render(p, gfx::D3DRS_STENCILWRITEMASK)->value, 0xFFFFFFFFu);
    EXPECT_EQ(Render(p, gfx::D3DRS_ZENABLE)->value, 1u);
    EXPECT_EQ(Render(p, gfx::D3DRS_CULLMODE)->value, 2u);
}

TEST(FxStates, ParametersAndStateFunctionsAreEvaluatedWhenThePassBegins) {
    const fx::CompileResult c = Pass(
        "float gCaps = 4; float gScale = 2; bool gZ = true; int gCull = 2; float4 gBorder;\n"
        "texture t;\n"
        "sampler s = sampler_state { Texture = <t>; MaxAnisotropy = gCaps * gScale; BorderColor = gBorder; };\n"
        "bool ChooseZEnable() { return gZ; }\n"
        "int ChooseCullMode() { if (gCull > 1) return 3; else return 1; }\n"
        "float4 UseS(float2 u : TEXCOORD0) : COLOR { return tex2D(s, u); }",
        "ZEnable = ChooseZEnable(); CullMode = ChooseCullMode(); DepthBias = gScale / 4;"
        " AlphaRef = gCull > 1 ? gCaps : 255;");
    ASSERT_TRUE(c.ok) << c.Messages();
    const fx::PassInfo& p = c.techniques[0].passes[0];
    ASSERT_EQ(p.stateExpressions.size(), 4u);
    const int caps = c.FindParameter("gCaps"), scale = c.FindParameter("gScale");
    const int z = c.FindParameter("gZ"), cull = c.FindParameter("gCull");
    std::vector<std::vector<double>> params(c.parameters.size(), {0, 0, 0, 0});
    params[static_cast<std::size_t>(caps)] = {4};
    params[static_cast<std::size_t>(scale)] = {2};
    params[static_cast<std::size_t>(z)] = {0};
    params[static_cast<std::size_t>(cull)] = {2};
    EXPECT_EQ(p.stateExpressions[0].state, gfx::D3DRS_ZENABLE);
    EXPECT_EQ(Eval(p.stateExpressions[0], params), 0);
    EXPECT_EQ(Eval(p.stateExpressions[1], params), 3);
    EXPECT_TRUE(p.stateExpressions[2].asFloat);
    EXPECT_EQ(Eval(p.stateExpressions[2], params), 0.5);
    EXPECT_EQ(Eval(p.stateExpressions[3], params), 4);
    params[static_cast<std::size_t>(cull)] = {0};
    EXPECT_EQ(Eval(p.stateExpressions[1], params), 1);
    EXPECT_EQ(Eval(p.stateExpressions[3], params), 255);
    // Casts and the intrinsics that fold per component compute at pass begin too.
    // So do vectors built of parameters and swizzles of them, one program per channel.
    const fx::CompileResult f = Pass("float gCaps = 4; float gAlpha = 0.5; float4 gTint;",
                                     "AlphaRef = (int)(gAlpha * 255.9); StencilRef = max(gCaps, 6) + (uint)-1;"
                                     " FogDensity = saturate(gAlpha * 3); StencilEnable = (bool)gCaps;"
                                     " TextureFactor = float4(gAlpha, float2(0, gCaps), 1); FogColor = gTint.bgra;");
    ASSERT_TRUE(f.ok) << f.Messages();
    const auto& fp = f.techniques[0].passes[0].stateExpressions;
    ASSERT_EQ(fp.size(), 6u);
    ASSERT_EQ(fp[4].programs.size(), 4u);
    ASSERT_EQ(fp[5].programs.size(), 4u);
    std::vector<std::vector<double>> fparams(f.parameters.size(), {0});
    fparams[static_cast<std::size_t>(f.FindParameter("gCaps"))] = {4};
    fparams[static_cast<std::size_t>(f.FindParameter("gAlpha"))] = {0.5};
    EXPECT_EQ(Eval(fp[0], fparams), 127);
    EXPECT_EQ(Eval(fp[1], fparams), 6 + 4294967295.0);
    EXPECT_EQ(Eval(fp[2], fparams), 1);
    EXPECT_EQ(Eval(fp[3], fparams), 1);
    fparams[static_cast<std::size_t>(f.FindParameter("gTint"))] = {0.1, 0.2, 0.3, 0.4};
    const double tint[] = {0.5, 0, 4, 1}, bgra[] = {0.3, 0.2, 0.1, 0.4};
    for (int ch = 0; ch < 4; ++ch) {
        EXPECT_EQ(Eval(fp[4], fparams, ch), tint[ch]) << ch;
        EXPECT_EQ(Eval(fp[5], fparams, ch), bgra[ch]) << ch;
    }
    fparams[static_cast<std::size_t>(f.FindParameter("gCaps"))] = {9};
    fparams[static_cast<std::size_t>(f.FindParameter("gAlpha"))] = {0.1};
    EXPECT_EQ(Eval(fp[1], fparams), 9 + 4294967295.0);
    EXPECT_NEAR(Eval(fp[2], fparams), 0.3, 1e-9);
    // The sampler's computed states: one program, and a colour with one per channel.
    const fx::ParameterInfo& sp = c.parameters[static_cast<std::size_t>(c.FindParameter("s"))];
    ASSERT_EQ(sp.samplerExpressions.size(), 2u);
    EXPECT_EQ(Eval(sp.samplerExpressions[0], params), 8);
    EXPECT_EQ(sp.samplerExpressions[1].programs.size(), 4u);
}

// State values follow the one constant evaluator's rules: integer parameters divide as
// integers, indices and whole-vector intrinsics read parameters, three channels are opaque.
TEST(FxStates, StateValuesShareTheConstantEvaluatorsRules) {
    const fx::CompileResult c = Pass("int gCull = 3; float gRefs[2]; float2 gDir;",
                                     "StencilRef = gCull / 2 * 2; AlphaRef = gRefs[1]; FogDensity = length(gDir);"
                                     " TextureFactor = float3(1, 0, 0.4); FogColor = {1, 0, 0.4};");
    ASSERT_TRUE(c.ok) << c.Messages();
    const fx::PassInfo& p = c.techniques[0].passes[0];
    ASSERT_EQ(p.stateExpressions.size(), 3u);
    std::vector<std::vector<double>> params(c.parameters.size(), {0});
    params[static_cast<std::size_t>(c.FindParameter("gCull"))] = {3};
    params[static_cast<std::size_t>(c.FindParameter("gRefs"))] = {5, 7};
    params[static_cast<std::size_t>(c.FindParameter("gDir"))] = {3, 4};
    const double want[] = {2, 7, 5};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Eval(p.stateExpressions[static_cast<std::size_t>(i)], params), want[i]) << i;
    EXPECT_EQ(Render(p, gfx::D3DRS_TEXTUREFACTOR)->value, 0xFFFF0066u);
    EXPECT_EQ(Render(p, gfx::D3DRS_FOGCOLOR)->value, 0xFFFF0066u);
    const fx::CompileResult zero = Pass("", "StencilRef = 1 / 0;");
    EXPECT_NE(zero.Messages().find("divides by zero"), std::string::npos) << zero.Messages();
}

TEST(FxStates, RegisterSamplerStatesSamplerObjectsAndTheVertexFormat) {
    const fx::CompileResult c = Pass(
        "texture t; sampler s = sampler_state { Texture = <t>; AddressU = MIRROR; };",
        "AddressU[0] = Clamp; AddressW[0] = wrap; BorderColor[0] = 0xff00ff00; MinFilter[1] = LINEAR;"
        " Sampler[2] = <s>; FVF = XYZ | NORMAL | TEX1;");
    ASSERT_TRUE(c.ok) << c.Messages();
    const fx::PassInfo& p = c.techniques[0].passes[0];
    ASSERT_EQ(p.samplerStates.size(), 5u);
    EXPECT_EQ(p.samplerStates[0].unit, 0u);
    EXPECT_EQ(p.samplerStates[0].state, gfx::D3DSAMP_ADDRESSU);
    EXPECT_EQ(p.samplerStates[0].value, 3u);
    EXPECT_EQ(p.samplerStates[2].value, 0xFF00FF00u);
    EXPECT_EQ(p.samplerStates[3].unit, 1u);
    EXPECT_EQ(p.samplerStates[4].unit, 2u);  // s's AddressU on register 2
    EXPECT_EQ(p.samplerStates[4].value, 2u);
    ASSERT_EQ(p.textures.size(), 1u);
    EXPECT_EQ(p.textures[0].state, 2u);
    EXPECT_EQ(p.textures[0].parameter, c.FindParameter("t"));
    EXPECT_EQ(p.fvf, 0x112);
}

// A state GL cannot draw still reaches the device and is warned by name, unless its value is
// the one that loses nothing; fixed-function vertex states warn only without a vertex shader.
TEST(FxStates, WhatCannotBeDrawnIsKeptAndWarnedNeverDropped) {
    const fx::CompileResult c = Pass("float4 gTint;",
                                     "Wrap0 = U;              FogEnable = false; DepthBias = 0;"
                                     " PixelShaderConstant1[0] = <gTint>; LightEnable[0] = TRUE;"
                                     " LightType[0] = SPOT; MaterialPower = 4; SpecularEnable = true;");
    ASSERT_TRUE(c.ok) << c.Messages();
    EXPECT_EQ(c.Messages(),
              "(4,24): warning: state 'Wrap0': cylindrical texture-coordinate wrapping cannot be drawn here and is lost\n"
              "(4,82): warning: state 'PixelShaderConstant1': shader constant registers (the generated programs "
              "read parameters by name) cannot be drawn here and is lost\n");
    const fx::PassInfo& p = c.techniques[0].passes[0];
    EXPECT_NE(Render(p, gfx::D3DRS_WRAP0), nullptr);
    EXPECT_NE(Render(p, gfx::D3DRS_FOGENABLE), nullptr);
    EXPECT_NE(Render(p, gfx::D3DRS_SPECULARENABLE), nullptr);
    // The alpha test runs in the generated pixel shader too; the generated vertex stage
    // computes specular highlights; fog blends pixel shaders below model 3 only.
    const fx::CompileResult alphaTest = Pass("", "AlphaTestEnable = TRUE;");
    EXPECT_EQ(alphaTest.Messages(), "");
    const fx::CompileResult noVs = fx::Compile(
        "float4 PS() : COLOR { return 1; }\n"
        "technique T { pass P { SpecularEnable = true; FogEnable = true; PixelShader = compile ps_2_0 PS(); } }\n"
        "technique U { pass P { FogEnable = true; PixelShader = asm { ps_2_0 mov oC0, c0 }; } }");
    EXPECT_EQ(noVs.Messages(),
              "(3,24): warning: state 'FogEnable': fog beside a model 3 or assembly pixel shader cannot be drawn here and is lost\n");
}

// Spellings of other eras: the Direct3D 8 ZBias (kept, warned unless 0), Filter in a
// sampler_state block (one filter value, or the combined names of the newer spelling), and
// transforms set from constants (a static const matrix; a number fills every element).
TEST(FxStates, OtherErasSpellingsAndConstantTransforms) {
    const struct {
        const char* filter;
        std::uint32_t mag, min, mip;  // ~0u: refused
    } filters[] = {
        {"LINEAR", 2, 2, 2},
        {"None", 0, 0, 0},
        {"MIN_MAG_MIP_POINT", 1, 1, 1},
        {"MIN_MAG_LINEAR_MIP_POINT", 2, 2, 1},
        {"MIN_POINT_MAG_MIP_LINEAR", 2, 1, 2},
        {"D3D10_FILTER_MIN_LINEAR_MAG_POINT_MIP_LINEAR", 1, 2, 2},
        {"ANISOTROPIC", 3, 3, 2},
        {"MIN_MAG_POINT", ~0u, 0, 0},  // no mip filter
        {"COMPARISON_MIN_MAG_MIP_LINEAR", ~0u, 0, 0},
        {"MIN_MIN_MAG_MIP_POINT", ~0u, 0, 0},
    };
    for (const auto& f : filters) {
        SCOPED_TRACE(f.filter);
        const fx::CompileResult c =
            Pass(std::string("texture t; sampler s = sampler_state { Texture = <t>; Filter = ") + f.filter + "; };", "");
        ASSERT_EQ(c.ok, f.mag != ~0u) << c.Messages();
        if (!c.ok) continue;
        const auto& states = c.parameters[static_cast<std::size_t>(c.FindParameter("s"))].samplerStates;
        ASSERT_EQ(states.size(), 3u);
        EXPECT_EQ(states[0].state, gfx::D3DSAMP_MAGFILTER);
        EXPECT_EQ(states[0].value, f.mag);
        EXPECT_EQ(states[1].state, gfx::D3DSAMP_MINFILTER);
        EXPECT_EQ(states[1].value, f.min);
        EXPECT_EQ(states[2].state, gfx::D3DSAMP_MIPFILTER);
        EXPECT_EQ(states[2].value, f.mip);
    }
    // A sampler array takes a sampler_state block per element, no more than it has.
    const fx::CompileResult arr = Pass(
        "texture t; sampler s[2] = { sampler_state { Texture = <t>; }, sampler_state { AddressU = CLAMP; }, };", "");
    ASSERT_TRUE(arr.ok) << arr.Messages();
    const int second = arr.FindParameter("s[1]");
    ASSERT_GE(second, 0);
    EXPECT_EQ(arr.parameters[static_cast<std::size_t>(arr.FindParameter("s[0]"))].texture, arr.FindParameter("t"));
    EXPECT_EQ(arr.parameters[static_cast<std::size_t>(second)].samplerStates.size(), 1u);
    EXPECT_FALSE(Pass("sampler s[1] = { sampler_state { }, sampler_state { } };", "").ok);
    EXPECT_FALSE(Pass("sampler s = { sampler_state { } };", "").ok);
    EXPECT_EQ(Pass("", "ZBias = 0;").Messages(), "");
    const fx::CompileResult z = Pass("", "ZBias = 2;");
    ASSERT_TRUE(z.ok) << z.Messages();
    EXPECT_NE(z.Messages().find("warning: state 'ZBias'"), std::string::npos);
    EXPECT_EQ(Render(z.techniques[0].passes[0], 47)->value, 2u);

    const fx::CompileResult t = fx::Compile(
        "static const float4x4 kScale = {2,0,0,0, 0,3,0,0, 0,0,4,0, 1,2,3,1};\n"
        "technique T { pass P { WorldTransform[0] = <kScale>; TextureTransform[1] = 0; } }");
    ASSERT_TRUE(t.ok) << t.Messages();
    const auto& transforms = t.techniques[0].passes[0].transforms;
    ASSERT_EQ(transforms.size(), 2u);
    EXPECT_EQ(transforms[0].state, 256u);
    EXPECT_EQ(transforms[0].parameter, -1);
    EXPECT_EQ(transforms[0].matrix, (std::vector<float>{2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1}));
    EXPECT_EQ(transforms[1].state, 17u);
    EXPECT_EQ(transforms[1].matrix, std::vector<float>(16, 0.0f));
    EXPECT_FALSE(fx::Compile("static const float4 kV = 1;\n"
                             "technique T { pass P { WorldTransform[0] = <kV>; } }").ok);
}

TEST(FxStates, BadAndHostileStateValuesFailWithAPosition) {
    const struct {
        const char* states;
        const char* message;
    } rows[] = {
        {"CullMode = SIDEWAYS;",
         "(4,35): error: invalid value for state 'CullMode': 'SIDEWAYS' is not a value of this state, nor a parameter\n"},
        {"ColorOp[8] = MODULATE;", "(4,24): error: state 'ColorOp': index 8 is outside 0..7\n"},
        {"ZEnable[1] = TRUE;", "(4,24): error: state 'ZEnable': index 1 is outside 0..0\n"},
        {"StencilRef = 1e300 * 1e300;", ""},  // infinite: a defined state word, no crash
        {"StencilRef = -1e30;", ""},
        {"StencilMask = 1 << 40;", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.states);
        const fx::CompileResult c = Pass("", r.states);
        EXPECT_EQ(c.Messages(), r.message);
    }
    std::string deep = "1";
    for (int i = 0; i < 5000; ++i) deep = "(" + deep + " + 1)";
    const fx::CompileResult c = Pass("", "StencilRef = " + deep + ";");
    EXPECT_FALSE(c.ok);
    EXPECT_NE(c.Messages().find("error: "), std::string::npos);
}

// --- fxcheck ---------------------------------------------------------------------------------

int Status(const std::string& args, std::string* out = nullptr) {
    FILE* pipe = popen((std::string(FX_FXCHECK) + " " + args + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buf[4096];
    std::size_t n;
    std::string text;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
    const int raw = pclose(pipe);
    if (out) *out = text;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(FxStates, FxcheckDefinesMacrosAndFindsIncludesAsTheNativeCompilersDo) {
    const std::string root = testing::TempDir() + "fxcheck_native";
    std::system(("mkdir -p " + root + "/Shaders/Includes").c_str());
    std::ofstream(root + "/Shaders/main.fx")
        << "#include \"includes\\\\Common.fxh\"\n"
           "#define NAME(x) \"tex\" ## x\n"
           "texture t < string file = NAME(\"ture\"); >;\n"
           "float4 PS() : COLOR0 { return SCALE * kOne; }\n"
           "technique T { pass P { PixelShader = compile PS_PROFILE PS(); } }\n";
    std::ofstream(root + "/Shaders/Includes/COMMON.FXH") << "static const float kOne = 1;\n";
    std::string out;
    EXPECT_EQ(Status(root + "/Shaders/main.fx", &out), 1) << out;
    EXPECT_NE(out.find("'SCALE'"), std::string::npos) << out;
    EXPECT_EQ(Status(root + "/Shaders/main.fx -D SCALE=2 -DPS_PROFILE=ps_2_0", &out), 0) << out;
    EXPECT_EQ(Status(root + "/Shaders/main.fx -D 2BAD", &out), 2) << out;
    EXPECT_EQ(Status(root + "/Shaders/main.fx -D", &out), 2) << out;
}

// The documentation's state list is the table's own rows: regenerate it with
// "build/fxcheck --states > docs/effect-states.md" when states.h changes.
TEST(FxStates, TheDocumentedStateListIsTheTable) {
    std::string printed;
    ASSERT_EQ(Status("--states", &printed), 0);
    std::ifstream in(FX_STATES_DOC, std::ios::binary);
    const std::string doc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(doc, printed);
    for (const fx::StateDescription& d : fx::DescribeStates())
        EXPECT_NE(doc.find("| " + d.name + " |"), std::string::npos) << d.name;
}

}  // namespace
