// tests/sprites/pixel_math_test.cpp: the box line walk, the 16-bit colour packing and the
// scroller's glyph, clipping and wave arithmetic, without a device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "engine/box_internal.h"
#include "engine/scroll_text_internal.h"

namespace {

using engine::box_detail::PackColour16;
using engine::box_detail::WalkLine;
using namespace engine::scroll_detail;

using Point = std::pair<long long, long long>;

std::vector<Point> Walk(int x1, int y1, int x2, int y2) {
    std::vector<std::pair<long long, long long>> points;
    WalkLine(x1, y1, x2, y2, [&](long long x, long long y) { points.emplace_back(x, y); });
    return points;
}

// ---------------------------------------------------------------------------------------------
// Line walk
// ---------------------------------------------------------------------------------------------

TEST(BoxLine, IncludesBothEndsAndStepsOnePixel) {
    const struct {
        int x1, y1, x2, y2;
    } rows[] = {{0, 50, 800, 50}, {0, 50, 0, 52},   {800, 52, 0, 50}, {3, 3, 3, 3},
                {0, 0, 5, 2},     {5, 2, 0, 0},     {0, 0, -7, 7},    {-4, 10, 6, -30},
                {10, 0, 0, 3},    {0, 0, 1, 100}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "(" << r.x1 << "," << r.y1 << ")-(" << r.x2 << ","
                                        << r.y2 << ")");
        const auto points = Walk(r.x1, r.y1, r.x2, r.y2);
        const long long longer = std::max(std::llabs(r.x2 - r.x1), std::llabs(r.y2 - r.y1));
        ASSERT_EQ(points.size(), static_cast<size_t>(longer + 1));
        EXPECT_EQ(points.front(), Point(r.x1, r.y1));
        EXPECT_EQ(points.back(), Point(r.x2, r.y2));
        for (size_t i = 1; i < points.size(); ++i) {
            EXPECT_LE(std::llabs(points[i].first - points[i - 1].first), 1);
            EXPECT_LE(std::llabs(points[i].second - points[i - 1].second), 1);
        }
    }
}

TEST(BoxLine, ErrorTermStartsAtHalfTheLongAxis) {
    // L = 5, S = 2: the error term 2 decides straight, diagonal, straight, diagonal, straight.
    const std::vector<std::pair<long long, long long>> expected = {
        {0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}};
    EXPECT_EQ(Walk(0, 0, 5, 2), expected);
    // Equal lengths run along y with diagonal steps only.
    const std::vector<std::pair<long long, long long>> diagonal = {{0, 0}, {-1, 1}, {-2, 2}};
    EXPECT_EQ(Walk(0, 0, -2, 2), diagonal);
}

TEST(BoxLine, ExtremeCoordinatesDoNotOverflow) {
    long long count = 0;
    long long lastX = 0;
    WalkLine(2147483647 - 3, 0, 2147483647, 0, [&](long long x, long long) {
        ++count;
        lastX = x;
    });
    EXPECT_EQ(count, 4);
    EXPECT_EQ(lastX, 2147483647LL);
}

// ---------------------------------------------------------------------------------------------
// 16-bit colour packing
// ---------------------------------------------------------------------------------------------

TEST(BoxColour16, PacksByTheFixedFormula) {
    const struct {
        std::uint32_t colour;
        std::uint16_t packed;
    } rows[] = {
        {0x00FF0000u, 0xF800},  // red
        {0x0000FF00u, 0x07E0},  // green
        {0x000000FFu, 0x001F},  // blue
        {0x00FFFFFFu, 0xFFFF},
        {0x00993333u, 0x99E6},  // the intro's bar colour: low channel bits spill upwards
        // Top bit set: the division truncates toward zero, unlike an arithmetic shift.
        {0xFF0000FFu, 0x0020},
        {0xFFFFFFFFu, 0x0000},
        {0x80000000u, 0x0000},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.colour);
        EXPECT_EQ(PackColour16(r.colour), r.packed);
    }
}

// ---------------------------------------------------------------------------------------------
// Glyph cells
// ---------------------------------------------------------------------------------------------

TEST(ScrollGlyph, CellsFollowTheFontGrid) {
    const struct {
        unsigned char ch;
        int sx, sy;
    } rows[] = {
        {' ', 0, 0},     {'!', 16, 0},    {'3', 304, 0},  {'4', 0, 16},   {'A', 16 * 13, 16},
        {'G', 304, 16},  {'H', 0, 32},    {'[', 304, 32}, {'a', 16 * 13, 16},
        {'z', 288, 32},   {'Z', 288, 32},
        // Outside the 60 cells: the blank.
        {'\n', 0, 0},    {'{', 0, 0},     {'\\', 0, 0},   {0xE9, 0, 0},   {0, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "code " << int(r.ch));
        const GlyphCell cell = CellOf(r.ch);
        EXPECT_EQ(cell.sx, r.sx);
        EXPECT_EQ(cell.sy, r.sy);
    }
}

// ---------------------------------------------------------------------------------------------
// Flat clipping
// ---------------------------------------------------------------------------------------------

TEST(ScrollFlatClip, CutsAtBothBounds) {
    constexpr int L = -10, R = 860, sx = 48;
    const struct {
        int dx;
        bool endsLine, draw;
        int screenX, sourceX, width;
    } rows[] = {
        {100, false, true, 100, sx, 16},           // inside
        {L - 5, false, true, L, sx + 5, 11},       // left cut
        {L - 15, false, true, L, sx + 15, 1},      // one column left
        {L - 16, false, false, L, sx + 16, 0},     // nothing left
        {R - 10, false, true, R - 10, sx, 9},      // right cut keeps one column less
        {R - 16, false, true, R - 16, sx, 16},     // ends exactly on the bound: whole
        {R - 15, false, true, R - 15, sx, 14},     // crosses it by one: loses two columns
        {R - 1, false, false, R - 1, sx, 0},       // width 0
        {R, false, false, R, sx, -1},              // on the bound: width -1, drawn as nothing
        {R + 1, true, false, 0, 0, 0},             // past it: the line ends
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "dx " << r.dx);
        const FlatGlyph g = ClipFlatGlyph(r.dx, L, R, sx);
        EXPECT_EQ(g.endsLine, r.endsLine);
        EXPECT_EQ(g.draw, r.draw);
        if (!r.endsLine) {
            EXPECT_EQ(g.screenX, r.screenX);
            EXPECT_EQ(g.sourceX, r.sourceX);
            EXPECT_EQ(g.width, r.width);
        }
    }
}

TEST(ScrollFlatClip, RightRuleWinsOnANarrowBand) {
    // A band narrower than a glyph: the glyph crosses both bounds and the right rule replaces
    // the left cut (source from the cell's first column, at the glyph's own x).
    const FlatGlyph g = ClipFlatGlyph(0, 4, 10, 32);
    EXPECT_TRUE(g.draw);
    EXPECT_EQ(g.screenX, 0);
    EXPECT_EQ(g.sourceX, 32);
    EXPECT_EQ(g.width, 9);
}

// ---------------------------------------------------------------------------------------------
// Wave
// ---------------------------------------------------------------------------------------------

TEST(ScrollWave, QuarterPointsReachTheAmplitude) {
    // (x + phase) * pi / 360 = pi / 2 at x + phase = 180, 3 pi / 2 at 540.
    const struct {
        int dx;
        float phase;
        int top;
    } rows[] = {{180, 0.0f, 450 + 82}, {540, 0.0f, 450 - 82}, {187, -7.0f, 450 + 82},
                {533, 7.0f, 450 - 82}, {0, 0.0f, 450},        {360, 0.0f, 450},
                {900, 0.0f, 450 + 82}, {-180, 0.0f, 450 - 82}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "dx " << r.dx << " phase " << r.phase);
        EXPECT_EQ(RoundHalfEven(450.0f + WaveDisplacement(r.dx, r.phase, 82)), r.top);
    }
}

TEST(ScrollWave, RoundsTiesToEven) {
    const struct {
        float v;
        int r;
    } rows[] = {{0.5f, 0},   {1.5f, 2},     {2.5f, 2},     {-0.5f, 0},   {-1.5f, -2},
                {-2.5f, -2}, {2.4999f, 2},  {2.5001f, 3},  {449.5f, 450}, {450.5f, 450},
                {-7.2f, -7}, {1e20f, 2147483647}, {-1e20f, -2147483647 - 1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.v);
        EXPECT_EQ(RoundHalfEven(r.v), r.r);
    }
}

}  // namespace
