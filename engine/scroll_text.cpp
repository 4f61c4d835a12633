// engine/scroll_text.cpp: the bitmap-font scroller's tables, set-up, update and glyph drawing.
#include "engine/scroll_text.h"

#include <cstring>
#include <string_view>

#include "engine/engine.h"
#include "engine/scroll_text_internal.h"
#include "engine/state_internal.h"
#include "runtime/date.h"

namespace engine {

std::array<BitmapFont, kScrollSlots> fontTable{};
std::array<std::string, kScrollSlots> textTable{};
std::array<ScrollText, kScrollSlots> scrollTextTable{};

namespace {

using namespace scroll_detail;

std::int32_t cachedWidth = 0;
std::int32_t cachedHeight = 0;

bool IsSlot(std::int32_t n) { return n >= 0 && n < kScrollSlots; }

// Wrapping 32-bit arithmetic: the bounds come from the caller and may be anything.
std::int32_t Wrap(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

// Flat drawing: one region per glyph, clipped to [left, left + width].
void DrawFlat(const ScrollText& st, std::string_view line, std::int32_t x0) {
    const std::int64_t left = st.left;
    const std::int64_t right = static_cast<std::int64_t>(st.left) + st.width;
    for (std::size_t k = 0; k < line.size(); ++k) {
        const GlyphCell cell = CellOf(static_cast<unsigned char>(line[k]));
        const std::int64_t dx = static_cast<std::int64_t>(x0) + static_cast<std::int64_t>(k) * kGlyphSize;
        const FlatGlyph g = ClipFlatGlyph(dx, left, right, cell.sx);
        if (g.endsLine) break;
        if (!g.draw) continue;
        QueueSpriteRegion(st.fontSprite, Wrap(g.screenX), st.y, Wrap(g.sourceX), cell.sy,
                          Wrap(g.width), kGlyphSize, 255);
    }
}

// Wave drawing: one region per pixel column, moved (and in mode 1 stretched) by the sine; it
// stops after the first column right of the cached screen width.
void DrawWave(ScrollText& st, std::string_view line, std::int32_t x0) {
    st.phase += st.phaseStep;
    for (std::size_t k = 0; k < line.size(); ++k) {
        const GlyphCell cell = CellOf(static_cast<unsigned char>(line[k]));
        for (int c = 0; c < kGlyphSize; ++c) {
            const std::int32_t dx = Wrap(static_cast<std::int64_t>(x0) +
                                         static_cast<std::int64_t>(k) * kGlyphSize + c);
            const float w = WaveDisplacement(dx, st.phase, st.amplitude);
            if (st.waveMode == 1) SetSpriteScale(st.fontSprite, 100.0f, w);
            QueueSpriteRegion(st.fontSprite, dx, RoundHalfEven(static_cast<float>(st.y) + w),
                              cell.sx + c, cell.sy, 1, kGlyphSize, 255);
            if (dx > cachedWidth) {
                if (st.waveMode > 1) {
                    SetSpriteScale(st.fontSprite, 100.0f, static_cast<float>(st.waveMode) * 100.0f);
                }
                return;
            }
        }
    }
}

}  // namespace

void InitScrollTextTables() {
    fontTable.fill(BitmapFont{});
    for (auto& text : textTable) text.clear();
    scrollTextTable.fill(ScrollText{});
    cachedWidth = 0;
    cachedHeight = 0;
}

void CacheScreenSize() {
    cachedWidth = deviceState.screenWidth;
    cachedHeight = deviceState.screenHeight;
}

std::int32_t CachedScreenWidth() { return cachedWidth; }
std::int32_t CachedScreenHeight() { return cachedHeight; }

Sprite* LoadFontFromMemory(std::int32_t slot, const void* bytes, std::uint32_t sizeBytes) {
    if (!IsSlot(slot)) return nullptr;
    BitmapFont& font = fontTable[static_cast<std::size_t>(slot)];
    if (font.sprite != nullptr) DestroySprite(font.sprite);
    font = BitmapFont{};
    font.sprite = CreateSpriteFromMemory(bytes, sizeBytes);
    if (font.sprite != nullptr) {
        font.glyphWidth = kGlyphSize;
        font.glyphHeight = kGlyphSize;
        font.columns = static_cast<std::int32_t>(runtime::RoundNumber(
            static_cast<float>(GetSpriteWidth(font.sprite)) / 16.0f, 2));
        font.rowWidth = font.columns * kGlyphSize;
    }
    return font.sprite;
}

std::int32_t SetTextSlot(std::int32_t slot, const char* text) {
    if (!IsSlot(slot)) return 0;
    std::string& stored = textTable[static_cast<std::size_t>(slot)];
    stored.assign(text != nullptr ? text : "");
    stored.push_back(' ');
    return 0;
}

std::int32_t InitScrollText(std::int32_t scroller, std::int32_t textSlot, std::int32_t fontSlot,
                            std::int32_t y, std::int32_t leftBound, std::int32_t rightBound) {
    if (!IsSlot(scroller) || !IsSlot(textSlot) || !IsSlot(fontSlot)) return 0;
    CacheScreenSize();
    ScrollText& st = scrollTextTable[static_cast<std::size_t>(scroller)];
    st.textSlot = textSlot;
    st.fontSprite = fontTable[static_cast<std::size_t>(fontSlot)].sprite;
    st.left = leftBound;
    st.y = y;
    st.width = Wrap(static_cast<std::int64_t>(rightBound) - leftBound);
    st.speed = 1;
    st.charIndex = 1;
    st.length = static_cast<std::int32_t>(textTable[static_cast<std::size_t>(textSlot)].size());
    st.offset = rightBound;
    st.waveOn = 0;
    return 0;
}

std::int32_t SetScrollTextWave(std::int32_t scroller, std::int32_t /*unused*/, std::int32_t mode,
                               std::int32_t amplitude, float phaseStep) {
    if (!IsSlot(scroller)) return 0;
    ScrollText& st = scrollTextTable[static_cast<std::size_t>(scroller)];
    st.waveMode = mode;
    st.phase = 0.0f;
    st.amplitude = amplitude;
    st.waveOn = amplitude != 0 ? 1 : 0;
    st.phaseStep = phaseStep;
    return 0;
}

std::int32_t UpdateScrollText(std::int32_t scroller) {
    if (!IsSlot(scroller)) return 0;
    ScrollText& st = scrollTextTable[static_cast<std::size_t>(scroller)];

    st.offset = Wrap(static_cast<std::int64_t>(st.offset) - st.speed);
    if (st.offset < -kGlyphSize) {
        st.charIndex = Wrap(static_cast<std::int64_t>(st.charIndex) + 1);
        st.offset += kGlyphSize;
    }
    if (st.charIndex > st.length) {
        st.charIndex = 1;
        st.phase = 0.0f;
        st.offset = Wrap(static_cast<std::int64_t>(st.width) - kGlyphSize);
    }

    // The substring of Count characters from charIndex. The text slot may have been changed
    // since set-up (the length is the one taken then), so the start is checked against the text
    // as it is now.
    const std::int64_t count = (static_cast<std::int64_t>(st.left) + st.width) / kGlyphSize + 1;
    const std::string& text = textTable[static_cast<std::size_t>(st.textSlot)];
    std::string_view line;
    if (count > 0 && st.charIndex >= 1 && static_cast<std::size_t>(st.charIndex - 1) < text.size()) {
        line = std::string_view(text).substr(static_cast<std::size_t>(st.charIndex - 1),
                                             static_cast<std::size_t>(count));
    }

    const std::int32_t x0 = Wrap(static_cast<std::int64_t>(st.left) + st.offset);
    if (st.waveOn == 0) {
        DrawFlat(st, line, x0);
    } else {
        DrawWave(st, line, x0);
    }
    return 0;
}

}  // namespace engine
