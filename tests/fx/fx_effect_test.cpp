// tests/fx/fx_effect_test.cpp: effect-level constructs of Direct3D 9 effects without GL:
// #include through a handler and in fxcheck, shader arrays and shader variables, struct
// parameters, passes with fixed-function stages, the era's spellings, inline assembly.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "platform/gfx/fx/fx.h"

namespace {

namespace fx = platform::gfx::fx;

std::vector<fx::Diag> Ids(const fx::CompileResult& r) {
    std::vector<fx::Diag> ids;
    for (const fx::Diagnostic& d : r.diagnostics) ids.push_back(d.id);
    return ids;
}

// --- #include ----------------------------------------------------------------------------------

// Compiles "files[main]" with an include handler over the in-memory "files".
fx::CompileResult CompileFiles(const std::map<std::string, std::string>& files,
                               const std::string& main) {
    fx::CompileOptions options;
    options.sourceName = main;
    options.include = [&files](const fx::IncludeRequest& r, fx::IncludedFile& f) {
        const auto it = files.find(r.name);
        if (it == files.end()) return false;
        f.path = it->first;
        f.text = it->second;
        return true;
    };
    return fx::Compile(files.at(main), options);
}

TEST(FxInclude, IncludedFilesShareMacrosAndNameTheirFileInDiagnostics) {
    const std::map<std::string, std::string> files = {
        {"main.fx",
         "#include \"common.fxh\"\n"
         "float4 PS() : COLOR0 { return TINT * Scale; }\n"
         "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n"},
        {"common.fxh", "#define TINT float4(1, 0, 0, 1)\n#include <scale.fxh>\n"},
        {"scale.fxh", "float Scale = 2;\n"},
    };
    const fx::CompileResult ok = CompileFiles(files, "main.fx");
    ASSERT_TRUE(ok.ok) << ok.Messages();
    EXPECT_GE(ok.FindParameter("Scale"), 0);

    auto broken = files;
    broken["scale.fxh"] = "\n\nfloat Scale = missing;\n";
    const fx::CompileResult bad = CompileFiles(broken, "main.fx");
    EXPECT_EQ(bad.Messages(), "scale.fxh(3,15): error: undeclared identifier 'missing'\n");

    broken["common.fxh"] = "#if 1\n";  // a conditional must close in its own file
    EXPECT_EQ(Ids(CompileFiles(broken, "main.fx")).at(0), fx::Diag::UnbalancedConditional);
}

TEST(FxInclude, TheHandlerGetsTheNameAsWrittenAndHowItWasWritten) {
    // A bracketed name is one token: backslashes, doubled or not, spaces and dots stay in it.
    const struct {
        const char* directive;
        const char* name;
        bool angled;
    } rows[] = {
        {"#include <include\\\\Quad.fxh>", "include\\\\Quad.fxh", true},
        {"#include <effects\\Phong Point.fxh>", "effects\\Phong Point.fxh", true},
        {"  #  include<a.b.fxh>", "a.b.fxh", true},
        {"#include \"..\\inc\\x.fxh\"", "..\\inc\\x.fxh", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.directive);
        fx::IncludeRequest seen;
        fx::CompileOptions options;
        options.include = [&seen](const fx::IncludeRequest& q, fx::IncludedFile& f) {
            seen = q;
            f.path = "inc";
            f.text = "float4 Included;\n";
            return true;
        };
        const fx::CompileResult c = fx::Compile(std::string(r.directive) + "\nfloat4 PS() : COLOR { return Included; }\ntechnique T { pass P { PixelShader = compile ps_2_0 PS(); } }", options);
        EXPECT_TRUE(c.ok) << c.Messages();
        EXPECT_EQ(seen.name, r.name);
        EXPECT_EQ(seen.angled, r.angled);
    }
}

TEST(FxInclude, MissingSelfIncludingAndHandlerlessIncludesAreRefused) {
    const struct {
        std::map<std::string, std::string> files;
        fx::Diag id;
        int line, column;
    } rows[] = {
        {{{"m.fx", "\n  #include \"nowhere.fxh\"\n"}}, fx::Diag::IncludeNotFound, 2, 3},
        {{{"m.fx", "#include \"loop.fxh\"\n"}, {"loop.fxh", "#include \"loop.fxh\"\n"}},
         fx::Diag::IncludeTooDeep, 1, 1},
        {{{"m.fx", "#include nowhere\n"}}, fx::Diag::BadDirective, 1, 2},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.files.at("m.fx"));
        const fx::CompileResult result = CompileFiles(r.files, "m.fx");
        ASSERT_FALSE(result.diagnostics.empty());
        EXPECT_EQ(result.diagnostics[0].id, r.id) << result.Messages();
        EXPECT_EQ(result.diagnostics[0].line, r.line);
        EXPECT_EQ(result.diagnostics[0].column, r.column);
    }
    // Without a handler (the engine's case) #include stays refused.
    EXPECT_EQ(Ids(fx::Compile("#include \"a.fxh\"\n")).at(0), fx::Diag::IncludeRefused);
}

// --- shader variables and arrays ----------------------------------------------------------------

const char* const kShaderArrays =
    "float4 VS(float4 p : POSITION, uniform float s) : POSITION { return p * s; }\n"
    "float4 PS(uniform float k) : COLOR { return k; }\n"
    "int Index = 1;\n"
    "int Map[3] = {2, 0, 1};\n"
    "VertexShader vs = compile vs_2_0 VS(1);\n"
    "PixelShader ps[] = { compile ps_2_0 PS(0.25), compile ps_2_0 PS(0.5), compile ps_2_0 PS(1), };\n"
    "technique Indexed { pass P { VertexShader = (vs); PixelShader = (ps[Index]); } }\n"
    "Technique Mapped { Pass { VertexShader = <vs>; PixelShader = (ps[Map[Index - 1] * 1]); } }\n"
    "TECHNIQUE Fixed { PASS { VertexShader = vs; PixelShader = (ps[2]); } }\n";

TEST(FxShaderArrays, IndexedPassesKeepOneVariantPerShaderAndTheirIndexProgram) {
    const fx::CompileResult r = fx::Compile(kShaderArrays);
    ASSERT_TRUE(r.ok) << r.Messages();
    ASSERT_EQ(r.techniques.size(), 3u);
    const fx::PassInfo& indexed = r.techniques[0].passes[0];
    ASSERT_EQ(indexed.selectors.size(), 1u);
    EXPECT_FALSE(indexed.selectors[0].vertex);
    EXPECT_EQ(indexed.selectors[0].count, 3);
    ASSERT_EQ(indexed.selectors[0].index.size(), 1u);
    EXPECT_EQ(indexed.selectors[0].index[0].kind, fx::IndexOp::Parameter);
    EXPECT_EQ(indexed.selectors[0].index[0].parameter, r.FindParameter("Index"));
    ASSERT_EQ(indexed.variants.size(), 3u);
    EXPECT_NE(indexed.variants[1].fragmentGlsl.find("0.5"), std::string::npos);
    // Map[Index - 1] * 1: Index, 1, -, Map[], 1, *
    const auto& mapped = r.techniques[1].passes[0].selectors.at(0).index;
    ASSERT_EQ(mapped.size(), 6u);
    EXPECT_EQ(mapped[3].kind, fx::IndexOp::Element);
    EXPECT_EQ(mapped[3].parameter, r.FindParameter("Map"));
    // A constant index picks its shader at compile time.
    EXPECT_TRUE(r.techniques[2].passes[0].selectors.empty());
    EXPECT_NE(r.techniques[2].passes[0].fragmentGlsl.find("1.0"), std::string::npos);
    const fx::ParameterInfo& ps = r.parameters.at(static_cast<std::size_t>(r.FindParameter("ps")));
    EXPECT_EQ(ps.type, fx::ParamType::PixelShader);
    EXPECT_EQ(ps.elements, 3);
}

TEST(FxShaderArrays, BadShaderValuesAndIndicesAreRefusedWhereTheyAre) {
    const std::string head =
        "float4 PS(uniform float k) : COLOR { return k; }\n"
        "float4 VS(float4 p : POSITION) : POSITION { return p; }\n"
        "float f; int i;\n"
        "PixelShader ps[2] = { compile ps_2_0 PS(0), compile ps_2_0 PS(1) };\n";
    const struct {
        std::string src;
        fx::Diag id;
        int line, column;
    } rows[] = {
        {"technique T { pass P { PixelShader = (ps[2]); } }", fx::Diag::ShaderIndexRange, 5, 42},
        {"technique T { pass P { PixelShader = (ps[i % 2]); } }", fx::Diag::BadShaderIndex, 5, 42},
        {"technique T { pass P { VertexShader = (ps[i]); } }", fx::Diag::BadShaderValue, 5, 40},
        {"technique T { pass P { PixelShader = (f); } }", fx::Diag::BadShaderValue, 5, 39},
        {"PixelShader one[3] = { compile ps_2_0 PS(0) };", fx::Diag::BadInitializer, 5, 13},
        {"VertexShader v = asm { vs_1_1 dcl_position v0 ; } a comment { }\n m4x4 oPos, v0, c300 };",
         fx::Diag::AsmError, 6, 2},
        {"technique T { pass P { VertexShader = compile vs_2_0 VS(); AlphaOp[0] = BumpEnvMap; } }",
         fx::Diag::FixedFunction, 5, 60},
        {"float4 PSc(float4 c : COLOR0) : COLOR { return c; }\n"
         "technique T { pass P { PixelShader = compile ps_2_0 PSc(); VertexBlend = TWEENING; } }",
         fx::Diag::FixedFunction, 6, 60},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.src);
        const fx::CompileResult result = fx::Compile(head + r.src);
        const fx::Diagnostic* d = nullptr;
        for (const fx::Diagnostic& x : result.diagnostics)
            if (x.severity == fx::Severity::Error && !d) d = &x;
        ASSERT_NE(d, nullptr) << result.Messages();
        EXPECT_EQ(fx::DiagName(d->id), std::string(fx::DiagName(r.id))) << result.Messages();
        EXPECT_EQ(d->line, r.line);
        EXPECT_EQ(d->column, r.column);
    }
}

// --- struct parameters and the era's spellings ----------------------------------------------------

TEST(FxStructParameters, MembersAreParametersWithOffsetsInsideTheStruct) {
    const fx::CompileResult r = fx::Compile(
        "struct Light { float3 dir; float4 colour; bool on; };\n"
        "uniform extern Light gLight = { 0, 0, 1, 0.5, 0.5, 0.5, 1, true };\n"
        "shared Light gLights[2] : register(c4);\n"
        "texture Tex < String UIName = \"diffuse\"; >;\n"
        "sampler S : register(ps, s0) = sampler_state { Texture = (Tex); };\n"
        "float4 PS(float2 uv : TEXCOORD0, float face : VFACE) : COLOR0 {\n"
        "  return tex2D(S, uv) * gLight.colour * gLights[1].dir.x * (gLight.on ? face : 0); }\n"
        "technique T { pass P { PixelShader = compile ps_3_0 PS(); } }\n");
    ASSERT_TRUE(r.ok) << r.Messages();
    const auto param = [&r](const char* name) -> const fx::ParameterInfo& {
        const int i = r.FindParameter(name);
        EXPECT_GE(i, 0) << name;
        return r.parameters.at(static_cast<std::size_t>(std::max(i, 0)));
    };
    EXPECT_EQ(param("gLight").paramClass, fx::ParamClass::Struct);
    EXPECT_EQ(param("gLight").sizeBytes, 32);
    EXPECT_EQ(param("gLight.colour").offsetBytes, 12);
    EXPECT_EQ(param("gLight.colour").parent, r.FindParameter("gLight"));
    EXPECT_EQ(param("gLight.colour").glslName, "hgLight.hcolour");
    EXPECT_EQ(param("gLight.on").initialValue, std::vector<float>{1});
    EXPECT_EQ(param("gLights").sizeBytes, 64);
    EXPECT_TRUE(param("gLights").isShared);
    EXPECT_EQ(param("gLights[1].dir").offsetBytes, 32);
    EXPECT_EQ(param("gLights[1].dir").glslName, "hgLights[1].hdir");
    EXPECT_EQ(param("Tex").annotations.at(0).value, "diffuse");
    // The pass uploads the members it reads through their struct.
    const auto& uniforms = r.techniques[0].passes[0].uniforms;
    EXPECT_NE(std::find(uniforms.begin(), uniforms.end(), r.FindParameter("gLight.colour")), uniforms.end());
}

// Shapes as the native reflection reports them: one-row and one-column matrices are matrices,
// float1 a vector, and an array of arrays one array of all its elements (the effect format
// holds a single element count).
TEST(FxReflection, OneElementShapesAndArraysOfArrays) {
    const fx::CompileResult r = fx::Compile(
        "float1x4 a; float4x1 b; float1 c; float1x1 d; row_major float3x1 e; float f[2][3];\n"
        "float2x3 g[2][2]; struct S { float1x3 m; float4x1 n[2]; }; S s;\n"
        "float4 PS() : COLOR0 { return a._m00 + b._m30 + c + d + e._m20 + f[1][2] + g[1][1]._m12 + s.m._m02; }\n"
        "technique T { pass P { PixelShader = compile ps_3_0 PS(); } }\n");
    ASSERT_TRUE(r.ok) << r.Messages();
    struct Row { const char* name; fx::ParamClass cls; int rows, columns, elements, bytes; };
    const Row rows[] = {
        {"a", fx::ParamClass::MatrixRows, 1, 4, 0, 16},
        {"b", fx::ParamClass::MatrixRows, 4, 1, 0, 16},
        {"c", fx::ParamClass::Vector, 1, 1, 0, 4},
        {"d", fx::ParamClass::MatrixRows, 1, 1, 0, 4},
        {"e", fx::ParamClass::MatrixRows, 3, 1, 0, 12},
        {"f", fx::ParamClass::Scalar, 1, 1, 6, 24},
        {"g", fx::ParamClass::MatrixRows, 2, 3, 4, 96},
        {"s.m", fx::ParamClass::MatrixRows, 1, 3, 0, 12},
        {"s.n[1]", fx::ParamClass::MatrixRows, 4, 1, 0, 16},
    };
    for (const Row& w : rows) {
        const int i = r.FindParameter(w.name);
        ASSERT_GE(i, 0) << w.name;
        const fx::ParameterInfo& p = r.parameters[static_cast<std::size_t>(i)];
        EXPECT_EQ(p.paramClass, w.cls) << w.name;
        EXPECT_EQ(p.rows, w.rows) << w.name;
        EXPECT_EQ(p.columns, w.columns) << w.name;
        EXPECT_EQ(p.elements, w.elements) << w.name;
        EXPECT_EQ(p.sizeBytes, w.bytes) << w.name;
    }
    EXPECT_TRUE(r.parameters[static_cast<std::size_t>(r.FindParameter("e"))].rowMajor);
    EXPECT_EQ(r.parameters[static_cast<std::size_t>(r.FindParameter("s.n[1]"))].offsetBytes, 28);
}

TEST(FxEffectSyntax, PassesWithoutShadersAreAcceptedAndDirect3D10TechniquesRefused) {
    const fx::CompileResult d3d10 = fx::Compile(
        "technique StatesOnly { pass P { ZEnable = false; } }\n"
        "technique10 Modern { pass P { SetVertexShader(CompileShader(vs_4_0, VS())); } }\n");
    ASSERT_FALSE(d3d10.ok);
    ASSERT_EQ(d3d10.diagnostics.size(), 1u);
    EXPECT_EQ(d3d10.diagnostics[0].id, fx::Diag::Direct3D10Technique);
    EXPECT_EQ(d3d10.diagnostics[0].line, 2);
    const fx::CompileResult r = fx::Compile(
        "float4x4 World, View, Proj; texture Tex;\n"
        "technique StatesOnly { pass P { ZEnable = false; CullMode = None; } }\n"
        "technique Fixed { pass P { WorldTransform[0] = (World); ViewTransform = <View>;\n"
        "  ProjectionTransform = Proj; Texture[0] = (Tex); ColorOp[0] = Modulate;\n"
        "  ColorArg1[0] = Texture; ColorArg2[0] = Diffuse; ColorOp[1] = Disable; Lighting = FALSE; } }\n");
    ASSERT_TRUE(r.ok) << r.Messages();
    EXPECT_TRUE(r.diagnostics.empty()) << r.Messages();
    ASSERT_EQ(r.techniques.size(), 2u);
    const fx::PassInfo& p = r.techniques[1].passes[0];
    EXPECT_TRUE(p.fixedVertex && p.fixedPixel);
    ASSERT_EQ(p.transforms.size(), 3u);
    EXPECT_EQ(p.transforms[0].state, 256u);  // D3DTS_WORLD
    EXPECT_EQ(p.transforms[0].parameter, r.FindParameter("World"));
    ASSERT_EQ(p.textures.size(), 1u);
    EXPECT_EQ(p.textures[0].parameter, r.FindParameter("Tex"));
}

// A pass that leaves a shader alone draws with the one the pass before it set, and with the
// constant registers set for it then, its own overriding them (shells of fur passes).
TEST(FxEffectSyntax, PassesInheritTheShadersAndRegistersThePassBeforeLeft) {
    const fx::CompileResult r = fx::Compile(
        "float4x4 M;\nfloat4 PS() : COLOR { return 1; }\n"
        "technique T {\n pass P0 { VertexShaderConstant4[0] = <M>; VertexShaderConstant[5] = {0, 0, 0, 0};\n"
        "  VertexShader = asm { vs_1_1 dcl_position v0 m4x4 oPos, v0, c0 mov oD0, c5 }; }\n"
        " pass P1 { VertexShaderConstant[5] = {1, 0, 0, 0}; PixelShader = compile ps_2_0 PS(); }\n"
        " pass P2 { VertexShader = NULL; }\n}\n");
    ASSERT_TRUE(r.ok) << r.Messages();
    EXPECT_TRUE(r.diagnostics.empty()) << r.Messages();
    const std::vector<fx::PassInfo>& p = r.techniques[0].passes;
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[1].vertexProfile, "vs_1_1");
    ASSERT_EQ(p[1].constants.size(), 3u);  // P0's two, then P1's own c5, which wins
    EXPECT_EQ(p[1].constants[2].first, 5);
    EXPECT_EQ(p[1].constants[2].values[0], 1.0f);
    EXPECT_EQ(p[2].vertexProfile, "");      // NULL puts the fixed-function stage back
    EXPECT_EQ(p[2].pixelProfile, "ps_2_0");  // the pixel shader stays
}

// Habits of real-world effects: each row compiles with exactly the diagnostics it lists.
TEST(FxEffectHabits, RealWorldHabitsCompileWithHonestDiagnostics) {
    const struct {
        const char* what;
        const char* source;
        std::vector<fx::Diag> expected;
    } rows[] = {
        {"an unread SV_Position pixel input is dropped",
         "sampler s0;\nfloat4 F(float4 pos : SV_POSITION, float2 t : TEXCOORD0) : COLOR0 { return tex2D(s0, t); }\n"
         "technique T { pass P { PixelShader = compile ps_3_0 F(); } }\n",
         {}},
        {"a texture-stage operation beside a pixel shader has no effect",
         "float4 F() : COLOR0 { return 1; }\n"
         "technique T { pass P { ColorOp[0] = ADD; PixelShader = compile ps_2_0 F(); } }\n",
         {fx::Diag::IgnoredState}},
        {"texture-stage states left at their defaults beside shaders are not worth a word",
         "float4 V(float4 p : POSITION) : POSITION { return p; }\nfloat4 F() : COLOR0 { return 1; }\n"
         "technique T { pass P { ColorOp[0] = Modulate; ColorArg2[0] = Current; ColorOp[1] = Disable;"
         " TexCoordIndex[3] = 3; TextureTransformFlags[0] = Disable;"
         " VertexShader = compile vs_2_0 V(); PixelShader = compile ps_2_0 F(); } }\n",
         {}},
        {"a vertex shader's SV_Position0 output is its position",
         "struct O { float4 p : SV_Position0; float2 t : TEXCOORD0; };\n"
         "O V(float4 p : POSITION) { O o; o.p = p; o.t = p.xy; return o; }\n"
         "float4 F(float2 t : TEXCOORD0) : SV_Target0 { return t.xyxy; }\n"
         "technique T { pass P { VertexShader = compile vs_3_0 V(); PixelShader = compile ps_3_0 F(); } }\n",
         {}},
        {"functions named with the capitalised shader type names",
         "float4 VertexShader(float4 p : POSITION) : POSITION { return p; }\nfloat4 PixelShader() : COLOR { return 1; }\n"
         "technique T { pass P { VertexShader = compile vs_1_1 VertexShader(); PixelShader = compile ps_1_1 PixelShader(); } }\n",
         {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const fx::CompileResult c = fx::Compile(r.source);
        EXPECT_TRUE(c.ok) << c.Messages();
        EXPECT_EQ(Ids(c), r.expected) << c.Messages();
    }
    // OpenGL ES colours a flat triangle with its last vertex: the pass is told so.
    fx::CompileOptions es;
    es.glsl = fx::GlslTarget::Es300;
    const fx::CompileResult flat = fx::Compile(
        "float4 F() : COLOR0 { return 1; }\ntechnique T { pass P { ShadeMode = FLAT; PixelShader = compile ps_2_0 F(); } }\n", es);
    EXPECT_EQ(Ids(flat), std::vector<fx::Diag>{fx::Diag::LastVertexFlat}) << flat.Messages();
    const fx::CompileResult ignored = fx::Compile(rows[1].source);
    EXPECT_EQ(ignored.Messages(), "(2,24): warning: state 'ColorOp' is ignored: a shader replaces its fixed-function stage\n");
}

}  // namespace
