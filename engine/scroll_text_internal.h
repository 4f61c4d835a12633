// engine/scroll_text_internal.h: the glyph and wave arithmetic of the scroller, for
// engine/scroll_text.cpp and its tests.
//
// The font image is a grid of 16 x 16 cells, 20 per 320-pixel row; the cell of character code c
// (after upper-casing) is c - 32, and the font holds the 60 cells of codes 32 to 91.
#pragma once

#include <cmath>
#include <cstdint>

namespace engine::scroll_detail {

inline constexpr int kGlyphSize = 16;
inline constexpr int kFontRowPixels = 320;
inline constexpr int kFontCells = 60;
// The wave's pi is the single-precision value, as the wave has always been computed with it.
inline constexpr float kWavePi = 3.1415927f;

// Top-left corner of a glyph's cell in the font image.
struct GlyphCell {
    int sx = 0;
    int sy = 0;
};

// The cell drawn for the 8-bit character "ch": lower-case ASCII letters use their upper-case
// cells; a character whose cell lies outside the font's 60 cells is drawn as the blank (cell 0),
// so no source rectangle ever leaves the font image.
inline GlyphCell CellOf(unsigned char ch) {
    int code = ch;
    if (code >= 'a' && code <= 'z') code -= 'a' - 'A';
    int g = code - 32;
    if (g < 0 || g >= kFontCells) g = 0;
    const int r = g * kGlyphSize / kFontRowPixels;
    return {g * kGlyphSize - r * kFontRowPixels, r * kGlyphSize};
}

// What a flat glyph becomes between the bounds: either the end of the line, nothing, or one
// region of "width" source columns from "sourceX" drawn at "screenX".
struct FlatGlyph {
    bool endsLine = false;  // the glyph starts right of the right bound: stop the line here
    bool draw = false;      // false for a glyph that keeps no column (width 0 or less)
    long long screenX = 0;
    long long sourceX = 0;
    long long width = 0;
};

// Clips the glyph whose cell starts at source x "sx" and whose left edge is at screen x "dx"
// against the bounds "left" and "right". A glyph crossing the left bound loses the columns left
// of it; one reaching past the right bound keeps right - dx - 1 columns from its first column
// (that rule wins when both apply). A glyph starting exactly on the right bound would get width
// -1: it draws nothing.
inline FlatGlyph ClipFlatGlyph(long long dx, long long left, long long right, long long sx) {
    FlatGlyph out;
    if (dx > right) {
        out.endsLine = true;
        return out;
    }
    out.screenX = dx;
    out.sourceX = sx;
    out.width = kGlyphSize;
    if (dx < left) {
        const long long cut = left - dx;
        out.sourceX = sx + cut;
        out.width = kGlyphSize - cut;
        out.screenX = left;
    }
    if (dx + kGlyphSize > right) {
        out.sourceX = sx;
        out.screenX = dx;
        out.width = right - dx - 1;
    }
    out.draw = out.width > 0;
    return out;
}

// The wave's vertical displacement of the pixel column at screen x "dx" for "phase" and
// "amplitude": sin((dx + phase) * pi / 360) * amplitude, held as a float. One full wave spans
// 720 pixels.
inline float WaveDisplacement(int dx, float phase, int amplitude) {
    const float position = static_cast<float>(dx) + phase;
    const double angle = static_cast<double>(position * kWavePi) / 360.0;
    return static_cast<float>(std::sin(angle) * static_cast<double>(amplitude));
}

// Rounds "v" to the nearest integer with ties to even, independently of the FPU rounding mode.
inline int RoundHalfEven(float v) {
    const double d = v;
    const double lower = std::floor(d);
    const double frac = d - lower;
    double result = lower;
    if (frac > 0.5) {
        result = lower + 1.0;
    } else if (frac == 0.5) {
        result = std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
    }
    if (result > 2147483647.0) return 2147483647;
    if (result < -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(result);
}

}  // namespace engine::scroll_detail
