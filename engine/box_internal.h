// engine/box_internal.h: the pixel arithmetic of the box flush, for engine/box.cpp and its tests.
//
// Outlines are plotted with an integer line walk that includes both end points; a colour is
// stored unchanged on 4-byte targets and packed to 16 bits by a fixed formula on 2-byte ones.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace engine::box_detail {

// The 16-bit value stored for the colour "c" (0xAARRGGBB) on a target of 2 bytes per pixel:
// the low 16 bits of ((c/8 & 0xFF0000) >> 5) | ((c/4 & 0xFF00) >> 3) | (c/8 & 0xFF), where the
// divisions are signed 32-bit divisions truncating toward zero (so a colour with the top bit set
// does not shift like an unsigned value). Red and blue land in the R5G6B5 fields; the bits just
// below each channel's kept bits spill into the neighbouring field, as the formula says.
inline std::uint16_t PackColour16(std::uint32_t c) {
    const std::int32_t s = static_cast<std::int32_t>(c);
    const std::int32_t by8 = s / 8;
    const std::int32_t by4 = s / 4;
    const std::uint32_t value = ((static_cast<std::uint32_t>(by8) & 0xFF0000u) >> 5) |
                                ((static_cast<std::uint32_t>(by4) & 0xFF00u) >> 3) |
                                (static_cast<std::uint32_t>(by8) & 0xFFu);
    return static_cast<std::uint16_t>(value & 0xFFFFu);
}

// Plots the line from ("x1", "y1") to ("x2", "y2") with both end points, calling "plot(x, y)"
// once per pixel (|dx| or |dy| + 1 calls, whichever is larger). The walk runs along the longer
// axis; an error term that starts at half the long length decides, after each step, between
// the straight and the diagonal step. No clipping happens here: "plot" decides.
template <class Plot>
void WalkLine(int x1, int y1, int x2, int y2, Plot&& plot) {
    const long long dx = static_cast<long long>(x2) - x1;
    const long long dy = static_cast<long long>(y2) - y1;
    const int sx = (dx > 0) - (dx < 0);
    const int sy = (dy > 0) - (dy < 0);
    const long long adx = dx < 0 ? -dx : dx;
    const long long ady = dy < 0 ? -dy : dy;
    int straightX = 0, straightY = 0;
    long long longer = 0, shorter = 0;
    if (adx > ady) {
        straightX = sx;
        longer = adx;
        shorter = ady;
    } else {
        straightY = sy;
        longer = ady;
        shorter = adx;
    }
    long long x = x1, y = y1;
    plot(x, y);
    long long e = longer / 2;
    for (long long i = 0; i < longer; ++i) {
        e -= shorter;
        if (e < 0) {
            e += longer;
            x += sx;
            y += sy;
        } else {
            x += straightX;
            y += straightY;
        }
        plot(x, y);
    }
}

}  // namespace engine::box_detail
