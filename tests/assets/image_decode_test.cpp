// tests/assets/image_decode_test.cpp: the embedded images decode with the graphics layer's PNG
// decoder into the colours and transparency the scene relies on.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "assets/data_area.h"
#include "platform/gfx/image_png.h"

namespace {

namespace image = platform::gfx::image;

struct Decoded {
  bool ok = false;
  image::ImageInfo info;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels.at(static_cast<std::size_t>(y) * info.width + x); }
};

Decoded Decode(assets::DataItem item) {
  Decoded d;
  d.ok = image::DecodePng(assets::ItemBytes(item), item.bytes, &d.info, &d.pixels);
  return d;
}

TEST(AssetDecode, EveryImageDecodesAtItsSizeWithAlpha) {
  const struct { const char* name; assets::DataItem item; std::uint32_t w, h; } rows[] = {
      {"logo", assets::kLogo, 623, 100},          {"logo dots", assets::kLogoDots, 623, 100},
      {"panel", assets::kInfoPanel, 322, 96},     {"edge shade", assets::kEdgeShade, 800, 265},
      {"font", assets::kFont, 320, 48},           {"caption", assets::kCaption, 159, 14},
      {"caption strip", assets::kCaptionAnim, 159, 5880}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    const Decoded d = Decode(r.item);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.info.width, r.w);
    EXPECT_EQ(d.info.height, r.h);
    EXPECT_TRUE(d.info.hasAlpha);
    EXPECT_EQ(d.pixels.size(), std::size_t{r.w} * r.h);
  }
}

TEST(AssetDecode, ColoursAndTransparencyComeOutAsDrawn) {
  const Decoded logo = Decode(assets::kLogo);
  ASSERT_TRUE(logo.ok);
  EXPECT_EQ(logo.At(0, 0), 0xFF993333u);  // a red grid dot
  EXPECT_EQ(logo.At(1, 0) >> 24, 0u);     // between dots: transparent
  const Decoded shade = Decode(assets::kEdgeShade);
  ASSERT_TRUE(shade.ok);
  const struct { int x; std::uint32_t argb; } edge[] = {{0, 0xFF000000u}, {400, 0x00000000u}, {799, 0xFF000000u}};
  for (const auto& e : edge) {
    SCOPED_TRACE(e.x);
    for (int y = 0; y < 265; y += 37) EXPECT_EQ(shade.At(e.x, y), e.argb);
  }
  const Decoded caption = Decode(assets::kCaption);
  ASSERT_TRUE(caption.ok);
  bool sawInk = false;
  for (std::uint32_t p : caption.pixels) {
    if (p >> 24) {
      EXPECT_EQ(p, 0xFF141420u);  // 20/20/32, opaque
      sawInk = true;
    } else {
      EXPECT_EQ(p, 0u);
    }
  }
  EXPECT_TRUE(sawInk);
}

}  // namespace
