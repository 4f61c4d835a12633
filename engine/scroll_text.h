// engine/scroll_text.h: the bitmap-font scroller: a line of text that enters at the right,
// moves left one pixel per update and restarts after its last character, drawn flat between
// two bounds or as a sine wave that moves every pixel column of every glyph on its own.
//
// The font is an image of 16 x 16 glyph cells, 20 to a 320-pixel row, holding the characters
// from the blank (code 32) to '[' (code 91); lower-case letters use the upper-case cells and
// any other character is drawn as a blank. Each visible glyph (flat) or pixel column (wave)
// becomes one region draw of the font's sprite, visible at the next sprite flush.
//
// Three tables of 100 slots (numbers 0-99) hold the state: fonts, texts and scrollers. A slot
// or scroller number outside 0-99 is ignored: the call returns 0 and touches nothing.
//
// Calling order: LoadFontFromMemory and SetTextSlot, then InitScrollText (which copies the
// font's sprite and the text's length), then SetScrollTextWave, then UpdateScrollText once per
// frame.
//
// Threads: main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/sprite.h"

namespace engine {

inline constexpr int kScrollSlots = 100;

// One slot of `fontTable`.
struct BitmapFont {
    Sprite* sprite;  // the font image; null = slot empty
    std::int32_t glyphWidth;
    std::int32_t glyphHeight;
    std::int32_t columns;   // cells per row: the image width / 16, halves rounded away from 0
    std::int32_t rowWidth;  // columns * 16
};

// One slot of `scrollTextTable`.
struct ScrollText {
    std::int32_t textSlot;
    Sprite* fontSprite;        // the font slot's sprite when set up
    std::int32_t left;         // left bound; the reference x of `offset`
    std::int32_t y;            // top edge of the glyphs (the wave's centre line)
    std::int32_t width;        // right bound - left bound
    std::int32_t speed;        // pixels per update
    std::int32_t charIndex;    // 1-based index of the first character drawn
    std::int32_t length;       // text length at set-up
    std::int32_t offset;       // x of the first character drawn, relative to `left`
    std::int32_t waveOn;
    std::int32_t waveMode;     // 0: move columns; 1: also stretch them by the wave
    float phase;               // in pixels
    std::int32_t amplitude;    // in pixels
    float phaseStep;           // added to `phase` on every wave update
};

// The tables, zero-filled until used; slots are overwritten, never freed.
extern std::array<BitmapFont, kScrollSlots> fontTable;
extern std::array<std::string, kScrollSlots> textTable;
extern std::array<ScrollText, kScrollSlots> scrollTextTable;

// Empties the three tables (the engine's table set-up step).
void InitScrollTextTables();

// Copies the engine's current screen size beside the tables; the wave stops past its width.
void CacheScreenSize();
std::int32_t CachedScreenWidth();
std::int32_t CachedScreenHeight();

// Loads the font image into font slot "slot", destroying the slot's previous sprite first.
// Returns the font's sprite, or 0 for a slot outside 0-99 (nothing changes) or an image that
// cannot be loaded (the slot is left empty).
Sprite* LoadFontFromMemory(std::int32_t slot, const void* bytes, std::uint32_t sizeBytes);

// Stores "text" (null: empty) with one blank appended in text slot "slot". Returns 0.
std::int32_t SetTextSlot(std::int32_t slot, const char* text);

// Sets scroller "scroller" up on text slot "textSlot" and font slot "fontSlot" at "y" between
// "leftBound" and "rightBound", flat; the first character starts at x leftBound + rightBound,
// after each restart at rightBound - 16. The wave settings are kept. Returns 0.
std::int32_t InitScrollText(std::int32_t scroller, std::int32_t textSlot, std::int32_t fontSlot,
                            std::int32_t y, std::int32_t leftBound, std::int32_t rightBound);

// Switches the wave on with "amplitude" pixels (off for 0), "mode" and a phase step of
// "phaseStep" pixels per update, and resets the phase. "unused" is not read. Returns 0.
std::int32_t SetScrollTextWave(std::int32_t scroller, std::int32_t unused, std::int32_t mode,
                               std::int32_t amplitude, float phaseStep);

// Moves the scroller one step and queues its visible glyphs. Returns 0.
std::int32_t UpdateScrollText(std::int32_t scroller);

}  // namespace engine
