// tests/gfx/image_png_test.cpp: PNG files written by the graphics layer read back exactly, from
// libpng's decoder and from the copy kept for the file just written.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/gfx/image_png.h"

namespace {

namespace image = platform::gfx::image;

std::vector<std::uint32_t> Noise(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> p(static_cast<std::size_t>(w) * h);
    for (auto& v : p) v = static_cast<std::uint32_t>(rng());
    return p;
}

std::vector<std::uint32_t> Opaque(std::vector<std::uint32_t> p) {
    for (auto& v : p) v |= 0xFF000000u;
    return p;
}

// Sizes from one pixel to pictures spanning several stored deflate blocks, with and without
// alpha: each decodes (libpng's decoder, the kept copy dropped by a later write) to its pixels.
TEST(ImagePng, WrittenFilesDecodeToTheirPixels) {
    const struct { std::uint32_t w, h; bool alpha; } rows[] = {
        {1, 1, true}, {1, 1, false}, {7, 3, true}, {300, 300, true}, {301, 299, false}, {159, 588, true}};
    std::uint32_t seed = 1;
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.w << "x" << r.h << (r.alpha ? " RGBA" : " RGB"));
        const auto pixels = Noise(r.w, r.h, seed++);
        std::vector<std::uint8_t> file, other;
        ASSERT_TRUE(image::EncodePng(pixels.data(), r.w, r.h, r.alpha, &file));
        const std::uint32_t dot = 0x12345678u;
        ASSERT_TRUE(image::EncodePng(&dot, 1, 1, true, &other));  // replaces the kept copy
        image::ImageInfo info;
        std::vector<std::uint32_t> decoded;
        ASSERT_TRUE(image::DecodePng(file.data(), file.size(), &info, &decoded));
        EXPECT_EQ(info.width, r.w);
        EXPECT_EQ(info.height, r.h);
        EXPECT_EQ(info.hasAlpha, r.alpha);
        EXPECT_EQ(decoded, r.alpha ? pixels : Opaque(pixels));
    }
}

// The file just written comes back from the kept copy exactly as the decoder would give it,
// once; a copy changed anywhere is decoded (and here refused: a checksum no longer matches).
TEST(ImagePng, TheLastFileWrittenIsNotDecodedAgain) {
    for (const bool alpha : {true, false}) {
        SCOPED_TRACE(alpha ? "RGBA" : "RGB");
        const auto pixels = Noise(200, 100, alpha ? 7 : 8);
        std::vector<std::uint8_t> file;
        ASSERT_TRUE(image::EncodePng(pixels.data(), 200, 100, alpha, &file));
        image::ImageInfo info;
        std::vector<std::uint32_t> kept, decoded;
        // A row byte, the stream's Adler-32, IDAT's CRC, the header's height.
        for (const std::size_t at : {file.size() / 2, file.size() - 18, file.size() - 14, std::size_t{21}}) {
            std::vector<std::uint8_t> changed = file;
            changed[at] ^= 1;
            EXPECT_FALSE(image::DecodePng(changed.data(), changed.size(), &info, &decoded)) << at;
        }
        ASSERT_TRUE(image::DecodePng(file.data(), file.size(), &info, &kept));
        EXPECT_EQ(info.hasAlpha, alpha);
        ASSERT_TRUE(image::DecodePng(file.data(), file.size(), &info, &decoded));  // libpng now
        EXPECT_EQ(kept, decoded);
        EXPECT_EQ(kept, alpha ? pixels : Opaque(pixels));
    }
}

}  // namespace
