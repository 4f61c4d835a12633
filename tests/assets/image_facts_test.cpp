// tests/assets/image_facts_test.cpp: the seven images have the sizes, depths, palettes,
// transparency and chunk lists the intro is laid out for, and the content each one promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/assets/asset_files.h"

namespace {

using assets_test::DecodeIndexed;
using assets_test::IndexedImage;
using assets_test::ReadAsset;
using assets_test::Rgb;
using assets_test::SplitPng;

struct ImageFacts {
  const char* file;
  int width, height, bitDepth;
  std::vector<Rgb> palette;     // exact entries; empty when checked by the row's own test
  int paletteEntries;
  int tRNSEntries;
};

const Rgb kBlack{0, 0, 0}, kRed{153, 51, 51}, kWhite{255, 255, 255}, kPaper{252, 254, 252};

const std::vector<ImageFacts>& Images() {
  static const std::vector<ImageFacts> rows = {
      {"images/logo.png", 623, 100, 2, {kBlack, kRed, kWhite}, 3, 1},
      {"images/logo_dots.png", 623, 100, 1, {kBlack, kWhite}, 2, 1},
      {"images/info_panel.png", 322, 96, 1, {kBlack, kPaper}, 2, 1},
      {"images/edge_shade.png", 800, 265, 8, {}, 57, 56},
      {"images/font.png", 320, 48, 2, {kBlack, kPaper, kWhite}, 3, 1},
      {"images/caption.png", 159, 14, 1, {kBlack, {20, 20, 32}}, 2, 1},
      {"images/caption_anim.png", 159, 5880, 8, {}, 82, 1},
  };
  return rows;
}

IndexedImage Load(const char* file) {
  IndexedImage img;
  std::string error;
  EXPECT_TRUE(DecodeIndexed(ReadAsset(file), img, error)) << file << ": " << error;
  return img;
}

// ---------------------------------------------------------------------------------------------
// Format facts shared by all seven
// ---------------------------------------------------------------------------------------------

TEST(ImageFacts, ChunkListIsExactlyHeaderPaletteTransparencyDataEnd) {
  for (const auto& row : Images()) {
    SCOPED_TRACE(row.file);
    bool signatureOk = false;
    const auto chunks = SplitPng(ReadAsset(row.file), signatureOk);
    ASSERT_TRUE(signatureOk);
    std::vector<std::string> kinds;
    for (const auto& c : chunks) {
      EXPECT_TRUE(c.crcOk) << c.kind;
      if (kinds.empty() || kinds.back() != c.kind || c.kind != "IDAT") kinds.push_back(c.kind);
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"IHDR", "PLTE", "tRNS", "IDAT", "IEND"}));
  }
}

TEST(ImageFacts, HeaderPaletteAndTransparencyMatchTheLayout) {
  for (const auto& row : Images()) {
    SCOPED_TRACE(row.file);
    const IndexedImage img = Load(row.file);
    EXPECT_EQ(img.width, row.width);
    EXPECT_EQ(img.height, row.height);
    EXPECT_EQ(img.bitDepth, row.bitDepth);
    EXPECT_EQ(img.colourType, 3);  // palette
    EXPECT_EQ(img.interlace, 0);
    EXPECT_EQ(static_cast<int>(img.palette.size()), row.paletteEntries);
    if (!row.palette.empty()) {
      EXPECT_EQ(img.palette, row.palette);
    }
    ASSERT_EQ(static_cast<int>(img.alphas.size()), row.tRNSEntries);
    EXPECT_EQ(img.palette.at(0), kBlack);
    EXPECT_EQ(img.alphas[0], 0);  // index 0 is fully transparent
    if (row.tRNSEntries == 1) {
      // Every other index is opaque, and the image uses more than just transparency.
      const auto used = std::count_if(img.pixels.begin(), img.pixels.end(),
                                      [](std::uint8_t i) { return i != 0; });
      EXPECT_GT(used, 0);
    }
    for (std::uint8_t i : img.pixels) ASSERT_LT(i, img.palette.size());
  }
}

// ---------------------------------------------------------------------------------------------
// Content of each image
// ---------------------------------------------------------------------------------------------

TEST(ImageFacts, LogoIsWhiteDotsOverARedDotGridAndTheDotsVariantMatchesIt) {
  const IndexedImage logo = Load("images/logo.png");
  const IndexedImage dots = Load("images/logo_dots.png");
  ASSERT_EQ(logo.pixels.size(), dots.pixels.size());
  int white = 0, red = 0;
  for (int y = 0; y < logo.height; ++y) {
    for (int x = 0; x < logo.width; ++x) {
      const int i = logo.At(x, y);
      const bool onGrid = x % 2 == 0 && y % 2 == 0;
      if (!onGrid) {
        ASSERT_EQ(i, 0) << "off-grid pixel " << x << "," << y;
      } else {
        ASSERT_NE(i, 0) << "grid pixel without a dot " << x << "," << y;
      }
      white += i == 2;
      red += i == 1;
      // The variant lights exactly the logo's white dots and nothing else.
      ASSERT_EQ(dots.At(x, y), i == 2 ? 1 : 0) << x << "," << y;
    }
  }
  // Lettering, not a blank grid nor a solid block: a fair share of the grid on each side.
  const int grid = 312 * 50;
  EXPECT_GT(white, grid / 6);
  EXPECT_GT(red, grid / 3);
}

TEST(ImageFacts, InfoPanelHoldsSixCentredLinesOfText) {
  const IndexedImage panel = Load("images/info_panel.png");
  // Find the bands of rows that hold ink.
  std::vector<std::pair<int, int>> bands;
  for (int y = 0; y < panel.height; ++y) {
    bool ink = false;
    for (int x = 0; x < panel.width && !ink; ++x) ink = panel.At(x, y) != 0;
    if (ink && (bands.empty() || bands.back().second != y - 1)) bands.push_back({y, y});
    if (ink) bands.back().second = y;
  }
  ASSERT_EQ(bands.size(), 6u);
  for (const auto& [top, bottom] : bands) {
    SCOPED_TRACE(top);
    int left = panel.width, right = -1;
    for (int y = top; y <= bottom; ++y)
      for (int x = 0; x < panel.width; ++x)
        if (panel.At(x, y)) left = std::min(left, x), right = std::max(right, x);
    EXPECT_LE(std::abs(left - (panel.width - 1 - right)), 2) << "line not centred";
    EXPECT_LE(bottom - top + 1, 16);
  }
}

TEST(ImageFacts, EdgeShadeFadesOutToTheMiddleAndBackIn) {
  const IndexedImage shade = Load("images/edge_shade.png");
  for (std::size_t i = 0; i < shade.palette.size(); ++i) EXPECT_EQ(shade.palette[i], kBlack);
  // The 56 tRNS values rise from transparent; the last palette entry is opaque by default.
  for (std::size_t i = 1; i < shade.alphas.size(); ++i) EXPECT_GT(shade.alphas[i], shade.alphas[i - 1]);
  auto columnMean = [&](int x) {
    double sum = 0;
    for (int y = 0; y < shade.height; ++y) sum += shade.AlphaAt(x, y);
    return sum / shade.height;
  };
  const struct { int x; double expected; } rows[] = {
      {0, 255}, {50, 191.25}, {100, 127.5}, {150, 63.75}, {200, 0}, {400, 0},
      {599, 0}, {649, 63.75}, {699, 127.5}, {749, 191.25}, {799, 255}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.x);
    EXPECT_NEAR(columnMean(r.x), r.expected, 3.0);
  }
  for (int x = 200; x <= 599; ++x)
    for (int y = 0; y < shade.height; ++y) ASSERT_EQ(shade.AlphaAt(x, y), 0) << x << "," << y;
  // Falling on the left, rising on the right, column by column (dither only blurs the steps).
  for (int x = 4; x <= 200; x += 4) EXPECT_LE(columnMean(x), columnMean(x - 4) + 0.01) << x;
  for (int x = 603; x <= 799; x += 4) EXPECT_GE(columnMean(x), columnMean(x - 4) - 0.01) << x;
}

// Cell of character 'c' in the scroller font: 16 x 16, 20 cells per row, from code 32.
int CellInk(const IndexedImage& font, int c) {
  const int g = c - 32;
  const int r = g * 16 / 320;
  const int sx = g * 16 - r * 320, sy = r * 16;
  int ink = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ink += font.At(sx + x, sy + y) != 0;
  return ink;
}

TEST(ImageFacts, FontHasAGlyphForEveryCodeFromBlankToBracket) {
  const IndexedImage font = Load("images/font.png");
  EXPECT_EQ(CellInk(font, ' '), 0);
  for (int c = 33; c <= 91; ++c) {
    SCOPED_TRACE(static_cast<char>(c));
    EXPECT_GT(CellInk(font, c), 8);
  }
  // Distinct glyphs: no two codes share a cell picture.
  std::vector<std::vector<int>> seen;
  for (int c = 32; c <= 91; ++c) {
    const int g = c - 32, r = g * 16 / 320, sx = g * 16 - r * 320, sy = r * 16;
    std::vector<int> cell;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) cell.push_back(font.At(sx + x, sy + y));
    EXPECT_EQ(std::find(seen.begin(), seen.end(), cell), seen.end()) << static_cast<char>(c);
    seen.push_back(cell);
  }
}

TEST(ImageFacts, EveryScrollTextCharacterHasAGlyphAfterUpperCasing) {
  const IndexedImage font = Load("images/font.png");
  const auto text = ReadAsset("scrolltext.txt");
  ASSERT_FALSE(text.empty());
  for (unsigned char ch : text) {
    const int c = std::toupper(ch);
    ASSERT_GE(c, 32);
    ASSERT_LE(c, 91) << "no cell for '" << ch << "'";
    if (c != ' ') {
      EXPECT_GT(CellInk(font, c), 0) << "empty glyph for '" << ch << "'";
    }
  }
}

TEST(ImageFacts, CaptionIsOneWordInVeryDarkBlueGrey) {
  const IndexedImage caption = Load("images/caption.png");
  // Letters: ink columns grouped into runs separated by blank columns.
  int words = 0, letters = 0;
  bool inLetter = false;
  for (int x = 0; x < caption.width; ++x) {
    bool ink = false;
    for (int y = 0; y < caption.height; ++y) ink = ink || caption.At(x, y) != 0;
    if (ink && !inLetter) ++letters;
    inLetter = ink;
  }
  words = letters > 0 ? 1 : 0;
  EXPECT_EQ(words, 1);
  EXPECT_GE(letters, 4);
  const Rgb ink = caption.palette.at(1);
  EXPECT_LT(std::max({ink.r, ink.g, ink.b}), 48);
  EXPECT_GE(ink.b, ink.r);
}

TEST(ImageFacts, AnimationStripHasLiveFramesThenTransparentOnes) {
  const IndexedImage strip = Load("images/caption_anim.png");
  for (std::size_t i = 1; i < strip.palette.size(); ++i) {
    SCOPED_TRACE(i);
    const Rgb c = strip.palette[i];
    EXPECT_GE(c.b, c.r);  // grey-blue: blue leads
    EXPECT_LT(std::max({c.r, c.g, c.b}), 200);
  }
  const int frameHeight = 14;
  ASSERT_EQ(strip.height, 420 * frameHeight);
  for (int f = 0; f < 420; ++f) {
    SCOPED_TRACE(f);
    int opaque = 0;
    for (int y = f * frameHeight; y < (f + 1) * frameHeight; ++y)
      for (int x = 0; x < strip.width; ++x) opaque += strip.At(x, y) != 0;
    if (f <= 101) {
      EXPECT_GT(opaque, 0);
    } else {
      EXPECT_EQ(opaque, 0);
    }
  }
}

}  // namespace
