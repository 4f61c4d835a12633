// tests/sprites/sprite_test.cpp: textures and sprites on a real device, pixels read back.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/state_internal.h"
#include "runtime/list.h"
#include "tests/sprites/sprite_test_util.h"

namespace sprites_test {
namespace {

using engine::deviceState;
using engine::frameClock;
using engine::engineLists;

constexpr std::uint32_t kClear = 0x102030u;

std::int32_t TextureCount() { return engineLists.textureList.Count(); }

// ---------------------------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------------------------

using SpriteLoad = EngineTest;

TEST_F(SpriteLoad, RefusesWhatIsNotAPngAndLeavesNoRecord) {
    const std::vector<std::uint8_t> good = SolidPng(8, 8, 0xFFFF0000u);
    const std::vector<std::uint8_t> notPng = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'};
    std::vector<std::uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
    const struct {
        const char* name;
        const void* bytes;
        std::uint32_t size;
    } rows[] = {{"not a png", notPng.data(), static_cast<std::uint32_t>(notPng.size())},
                {"truncated", truncated.data(), static_cast<std::uint32_t>(truncated.size())},
                {"header only", good.data(), 33},
                {"empty", good.data(), 0},
                {"null", nullptr, 100}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::int32_t before = TextureCount();
        EXPECT_EQ(engine::LoadTextureFromMemory(r.bytes, r.size, 1), nullptr);
        EXPECT_EQ(engine::CreateSpriteFromMemory(r.bytes, r.size), nullptr);
        EXPECT_EQ(TextureCount(), before);
    }
}

TEST_F(SpriteLoad, UnreadableHeaderKeepsTheErrorCodeAndUndecodableDataSetsEighteen) {
    deviceState.lastError = 0;
    const std::vector<std::uint8_t> notPng(64, 0x42);
    EXPECT_EQ(engine::LoadTextureFromMemory(notPng.data(), 64, 1), nullptr);
    EXPECT_EQ(deviceState.lastError, 0);
    // A header that reads well followed by broken image data: the texture cannot be made.
    std::vector<std::uint8_t> broken = SolidPng(16, 16, 0xFF00FF00u);
    ASSERT_GT(broken.size(), 40u);
    for (size_t i = broken.size() - 20; i + 12 < broken.size(); ++i) broken[i] ^= 0x5A;
    EXPECT_EQ(engine::LoadTextureFromMemory(broken.data(), static_cast<std::uint32_t>(broken.size()), 1),
              nullptr);
    EXPECT_EQ(deviceState.lastError, engine::kErrorTextureNotLoaded);
}

TEST_F(SpriteLoad, ClampsMipLevelsAndSpriteCopyKeepsOneLevelOfLevelZeroSize) {
    const std::vector<std::uint8_t> png = SolidPng(6, 5, 0xFF3366FFu);
    const struct {
        std::int32_t asked;
        std::uint32_t levels;
    } rows[] = {{1, 1}, {2, 2}, {0, 3}, {11, 3}, {-1, 3}};  // 6 x 5: full chain of 3 levels
    for (const auto& r : rows) {
        SCOPED_TRACE(r.asked);
        engine::TextureRecord* t =
            engine::LoadTextureFromMemory(png.data(), static_cast<std::uint32_t>(png.size()), r.asked);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->texture->GetLevelCount(), r.levels);
        EXPECT_EQ(t->width, 6);
        EXPECT_EQ(t->height, 5);
        EXPECT_EQ(t->format, gfx::D3DFMT_A8R8G8B8);
        EXPECT_EQ(t->isRenderTarget, 0);
        EXPECT_FLOAT_EQ(t->factors[6], 1.0f);
        EXPECT_FLOAT_EQ(t->factors[7], 4.0f);
    }
    engine::TextureRecord* t =
        engine::LoadTextureFromMemory(png.data(), static_cast<std::uint32_t>(png.size()), 0);
    engine::Sprite* s = engine::CreateSpriteFromTexture(t);
    ASSERT_NE(s, nullptr);
    sprites_.push_back(s);
    EXPECT_EQ(t->texture->GetLevelCount(), 1u);
    EXPECT_EQ(engine::GetTextureWidth(t), 6);
    EXPECT_EQ(engine::GetTextureHeight(t), 5);
    EXPECT_EQ(s->width, 6);
    EXPECT_EQ(s->height, 5);
    EXPECT_FLOAT_EQ(s->centre[0], 3.0f);
    EXPECT_FLOAT_EQ(s->centre[1], 2.5f);
}

TEST_F(SpriteLoad, UnknownHandlesChangeNothing) {
    auto* fakeSprite = reinterpret_cast<engine::Sprite*>(kScreenWidth * 16);
    auto* fakeTexture = reinterpret_cast<engine::TextureRecord*>(kScreenWidth * 32);
    EXPECT_EQ(engine::CreateSpriteFromTexture(fakeTexture), nullptr);
    EXPECT_EQ(engine::CreateSpriteFromTexture(nullptr), nullptr);
    EXPECT_EQ(engine::GetTextureWidth(fakeTexture), 0);
    EXPECT_EQ(engine::GetTextureHeight(nullptr), 0);
    EXPECT_EQ(engine::GetSpriteWidth(fakeSprite), 0);
    EXPECT_EQ(engine::SetSpriteAnimation(fakeSprite, 2, 20, 1, 1), 0);
    EXPECT_EQ(engine::SetSpriteScale(fakeSprite, 50.0f, 50.0f), 0);
    EXPECT_EQ(engine::SetSpriteDepth(fakeSprite, 1.0f), 0);
    EXPECT_EQ(engine::QueueSpriteDraw(fakeSprite, 0, 0, 255, 0), 0);
    EXPECT_EQ(engine::PlaceSprite(nullptr, 0, 0), 0);
    EXPECT_EQ(engine::QueueSpriteRegion(fakeSprite, 0, 0, 0, 0, 1, 1, 255), 0);
    EXPECT_EQ(engine::DestroySprite(fakeSprite), 0);
    EXPECT_EQ(engine::FlushSpriteQueue(fakeSprite), 0);
    EXPECT_TRUE(QueuedCommands().empty());
}

// ---------------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------------

using SpriteDraw = EngineTest;

TEST_F(SpriteDraw, UnscaledSpriteReproducesItsPixelsAndOpaqueBlackIsTransparent) {
    constexpr int w = 7, h = 5;
    std::vector<std::uint32_t> image(w * h);
    for (int i = 0; i < w * h; ++i) {
        image[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x070503 + 0x102040);
    }
    image[3] = 0xFF000000u;      // opaque black: keyed out
    image[w * 2 + 4] = 0xFF000000u;
    engine::Sprite* s = MakeSprite(MakePng(w, h, image));
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(engine::PlaceSprite(s, 13, 21), 1);
    DrawFrame();
    const std::vector<std::uint32_t> px = ReadBackBuffer();
    for (int y = -1; y <= h; ++y) {
        for (int x = -1; x <= w; ++x) {
            SCOPED_TRACE(testing::Message() << "texel " << x << "," << y);
            const bool inside = x >= 0 && y >= 0 && x < w && y < h;
            const std::uint32_t texel = inside ? image[y * w + x] : 0xFF000000u;
            const std::uint32_t want = texel == 0xFF000000u ? kClear : (texel & 0xFFFFFFu);
            EXPECT_EQ(At(px, 13 + x, 21 + y), want);
        }
    }
    EXPECT_TRUE(QueuedCommands().empty());
}

TEST_F(SpriteDraw, SpritesDrawInCreationOrderWhateverTheQueueOrder) {
    engine::Sprite* first = MakeSolidSprite(10, 10, 0xFFFF0000u);
    engine::Sprite* second = MakeSolidSprite(10, 10, 0xFF00FF00u);
    engine::PlaceSprite(second, 100, 100);
    engine::PlaceSprite(first, 105, 100);
    DrawFrame();
    const std::vector<std::uint32_t> px = ReadBackBuffer();
    EXPECT_EQ(At(px, 102, 105), 0x00FF00u);
    EXPECT_EQ(At(px, 107, 105), 0x00FF00u);  // overlap: the later-created sprite on top
    EXPECT_EQ(At(px, 112, 105), 0xFF0000u);
}

TEST_F(SpriteDraw, NewSpriteGoesAfterTheRecordTheLastListOperationLeftCurrent) {
    engine::Sprite* red = MakeSolidSprite(10, 10, 0xFFFF0000u);
    engine::Sprite* green = MakeSolidSprite(10, 10, 0xFF00FF00u);
    engine::GetSpriteWidth(red);  // a lookup: the new sprite lands between red and green
    engine::Sprite* blue = MakeSolidSprite(10, 10, 0xFF0000FFu);
    const auto drawAllAt = [&](std::vector<engine::Sprite*> sprites, int x) {
        for (engine::Sprite* s : sprites) engine::PlaceSprite(s, x, 100);
        DrawFrame();  // walks spriteList: its cursor ends on the last sprite
        return At(ReadBackBuffer(), x + 5, 105);
    };
    EXPECT_EQ(drawAllAt({green, blue, red}, 100), 0x00FF00u);  // red, blue, green
    engine::Sprite* white = MakeSolidSprite(10, 10, 0xFFFFFFFFu);  // after a walk: appended
    EXPECT_EQ(drawAllAt({white, green, blue, red}, 200), 0xFFFFFFu);
    engine::DestroySprite(green);  // its predecessor, blue, is current: the next one takes its place
    engine::Sprite* black = MakeSolidSprite(10, 10, 0xFF000001u);
    EXPECT_EQ(drawAllAt({white, black}, 300), 0xFFFFFFu);
    EXPECT_EQ(drawAllAt({black, blue}, 400), 0x000001u);
}

TEST_F(SpriteDraw, ScaleAndDepthSetAfterQueueingApplyToLaterDrawsOnly) {
    engine::Sprite* s = MakeSolidSprite(10, 10, 0xFF0000FFu);
    engine::PlaceSprite(s, 50, 100);
    engine::SetSpriteScale(s, 100.0f, 120.0f);
    engine::PlaceSprite(s, 80, 100);
    engine::SetSpriteScale(s, 200.0f, 50.0f);
    DrawFrame();
    const std::vector<std::uint32_t> px = ReadBackBuffer();
    // Natural size first, then 10 x 12 with the top-left corner kept.
    EXPECT_EQ(At(px, 50, 100), 0x0000FFu);
    EXPECT_EQ(At(px, 59, 109), 0x0000FFu);
    EXPECT_EQ(At(px, 59, 110), kClear);
    EXPECT_EQ(At(px, 60, 105), kClear);
    EXPECT_EQ(At(px, 80, 100), 0x0000FFu);
    EXPECT_EQ(At(px, 89, 111), 0x0000FFu);
    EXPECT_EQ(At(px, 89, 112), kClear);
    EXPECT_EQ(At(px, 90, 105), kClear);
    EXPECT_EQ(At(px, 79, 105), kClear);
    EXPECT_EQ(At(px, 85, 99), kClear);
}

TEST_F(SpriteDraw, RegionDrawsTheRegionOnlyAndAlphaBlends) {
    std::vector<std::uint32_t> image(8 * 4, 0xFFFF0000u);
    for (int y = 0; y < 4; ++y)
        for (int x = 4; x < 8; ++x) image[y * 8 + x] = 0xFF00FF00u;
    engine::Sprite* s = MakeSprite(MakePng(8, 4, image));
    engine::QueueSpriteRegion(s, 200, 300, 4, 1, 3, 2, 255);
    engine::QueueSpriteRegion(s, 250, 300, 0, 0, 2, 2, 0x180);  // alpha 0x80: its low 8 bits
    DrawFrame(0xFF000000u);
    const std::vector<std::uint32_t> px = ReadBackBuffer();
    EXPECT_EQ(At(px, 200, 300), 0x00FF00u);
    EXPECT_EQ(At(px, 202, 301), 0x00FF00u);
    EXPECT_EQ(At(px, 203, 300), 0u);
    EXPECT_EQ(At(px, 200, 302), 0u);
    const std::uint32_t blended = At(px, 250, 300);
    EXPECT_NEAR(static_cast<int>(blended >> 16), 0x80, 2);
    EXPECT_EQ(blended & 0xFFFFu, 0u);
}

TEST_F(SpriteDraw, EachCommandKeepsItsBlendStatesWhenBatched) {
    engine::Sprite* s = MakeSolidSprite(8, 8, 0xFF200000u);
    const std::uint64_t before = engine::SpriteBatchesFlushed();
    engine::PlaceSprite(s, 300, 300);
    engine::PlaceSprite(s, 320, 300);  // same states: joins the first batch
    s->srcBlend = gfx::D3DBLEND_ONE;   // additive from here on
    s->destBlend = gfx::D3DBLEND_ONE;
    engine::PlaceSprite(s, 304, 300);
    engine::PlaceSprite(s, 304, 300);
    DrawFrame(0xFF000040u);
    EXPECT_EQ(engine::SpriteBatchesFlushed() - before, 2u);
    const std::vector<std::uint32_t> px = ReadBackBuffer();
    EXPECT_EQ(At(px, 301, 301), 0x200000u);  // the first draw replaced the background
    EXPECT_EQ(At(px, 321, 301), 0x200000u);
    EXPECT_EQ(At(px, 305, 301), 0x600000u);  // two additive draws over the first
    EXPECT_EQ(At(px, 310, 301), 0x400040u);  // additive over the background only
}

TEST_F(SpriteDraw, DestroyedSpriteCommandsStayQueuedUndrawn) {
    engine::Sprite* keep = MakeSolidSprite(4, 4, 0xFFFFFFFFu);
    engine::Sprite* gone = MakeSolidSprite(4, 4, 0xFFFF0000u);
    engine::PlaceSprite(gone, 10, 10);
    engine::PlaceSprite(keep, 20, 10);
    engine::PlaceSprite(gone, 30, 10);
    ASSERT_EQ(engine::DestroySprite(gone), 1);
    std::erase(sprites_, gone);
    DrawFrame();
    const std::vector<std::uint32_t> px = ReadBackBuffer();
    EXPECT_EQ(At(px, 11, 11), kClear);
    EXPECT_EQ(At(px, 21, 11), 0xFFFFFFu);
    const auto left = QueuedCommands();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].x, 10.0f);
    EXPECT_EQ(left[1].x, 30.0f);
}

TEST_F(SpriteDraw, DepthIsProjectedUnlessZero) {
    engine::Sprite* s = MakeSolidSprite(2, 2, 0xFFFFFFFFu);
    gfx::D3DXMATRIX saved, projection;
    deviceState.device->GetTransform(gfx::D3DTS_PROJECTION, &saved);
    gfx::D3DXMatrixIdentity(&projection);
    projection.m[2][2] = 0.5f;
    projection.m[3][2] = 0.25f;
    projection.m[2][3] = 0.5f;  // w = 0.5 z + 1
    deviceState.device->SetTransform(gfx::D3DTS_PROJECTION, &projection);
    EXPECT_EQ(engine::SetSpriteDepth(s, 2.0f), 1);
    EXPECT_FLOAT_EQ(s->depth, (2.0f * 0.5f + 0.25f) / 2.0f);
    engine::PlaceSprite(s, 0, 0);
    EXPECT_EQ(engine::SetSpriteDepth(s, 0.0f), 1);
    EXPECT_EQ(s->depth, 0.0f);
    deviceState.device->SetTransform(gfx::D3DTS_PROJECTION, &saved);
    const auto queued = QueuedCommands();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_FLOAT_EQ(queued[0].depth, 0.625f);
}

// ---------------------------------------------------------------------------------------------
// Animation
// ---------------------------------------------------------------------------------------------

// Strips one pixel wide of frames two pixels tall; frame k is coloured 0xFF800000 + k.
class SpriteAnimation : public EngineTest {
protected:
    engine::Sprite* Strip(int frames) {
        std::vector<std::uint32_t> image(static_cast<size_t>(frames) * 2);
        for (int k = 0; k < frames; ++k) {
            image[2 * k] = image[2 * k + 1] = FrameColour(k);
        }
        return MakeSprite(MakePng(1, frames * 2, image));
    }
    static std::uint32_t FrameColour(int k) { return 0xFF800000u + static_cast<std::uint32_t>(k); }
};

TEST_F(SpriteAnimation, ThreeDrawsInOneFlushStepOnceAfterTheFirst) {
    engine::Sprite* s = Strip(3);
    ASSERT_EQ(engine::SetSpriteAnimation(s, 3, 20, 1, 2), 1);
    frameClock.frameSeconds = 0.06f;  // 3.6 sixtieths > 60 / 20
    engine::PlaceSprite(s, 10, 10);
    engine::PlaceSprite(s, 20, 10);
    engine::PlaceSprite(s, 30, 10);
    DrawFrame();
    const std::vector<std::uint32_t> px = ReadBackBuffer();
    EXPECT_EQ(At(px, 10, 10), FrameColour(0) & 0xFFFFFFu);
    EXPECT_EQ(At(px, 20, 11), FrameColour(1) & 0xFFFFFFu);
    EXPECT_EQ(At(px, 30, 10), FrameColour(1) & 0xFFFFFFu);
    EXPECT_EQ(At(px, 10, 12), kClear);  // one frame tall
    EXPECT_EQ(s->currentFrame, 1);
    EXPECT_EQ(s->frameTimer, 0.0f);
}

TEST_F(SpriteAnimation, StepsOnlyAfterMoreThanOneFrameTimeGathered) {
    engine::Sprite* s = Strip(4);
    ASSERT_EQ(engine::SetSpriteAnimation(s, 4, 20, 1, 2), 1);
    frameClock.frameSeconds = 1.0f / 60.0f;
    std::vector<std::int32_t> frames;
    for (int flush = 0; flush < 9; ++flush) {
        engine::PlaceSprite(s, 0, 0);
        engine::FlushAllSprites();
        frames.push_back(s->currentFrame);
    }
    // One sixtieth per flush: 3.0 is not more than 60 / 20, so every fourth flush steps.
    EXPECT_EQ(frames, (std::vector<std::int32_t>{0, 0, 0, 1, 1, 1, 1, 2, 2}));
    // A flush that does not draw the sprite does not gather time.
    engine::FlushAllSprites();
    EXPECT_FLOAT_EQ(s->frameTimer, 1.0f);
}

TEST_F(SpriteAnimation, TwoHundredFiftyFramesWrapToFrameZero) {
    engine::Sprite* s = Strip(260);
    ASSERT_EQ(engine::SetSpriteAnimation(s, 250, 20, 1, 2), 1);
    frameClock.frameSeconds = 0.1f;  // every flush steps
    for (int flush = 0; flush < 249; ++flush) {
        engine::PlaceSprite(s, 0, 0);
        engine::FlushAllSprites();
    }
    EXPECT_EQ(s->currentFrame, 249);
    engine::PlaceSprite(s, 40, 40);
    DrawFrame();
    EXPECT_EQ(At(ReadBackBuffer(), 40, 41), FrameColour(249) & 0xFFFFFFu);
    EXPECT_EQ(s->currentFrame, 0);
}

TEST_F(SpriteAnimation, FrameOffsetsAndRegionsPickFramesSafely) {
    engine::Sprite* s = Strip(5);
    ASSERT_EQ(engine::SetSpriteAnimation(s, 5, 20, 1, 2), 1);  // lastFrame 4
    frameClock.frameSeconds = 0.0f;
    const struct {
        std::int32_t offset;
        int frame;
    } rows[] = {{0, 0}, {4, 4}, {5, 1}, {8, 4}, {9, 1}, {2000000001, 1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.offset);
        engine::QueueSpriteDraw(s, 5, 5, 255, r.offset);
        DrawFrame();
        EXPECT_EQ(At(ReadBackBuffer(), 5, 5), FrameColour(r.frame) & 0xFFFFFFu);
    }
    // A region draw of an animated sprite shows its animation frame, not the region.
    engine::QueueSpriteRegion(s, 5, 5, 0, 6, 1, 2, 255);
    DrawFrame();
    EXPECT_EQ(At(ReadBackBuffer(), 5, 5), FrameColour(0) & 0xFFFFFFu);

    // A one-frame animation with an offset shows frame 0 instead of never ending.
    engine::Sprite* one = Strip(2);
    ASSERT_EQ(engine::SetSpriteAnimation(one, 1, 20, 1, 2), 1);
    engine::QueueSpriteDraw(one, 9, 9, 255, 3);
    DrawFrame();
    EXPECT_EQ(At(ReadBackBuffer(), 9, 9), FrameColour(0) & 0xFFFFFFu);

    // Rate 0: each command names its frame, without reduction or stepping.
    engine::Sprite* still = Strip(5);
    ASSERT_EQ(engine::SetSpriteAnimation(still, 5, 0, 1, 2), 1);
    engine::QueueSpriteDraw(still, 7, 7, 255, 3);
    DrawFrame();
    EXPECT_EQ(At(ReadBackBuffer(), 7, 7), FrameColour(3) & 0xFFFFFFu);
    EXPECT_EQ(still->currentFrame, 0);
}

TEST_F(SpriteAnimation, RefusesFramesThatDoNotFit) {
    engine::Sprite* s = Strip(4);
    const struct {
        std::int32_t count, width, height;
    } rows[] = {{4, 0, 2}, {4, -1, 2}, {4, 2, 2}, {0, 1, 2}, {-3, 1, 2}, {4, 1, 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.count << " " << r.width << "x" << r.height);
        EXPECT_EQ(engine::SetSpriteAnimation(s, r.count, 20, r.width, r.height), 0);
        EXPECT_EQ(s->animated, 0);
        EXPECT_FLOAT_EQ(s->centre[1], 4.0f);
    }
}

}  // namespace
}  // namespace sprites_test
