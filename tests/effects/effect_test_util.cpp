// tests/effects/effect_test_util.cpp: the engine fixture of the effect and render-texture tests.
#include "tests/effects/effect_test_util.h"

#include <cstdlib>
#include <cstring>

#include "assets/data_area.h"
#include "platform/gfx/gfx_testing.h"
#include "platform/window/window.h"
#include "platform/window/window_testing.h"

namespace effects_test {

namespace win = platform::window;

const char* const kTestEffect = R"(// test effect: a few one-line pixel stages over a texture
texture texture0;
sampler tex0 = sampler_state { Texture = <texture0>; };
float gain = 1.0;

struct VS_INPUT { float3 position : POSITION; float2 uv : TEXCOORD0; };
struct VS_OUTPUT { float4 hposition : POSITION; float2 uv : TEXCOORD0; };

VS_OUTPUT passVS(VS_INPUT IN)
{
    VS_OUTPUT OUT;
    OUT.hposition = float4(IN.position, 1.0);
    OUT.uv = IN.uv;
    return OUT;
}

float4 invertPS(float2 uv : TEXCOORD0) : COLOR
{
    return float4(1.0 - tex2D(tex0, uv).rgb, 1.0);
}

float4 scalePS(float2 uv : TEXCOORD0) : COLOR
{
    return float4(tex2D(tex0, uv).rgb * gain, 1.0);
}

float4 greenPS(float2 uv : TEXCOORD0) : COLOR
{
    return float4(0.0, 1.0, 0.0, 1.0);
}

technique Invert
{
    pass p0 { VertexShader = compile vs_3_0 passVS(); PixelShader = compile ps_3_0 invertPS(); }
}
technique Scale
{
    pass p0 { VertexShader = compile vs_3_0 passVS(); PixelShader = compile ps_3_0 scalePS(); }
}
technique Green
{
    pass p0 { VertexShader = compile vs_3_0 passVS(); PixelShader = compile ps_3_0 greenPS(); }
}
technique Empty
{
}
technique Twice
{
    pass p0 { VertexShader = compile vs_3_0 passVS(); PixelShader = compile ps_3_0 greenPS(); }
    pass p1 { VertexShader = compile vs_3_0 passVS(); PixelShader = compile ps_3_0 scalePS(); }
}
)";

namespace {

int RecordBox(win::WindowHandle, const char* text, const char* caption, std::uint32_t type) {
    MessageBoxLog& log = Boxes();
    ++log.calls;
    log.text = text != nullptr ? text : "";
    log.caption = caption != nullptr ? caption : "";
    log.type = type;
    return win::IDOK;
}

}  // namespace

MessageBoxLog& Boxes() {
    static MessageBoxLog log;
    return log;
}

std::string IntroEffectSource() {
    const auto* bytes = reinterpret_cast<const char*>(assets::ItemBytes(assets::kEffectSource));
    const char* const end = bytes + assets::kEffectSource.bytes;
    std::string source;
    for (const char* line = bytes; line < end;) {
        const std::size_t length = strnlen(line, static_cast<std::size_t>(end - line));
        if (std::string_view(line, length) == "End") break;
        source.append(line, length);
        source.push_back('\n');
        line += length + 1;
    }
    return source;
}

void EngineTest::SetUpTestSuite() {
    AttachOnce("EffectTestClass");
    if (Attached()) gfx::SetPresentPacing(false);
}

void EngineTest::SetUp() {
    EngineFixture::SetUp();
    win::SetMessageBoxHook(RecordBox);
    Boxes().Reset();
    engine::render_texture_detail::Calls() = engine::render_texture_detail::DefaultCalls();
    gfx::InjectPresentFailures(0, 0);
    gfx::InjectResetFailures(0);
}

void EngineTest::TearDown() {
    engine::render_texture_detail::Calls() = engine::render_texture_detail::DefaultCalls();
    win::SetMessageBoxHook(nullptr);
    EngineFixture::TearDown();
}

void EngineTest::DrawQuadrants() {
    const gfx::RECT topLeft{0, 0, kScreenWidth / 2, kScreenHeight / 2};
    const gfx::RECT topRight{kScreenWidth / 2, 0, kScreenWidth, kScreenHeight / 2};
    const gfx::RECT bottomLeft{0, kScreenHeight / 2, kScreenWidth / 2, kScreenHeight};
    const gfx::RECT bottomRight{kScreenWidth / 2, kScreenHeight / 2, kScreenWidth, kScreenHeight};
    FillBackBuffer(&topLeft, 0xFFFF0000u);
    FillBackBuffer(&topRight, 0xFF00FF00u);
    FillBackBuffer(&bottomLeft, 0xFF0000FFu);
    FillBackBuffer(&bottomRight, 0xFFFFFFFFu);
}

gfx::D3DSURFACE_DESC EngineTest::LevelDesc(const engine::TextureRecord* record) {
    gfx::D3DSURFACE_DESC desc;
    if (record == nullptr || record->texture == nullptr ||
        gfx::Failed(record->texture->GetLevelDesc(0, &desc))) {
        ADD_FAILURE() << "no level 0";
    }
    return desc;
}

::testing::AssertionResult Near(std::uint32_t actual, std::uint32_t expected, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFFu);
        const int e = static_cast<int>((expected >> shift) & 0xFFu);
        if (std::abs(a - e) > tolerance) {
            char buffer[96];
            std::snprintf(buffer, sizeof buffer, "0x%06X is not within %d of 0x%06X",
                          static_cast<unsigned>(actual), tolerance,
                          static_cast<unsigned>(expected));
            return ::testing::AssertionFailure() << buffer;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace effects_test
