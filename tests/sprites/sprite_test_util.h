// tests/sprites/sprite_test_util.h: an engine attached to a real 800 x 600 window for the
// sprite, box and scroller tests, with helpers to make images, draw a frame and read it back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/box.h"
#include "engine/engine.h"
#include "engine/scroll_text.h"
#include "engine/sprite.h"
#include "platform/gfx/gfx.h"
#include "tests/engine_support/engine_fixture.h"

namespace sprites_test {

namespace gfx = platform::gfx;

// A PNG file of "width" x "height" ARGB pixels (with its alpha channel).
std::vector<std::uint8_t> MakePng(int width, int height, const std::vector<std::uint32_t>& argb);

// A PNG file of one colour.
std::vector<std::uint8_t> SolidPng(int width, int height, std::uint32_t argb);

// The engine on its window (tests/engine_support/engine_fixture.h); every test also starts with
// no sprites of its own and a frame time of 1/60 s, and its sprites are destroyed afterwards.
class EngineTest : public testsupport::EngineFixture {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // A sprite made from "png" that the fixture destroys after the test.
    engine::Sprite* MakeSprite(const std::vector<std::uint8_t>& png);
    engine::Sprite* MakeSolidSprite(int width, int height, std::uint32_t argb);

    // Clears the back buffer to "clear", opens a scene, flushes the sprites and then the boxes
    // as the frame's flush points do, and closes the scene.
    void DrawFrame(std::uint32_t clear = 0xFF102030u);

    // The queued sprite commands, in queue order.
    static std::vector<engine::SpriteDrawCommand> QueuedCommands();

    std::vector<engine::Sprite*> sprites_;
};

}  // namespace sprites_test
