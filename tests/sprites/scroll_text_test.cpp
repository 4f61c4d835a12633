// tests/sprites/scroll_text_test.cpp: the scroller's set-up, update, flat and wave drawing, and
// its glyphs on screen.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/scroll_text_internal.h"
#include "engine/state_internal.h"
#include "runtime/list.h"
#include "tests/sprites/sprite_test_util.h"

namespace sprites_test {
namespace {

using engine::engineLists;
using engine::scrollTextTable;

// A 320 x 48 font whose cell g is filled with a colour that names it: 0xFF40xxyy, with the
// column inside the cell in yy, so every glyph column is recognisable on screen.
std::uint32_t FontTexel(int g, int column) {
    return 0xFF400000u | (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(column + 1);
}

std::vector<std::uint8_t> FontPng() {
    std::vector<std::uint32_t> image(320 * 48);
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 320; ++x) {
            const int g = (y / 16) * 20 + x / 16;
            image[y * 320 + x] = FontTexel(g, x % 16);
        }
    }
    return MakePng(320, 48, image);
}

class ScrollTextTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        engine::InitScrollTextTables();
        const std::vector<std::uint8_t> png = FontPng();
        font_ = engine::LoadFontFromMemory(0, png.data(), static_cast<std::uint32_t>(png.size()));
        ASSERT_NE(font_, nullptr);
    }
    void TearDown() override {
        for (const auto& f : engine::fontTable) {
            if (f.sprite != nullptr) engine::DestroySprite(f.sprite);
        }
        engine::InitScrollTextTables();
        EngineTest::TearDown();
    }

    // Sets scroller 0 up on text slot 0 and font slot 0 with "text".
    void Start(const std::string& text, int y, int left, int right) {
        engine::SetTextSlot(0, text.c_str());
        engine::InitScrollText(0, 0, 0, y, left, right);
    }

    engine::Sprite* font_ = nullptr;
};

std::string Alphabet(int length) {
    std::string s;
    for (int i = 0; i < length; ++i) s.push_back(static_cast<char>('A' + i % 26));
    return s;
}

// ---------------------------------------------------------------------------------------------
// Set-up and update
// ---------------------------------------------------------------------------------------------

TEST_F(ScrollTextTest, SetUpTakesTheFontTextAndBounds) {
    EXPECT_EQ(engine::fontTable[0].columns, 20);
    EXPECT_EQ(engine::fontTable[0].rowWidth, 320);
    engine::SetTextSlot(3, "Hi");
    EXPECT_EQ(engine::textTable[3], "Hi ");
    engine::InitScrollText(5, 3, 0, 450, -10, 860);
    const engine::ScrollText& st = scrollTextTable[5];
    EXPECT_EQ(st.fontSprite, font_);
    EXPECT_EQ(st.width, 870);
    EXPECT_EQ(st.offset, 860);
    EXPECT_EQ(st.length, 3);
    EXPECT_EQ(st.charIndex, 1);
    EXPECT_EQ(engine::CachedScreenWidth(), kScreenWidth);
    // Halves round away from zero: 328 / 16 = 20.5 gives 21 cells per row.
    const std::vector<std::uint8_t> wide = SolidPng(328, 16, 0xFFFFFFFFu);
    const std::int32_t spritesBefore = engineLists.spriteList.Count();
    engine::Sprite* again = engine::LoadFontFromMemory(0, wide.data(), static_cast<std::uint32_t>(wide.size()));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(engine::fontTable[0].columns, 21);
    EXPECT_EQ(engineLists.spriteList.Count(), spritesBefore);  // old one destroyed
    // An image that cannot be loaded leaves the slot empty.
    EXPECT_EQ(engine::LoadFontFromMemory(0, "junk", 4), nullptr);
    EXPECT_EQ(engine::fontTable[0].sprite, nullptr);
    EXPECT_EQ(engineLists.spriteList.Count(), spritesBefore - 1);
}

TEST_F(ScrollTextTest, FirstUpdateDrawsTheFirstCharacterAt849) {
    Start(Alphabet(100), 450, -10, 860);
    engine::UpdateScrollText(0);
    const auto c = QueuedCommands();
    ASSERT_EQ(c.size(), 1u);  // the second character would start at 865, past the bound
    EXPECT_EQ(c[0].x, 849.0f);
    EXPECT_EQ(c[0].y, 450.0f);
    EXPECT_EQ(c[0].region.left, 16 * 13);  // 'A'
    EXPECT_EQ(c[0].region.top, 16);
    EXPECT_EQ(c[0].region.right - c[0].region.left, 10);  // 860 - 849 - 1
    EXPECT_EQ(c[0].region.bottom - c[0].region.top, 16);
}

TEST_F(ScrollTextTest, TakesFiftyFourCharactersFromTheIndex) {
    Start(Alphabet(100), 450, -10, 860);
    scrollTextTable[0].offset = -15;  // the update brings it to -16: x0 = -26
    scrollTextTable[0].charIndex = 3;
    engine::UpdateScrollText(0);
    const auto c = QueuedCommands();
    // Characters 3..56: the first is cut away completely at the left bound (width 0), the
    // 54th starts at 822; the 55th would still fit at 838 but lies outside the substring.
    ASSERT_EQ(c.size(), 53u);
    EXPECT_EQ(c.front().x, -10.0f);
    EXPECT_EQ(c.front().region.left, 16 * (('D' - 32) % 20));
    EXPECT_EQ(c.back().x, 822.0f);
}

TEST_F(ScrollTextTest, RestartDrawsFrom844InTheSameUpdate) {
    Start("AB", 450, -10, 860);  // stored "AB ", length 3
    scrollTextTable[0].charIndex = 3;
    scrollTextTable[0].offset = -16;
    scrollTextTable[0].phase = 55.0f;
    engine::UpdateScrollText(0);
    EXPECT_EQ(scrollTextTable[0].charIndex, 1);
    EXPECT_EQ(scrollTextTable[0].offset, 854);
    EXPECT_EQ(scrollTextTable[0].phase, 0.0f);
    const auto c = QueuedCommands();
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].x, 844.0f);
    EXPECT_EQ(c[0].region.right - c[0].region.left, 16);  // ends exactly on the bound
    // The blank after it starts on the bound: width -1, nothing drawn.
}

TEST_F(ScrollTextTest, FlatGlyphsAreClippedAtBothBounds) {
    Start("ABCDEFGH", 100, 0, 101);   // Count = 101 / 16 + 1 = 7
    scrollTextTable[0].offset = -4;   // x0 = -5
    engine::UpdateScrollText(0);
    const auto c = QueuedCommands();
    ASSERT_EQ(c.size(), 7u);
    EXPECT_EQ(c[0].x, 0.0f);  // at L - 5: 11 columns from source column + 5
    EXPECT_EQ(c[0].region.left, 16 * 13 + 5);
    EXPECT_EQ(c[0].region.right - c[0].region.left, 11);
    EXPECT_EQ(c[1].x, 11.0f);
    EXPECT_EQ(c[1].region.right - c[1].region.left, 16);
    EXPECT_EQ(c[6].x, 91.0f);  // at R - 10: 9 columns
    EXPECT_EQ(c[6].region.left, 16 * 19);
    EXPECT_EQ(c[6].region.right - c[6].region.left, 9);
}

TEST_F(ScrollTextTest, BadNumbersAndEmptySlotsDrawNothing) {
    const std::vector<std::uint8_t> png = FontPng();
    for (std::int32_t slot : {-1, 100, 1 << 30}) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(engine::LoadFontFromMemory(slot, png.data(), static_cast<std::uint32_t>(png.size())),
                  nullptr);
        EXPECT_EQ(engine::SetTextSlot(slot, "X"), 0);
        EXPECT_EQ(engine::InitScrollText(slot, 0, 0, 0, 0, 100), 0);
        EXPECT_EQ(engine::InitScrollText(0, slot, 0, 0, 0, 100), 0);
        EXPECT_EQ(engine::SetScrollTextWave(slot, 0, 0, 82, -7.0f), 0);
        EXPECT_EQ(engine::UpdateScrollText(slot), 0);
    }
    EXPECT_TRUE(QueuedCommands().empty());
    // A text slot never set: the scroller restarts every update and draws nothing.
    engine::InitScrollText(1, 7, 0, 100, 0, 800);
    for (int i = 0; i < 3; ++i) engine::UpdateScrollText(1);
    EXPECT_EQ(scrollTextTable[1].charIndex, 1);
    // A font slot without a sprite: the region draws name no sprite and are dropped.
    engine::SetTextSlot(2, "ABC");
    engine::InitScrollText(2, 2, 9, 100, 0, 800);
    scrollTextTable[2].offset = 10;
    engine::UpdateScrollText(2);
    EXPECT_TRUE(QueuedCommands().empty());
    // The text shrank after set-up: the cached length points past it, nothing is read there.
    Start(Alphabet(40), 100, 0, 800);
    engine::SetTextSlot(0, "A");
    scrollTextTable[0].charIndex = 30;
    engine::UpdateScrollText(0);
    EXPECT_TRUE(QueuedCommands().empty());
}

// ---------------------------------------------------------------------------------------------
// Wave
// ---------------------------------------------------------------------------------------------

TEST_F(ScrollTextTest, WaveColumnsReachTheAmplitudeAtTheQuarterPoints) {
    Start(Alphabet(100), 450, -10, 860);
    engine::SetScrollTextWave(0, 0, 0, 82, -7.0f);
    scrollTextTable[0].offset = 11;  // x0 = 0
    engine::UpdateScrollText(0);
    EXPECT_EQ(scrollTextTable[0].phase, -7.0f);
    const auto c = QueuedCommands();
    // One column per pixel from x 0, stopping after the first column past the screen width.
    ASSERT_EQ(c.size(), 802u);
    EXPECT_EQ(c.back().x, 801.0f);
    for (size_t i = 0; i < c.size(); ++i) {
        ASSERT_EQ(c[i].x, static_cast<float>(i));
        ASSERT_EQ(c[i].region.right - c[i].region.left, 1);
        const int letter = 'A' + static_cast<int>(i) / 16 % 26;
        ASSERT_EQ(c[i].region.left, 16 * ((letter - 32) % 20) + static_cast<int>(i) % 16) << i;
    }
    // (x - 7) * pi / 360 = pi / 2 at x 187, 3 pi / 2 at x 547.
    EXPECT_EQ(c[187].y, 450.0f + 82.0f);
    EXPECT_EQ(c[547].y, 450.0f - 82.0f);
    EXPECT_EQ(c[7].y, 450.0f);
    // Mode 0 never touches the scale.
    EXPECT_EQ(c[187].scale[1], 1.0f);
}

TEST_F(ScrollTextTest, WaveModesStretchColumnsAndAmplitudeZeroStaysFlat) {
    Start(Alphabet(100), 300, -10, 860);
    engine::SetScrollTextWave(0, 0, 1, 82, 0.0f);
    scrollTextTable[0].offset = 11;
    engine::UpdateScrollText(0);
    auto c = QueuedCommands();
    ASSERT_EQ(c.size(), 802u);
    EXPECT_NEAR(c[180].scale[1], 0.82f, 1e-5f);
    EXPECT_NEAR(c[540].scale[1], -0.82f, 1e-5f);
    EXPECT_EQ(c[180].scale[0], 1.0f);

    engineLists.spriteDrawQueue.Empty();
    engine::SetScrollTextWave(0, 0, 3, 82, 0.0f);
    engine::SetSpriteScale(font_, 100.0f, 100.0f);
    engine::UpdateScrollText(0);
    EXPECT_EQ(QueuedCommands()[180].scale[1], 1.0f);
    EXPECT_EQ(font_->scale[1], 3.0f);  // set after the stop, for the draws that follow

    engineLists.spriteDrawQueue.Empty();
    engine::SetScrollTextWave(0, 0, 0, 0, -7.0f);
    EXPECT_EQ(scrollTextTable[0].waveOn, 0);
    scrollTextTable[0].offset = 11;
    engine::UpdateScrollText(0);
    c = QueuedCommands();
    ASSERT_FALSE(c.empty());
    EXPECT_EQ(c[0].region.right - c[0].region.left, 16);
}

// ---------------------------------------------------------------------------------------------
// On screen
// ---------------------------------------------------------------------------------------------

TEST_F(ScrollTextTest, GlyphsReachTheScreenWithLowerCaseInUpperCaseCells) {
    Start("aZ[{", 200, 0, 800);
    scrollTextTable[0].offset = 101;  // x0 = 100
    engine::UpdateScrollText(0);
    DrawFrame();
    const std::vector<std::uint32_t> px = ReadBackBuffer();
    const struct {
        int x;
        int g, column;
    } rows[] = {{100, 'A' - 32, 0}, {115, 'A' - 32, 15}, {116, 'Z' - 32, 0},
                {132, '[' - 32, 0}, {148, 0, 0}, {163, 0, 15}};  // '{' outside the font: blank
    for (const auto& r : rows) {
        SCOPED_TRACE(r.x);
        EXPECT_EQ(At(px, r.x, 200), FontTexel(r.g, r.column) & 0xFFFFFFu);
        EXPECT_EQ(At(px, r.x, 215), FontTexel(r.g, r.column) & 0xFFFFFFu);
    }
    EXPECT_EQ(At(px, 100, 216), 0x102030u);
}

TEST_F(ScrollTextTest, WaveColumnsReachTheScreenAtTheirHeights) {
    Start(Alphabet(100), 300, -10, 860);
    engine::SetScrollTextWave(0, 0, 0, 82, 0.0f);
    scrollTextTable[0].offset = 11;
    engine::UpdateScrollText(0);
    DrawFrame();
    const std::vector<std::uint32_t> px = ReadBackBuffer();
    // Column x 180 stands 82 pixels low, column 540 82 pixels high.
    const std::uint32_t low = FontTexel('L' - 32, 4) & 0xFFFFFFu;  // 180 / 16 = 11: 'L'
    EXPECT_EQ(At(px, 180, 382), low);
    EXPECT_EQ(At(px, 180, 397), low);
    EXPECT_EQ(At(px, 180, 381), 0x102030u);
    EXPECT_EQ(At(px, 180, 398), 0x102030u);
    const std::uint32_t high = FontTexel('H' - 32, 12) & 0xFFFFFFu;  // 540 / 16 = 33: 'H'
    EXPECT_EQ(At(px, 540, 218), high);
    EXPECT_EQ(At(px, 540, 233), high);
    EXPECT_EQ(At(px, 540, 234), 0x102030u);
}

}  // namespace
}  // namespace sprites_test
