// tests/effects/effect_test_util.h: an engine on a real 800 x 600 window for the effect and
// render-texture tests, small effects of our own, the message-box recorder, and pixel helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/effect.h"
#include "engine/engine.h"
#include "engine/render_texture.h"
#include "engine/render_texture_internal.h"
#include "engine/state_internal.h"
#include "platform/gfx/gfx.h"
#include "tests/engine_support/engine_fixture.h"

namespace effects_test {

namespace gfx = platform::gfx;

// An effect of our own with four techniques, first "Invert":
//   Invert  one pass: 1 - the texture's colour (opaque)
//   Scale   one pass: the texture's colour times "gain" (1.0 at first)
//   Green   one pass: opaque green, whatever the texture
//   Empty   no pass at all
//   Twice   two passes of "Scale" (the second overwrites the first)
extern const char* const kTestEffect;

// Everything the message box was asked to show since the last Reset().
struct MessageBoxLog {
    int calls = 0;
    std::string text, caption;
    std::uint32_t type = 0xFFFFFFFFu;
    void Reset() { *this = MessageBoxLog{}; }
};
MessageBoxLog& Boxes();

// The effect source of the intro's data area, assembled as the intro does: each embedded line
// followed by a line feed, up to the line "End".
std::string IntroEffectSource();

// The engine on its window (tests/engine_support/engine_fixture.h). Every test also starts with
// the message box replaced by the recorder, the platform calls of the render-texture path
// restored, and no device fault injected.
class EngineTest : public testsupport::EngineFixture {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // A picture with four coloured quadrants (red, green / blue, white) on the back buffer.
    static void DrawQuadrants();

    // Level-0 description of a record's current texture.
    static gfx::D3DSURFACE_DESC LevelDesc(const engine::TextureRecord* record);
};

// Channel-wise closeness of two 0x00RRGGBB words.
::testing::AssertionResult Near(std::uint32_t actual, std::uint32_t expected, int tolerance);

}  // namespace effects_test
