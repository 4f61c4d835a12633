// tests/effects/effect_test.cpp: compiling effects into the effect list, the error box, and
// setting variables, techniques and textures by name (checked by the pixels a pass draws).
#include <cstring>
#include <string>

#include "engine/state_internal.h"
#include "platform/gfx/fx/effect.h"
#include "platform/window/window.h"
#include "tests/effects/effect_test_util.h"

namespace effects_test {
namespace {

using engine::deviceState;
using engine::engineLists;

// A screen texture holding the quadrant picture, bound to "effect" as "texture0", run through
// the effect and copied back; returns the back buffer.
class EffectSettings : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        effect_ = engine::CreateEffectFromSource(kTestEffect);
        ASSERT_NE(effect_, nullptr) << Boxes().text;
        frame_ = engine::CreateScreenTexture();
        ASSERT_NE(frame_, nullptr);
    }

    std::vector<std::uint32_t> RunPass() {
        DrawQuadrants();
        EXPECT_EQ(engine::CopyBackBufferToTexture(frame_), 1);
        EXPECT_EQ(engine::SetEffectTexture(effect_, "texture0", frame_), 1);
        EXPECT_EQ(engine::ApplyEffectToTexture(frame_, effect_), 1);
        EXPECT_EQ(engine::CopyTextureToBackBuffer(frame_), 1);
        return ReadBackBuffer();
    }

    // The four quadrant centres after the pass, against what "map" makes of red, green, blue
    // and white.
    void ExpectQuadrants(const std::vector<std::uint32_t>& pixels, std::uint32_t red,
                         std::uint32_t green, std::uint32_t blue, std::uint32_t white) {
        EXPECT_TRUE(Near(At(pixels, 200, 150), red, 2)) << "top left";
        EXPECT_TRUE(Near(At(pixels, 600, 150), green, 2)) << "top right";
        EXPECT_TRUE(Near(At(pixels, 200, 450), blue, 2)) << "bottom left";
        EXPECT_TRUE(Near(At(pixels, 600, 450), white, 2)) << "bottom right";
    }

    engine::Effect* effect_ = nullptr;
    engine::TextureRecord* frame_ = nullptr;
};

class EffectCreation : public EngineTest {};

// ---------------------------------------------------------------------------------------------
// Creation and the error box
// ---------------------------------------------------------------------------------------------

TEST_F(EffectCreation, EmptySourceCreatesNothing) {
    const int before = engineLists.effectList.Count();
    EXPECT_EQ(engine::CreateEffectFromSource(""), nullptr);
    EXPECT_EQ(engine::CreateEffectFromSource(nullptr), nullptr);
    EXPECT_EQ(engineLists.effectList.Count(), before);
    EXPECT_EQ(Boxes().calls, 0);
    EXPECT_EQ(deviceState.lastError, 0);
}

TEST_F(EffectCreation, CompileErrorShowsCompilerTextOnceAndLeavesNoRecord) {
    const struct {
        const char* name;
        const char* source;
    } rows[] = {
        {"syntax error", "float4 main(float2 uv : TEXCOORD0) : COLOR { return float4(1, 1, 1 }\n"},
        {"undeclared name", "float4 main() : COLOR { return missing; }\n"
                            "technique T { pass p { PixelShader = compile ps_3_0 main(); } }\n"},
        {"unterminated technique", "technique T { pass p {\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Boxes().Reset();
        deviceState.lastError = 0;
        const int before = engineLists.effectList.Count();

        // What the compiler itself reports for this source: the box's body.
        platform::gfx::ID3DXBuffer* messages = nullptr;
        platform::gfx::ID3DXEffect* direct = nullptr;
        ASSERT_TRUE(gfx::Failed(platform::gfx::D3DXCreateEffect(
            Device(), row.source, static_cast<gfx::UINT>(std::strlen(row.source)), nullptr,
            nullptr, 0, nullptr, &direct, &messages)));
        ASSERT_NE(messages, nullptr);
        const std::string expected(static_cast<const char*>(messages->GetBufferPointer()));
        messages->Release();
        EXPECT_NE(expected.find(": error"), std::string::npos) << expected;

        EXPECT_EQ(engine::CreateEffectFromSource(row.source), nullptr);
        EXPECT_EQ(Boxes().calls, 1);
        EXPECT_EQ(Boxes().caption, "Error CreateEffect!");
        EXPECT_EQ(Boxes().type, platform::window::MB_OK);
        EXPECT_EQ(Boxes().text, expected);
        EXPECT_EQ(deviceState.lastError, 17);
        EXPECT_EQ(engineLists.effectList.Count(), before);
    }
}

TEST_F(EffectCreation, IntroEffectSourceCompiles) {
    const std::string source = IntroEffectSource();
    EXPECT_EQ(source.size(), 1837u);
    EXPECT_NE(engine::CreateEffectFromSource(source.c_str()), nullptr) << Boxes().text;
    EXPECT_EQ(Boxes().calls, 0);
}

// ---------------------------------------------------------------------------------------------
// Unknown handles
// ---------------------------------------------------------------------------------------------

TEST_F(EffectSettings, UnknownHandlesChangeNothing) {
    engine::Effect bogusEffect{};
    engine::TextureRecord bogusTexture{};
    EXPECT_EQ(engine::SetEffectFloat(nullptr, "gain", 0.0f), 0);
    EXPECT_EQ(engine::SetEffectFloat(&bogusEffect, "gain", 0.0f), 0);
    EXPECT_EQ(engine::SetEffectTechnique(&bogusEffect, "Green"), 0);
    EXPECT_EQ(engine::SetEffectTechnique(nullptr, "Green"), 0);
    EXPECT_EQ(engine::SetEffectTexture(&bogusEffect, "texture0", frame_), 0);
    EXPECT_EQ(engine::SetEffectTexture(effect_, "texture0", &bogusTexture), 0);
    EXPECT_EQ(engine::SetEffectTexture(effect_, "texture0", nullptr), 0);
    // None of them reached the effect: it still inverts with gain 1.
    ExpectQuadrants(RunPass(), 0x00FFFF, 0xFF00FF, 0xFFFF00, 0x000000);
}

// ---------------------------------------------------------------------------------------------
// Variables and techniques, seen in the pass's pixels
// ---------------------------------------------------------------------------------------------

TEST_F(EffectSettings, UnknownTechniqueFailsAndTheFirstStillRuns) {
    EXPECT_EQ(engine::SetEffectTechnique(effect_, "postFX"), 0);
    ExpectQuadrants(RunPass(), 0x00FFFF, 0xFF00FF, 0xFFFF00, 0x000000);
}

TEST_F(EffectSettings, FailedSelectionKeepsTheCurrentTechnique) {
    EXPECT_EQ(engine::SetEffectTechnique(effect_, "Green"), 1);
    EXPECT_EQ(engine::SetEffectTechnique(effect_, "Start"), 0);
    ExpectQuadrants(RunPass(), 0x00FF00, 0x00FF00, 0x00FF00, 0x00FF00);
}

TEST_F(EffectSettings, FloatsByNameReachTheEffectAndUndeclaredOnesChangeNothing) {
    ASSERT_EQ(engine::SetEffectTechnique(effect_, "Scale"), 1);
    for (const char* undeclared : {"Var1", "Var2", "Var3", "postfx", ""}) {
        SCOPED_TRACE(undeclared);
        EXPECT_EQ(engine::SetEffectFloat(effect_, undeclared, 0.0f), 1);
    }
    ExpectQuadrants(RunPass(), 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF);

    EXPECT_EQ(engine::SetEffectFloat(effect_, "gain", 0.5f), 1);
    ExpectQuadrants(RunPass(), 0x800000, 0x008000, 0x000080, 0x808080);
}

TEST_F(EffectSettings, EveryPassDrawsOnce) {
    // Pass 0 paints green, pass 1 overwrites it with the scaled picture.
    ASSERT_EQ(engine::SetEffectTechnique(effect_, "Twice"), 1);
    ASSERT_EQ(engine::SetEffectFloat(effect_, "gain", 1.0f), 1);
    ExpectQuadrants(RunPass(), 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF);
}

}  // namespace
}  // namespace effects_test
