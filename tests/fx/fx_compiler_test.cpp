// tests/fx/fx_compiler_test.cpp: the effect compiler without GL: diagnostics, preprocessor,
// reflection, the corpus, fxcheck and hostile input.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gfx/fx/check.h"
#include "platform/gfx/fx/checker.h"
#include "platform/gfx/fx/fx.h"
#include "platform/gfx/states.h"

namespace {

namespace fx = platform::gfx::fx;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> FilesIn(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                out.push_back(dir + "/" + name);
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// A minimal pass around "body" so that snippets compile as whole effects.
std::string WithPass(const std::string& body, const std::string& ps = "PS") {
    return body +
           "\nfloat4 VSx(float4 p : POSITION) : POSITION { return p; }\n"
           "technique T { pass P { VertexShader = compile vs_3_0 VSx(); PixelShader = compile ps_3_0 " +
           ps + "(); } }\n";
}

const fx::Diagnostic* FirstError(const fx::CompileResult& r) {
    for (const auto& d : r.diagnostics)
        if (d.severity == fx::Severity::Error) return &d;
    return nullptr;
}

// --- diagnostics -----------------------------------------------------------------------------

TEST(FxDiagnostics, ReportsWhichErrorAndWhere) {
    const struct {
        const char* src;
        int line, column;
        fx::Diag id;
    } rows[] = {
        {"float4 f( { }", 1, 11, fx::Diag::UnexpectedToken},
        {"float x = y;", 1, 11, fx::Diag::UndeclaredName},
        {"float x = 1 $ 2;", 1, 13, fx::Diag::BadCharacter},
        {"/* open", 1, 1, fx::Diag::UnterminatedComment},
        {"#include \"other.fx\"\n", 1, 1, fx::Diag::IncludeRefused},
        {"#error stop here\n", 1, 1, fx::Diag::UserError},
        {"#frobnicate\n", 1, 2, fx::Diag::UnknownDirective},
        {"#pragma warning(disable : 3206)\n#pragma frobnicate\n#pragma pack_matrix(sideways)\n", 3, 2, fx::Diag::BadDirective},
        {"#if 1\nfloat x;\n", 1, 1, fx::Diag::UnbalancedConditional},
        {"#endif\n", 1, 1, fx::Diag::UnbalancedConditional},
        {"#define F(a, b) a\nfloat x = F(1);", 2, 11, fx::Diag::MacroArguments},
        {"#if 1 / 0\n#endif\n", 1, 2, fx::Diag::BadConditionExpression},
        {"struct S { float a; };\nstruct S { float b; };", 2, 8, fx::Diag::Redefinition},
        {"float a[0];", 1, 9, fx::Diag::BadArraySize},
        // texture objects' methods are Direct3D 10 syntax
        {"Texture1D t; sampler s;\nfloat4 PS(float u : TEXCOORD0) : COLOR { return t.Sample(s, u); }", 2, 57, fx::Diag::UnsupportedFeature},
        // a local sampler array has no GLSL form; its uses add no errors of their own
        {"sampler a, b;\nfloat4 f(float2 u) { sampler l[2] = {a, b}; return tex2D(l[1], u); }", 2, 30,
         fx::Diag::UnsupportedFeature},
        {"float x;\nfloat x;", 2, 7, fx::Diag::Redefinition},
        {"float4 f() { return 1; }\nfloat g() { return f(1, 2); }", 2, 20, fx::Diag::UnknownFunction},
        {"float f(int a) { return a; }\nfloat f(uint a) { return a; }\nfloat g() { return f(1.5); }", 3, 20,
         fx::Diag::AmbiguousCall},
        {"float f(float a) { return f(a); }", 1, 7, fx::Diag::RecursiveCall},
        {"float x;\nfloat g() { return x(); }", 2, 20, fx::Diag::NotAFunction},
        {"float f(float a) { if (a > 0) return 1; }", 1, 7, fx::Diag::MissingReturn},
        {"float3 f() { float2 v = 0; return v.xyz; }", 1, 35, fx::Diag::BadSwizzle},
        {"struct S { float a; };\nfloat f(S s) { return s.b; }", 2, 23, fx::Diag::NoMember},
        {"float f() { return float3(1, 2); }", 1, 20, fx::Diag::ConstructorArguments},
        {"float f() { float4x4 m; return m * float3(1,2,3); }", 1, 32, fx::Diag::BadOperands},
        {"const float x = 1;\nvoid f() { x = 2; }", 2, 12, fx::Diag::NotAssignable},
        {"void f() { float a, b; float2(a, a + b) = 1; }", 1, 24, fx::Diag::NotAssignable},
        {"float f() { float a = 1; return a[0]; }", 1, 33, fx::Diag::NotIndexable},
        {"float f() { break; return 1; }", 1, 13, fx::Diag::BadStatement},
        {"void f() { return 1; }", 1, 12, fx::Diag::BadReturn},
        {"float x = sin;", 1, 11, fx::Diag::UnsupportedFeature},
        {"float4 f(float2 t : TEXCOORD0) : COLOR { return tex2D(t, t); }", 1, 49, fx::Diag::SamplerRequired},
        {"float4 f() { return { 1, 2, 3, 4 }; }", 1, 21, fx::Diag::UnexpectedToken},
        {"float4 v = { 1, 2, 3 };", 1, 12, fx::Diag::BadInitializer},
        {"float t; float x = t * time;", 1, 24, fx::Diag::UndeclaredName},
        {"uniform float u; float x = u * 2;\nstatic float s = u * 2;\nfloat y = sin(u);", 1, 28,
         fx::Diag::NotConstant},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.src);
        const fx::CompileResult res = fx::Compile(r.src);
        EXPECT_FALSE(res.ok);
        const fx::Diagnostic* d = FirstError(res);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(fx::DiagName(d->id), std::string(fx::DiagName(r.id))) << d->message;
        EXPECT_EQ(d->line, r.line) << d->message;
        EXPECT_EQ(d->column, r.column) << d->message;
    }
}

TEST(FxDiagnostics, EffectLevelErrorsNameTheEntryPointOrState) {
    const struct {
        const char* src;
        fx::Diag id;
        const char* text;
    } rows[] = {
        {"float4 PS() : COLOR { return 1; }\ntechnique T { pass P { PixelShader = compile vs_3_0 PS(); } }",
         fx::Diag::BadProfile, "'vs_3_0': not a pixel shader profile"},
        {"float4 PS() : COLOR { return 1; }\ntechnique T { pass P { PixelShader = compile ps_5_0 PS(); } }",
         fx::Diag::BadProfile, "'ps_5_0': unsupported profile"},
        {"float4 VS(float4 p) : POSITION { return p; }\ntechnique T { pass P { VertexShader = compile vs_3_0 VS(); } }",
         fx::Diag::MissingSemantic, "entry point 'VS': 'p' has no semantic"},
        {"float4 VS(float4 p : POSITION) : TEXCOORD0 { return p; }\ntechnique T { pass P { VertexShader = compile vs_3_0 VS(); } }",
         fx::Diag::BadEntryPoint, "entry point 'VS': a vertex shader must write POSITION"},
        {"float4 PS(uniform float k) : COLOR { return k; }\ntechnique T { pass P { PixelShader = compile ps_2_0 PS(); } }",
         fx::Diag::BadEntryPoint, "entry point 'PS': uniform parameter 'k' has no value"},
        {"sampler s; float4 A(uniform sampler2D t) : COLOR { return tex2D(t, 0.5); }\n"
         "float4 B(uniform samplerCUBE t) : COLOR { return texCUBE(t, 0.5); }\n"
         "technique T { pass P { PixelShader = compile ps_2_0 A(s); } pass Q { PixelShader = compile ps_2_0 B(s); } }",
         fx::Diag::SamplerKindConflict, "sampler 's' is used as sampler2D and as samplerCUBE (first used at (3,55))"},
        {"float4 PS(float2 t[20] : TEXCOORD0) : COLOR { return t[0].x; }\ntechnique T { pass P { PixelShader = compile ps_3_0 PS(); } }",
         fx::Diag::BadEntryPoint, "entry point 'PS': the array at 'TEXCOORD16' has more than 16 elements"},
        {"float4 PS() : COLOR { return 1; }\ntechnique T { pass P { PixelShader = compile ps_2_0 PS(); Frobnicate = 1; } }",
         fx::Diag::UnknownState, "unknown state 'Frobnicate'"},
        {"float4 PS() : COLOR { return 1; }\ntechnique T { pass P { PixelShader = compile ps_2_0 PS(); CullMode = SIDEWAYS; } }",
         fx::Diag::BadStateValue,
         "invalid value for state 'CullMode': 'SIDEWAYS' is not a value of this state, nor a parameter"},
        {"texture t; sampler s = sampler_state { Texture = <t>; MinFilter = LINEAR; AddressU = SPIRAL; };",
         fx::Diag::BadStateValue,
         "invalid value for state 'AddressU': 'SPIRAL' is not a value of this state, nor a parameter"},
        {"float x; sampler s = sampler_state { Texture = <x>; };", fx::Diag::BadSamplerState,
         "sampler_state: 'Texture' must name a texture parameter"},
        {"float x = 1;", fx::Diag::NoTechnique, "the effect declares no technique"},
        {"technique T { pass P { PixelShader = asm { ps_1_1 tex t0 mov r0, c9 }; } }",
         fx::Diag::AsmError, "shader assembly: register 9 is outside the ps_1_1 register file"},
        {"float4 PS() : COLOR { return 1; }\ntechnique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n"
         "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }",
         fx::Diag::DuplicateTechnique, "redefinition of technique 'T'"},
        // a model without loops: a loop's length is named when it is known
        {"float4 PS() : COLOR { float s = 0; [unroll] for (int i = 0; i < 5000; i += 2) s += 1; return s; }\n"
         "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }",
         fx::Diag::NotInProfile, "a loop of 2500 iterations (more than 1024 to unroll) is not available in ps_2_0: models with loops (vs_2_0, ps_2_a, ps_3_0); this one unrolls every loop"},
        {"float k; float4 PS() : COLOR { float s = 0; for (int i = 0; i != k; i++) s += 1; return s; }\n"
         "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }",
         fx::Diag::NotInProfile, "a loop of unknown length is not available in ps_2_0: models with loops (vs_2_0, ps_2_a, ps_3_0); this one unrolls every loop"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.src);
        const fx::CompileResult res = fx::Compile(r.src);
        EXPECT_FALSE(res.ok);
        const fx::Diagnostic* d = FirstError(res);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(fx::DiagName(d->id), std::string(fx::DiagName(r.id)));
        EXPECT_EQ(d->message, r.text);
    }
}

TEST(FxDiagnostics, SeveralErrorsComeInSourceOrderInTheBoxFormat) {
    const fx::CompileResult r = fx::Compile(
        "float a = b;\n"
        "float4 f( {\n"
        "float c = d;\n"
        "float4 g() : COLOR { return e; }\n");
    EXPECT_FALSE(r.ok);
    // Parse errors stop before the checker; the parser recovers at the next declaration.
    EXPECT_EQ(r.Messages(), "(2,11): error: syntax error: unexpected '{'\n");
    const fx::CompileResult sem = fx::Compile(
        "float a = b;\n"
        "float c = d;\n"
        "float4 g() : COLOR { return e; }\n"
        "technique T { pass P { PixelShader = compile ps_2_0 g(); } }\n");
    EXPECT_EQ(sem.Messages(),
              "(1,11): error: undeclared identifier 'b'\n"
              "(2,11): error: undeclared identifier 'd'\n"
              "(3,29): error: undeclared identifier 'e'\n");
    EXPECT_TRUE(sem.parameters.empty());
    EXPECT_TRUE(sem.techniques.empty());
}

TEST(FxDiagnostics, UnclosedBlocksNameWhereTheyOpened) {
    const fx::CompileResult r = fx::Compile("float4 f() : COLOR\n{\n    if (true) {\n        return 1;\n");
    ASSERT_FALSE(r.ok);
    EXPECT_EQ(r.diagnostics.back().message, "missing '}' for the '{' opened at (3,15)");
}

TEST(FxDiagnostics, WarningsDoNotFailTheCompile) {
    const fx::CompileResult r = fx::Compile(WithPass(
        "#define A 1\n#define A 2\n"
        "float4 PS(float4 c : COLOR0) : COLOR { float2 v = c; return v.xyxy; }",
        "PS"));
    EXPECT_TRUE(r.ok) << r.Messages();
    ASSERT_EQ(r.diagnostics.size(), 3u) << r.Messages();
    EXPECT_EQ(r.diagnostics[0].id, fx::Diag::MacroRedefined);
    EXPECT_EQ(r.diagnostics[1].id, fx::Diag::ImplicitTruncation);
    EXPECT_EQ(r.diagnostics[2].id, fx::Diag::UnmatchedSemantic);
    EXPECT_EQ(r.Messages().substr(0, 32), "(2,9): warning: macro 'A' redefi");
}

// --- preprocessor ------------------------------------------------------------------------------

// The value the preprocessor leaves in "float x = EXPR;" after the directives in "prelude".
std::vector<float> InitialValue(const std::string& source) {
    const fx::CompileResult r = fx::Compile(source + "\nfloat4 PSx() : COLOR { return 1; }\n"
                                            "technique T { pass P { PixelShader = compile ps_2_0 PSx(); } }\n");
    EXPECT_TRUE(r.ok) << r.Messages();
    const int i = r.FindParameter("x");
    return i < 0 ? std::vector<float>{} : r.parameters[static_cast<std::size_t>(i)].initialValue;
}

TEST(FxPreprocessor, MacrosConditionalsAndLineNumbers) {
    const struct {
        const char* src;
        float value;
    } rows[] = {
        {"#define N 3\nfloat x = N;", 3},
        {"#define SQ(a) ((a) * (a))\nfloat x = SQ(1 + 2);", 9},
        {"#define ADD(a, b) a + b\n#define TWICE(a) ADD(a, a)\nfloat x = TWICE(2) * 1;", 4},
        {"#define CAT(a, b) a##b\nfloat ab = 5;\nfloat x = CAT(a, b);", 5},
        {"#define N 1\n#undef N\n#ifdef N\nfloat x = 1;\n#else\nfloat x = 2;\n#endif", 2},
        {"#if defined(Q) || 2 > 1\nfloat x = 7;\n#endif", 7},
        {"#if 0\n#error skipped\n#elif 1\nfloat x = 8;\n#else\nfloat x = 9;\n#endif", 8},
        {"#ifndef GUARD\n#define GUARD\nfloat x = 10;\n#endif\n#ifndef GUARD\nfloat x = 11;\n#endif", 10},
        {"#define SELF SELF + 1\nfloat SELF = 3;\nfloat x = 1;", 1},  // no endless expansion
        {"#define F(a, b) b\nfloat x = F((1, 2), 3);", 3},  // parenthesised commas stay in one argument
        {"#pragma pack_matrix(column_major)\n#pragma warning(disable : 3206)\nfloat x = 12;", 12},
        // the side && || ?: do not evaluate raises no error
        {"#if 0 && (1 / 0)\nfloat x = 1;\n#else\nfloat x = 13;\n#endif", 13},
        {"#if 1 || 1 % 0\nfloat x = 14;\n#endif", 14},
        {"#if (1 ? 15 : 1 / 0) == 15 && (0 ? 1 / 0 : 1)\nfloat x = 15;\n#endif", 15},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.src);
        if (std::string(r.src).find("SELF SELF") != std::string::npos) {
            // "SELF" expands once to "SELF + 1", which is a syntax error, not a hang.
            EXPECT_FALSE(fx::Compile(r.src).ok);
            continue;
        }
        const std::vector<float> v = InitialValue(r.src);
        ASSERT_EQ(v.size(), 1u);
        EXPECT_EQ(v[0], r.value);
    }
    const fx::CompileResult line = fx::Compile("#line 100\nfloat x = y;");
    ASSERT_FALSE(line.diagnostics.empty());
    EXPECT_EQ(line.diagnostics[0].line, 100);
    EXPECT_EQ(line.diagnostics[0].file, "");
    // A file name names the file of the lines that follow until the next one; a #line
    // without a name keeps it.
    const struct {
        const char* src;
        const char* file;
        int line;
    } named[] = {
        {"#line 40 \"other.fxh\"\nfloat x = y;", "other.fxh", 40},
        {"#line 40 \"other.fxh\"\n#line 7\n\nfloat x = y;", "other.fxh", 8},
        {"#line 40 \"a.fxh\"\n#line 3 \"b.fxh\"\nfloat x = y;", "b.fxh", 3},
    };
    for (const auto& r : named) {
        SCOPED_TRACE(r.src);
        const fx::CompileResult c = fx::Compile(r.src);
        ASSERT_FALSE(c.diagnostics.empty());
        EXPECT_EQ(c.diagnostics[0].file, r.file);
        EXPECT_EQ(c.diagnostics[0].line, r.line);
    }
}

// pack_matrix sets the order of the matrices declared after it; a matrix's own row_major or
// column_major wins.
TEST(FxPreprocessor, PackMatrixSetsTheOrderOfLaterMatrices) {
    const fx::CompileResult c = fx::Compile(
        "float4x4 before;\n#pragma pack_matrix(row_major)\nfloat4x4 after; column_major float3x4 own;\n"
        "float4 v;\n#pragma pack_matrix(column_major)\nfloat2x2 last; row_major float2x2 lastOwn;\n"
        "float4 PS() : COLOR { return v + before[0] + after[0] + own[0] + last[0].xyxy + lastOwn[0].xyxy; }\n"
        "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }");
    ASSERT_TRUE(c.ok) << c.Messages();
    const struct {
        const char* name;
        bool rowMajor;
    } rows[] = {{"before", false}, {"after", true}, {"own", false}, {"v", false}, {"last", false}, {"lastOwn", true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_GE(c.FindParameter(r.name), 0);
        EXPECT_EQ(c.parameters[static_cast<std::size_t>(c.FindParameter(r.name))].rowMajor, r.rowMajor);
    }
}

TEST(FxPreprocessor, ExpansionBombsStopWithAnError) {
    std::string bomb = "#define A0 x x\n";
    for (int i = 1; i < 40; ++i)
        bomb += "#define A" + std::to_string(i) + " A" + std::to_string(i - 1) + " A" + std::to_string(i - 1) + "\n";
    bomb += "float y = A39;\n";
    const fx::CompileResult r = fx::Compile(bomb);
    ASSERT_FALSE(r.ok);
    EXPECT_EQ(FirstError(r)->id, fx::Diag::ExpansionLimit);
}

// --- reflection --------------------------------------------------------------------------------

TEST(FxReflection, TheIntrosEffectDeclaresItsParametersInOrder) {
    const fx::CompileResult r = fx::Compile(ReadFile(FX_ASSETS_EFFECT));
    ASSERT_TRUE(r.ok) << r.Messages();
    const struct {
        const char* name;
        const char* type;
        int size;
        std::vector<float> initial;
    } rows[] = {
        {"texture0", "texture", 0, {}},
        {"tex0", "sampler", 0, {}},
        {"time", "float", 4, {}},
        {"resolution", "float2", 8, {933, 511}},
        {"PI", "float", 4, {3.14159265f}},
        {"speed", "float", 4, {0.1f}},
        {"speed_x", "float", 4, {0.2f}},
        {"speed_y", "float", 4, {0.4f}},
        {"intensity", "float", 4, {3}},
        {"steps", "int", 4, {3}},
        {"frequency", "float", 4, {6}},
        {"angle", "int", 4, {8}},
        {"delta", "float", 4, {30}},
        {"intence", "float", 4, {300}},
        {"emboss", "float", 4, {0.4f}},
    };
    ASSERT_EQ(r.parameters.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].name);
        const fx::ParameterInfo& p = r.parameters[i];
        EXPECT_EQ(p.name, rows[i].name);
        EXPECT_EQ(p.typeName, rows[i].type);
        EXPECT_EQ(p.sizeBytes, rows[i].size);
        EXPECT_EQ(p.initialValue, rows[i].initial);
    }
    // The sampler names its texture and sets no state: the device's state applies.
    EXPECT_EQ(r.parameters[1].texture, 0);
    EXPECT_TRUE(r.parameters[1].samplerStates.empty());
    ASSERT_EQ(r.techniques.size(), 1u);
    EXPECT_EQ(r.techniques[0].name, "Start");
    ASSERT_EQ(r.techniques[0].passes.size(), 1u);
    const fx::PassInfo& pass = r.techniques[0].passes[0];
    EXPECT_EQ(pass.name, "p1");
    EXPECT_EQ(pass.vertexProfile, "vs_3_0");
    EXPECT_EQ(pass.pixelProfile, "ps_3_0");
    EXPECT_EQ(pass.samplers, std::vector<int>{1});
    ASSERT_EQ(pass.inputs.size(), 2u);
    EXPECT_EQ(pass.inputs[0].semantic, "POSITION0");
    EXPECT_EQ(pass.inputs[0].location, 0);
    EXPECT_EQ(pass.inputs[1].semantic, "TEXCOORD0");
    EXPECT_EQ(pass.inputs[1].location, 3);
    EXPECT_TRUE(pass.renderStates.empty());
}

TEST(FxReflection, TypesSizesAnnotationsAndStates) {
    const fx::CompileResult r = fx::Compile(ReadFile(std::string(FX_CORPUS_DIR) + "/samples.fx"));
    ASSERT_TRUE(r.ok) << r.Messages();
    const fx::ParameterInfo& wvp = r.parameters[static_cast<std::size_t>(r.FindParameter("g_mWorldViewProjection"))];
    EXPECT_EQ(wvp.paramClass, fx::ParamClass::MatrixRows);
    EXPECT_EQ(wvp.rows, 4);
    EXPECT_EQ(wvp.columns, 4);
    EXPECT_EQ(wvp.sizeBytes, 64);
    EXPECT_EQ(wvp.semantic, "WORLDVIEWPROJECTION");
    const fx::ParameterInfo& scale = r.parameters[static_cast<std::size_t>(r.FindParameter("g_DetailScale"))];
    ASSERT_EQ(scale.annotations.size(), 3u);
    EXPECT_EQ(scale.annotations[0].name, "UIWidget");
    EXPECT_EQ(scale.annotations[0].value, "slider");
    EXPECT_EQ(scale.annotations[2].numbers, std::vector<float>{64});
    EXPECT_EQ(scale.initialValue, std::vector<float>{16});
    const fx::ParameterInfo& detail = r.parameters[static_cast<std::size_t>(r.FindParameter("DetailSampler"))];
    EXPECT_EQ(detail.texture, r.FindParameter("g_DetailTexture"));
    // MinFilter LINEAR (6 = 2), MagFilter (5 = 2), MipFilter POINT (7 = 1), AddressU/V WRAP,
    // MipMapLodBias -0.5 as float bits, BorderColor.
    ASSERT_EQ(detail.samplerStates.size(), 7u);
    EXPECT_EQ(detail.samplerStates[0].state, 6u);
    EXPECT_EQ(detail.samplerStates[0].value, 2u);
    EXPECT_EQ(detail.samplerStates[2].value, 1u);
    EXPECT_EQ(detail.samplerStates[5].value, 0xBF000000u);
    EXPECT_EQ(detail.samplerStates[6].value, 0xFF000000u);
    const fx::ParameterInfo& env = r.parameters[static_cast<std::size_t>(r.FindParameter("EnvSampler"))];
    EXPECT_EQ(env.samplerStates.back().value, 0xFF000000u);  // float4(0,0,0,1) as a colour
    const fx::TechniqueInfo& t = r.techniques[static_cast<std::size_t>(r.FindTechnique("RenderCutoutWithWire"))];
    ASSERT_EQ(t.passes.size(), 2u);
    // AlphaTestEnable TRUE, AlphaRef 128, AlphaFunc GREATEREQUAL.
    const std::vector<std::pair<unsigned, unsigned>> solid = {{15, 1}, {24, 128}, {25, 7}};
    ASSERT_EQ(t.passes[0].renderStates.size(), solid.size());
    for (std::size_t i = 0; i < solid.size(); ++i) {
        EXPECT_EQ(t.passes[0].renderStates[i].state, solid[i].first);
        EXPECT_EQ(t.passes[0].renderStates[i].value, solid[i].second);
    }
    const fx::TechniqueInfo& terrain = r.techniques[0];
    ASSERT_EQ(terrain.annotations.size(), 2u);
    EXPECT_EQ(terrain.annotations[1].numbers, std::vector<float>{1});
}

TEST(FxReflection, InitialValuesFollowHlslConversions) {
    const struct {
        const char* decl;
        std::vector<float> value;
    } rows[] = {
        {"float4 x = 2;", {2, 2, 2, 2}},
        {"float3 x = {1, 2, 3};", {1, 2, 3}},
        {"int2 x = float2(1.9, -1.9);", {1, -1}},
        {"bool2 x = {0, 3};", {0, 1}},
        {"float2x2 x = {1, 2, 3, 4};", {1, 2, 3, 4}},
        {"float2x2 x = float2x2(float2(1, 2), float2(3, 4));", {1, 2, 3, 4}},
        {"float x[3] = {1, 2, 3};", {1, 2, 3}},
        {"float2 x[2] = {float2(1, 2), 3, 4};", {1, 2, 3, 4}},
        {"float x = -(1 + 2) * 2 / 4.0;", {-1.5f}},
        {"float2 x = normalize(float2(3, 4));", {0.6f, 0.8f}},
        {"float4 x = float4(1, 2, 3, 4).wzyx;", {4, 3, 2, 1}},
        {"static const float k = 2; float x = k * 3;", {6}},
        {"float x = 0x10 + 1e1f + .5h;", {26.5f}},
        {"int x = 2147483647 + 1;", {-2147483648.0f}},
        {"uint x = 0u - 1u;", {4294967295.0f}},
        {"int x = 65536 * 65536 + (int)4294967297.0;", {1}},
        {"bool2 x = float2(1, 3) > 2;", {0, 1}},
        // ?: folds as the array sizes and state values fold it, per component for a vector test
        {"static const int n = 3; float2 x = n > 2 ? float2(max(n, 5), 1) : 0;", {5, 1}},
        {"float2 x = bool2(true, false) ? 1 : float2(5, 6);", {1, 6}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.decl);
        const std::vector<float> v = InitialValue(r.decl);
        ASSERT_EQ(v.size(), r.value.size());
        for (std::size_t i = 0; i < v.size(); ++i) EXPECT_FLOAT_EQ(v[i], r.value[i]);
    }
}

// --- the corpus and the GLSL ---------------------------------------------------------------------

TEST(FxCorpus, EveryEffectCompilesWithOnlyTheExpectedWarnings) {
    std::vector<std::string> files = FilesIn(FX_CORPUS_DIR, ".fx");
    files.push_back(FX_ASSETS_EFFECT);
    ASSERT_GE(files.size(), 6u);
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        const fx::CompileResult r = fx::Compile(ReadFile(f));
        EXPECT_TRUE(r.ok) << r.Messages();
        for (const auto& d : r.diagnostics)
            EXPECT_TRUE(d.id == fx::Diag::UnmatchedSemantic || d.id == fx::Diag::IgnoredState ||
                        d.id == fx::Diag::LostState) << d.message;
        for (const auto& t : r.techniques)
            for (const auto& p : t.passes) {
                EXPECT_EQ(p.vertexGlsl.rfind("#version 330 core\n", 0), 0u);
                EXPECT_EQ(p.fragmentGlsl.rfind("#version 330 core\n", 0), 0u);
            }
    }
}

TEST(FxCorpus, FailingEffectsGiveExactlyTheExpectedMessages) {
    const std::vector<std::string> files = FilesIn(std::string(FX_CORPUS_DIR) + "/bad", ".fx");
    ASSERT_GE(files.size(), 4u);
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        const fx::CompileResult r = fx::Compile(ReadFile(f));
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.Messages(), ReadFile(f.substr(0, f.size() - 3) + ".expected"));
    }
}

TEST(FxGlsl, ClipSpaceAndMatrixConventionsAreInTheOutput) {
    const fx::CompileResult r = fx::Compile(
        "float4x4 M; float3x3 N;\n"
        "float4 VS(float4 p : POSITION) : POSITION { return mul(p, M) + float4(mul(N, p.xyz), 0); }\n"
        "float4 PS() : COLOR { return 1; }\n"
        "technique T { pass P { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }");
    ASSERT_TRUE(r.ok) << r.Messages();
    const std::string& vs = r.techniques[0].passes[0].vertexGlsl;
    EXPECT_NE(vs.find("(hM * hp)"), std::string::npos) << vs;          // mul(v, M)
    EXPECT_NE(vs.find("(hp.xyz * hN)"), std::string::npos) << vs;      // mul(M, v)
    EXPECT_NE(vs.find("gl_Position = vec4(fx_position.x, -fx_position.y, 2.0 * fx_position.z - fx_position.w"),
              std::string::npos) << vs;
}

TEST(FxGlsl, SemanticLocationsMatchTheGraphicsLayer) {
    const struct {
        const char* semantic;
        int location;
    } rows[] = {{"POSITION", 0}, {"position0", 0}, {"NORMAL", 1}, {"COLOR", 2}, {"COLOR0", 2},
                {"TEXCOORD", 3}, {"TEXCOORD0", 3}, {"COLOR1", 4}, {"TEXCOORD1", 5},
                {"TEXCOORD7", 11}, {"TEXCOORD8", -1}, {"TANGENT", 14}, {"BINORMAL0", 15},
                {"SV_Position", 0}, {"SV_Position0", 0}, {"SV_Target1", 4}, {"VPOS", -1}, {"", -1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.semantic);
        EXPECT_EQ(fx::SemanticLocation(r.semantic), r.location);
    }
}

// --- the language ------------------------------------------------------------------------------

// Compiles "body" inside a pixel shader of a complete effect; returns the first error's id name,
// or "ok" (warnings allowed), or "ok+warning" when a warning other than the pass's own came.
std::string Judge(const std::string& globals, const std::string& body) {
    const fx::CompileResult r = fx::Compile(globals + "\nfloat4 PS() : COLOR\n{\n" + body +
                                            "\n    return 0;\n}\n"
                                            "technique T { pass P { PixelShader = compile ps_3_0 PS(); } }\n");
    if (const fx::Diagnostic* d = FirstError(r)) return fx::DiagName(d->id);
    return r.diagnostics.empty() ? "ok" : "ok+" + std::string(fx::DiagName(r.diagnostics[0].id));
}

TEST(FxLanguage, ImplicitConversionsFollowHlsl) {
    const struct {
        const char* globals;
        const char* body;
        const char* verdict;
    } rows[] = {
        {"", "float4 a = 1;", "ok"},                                   // scalar promotion
        {"", "float3 a = float4(1, 2, 3, 4);", "ok+ImplicitTruncation"},
        {"", "float a = float2(1, 2);", "ok+ImplicitTruncation"},
        {"", "float4 a = float3(1, 2, 3);", "TypeMismatch"},            // no widening
        {"", "float3 a = (float3)float4(1, 2, 3, 4);", "ok"},           // explicit: no warning
        {"", "int a = 2.5; bool b = 3; float c = true;", "ok"},         // base mixing
        {"", "int3 a = float3(1, 2, 3) + int3(1, 1, 1);", "ok"},
        {"", "float2x2 m = float3x3(1, 0, 0, 0, 1, 0, 0, 0, 1);", "ok+ImplicitTruncation"},
        {"", "float3x3 m = float2x2(1, 0, 0, 1);", "TypeMismatch"},
        {"", "float4x4 m; float3 v = mul(float3(1, 2, 3), (float3x3)m);", "ok"},
        {"", "float4x4 m; float4 v = mul(float3(1, 2, 3), m);", "ok+ImplicitTruncation"},  // m's rows 0-2
        {"", "float4x4 m; float4 v = mul(m, float3(1, 2, 3));", "ok+ImplicitTruncation"},  // m's columns 0-2
        {"", "float3x4 m; float4 v = mul(float4(1, 2, 3, 4), m);", "ok+ImplicitTruncation"},
        {"", "float2x4 a; float3x3 b; float2x3 c = mul(a, b);", "ok+ImplicitTruncation"},
        {"", "float a = dot(float4(1, 2, 3, 4), float3(1, 2, 3));", "ok+ImplicitTruncation"},
        {"", "float4 a = float4(1, 2, 3, 4).xyzw.wzyx.rgba;", "ok"},
        {"", "float4 a = float4(1, 2, 3, 4).xyrg;", "BadSwizzle"},    // mixed sets
        {"", "float4 a = 1; a.xx = float2(1, 2);", "NotAssignable"},   // repeated component
        {"", "const float c = 1; c = 2;", "NotAssignable"},
        {"", "float a = 1 & 2.0;", "BadOperands"},
        {"", "float4 a = float4(1, 2, 3, 4) < 2 ? 1 : 0;", "ok"},
        {"", "float a = float2(1, 2) ? 1 : 0;", "ok+ImplicitTruncation"},  // a per-component select
        {"", "float2 a = float3(1, 0, 1) ? float2(1, 2) : 0;", "TypeMismatch"},
        {"struct S { float a; };", "S s; float b = s + 1;", "BadOperands"},
        {"struct S { float a; };", "S s = (S)0; s.a = 2;", "ok"},
        {"struct S { float a; };", "float x = 1; S s = (S)x;", "ok"},  // every member x
        {"struct S { float a; };", "float x = 1; S s = (S)(x++);", "UnsupportedFeature"},
        {"struct S { float a; };", "float2 v = 1; S s = (S)v; float3 w = (float3)s;", "TypeMismatch"},  // s has one scalar
        {"", "float a[2] = {0, 1}; int i = 0; a[i++] += 1;", "UnsupportedFeature"},
        {"", "float2x2 m = 1; m = m % m;", "ok"},  // per element
        {"float f(float x) { return x; }", "float a = f(float2(1, 2));", "ok+ImplicitTruncation"},
        {"void f(out float x) { x = 1; }", "int a; f(a);", "ok"},  // converted on the way back
        {"void f(out float2 x) { x = 1; }", "int a; f(a);", "UnknownFunction"},  // not as many components
        {"void f(out float x) { x = 1; }", "f(1.0);", "NotAssignable"},
        {"texture t; sampler s = sampler_state { Texture = <t>; };", "float4 c = tex2D(s, 0.5);", "ok"},
        {"texture t; sampler3D s = sampler_state { Texture = <t>; };", "float4 c = tex2D(s, 0.5);", "TypeMismatch"},
        {"", "float a = undefined_function(1);", "UnknownFunction"},
        {"", "float a = dot(1, 2, 3);", "UnknownFunction"},
        {"", "float a[2] = {1, 2, 3};", "BadInitializer"},
        {"", "float a; float a;", "Redefinition"},
        {"", "float a = 1; { float a = 2; }", "ok"},  // shadowing in an inner block
        {"", "for (int i = 0; i < 3; i++) { } i = 2;", "ok"},  // the loop's variable outlives it
        {"", "for (int i = 0; i < 3; i++) { } for (int i = 0; i < 2; i++) { }", "ok+LoopVariableRedeclared"},
        {"", "for (int i = 0; i < 3; i++) { } int i = 2;", "Redefinition"},
        {"", "if (true) for (int i = 0; i < 3; i++) { } i = 2;", "UndeclaredName"},
        {"sampler s;", "float4 c = tex2D(s, 0.5) + texCUBE(s, 0.5);", "SamplerKindConflict"},
        {"sampler s;", "float4 c = tex1D(s, 0.5) + tex2Dlod(s, 0.5);", "ok"},
        {"float4 f(sampler t) { return texCUBE(t, 1); } samplerCUBE c; sampler2D d;", "float4 a = f(c);", "ok"},
        {"float4 f(sampler t) { return texCUBE(t, 1); } samplerCUBE c; sampler2D d;", "float4 a = f(d);", "TypeMismatch"},
        {"", "void v;", "VoidVariable"},
        // Sizes are constant expressions of literals and earlier constants.
        {"static const int N = 2;\n#define M (N + 1)\n", "float a[N * M - 1]; float b[] = {1, 2}; float4 c[] = {1, 2, 3, 4, 5, 6, 7, 8}; float d = a[4] + b[1] + c[1].w;", "ok"},
        {"const int N = 3;", "float a[N / 2 * 2] = {1, 2}; float b[(N > 2) ? 4 : 1]; b[3] = a[1];", "ok"},
        {"static const int N = 3;", "float a[max(N, 5) - min(N, 1)]; float b[clamp(9, 0, 2)]; float c = a[3] + b[1];", "ok"},
        {"", "float a[max(1, 2)]; float c = a[2];", "IndexOutOfRange"},  // max(1, 2) sizes it 2
        // The walker of every constant: components, elements and whole-vector folds size arrays too.
        {"static const int2 v = int2(2, 3); static const int n[2] = {4, 5};", "float a[v.y]; float b[n[1] - v.x]; float c = a[2] + b[2];", "ok"},
        {"static const int2 v = int2(2, 3);", "float a[v.y]; float c = a[3];", "IndexOutOfRange"},
        {"", "float a[dot(int2(1, 2), int2(3, 1))]; float c = a[5];", "IndexOutOfRange"},  // sized 5
        {"static const int N = 3.7;", "float a[N]; float c = a[3];", "IndexOutOfRange"},  // N holds 3
        {"int N = 3;", "float a[N];", "BadArraySize"},  // a parameter is not a constant
        {"", "float a[2 - 2];", "BadArraySize"},
        {"", "float a[];", "BadArraySize"},
        // noise() belongs to texture-fill functions: refused only where a shader reaches it.
        {"float4 Fill(float3 p : POSITION) : COLOR { return noise(p); }", "float4 c = 1;", "ok"},
        {"float Helper(float3 p) { return noise(p); }", "float a = Helper(1);", "TextureFillOnly"},
        {"", "half4 h = half4(1.5h, 2, 3, 4); half2x3 m = (half2x3)0; half s = (half)m._m12 + h.w;", "ok"},
        {"", "sampler s;", "UnsupportedFeature"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.globals) + " | " + r.body);
        EXPECT_EQ(Judge(r.globals, r.body), r.verdict);
    }
}

TEST(FxLanguage, SyntaxOfTheEraIsAccepted) {
    const char* sources[] = {
        // vector<> and matrix<> templates, casts of matrices, attributes on loops and branches
        "static vector<float, 3> a = 1; matrix<float, 2, 3> m; float4 PS() : COLOR { [unroll] for (int i = 0; i < 2; i++) { [branch] if (a.x > 0) a.x -= 1; } return float4(a, (float)m._m12); }",
        // prototypes, void parameter lists, registers and packoffsets, inline
        "float f(float x); inline float g(void) { return f(2); } float f(float x) { return x; } float4 k : register(c4); float4 PS() : COLOR { return g() * k; }",
        // samplers declared without '= sampler_state', state names in any case, unnamed pass
        "texture t; sampler s { texture = <t>; minfilter = linear; ADDRESSU = clamp; }; float4 PS(float2 uv : TEXCOORD0) : COLOR { return tex2D(s, uv); }",
        // annotations of every kind, including on techniques and passes
        "float4 c < string UIName = \"Colour\"; float2 Range = {0, 1}; bool Hidden = false; int N = -3; > = {1, 0, 0, 1}; float4 PS() : COLOR { return c; }",
        // arrays as annotations, sized or not, of nested brace lists (a vertex layout for the host)
        "float4 c < int Decl[] = { {0, 2, 0, 0}, {0, 1, 5, 0}, }; float W[2] = {1, 2}; > ; float4 PS() : COLOR { return c; }\n"
        "technique T < int Decl[] = { {0, 2, 0, 0} }; > { pass P < float K[1] = {3}; > { PixelShader = compile ps_2_0 PS(); } }",
        // several declarators, semantics on struct members and parameters, half and double
        "half a = 1.0h, b = 2; double d = 3.0L; struct V { float4 p : POSITION; half2 t : TEXCOORD0; }; float4 PS(V v) : COLOR { return a + b + d + v.t.x; }",
        // comments of both kinds, line splices in macros, string concatenation
        "/* block */ // line\n#define LONG(x) \\\n    ((x) + 1)\nfloat4 PS() : COLOR { return LONG(1); } // end",
        // a column-major float4x3 takes three registers, so c3 is free
        "float4x3 m : register(c0); float4 b : register(c3); row_major float3x4 r : register(c4); float4 c : register(c7); "
        "float4 PS() : COLOR { return b + c + m[0].xyzz + r[0]; }",
        // one register named by several samplers of a shared include: only what a shader reads counts
        "sampler a : register(s0); sampler b : register(s0); float4 PS(float2 uv : TEXCOORD0) : COLOR { return tex2D(b, uv); }",
        // a bare state value names the state's own value even where a parameter has that name;
        // lists set vector states and shader constants; constant registers above 15
        "float4 Texture; float4 PS() : COLOR { return 0; }\ntechnique { pass { ColorArg1[0] = Texture; AlphaArg2[0] = TFactor; "
        "MaterialAmbient = {1.0, 0.5, 0, 1}; LightDiffuse[0] = {1, 1, 1, 1}; PixelShaderConstant[16] = {1, 2, 3, 4}; "
        "PixelShader = compile ps_2_0 PS(); } }",
        // the type spellings the keyword table marks case-insensitive
        "Matrix m; Vector v; String n = \"x\"; Vector<float, 3> w; float4 PS() : COLOR { return mul(v, m) + w.x; }",
        // a struct returned with a semantic of its own: members without one take it
        "struct O { float4 c; }; O PS(float2 uv : TEXCOORD0) : COLOR { O o; o.c = uv.xyxy; return o; }",
        // every vertex input semantic; the outputs of model 2 vertex shaders and inputs of
        // model 2 pixel shaders; a struct shared by both stages whose POSITION and NORMAL the
        // pixel shader never reads
        "struct VI { float4 p : POSITION; float3 n : NORMAL; float4 c : COLOR0; float4 c1 : COLOR1; float2 t : TEXCOORD0;"
        " float4 bw : BLENDWEIGHT; float4 bi : BLENDINDICES; float3 tg : TANGENT; float3 bn : BINORMAL; float ps : PSIZE;"
        " float2 t7 : TEXCOORD7; float4 pt : POSITIONT; float tf : TESSFACTOR; float d : DEPTH; };\n"
        "struct VO { float4 p : POSITION; float3 n : NORMAL; float4 c : COLOR0; float4 c1 : COLOR1; float2 t : TEXCOORD0; float f : FOG; float4 t7 : TEXCOORD7; };\n"
        "void V(VI i, out VO o, out float ps : PSIZE) { o.p = i.p + i.bw + i.bi + i.pt + i.tf + i.d; o.n = 0; o.c = i.c; o.c1 = i.c1; o.t = i.t + i.t7;"
        " o.f = i.ps; o.t7 = i.n.xyzz + i.tg.xyzz + i.bn.xyzz; ps = 1; }\n"
        "float4 PS(VO i) : COLOR { return i.c + i.c1 + i.t.x + i.t7; }\n"
        "technique { pass { VertexShader = compile vs_3_0 V(); PixelShader = compile ps_2_0 PS(); } }",
        // model 3: any semantic leaves the vertex shader and reaches the pixel shader; VPOS, VFACE
        "struct VO { float4 p : POSITION; float3 n : NORMAL2; float4 tg : TANGENT; float4 b : BLENDWEIGHT1; float4 t9 : TEXCOORD9; };\n"
        "VO V(float4 p : POSITION) { VO o; o.p = p; o.n = 0; o.tg = 0; o.b = 0; o.t9 = 0; return o; }\n"
        "float4 PS(float3 n : NORMAL2, float4 t9 : TEXCOORD9, float4 b : BLENDWEIGHT1, float2 vp : VPOS, float face : VFACE) : COLOR"
        " { return n.xyzz + t9 + b + vp.x * face; }\n"
        "technique { pass { VertexShader = compile vs_3_0 V(); PixelShader = compile ps_3_0 PS(); } }",
        // model 3's 12 vertex output and 10 pixel input registers all used, VPOS and VFACE beside them
        "struct VO { float4 p : POSITION; float4 t[11] : TEXCOORD0; }; VO V(float4 p : POSITION) { VO o = (VO)0; o.p = p; return o; }\n"
        "float4 PS(float4 t[10] : TEXCOORD0, float2 vp : VPOS, float f : VFACE) : COLOR { return t[9] * f + vp.x; }\n"
        "technique { pass { VertexShader = compile vs_3_0 V(); PixelShader = compile ps_3_0 PS(); } }",
        // entry points: uniform parameters bound by compile or left at their default, parameters
        // without a semantic bound by compile, void with out parameters, every pixel output, an
        // input sampled at the centroid
        "float4 A(float4 c : COLOR0, uniform float4 tint, uniform float k = 0.5) : COLOR { return tint * k * c; }\n"
        "float4 B(float4 tint, float2 uv : TEXCOORD0) : COLOR0 { return tint * uv.x; }\n"
        "void C(in float2 uv : TEXCOORD0_centroid, out float4 a : COLOR0, out float4 b : COLOR1, out float4 c : COLOR2, out float4 d : COLOR3,"
        " out float z : DEPTH) { a = b = c = d = uv.xyxy; z = 0.5; }\n"
        "technique { pass { PixelShader = compile ps_2_0 A(float4(1, 0, 0, 1)); } pass { PixelShader = compile ps_2_0 B(1); }"
        " pass { PixelShader = compile ps_2_0 C(); } }",
        // an untyped sampler's kind belongs to each program that reads it
        "sampler s; float4 A(float2 uv : TEXCOORD0) : COLOR { return tex2D(s, uv); }\n"
        "float4 B(float3 d : TEXCOORD0) : COLOR { return texCUBE(s, d); }\n"
        "technique a { pass { PixelShader = compile ps_2_0 A(); } } technique b { pass { PixelShader = compile ps_2_0 B(); } }",
    };
    for (const char* src : sources) {
        SCOPED_TRACE(src);
        std::string effect = src;
        if (effect.find("technique") == std::string::npos)
            effect += "\ntechnique < string Name = \"x\"; > { pass < int Order = 1; > { PixelShader = compile ps_2_0 PS(); } }";
        const fx::CompileResult r = fx::Compile(effect);
        EXPECT_TRUE(r.ok) << r.Messages();
    }
}

// Every word of the keyword and reserved-word tables, and every spelling of a numeric type,
// is refused as a name; the effect types of the era ("texture", "sampler", "string") and the
// words the tables do not hold stay usable.
TEST(FxLanguage, KeywordsAndReservedWordsAreNotNames) {
    static constexpr const char* kWords[] = {
        "AppendStructuredBuffer", "asm", "asm_fragment", "auto", "BlendState", "bool", "break", "Buffer",
        "ByteAddressBuffer", "case", "catch", "cbuffer", "centroid", "char", "class", "column_major",
        "compile", "compile_fragment", "CompileShader", "const", "const_cast", "continue", "ComputeShader",
        "ConsumeStructuredBuffer", "decl", "default", "delete", "DepthStencilState", "DepthStencilView",
        "discard", "do", "double", "DomainShader", "dword", "dynamic_cast", "else", "enum", "explicit",
        "export", "extern", "false", "float", "for", "friend", "fxgroup", "GeometryShader", "goto",
        "groupshared", "half", "Hullshader", "if", "in", "inline", "inout", "InputPatch", "int", "interface",
        "line", "lineadj", "linear", "LineStream", "long", "matrix", "min16float", "min10float", "min16int",
        "min12int", "min16uint", "mutable", "namespace", "new", "nointerpolation", "noperspective", "NULL",
        "operator", "out", "OutputPatch", "packoffset", "pass", "pixelfragment", "PixelShader", "pixelshader",
        "point", "PointStream", "precise", "private", "protected", "public", "RasterizerState",
        "reinterpret_cast", "RenderTargetView", "return", "register", "row_major", "RWBuffer",
        "RWByteAddressBuffer", "RWStructuredBuffer", "RWTexture1D", "RWTexture2DArray", "RWTexture3D",
        "sampler1D", "sampler2D", "sampler3D", "samplerCUBE", "sampler_state", "SamplerState",
        "SamplerComparisonState", "shared", "short", "signed", "sizeof", "snorm", "stateblock",
        "stateblock_state", "static", "static_cast", "struct", "switch", "StructuredBuffer", "tbuffer",
        "technique", "technique10", "technique11", "template", "Texture1D", "Texture2DArray", "Texture2DMS",
        "Texture3D", "TextureCube", "this", "throw", "triangle", "triangleadj", "TriangleStream", "true",
        "try", "typedef", "typename", "uint", "uniform", "union", "unorm", "unsigned", "using", "vector",
        "vertexfragment", "VertexShader", "vertexshader", "virtual", "void", "volatile", "while",
        "float2", "int3x4", "half4", "bool1", "double2x2", "uint4", "min16float3",
    };
    for (const char* w : kWords) {
        const std::string src = std::string("float4 PS() : COLOR {\n  float ") + w + " = 1;\n  return 0; }\n"
                                "technique { pass { PixelShader = compile ps_2_0 PS(); } }";
        const fx::CompileResult r = fx::Compile(src);
        EXPECT_FALSE(r.ok) << w;
        if (!r.ok) {
            EXPECT_EQ(r.diagnostics[0].line, 2) << w << "\n" << r.Messages();
        }
    }
    for (const char* w : {"texture", "sampler", "string", "Line", "Point", "sample"}) {
        const std::string src = std::string("float4 PS() : COLOR { float ") + w + " = 1; return " + w + "; }\n"
                                "technique { pass { PixelShader = compile ps_2_0 PS(); } }";
        EXPECT_TRUE(fx::Compile(src).ok) << w;
    }
}

// [branch] over a gradient: refused where the model branches, flattened (with a warning) where
// it has no dynamic branching to give.
TEST(FxLanguage, BranchOverAGradientByModel) {
    const struct {
        const char* profile;
        const char* verdict;
    } rows[] = {{"ps_2_0", "ok+BranchFlattened"}, {"ps_2_b", "ok+BranchFlattened"},
                {"ps_2_a", "GradientInVaryingFlow"}, {"ps_3_0", "GradientInVaryingFlow"}};
    for (const auto& row : rows) {
        const fx::CompileResult r = fx::Compile(
            "sampler2D s;\nfloat4 PS(float2 uv : TEXCOORD0) : COLOR {\n  float4 c = 0;\n  [branch] if (uv.x > 0.5)\n"
            "    c = tex2D(s, uv);\n  return c;\n}\ntechnique T { pass P { PixelShader = compile " +
            std::string(row.profile) + " PS(); } }\n");
        const fx::Diagnostic* d = FirstError(r);
        const std::string verdict = d ? fx::DiagName(d->id)
                                      : r.diagnostics.empty() ? "ok" : "ok+" + std::string(fx::DiagName(r.diagnostics[0].id));
        EXPECT_EQ(verdict, row.verdict) << row.profile;
        if (r.ok) {
            EXPECT_EQ(r.diagnostics[0].line, 4) << row.profile;
            EXPECT_NE(r.techniques[0].passes[0].fragmentGlsl.find("bool fx_f0 = "), std::string::npos) << row.profile;
        }
    }
}

TEST(FxLanguage, NumbersAndLiterals) {
    const struct {
        const char* decl;
        float value;
    } rows[] = {
        {"float x = 1.;", 1}, {"float x = .5e1;", 5}, {"float x = 2.5e-1f;", 0.25f},
        {"float x = 0x1F;", 31}, {"float x = 10u;", 10}, {"float x = 1.5h;", 1.5f},
        {"float x = 3L;", 3}, {"int x = 0xFFFFFFFF;", -1}, {"float x = 1e40;", 1e40f},
        {"float x = 017;", 15}, {"float x = 0x10u;", 16},
        {"float x = (1.0f, 2.0f, 3.0f);", 3},  // the comma operator: its last value
        // #if, array sizes and values read literals alike
        {"\n#if 0x10u == 16 && 017 == 15\nfloat x[0x1u] = {1};\n#endif\nfloat y = 0;", 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.decl);
        const std::vector<float> v = InitialValue(r.decl);
        ASSERT_EQ(v.size(), 1u);
        EXPECT_FLOAT_EQ(v[0], r.value);
    }
    EXPECT_EQ(FirstError(fx::Compile("float x = 1x;"))->id, fx::Diag::BadNumber);
    EXPECT_EQ(FirstError(fx::Compile("string s = \"open;\n"))->id, fx::Diag::UnterminatedString);
}

TEST(FxGlsl, PassesWithoutAStageGetAGeneratedOne) {
    // No vertex shader: positions are already clip space and the pixel inputs come from the
    // attributes of the same semantics.
    const fx::CompileResult ps = fx::Compile(
        "float4 PS(float2 uv : TEXCOORD0, float4 c : COLOR0) : COLOR { return c * uv.x; }\n"
        "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }");
    ASSERT_TRUE(ps.ok) << ps.Messages();
    const fx::PassInfo& p = ps.techniques[0].passes[0];
    ASSERT_EQ(p.inputs.size(), 3u);
    EXPECT_EQ(p.inputs[0].semantic, "POSITION0");
    EXPECT_EQ(p.inputs[1].semantic, "TEXCOORD0");
    EXPECT_EQ(p.inputs[2].semantic, "COLOR0");
    EXPECT_TRUE(p.vertexProfile.empty());
    // No pixel shader: the vertex colour, times the texture on unit 0 when there is one.
    const fx::CompileResult vs = fx::Compile(
        "float4 VS(float4 p : POSITION, inout float4 c : COLOR0) : POSITION { c *= 2; return p; }\n"
        "technique T { pass P { VertexShader = compile vs_1_1 VS(); } }");
    ASSERT_TRUE(vs.ok) << vs.Messages();
    EXPECT_NE(vs.techniques[0].passes[0].fragmentGlsl.find("fx_diffuse = fx_v_COLOR0"), std::string::npos);
}

// Every row of the intrinsic table is in enum order, found by its name, and consistent: its
// argument counts, the arguments it writes, a GLSL spelling for every row the emitter spells
// from the table, and $n placeholders only for arguments that exist.
TEST(FxIntrinsics, EveryRowOfTheTableIsInOrderAndConsistent) {
    for (int i = 0; i < fx::kIntrinsicCount; ++i) {
        const fx::IntrinsicRow& row = fx::IntrinsicRowOf(i);
        SCOPED_TRACE(row.name);
        EXPECT_EQ(static_cast<int>(row.id), i);
        EXPECT_EQ(fx::IntrinsicNamed(row.name), i);
        EXPECT_LE(1, row.minArgs);
        EXPECT_LE(row.minArgs, row.maxArgs);
        EXPECT_EQ(row.outArgs >> row.maxArgs, 0u);
        if (row.shape != fx::IntrinsicShape::Special) {
            ASSERT_NE(row.glsl, nullptr);
            EXPECT_EQ(row.outArgs, 0u);
        }
        if (row.glsl)
            for (const char* p = row.glsl; *p; ++p)
                if (*p == '$' && p[1] != 'T') EXPECT_LT(p[1] - '0', row.minArgs);
    }
    EXPECT_EQ(fx::IntrinsicNamed("notanintrinsic"), -1);
}

TEST(FxGlsl, SourceNamesNeverCollideWithGlsl) {
    // Names that are GLSL keywords or built-ins are fine in HLSL.
    const fx::CompileResult r = fx::Compile(
        "float texture = 1; float sample = 2; float input = 3; float output = 4; float half2x = 5;\n"
        "float alf = 6;\n"
        "float4 mix(float4 a) { return a; }\n"
        "float4 main() : COLOR { float fx_tmp = texture + sample + input + output + half2x + alf; return mix(fx_tmp); }\n"
        "technique T { pass P { PixelShader = compile ps_2_0 main(); } }");
    ASSERT_TRUE(r.ok) << r.Messages();
    const std::string& fs = r.techniques[0].passes[0].fragmentGlsl;
    EXPECT_NE(fs.find("uniform float htexture;"), std::string::npos);
    EXPECT_NE(fs.find("uniform float half_;"), std::string::npos);  // "h" + "alf" is reserved
    EXPECT_NE(fs.find("vec4 hmix(vec4 ha)"), std::string::npos);
    // The uniform the effect object sets is the one the shader declares.
    EXPECT_EQ(r.parameters[static_cast<std::size_t>(r.FindParameter("alf"))].glslName, "half_");
}

TEST(FxGlsl, UntypedSamplersAreDeclaredWithTheKindTheirLookupsNeed) {
    const fx::CompileResult r = fx::Compile(
        "sampler a; sampler b; sampler c; sampler unused;\n"
        "float4 Cube(sampler s, float3 d) { return texCUBE(s, d); }\n"
        "float4 main(float3 t : TEXCOORD0) : COLOR { return tex2D(a, t.xy) + Cube(b, t) + tex3Dlod(c, t.xyzz); }\n"
        "technique T { pass P { PixelShader = compile ps_3_0 main(); } }");
    ASSERT_TRUE(r.ok) << r.Messages();
    const std::string& fs = r.techniques[0].passes[0].fragmentGlsl;
    EXPECT_NE(fs.find("uniform sampler2D ha;"), std::string::npos) << fs;
    EXPECT_NE(fs.find("uniform samplerCube hb;"), std::string::npos) << fs;
    EXPECT_NE(fs.find("uniform sampler3D hc;"), std::string::npos) << fs;
    for (const char* name : {"a", "b", "c", "unused"}) {  // reflection keeps the declared type
        const fx::ParameterInfo& p = r.parameters[static_cast<std::size_t>(r.FindParameter(name))];
        EXPECT_EQ(p.type, fx::ParamType::Sampler) << name;
        EXPECT_EQ(p.typeName, "sampler") << name;
    }
}

// --- hostile input -------------------------------------------------------------------------------

TEST(FxHostileInput, DeepNestingLongInputAndOddBytesFailCleanly) {
    const std::vector<std::string> inputs = {
        std::string(100000, '('),
        "float x = " + std::string(5000, '-') + "1;",
        "float4 f() : COLOR {" + std::string(3000, '{') + std::string(3000, '}') + " return 1; }",
        "float x = 1" + std::string(20000, '+') + ";",
        std::string("float\0x = 1;", 12),
        "\xff\xfe\x01\x02 technique",
        "#define A(x) A(x) A(x)\nfloat y = A(A(A(A(A(A(1))))));",
        "#if (((((((((((((((((((((((((((((((((((((((((((((((((((((1\n#endif",
        "technique {",
        "sampler s = sampler_state { Texture = <",
        "float4 f(float4 p : POSITION) : POSITION { return p; } technique T { pass { VertexShader = compile vs_3_0 f(f(f(1))); } }",
        // Arrays of structs of arrays: 64^6 float4 values, refused at the struct that grows too large.
        "struct S0 { float4 a[64]; }; struct S1 { S0 m[64]; }; struct S2 { S1 m[64]; }; struct S3 { S2 m[64]; };\n"
        "struct S4 { S3 m[64]; }; struct S5 { S4 m[64]; };\n"
        "float4 PS() : COLOR { S5 x = (S5)0; return x.m[0].m[0].m[0].m[0].m[0].a[0]; }",
        "float4 big[65536][65536];",
        "float a[2147483648];",
        "#if " + std::string(100000, '(') + "1" + std::string(100000, ')') + "\n#endif",
        "static const int k = " + std::string(100000, '(') + "1" + std::string(100000, ')') + ";",
        "technique T { pass P { ZEnable = " + std::string(100000, '(') + "1" + std::string(100000, ')') + "; } }",
    };
    for (const std::string& in : inputs) {
        SCOPED_TRACE(in.substr(0, 60));
        const fx::CompileResult r = fx::Compile(in);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.diagnostics.empty());
    }
}

TEST(FxHostileInput, RepeatedSubexpressionsDoNotExplode) {
    // Each of these doubles (or more) its work per level if a value is evaluated or emitted
    // more than once; 60 levels would never finish.
    std::string chain = "float g0 = 1;\n";
    for (int i = 1; i <= 60; ++i)
        chain += "float g" + std::to_string(i) + " = g" + std::to_string(i - 1) + " + g" + std::to_string(i - 1) + ";\n";
    const fx::CompileResult globals = fx::Compile(WithPass(chain + "float4 PS() : COLOR { return g60; }"));
    ASSERT_TRUE(globals.ok) << globals.Messages();
    EXPECT_FLOAT_EQ(globals.parameters.back().initialValue[0], std::ldexp(1.0f, 60));

    std::string swizzles = "float4x4 M;\nfloat4 PS() : COLOR { float4x4 m = M; ";
    std::string e = "m";
    for (int i = 0; i < 30; ++i) e = "float4x4(" + e + "._m00_m11_m22_m33, 0,0,0,0, 0,0,0,0, 0,0,0,0)";
    swizzles += "return " + e + "[0]; }";
    const fx::CompileResult sw = fx::Compile(WithPass(swizzles));
    ASSERT_TRUE(sw.ok) << sw.Messages();
    EXPECT_LT(sw.techniques[0].passes[0].fragmentGlsl.size(), 20000u);

    std::string lods = "texture t; sampler s = sampler_state { Texture = <t>; };\nfloat4 PS() : COLOR { return ";
    e = "float4(0, 0, 0, 0)";
    for (int i = 0; i < 30; ++i) e = "tex2Dlod(s, " + e + ")";
    const fx::CompileResult lod = fx::Compile(WithPass(lods + e + "; }"));
    ASSERT_TRUE(lod.ok) << lod.Messages();
    EXPECT_LT(lod.techniques[0].passes[0].fragmentGlsl.size(), 20000u);
}

TEST(FxHostileInput, FuzzerFindingsStayFixed) {
    const std::vector<std::string> files = FilesIn(FX_REGRESSIONS_DIR, "");
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        const fx::CompileResult r = fx::Compile(ReadFile(f));
        EXPECT_TRUE(r.ok || !r.diagnostics.empty());
        for (const auto& d : r.diagnostics) EXPECT_NE(d.id, fx::Diag::InternalError) << d.message;
    }
}

TEST(FxReflection, StateValuesMayCarryTheirDirect3DPrefix) {
    const struct {
        const char* value;
        bool ok;
        unsigned code;
    } rows[] = {{"GREATER", true, 5}, {"D3DCMP_GREATER", true, 5}, {"greater", true, 5},
                {"D3DCMP_GREATER_X", false, 0}, {"A_B_C", false, 0}, {"_", false, 0}, {"6", true, 6}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.value);
        const fx::CompileResult c = fx::Compile(std::string("float4 PS() : COLOR { return 1; }\n"
                                                            "technique T { pass P { AlphaFunc = ") +
                                                r.value + "; PixelShader = compile ps_2_0 PS(); } }");
        EXPECT_EQ(c.ok, r.ok) << c.Messages();
        if (c.ok) {
            ASSERT_EQ(c.techniques[0].passes[0].renderStates.size(), 1u);
            EXPECT_EQ(c.techniques[0].passes[0].renderStates[0].value, r.code);
        }
    }
}

// Every render and sampler state of the table the device's enums are built from is known to
// the compiler, with the device's code and value, and reaches the pass; a state GL cannot draw
// warns that it is lost, and only when its value is not the neutral one. (The pass has both
// shaders: fixed-function states such as VertexBlend would otherwise be judged.)
TEST(FxReflection, EveryStateOfTheDevicesTableIsKnownWithItsCode) {
    const std::map<std::string, std::pair<std::string, unsigned>> values = {
        {"ZBuffer", {"D3DZB_USEW", 2}},     {"Fill", {"WIREFRAME", 2}},  {"Shade", {"FLAT", 1}},
        {"Bool", {"TRUE", 1}},              {"Blend", {"INVDESTCOLOR", 10}},
        {"BlendOp", {"REVSUBTRACT", 3}},    {"Cull", {"CW", 2}},         {"Cmp", {"NOTEQUAL", 6}},
        {"StencilOp", {"INCR", 7}},         {"FogMode", {"EXP2", 2}},    {"Int", {"7", 7}},
        {"Float", {"0.5", 0x3F000000u}},    {"Address", {"MIRROR", 2}},  {"Filter", {"ANISOTROPIC", 3}},
        {"Colour", {"float4(1, 0, 0, 1)", 0xFFFF0000u}}, {"ColorWrite", {"RED | Blue", 5}},
        {"Wrap", {"U|V|COORD3", 11}},       {"MaterialSource", {"D3DMCS_COLOR2", 2}},
        {"VertexBlend", {"TWEENING", 255}}, {"ClipPlanes", {"CLIPPLANE0 | CLIPPLANE5", 33}},
        {"PatchEdge", {"CONTINUOUS", 1}},   {"DebugMonitor", {"DISABLE", 1}},
        {"Degree", {"QUINTIC", 5}}};
    const struct Row {
        const char* name;
        unsigned code;
        const char* kind;
        bool lost;
        unsigned neutral;
        bool sampler;
    } rows[] = {
#define FX_TEST_RS(name, ENUM, code, kind, fate, neutral, lost) \
    {#name, code, #kind, std::string(#fate) == "Lost" || (std::string(#fate) == "Pixel" && lost[0]), neutral, false},
#define FX_TEST_SS(name, ENUM, code, kind, fate, neutral, lost) \
    {#name, code, #kind, std::string(#fate) == "Lost", neutral, true},
        GFX_RENDER_STATES(FX_TEST_RS) GFX_SAMPLER_STATES(FX_TEST_SS)
#undef FX_TEST_RS
#undef FX_TEST_SS
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const auto& [text, value] = values.at(r.kind);
        const std::string assign = std::string(r.name) + " = " + text + ";";
        const fx::CompileResult c = fx::Compile(
            (r.sampler ? "sampler2D s = sampler_state { " + assign + " };\n" : std::string()) +
            "float4 VS(float4 p : POSITION) : POSITION { return p; }\n"
            "float4 PS() : COLOR { return 1; }\ntechnique T { pass P { " +
            (r.sampler ? std::string() : assign) +
            " VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }");
        ASSERT_TRUE(c.ok) << c.Messages();
        const std::vector<fx::StateValue>& set =
            r.sampler ? c.parameters[0].samplerStates : c.techniques[0].passes[0].renderStates;
        ASSERT_EQ(set.size(), 1u) << c.Messages();
        EXPECT_EQ(set[0].state, r.code);
        EXPECT_EQ(set[0].value, value);
        const bool warned = !c.diagnostics.empty() && c.diagnostics[0].id == fx::Diag::LostState;
        // The pass has a pixel shader: fixed-function pixel states that name a loss warn, but
        // fog still blends a pixel shader below model 3.
        const bool fogged = std::string(r.name) == "FogEnable";
        EXPECT_EQ(warned, r.lost && value != r.neutral && !fogged) << c.Messages();
        EXPECT_EQ(c.diagnostics.size(), warned ? 1u : 0u) << c.Messages();
    }
}

// --- fxcheck -----------------------------------------------------------------------------------

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun Fxcheck(const std::string& args) {
    ToolRun r;
    FILE* pipe = popen((std::string(FX_FXCHECK) + " " + args + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
    const int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

TEST(Fxcheck, ListsPassesWritesGlslAndReportsErrors) {
    const std::string dir = testing::TempDir() + "fxcheck_glsl";
    const ToolRun ok = Fxcheck(std::string(FX_CORPUS_DIR) + "/blur.fx --glsl " + dir);
    EXPECT_EQ(ok.status, 0) << ok.out;
    EXPECT_EQ(ok.out,
              "technique GaussianBlur\n  pass Horizontal\n  pass Vertical\n"
              "technique BrightPass\n  pass P0\ntechnique TintOnly\n  pass P0\n");
    EXPECT_EQ(ReadFile(dir + "/GaussianBlur.Vertical.frag").rfind("#version 330 core", 0), 0u);
    EXPECT_FALSE(ReadFile(dir + "/TintOnly.P0.vert").empty());

    const std::string bad = testing::TempDir() + "fxcheck_bad.fx";
    std::ofstream(bad) << "float x = y;\n";
    const ToolRun err = Fxcheck(bad);
    EXPECT_EQ(err.status, 1);
    EXPECT_EQ(err.out,
              "(1,11): error: undeclared identifier 'y'\n"
              "(2,1): error: the effect declares no technique\n");
    EXPECT_EQ(Fxcheck("").status, 2);
    EXPECT_EQ(Fxcheck(testing::TempDir() + "no_such_file.fx").status, 2);
}

// Every corpus effect and the intro's own, written as GLSL ES 3.00 by fxcheck --glsl-es, is
// accepted by the reference GLSL front end (which takes "#version 300 es" as ES).
TEST(Fxcheck, GlslEsOutputPassesTheReferenceFrontEnd) {
    std::vector<std::string> files = FilesIn(FX_CORPUS_DIR, ".fx");
    files.push_back(FX_ASSETS_EFFECT);
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        const std::string dir = testing::TempDir() + "fxcheck_es_" + std::to_string(&f - files.data());
        const ToolRun run = Fxcheck(f + " --glsl-es " + dir);
        ASSERT_EQ(run.status, 0) << run.out;
        const std::vector<std::string> shaders = FilesIn(dir, ".vert"), fragments = FilesIn(dir, ".frag");
        ASSERT_FALSE(shaders.empty());
        ASSERT_EQ(shaders.size(), fragments.size());
        for (const std::vector<std::string>* list : {&shaders, &fragments})
            for (const std::string& shader : *list) {
                EXPECT_EQ(ReadFile(shader).rfind("#version 300 es\n", 0), 0u) << shader;
                const int status = std::system((std::string(FX_GLSLANG) + " " + shader + " >/dev/null").c_str());
                EXPECT_EQ(status, 0) << shader << ": the reference front end refuses it";
            }
    }
}

// What only the ES target does: the colour attribute is read in the byte order the graphics
// layer hands it over in there, and a fill mode ES cannot draw is a warning at its state.
TEST(FxGlsl, EsTargetReadsTheColourInMemoryOrderAndWarnsOfNonSolidFill) {
    const std::string source =
        "struct V { float4 p : POSITION; float4 c : COLOR0; };\n"
        "V VS(float4 p : POSITION, float4 c : COLOR0) { V v; v.p = p; v.c = c; return v; }\n"
        "float4 PS(float4 c : COLOR0) : COLOR { return c; }\n"
        "technique T { pass P {\n"
        "  FillMode = Wireframe;\n"
        "  VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }\n";
    fx::CompileOptions es;
    es.glsl = fx::GlslTarget::Es300;
    const fx::CompileResult r = fx::Compile(source, es);
    ASSERT_TRUE(r.ok) << r.Messages();
    ASSERT_EQ(r.diagnostics.size(), 1u) << r.Messages();
    EXPECT_EQ(r.diagnostics[0].id, fx::Diag::SolidFillOnly);
    EXPECT_EQ(r.Messages(), "(5,3): warning: pass 'P': FillMode WIREFRAME is drawn solid on OpenGL ES, "
                            "which has no point or wireframe fill\n");
    const fx::PassInfo& pass = r.techniques[0].passes[0];
    EXPECT_NE(pass.vertexGlsl.find("fx_a_COLOR0.bgra"), std::string::npos) << pass.vertexGlsl;
    EXPECT_EQ(pass.fragmentGlsl.rfind("#version 300 es\nprecision highp float;\n", 0), 0u);

    const fx::CompileResult core = fx::Compile(source);
    ASSERT_TRUE(core.ok) << core.Messages();
    EXPECT_TRUE(core.diagnostics.empty()) << core.Messages();
    EXPECT_EQ(core.techniques[0].passes[0].vertexGlsl.find(".bgra"), std::string::npos);
}

TEST(Fxcheck, IncludesResolveBesideTheIncluderAndInIncludeDirectories) {
    const std::string root = testing::TempDir() + "fxcheck_include";
    std::system(("mkdir -p " + root + "/fx/parts " + root + "/lib").c_str());
    std::ofstream(root + "/fx/main.fx")
        << "#include \"parts/a.fxh\"\n#include <lib.fxh>\n#include <..\\fx\\Parts\\C.fxh>\n"
           "float4 PS() : COLOR0 { return A * B * C; }\n"
           "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n";
    std::ofstream(root + "/fx/parts/a.fxh") << "#include \"b.fxh\"\nfloat4 A;\n";  // beside a.fxh
    std::ofstream(root + "/fx/parts/b.fxh") << "static const float kB = 1;\n";
    std::ofstream(root + "/fx/parts/c.fxh") << "float C;\n";  // bracketed, found beside main.fx
    std::ofstream(root + "/lib/lib.fxh") << "float B = kB;\n";

    const ToolRun missing = Fxcheck(root + "/fx/main.fx");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "(2,1): error: cannot open include file 'lib.fxh'\n");
    const ToolRun found = Fxcheck(root + "/fx/main.fx -I " + root + "/nothing -I" + root + "/lib");
    EXPECT_EQ(found.status, 0) << found.out;
    EXPECT_EQ(found.out, "technique T\n  pass P\n");
    EXPECT_EQ(Fxcheck(root + "/fx/main.fx -I").status, 2);
}

// The edges of the semantics rows: each stage and direction, a model that has the semantic and
// one that does not (indices past the registers included).
TEST(FxSemanticsTable, EachSemanticStandsWhereItsRowSays) {
    struct Row {
        bool vertex, output;
        const char* semantic;
        const char* profile;
        bool allowed;
        bool read = true;  // a pixel input the shader never reads is dropped, whatever its name
    };
    static constexpr Row kRows[] = {
        {true, false, "NORMAL", "vs_2_0", true},      {true, false, "BLENDINDICES3", "vs_2_0", true},
        {true, false, "POSITIONT", "vs_3_0", true},   {true, false, "VFACE", "vs_3_0", false},
        {true, true, "TEXCOORD7", "vs_2_0", true},    {true, true, "TEXCOORD8", "vs_2_0", false},
        {true, true, "COLOR1", "vs_2_0", true},       {true, true, "COLOR2", "vs_1_1", false},
        {true, true, "FOG", "vs_2_0", true},          {true, true, "PSIZE", "vs_2_0", true},
        {true, true, "NORMAL", "vs_3_0", true},       {true, true, "TANGENT2", "vs_2_a", false},
        {false, false, "NORMAL", "ps_2_0", true, false}, {false, false, "NORMAL", "ps_2_0", false},
        {false, false, "COLOR1", "ps_2_0", true},     {false, false, "COLOR2", "ps_2_b", false},
        {false, false, "TEXCOORD7", "ps_2_0", true},  {false, false, "TEXCOORD8", "ps_2_a", false},
        {false, false, "NORMAL", "ps_3_0", true},     {false, false, "VPOS", "ps_3_0", true},
        {false, false, "VFACE", "ps_2_b", false},     {false, true, "COLOR3", "ps_2_0", true},
        {false, true, "DEPTH", "ps_2_0", true},       {false, true, "TEXCOORD1", "ps_3_0", false},
        {false, true, "FOG", "ps_3_0", false},
    };
    for (const Row& r : kRows) {
        const std::string x = std::string(r.output ? "out " : "") + "float x : " + r.semantic;
        const std::string set = r.output ? " x = 0;" : r.read && !r.vertex ? " c = x;" : "";
        std::string src;
        if (r.vertex) {
            src = "void V(float4 p : POSITION, out float4 op : POSITION, " + x + ") { op = p;" + set + " }\n"
                  "float4 F() : COLOR { return 0; }\n"
                  "technique T { pass P { VertexShader = compile " + r.profile + " V(); PixelShader = compile ps_2_0 F(); } }\n";
        } else {
            src = "void F(out float4 c : COLOR0, " + x + ") { c = 0;" + set + " }\n"
                  "technique T { pass P { PixelShader = compile " + r.profile + " F(); } }\n";
        }
        const fx::CompileResult c = fx::Compile(src);
        EXPECT_EQ(c.ok, r.allowed) << r.semantic << " in " << r.profile << "\n" << c.Messages();
        if (!r.allowed && !c.diagnostics.empty()) EXPECT_EQ(c.diagnostics[0].id, fx::Diag::BadSemantic) << r.semantic;
    }
}

}  // namespace
