// tests/fx/fx_asm_test.cpp: shader assembly: every opcode row parses in the models that have
// it and is refused in the others, hostile input fails with a position, and programs become
// GLSL that reads the constants the pass's shader-constant states bind.
#include <gtest/gtest.h>

#include <string>

#include "platform/gfx/fx/asm/asm.h"
#include "platform/gfx/fx/asm/asm_ops.h"
#include "platform/gfx/fx/fx.h"

namespace {

namespace fx = platform::gfx::fx;
namespace as = platform::gfx::fx::assembly;

std::string Version(bool vertex, int v) {
    return std::string(vertex ? "vs_" : "ps_") + std::to_string(v / 10) + "_" + (v == 21 ? "x" : std::to_string(v % 10));
}

// Operands that fit each row: a destination and the sources its row counts.
std::string Operands(const as::OpRow& row, bool vertex, int v) {
    const std::string name = row.name;
    if (name == "label" || name == "call") return " l1";
    if (name == "callnz") return " l1, b0";
    if (name == "loop") return " aL, i0";
    if (name == "rep") return " i0";
    if (name == "if") return " b0";
    if (name == "ifc") return " r0.x, r1.x";
    if (name == "breakc") return " r0.x, r1.x";
    if (name == "breakp") return " p0.x";
    if (name == "texkill") return " r0";
    if (name == "setp") return " p0, r0, r1";
    if (name == "sincos") return v >= 30 ? " r0.xy, r1.x" : " r0.xy, r1.x, c0, c1";
    if (name == "crs") return " r0.xyz, r1, r2";
    if (name == "mova") return " a0.x, r0.x";
    if (name.rfind("tex", 0) == 0 && !vertex && v <= 13) {
        // ps_1_1-1_3 texture addressing: the destination is a texture register.
        if (row.sources == 0) return " t1";
        if (name == "texm3x3spec") return " t3, t0, c0";
        return " t3, t0";
    }
    if (name == "texld" && v == 14) return " r0, t0";
    if (name == "texcrd") return " r0.rgb, t0";
    if (name == "texdepth") return " r5";
    if (name == "bem") return " r0.rg, t0, r1";
    const char* samplerArgs = v >= 20 ? ", s0" : "";
    if (name == "texld" || name == "texldp" || name == "texldb" || name == "texldl") return std::string(" r0, r1") + samplerArgs;
    if (name == "texldd") return " r0, r1, s0, r2, r3";
    std::string s = row.dest ? " r0" : "";
    for (int k = 0; k < row.sources; ++k) s += (s.empty() ? " " : ", ") + std::string(k == 1 && name.rfind("m", 0) == 0 && name.size() == 4 ? "c0" : "r1");
    return s;
}

TEST(FxAsm, EveryOpcodeParsesInTheModelsThatHaveItAndOnlyThere) {
    const int vsModels[] = {11, 20, 21, 30}, psModels[] = {11, 12, 13, 14, 20, 21, 30};
    for (const as::OpRow& row : as::kOps) {
        for (int stage = 0; stage < 2; ++stage) {
            const bool vertex = stage == 0;
            for (int v : vertex ? std::vector<int>(vsModels, vsModels + 4) : std::vector<int>(psModels, psModels + 7)) {
                // The comparison instructions are spelled with their comparison.
                std::string spelled = row.name;
                if (spelled == "ifc") spelled = "if_gt";
                if (spelled == "breakc") spelled = "break_ne";
                if (spelled == "setp") spelled = "setp_lt";
                const std::string text = Version(vertex, v) + "\n" + spelled + Operands(row, vertex, v) + "\n";
                SCOPED_TRACE(text);
                as::Program p;
                std::vector<fx::Diagnostic> d;
                const int first = vertex ? row.vsFirst : row.psFirst, last = vertex ? row.vsLast : row.psLast;
                const bool has = first != 0 && v >= first && v <= last;
                const bool ok = as::Parse(text, 1, 1, vertex, p, d);
                if (!has) {
                    EXPECT_FALSE(ok);
                    continue;
                }
                EXPECT_TRUE(ok) << (d.empty() ? "" : d[0].message);
            }
        }
    }
}

TEST(FxAsm, HostileProgramsFailWithAPosition) {
    const struct {
        const char* text;
        const char* message;
    } rows[] = {
        {"ps_2_0\nmov r0, c999", "(2,1): error: shader assembly: register 999 is outside the ps_2_0 register file"},
        {"vs_1_1\nmov r0, v99", "(2,1): error: shader assembly: register 99 is outside the vs_1_1 register file"},
        {"vs_2_0\nfrobnicate r0, r1", "(2,1): error: shader assembly: unknown instruction 'frobnicate'"},
        {"mov r0, r1", "(1,1): error: shader assembly: expected a version (vs_1_1 .. vs_3_0, ps_1_1 .. ps_3_0) before 'mov'"},
        {"vs_2_0\ndef c0, 1e999, 0, 0, 0", "(2,9): error: shader assembly: the value is out of range"},
        {"vs_2_0\ndef c0, 1abc, 0, 0, 0", "(2,9): error: shader assembly: expected a number"},
        {"ps_2_0\nmov oC0, c99999", "(2,1): error: shader assembly: register 99999 is outside the ps_2_0 register file"},
        {"ps_2_0\nmov r-1, c0", "(2,1): error: shader assembly: 'mov' needs a destination"},
        {"ps_2_0\nmov r0.yx, r1", "(2,1): error: shader assembly: 'mov' needs a destination"},
        {"ps_2_0\ntexld r0, t0", "(2,1): error: shader assembly: 'texld' takes 2 source operands"},
        {"vs_2_0\nmov r0, r1[a0.x]", "(2,1): error: shader assembly: only constant registers take a relative address"},
        {"ps_2_0\n+", "(2,2): error: shader assembly: the block ends inside an instruction"},
        {"ps_2_0\n(p0", "(2,1): error: shader assembly: a predicate is (p0) or (!p0.swizzle)"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        as::Program p;
        std::vector<fx::Diagnostic> d;
        EXPECT_FALSE(as::Parse(r.text, 1, 1, r.text[0] == 'v', p, d));
        ASSERT_FALSE(d.empty());
        EXPECT_EQ(fx::FormatDiagnostics({d[0]}), std::string(r.message) + "\n");
    }
    // Many instructions and deep flow control stay bounded.
    std::string many = "vs_2_0\n";
    for (int i = 0; i < 5000; ++i) many += "add r0, r0, r1\n";
    as::Program p;
    std::vector<fx::Diagnostic> d;
    EXPECT_FALSE(as::Parse(many, 1, 1, true, p, d));
}

TEST(FxAsm, BlocksTakeCommentsAndKeepTheLinesTheySpan) {
    // Each block is followed by a bad state on line 5: the block is one token whatever the
    // comments before its '{' or inside it, and the lines it spans still count.
    const char* blocks[] = {
        "asm\n{\nps.1.1\nmov r0, v0 };",
        "asm // a note\n{\nps.1.1\nmov r0, v0 };",
        "asm /* a\nnote */ { ps.1.1\n\nmov r0, v0 };",
        "asm { ps.1.1 /* } \n { */\n mov r0, v0\n};",
        "asm { ps.1.1 ; } \n// }\nmov r0, v0\n};",
    };
    for (const char* b : blocks) {
        SCOPED_TRACE(b);
        const fx::CompileResult c = fx::Compile(std::string("technique T { pass P { PixelShader = ") + b + "\nZEnable = bogus; } }");
        ASSERT_FALSE(c.diagnostics.empty());
        EXPECT_EQ(c.diagnostics[0].line, 5) << c.Messages();
        EXPECT_EQ(c.diagnostics[0].id, fx::Diag::BadStateValue) << c.Messages();
    }
}

TEST(FxAsm, PassesWithAssemblyGetGlslAndConstantBindings) {
    const fx::CompileResult c = fx::Compile(
        "float4x4 matWVP; float4 tint = {1, 0.5, 0.25, 1};\n"
        "VertexShader vs = asm { vs.1.1 dcl_position v0 dcl_texcoord v1 m4x4 oPos, v0, c0 mov oT0, v1 mov oD0, c4 };\n"
        "technique T { pass P { VertexShaderConstant4[0] = <matWVP>; VertexShaderConstant[4] = <tint>;\n"
        "  PixelShaderConstant1[0] = float4(1, 2, 3, 4);\n"
        "  VertexShader = <vs>; PixelShader = asm { ps_1_4 texld r0, t0 mul r0, r0, c0 phase +mov r0.a, c0.a }; } }");
    ASSERT_TRUE(c.ok) << c.Messages();
    const fx::PassInfo& p = c.techniques[0].passes[0];
    EXPECT_EQ(p.vertexProfile, "vs_1_1");
    EXPECT_EQ(p.pixelProfile, "ps_1_4");
    ASSERT_EQ(p.constants.size(), 3u);
    EXPECT_EQ(p.constants[0].count, 4);
    EXPECT_EQ(p.constants[0].parameter, c.FindParameter("matWVP"));
    EXPECT_EQ(p.constants[1].first, 4);
    EXPECT_FALSE(p.constants[2].vertex);
    EXPECT_EQ(p.constants[2].values.size(), 4u);
    EXPECT_EQ(p.deviceSamplers, 1u);
    EXPECT_NE(p.vertexGlsl.find("dot(fx_a_POSITION0, fx_vc[0])"), std::string::npos) << p.vertexGlsl;
    EXPECT_NE(p.fragmentGlsl.find("in vec4 fx_v_TEXCOORD0"), std::string::npos) << p.fragmentGlsl;
    // Beside an HLSL shader, a constant register reaches nothing and is warned.
    const fx::CompileResult h = fx::Compile(
        "float4 tint; float4 PS() : COLOR { return tint; }\n"
        "technique T { pass P { PixelShaderConstant1[0] = <tint>; PixelShader = compile ps_2_0 PS(); } }");
    ASSERT_TRUE(h.ok);
    ASSERT_EQ(h.diagnostics.size(), 1u);
    EXPECT_EQ(h.diagnostics[0].id, fx::Diag::LostState);
}

}  // namespace
