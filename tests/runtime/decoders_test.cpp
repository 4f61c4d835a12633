// tests/runtime/decoders_test.cpp: the image codec registry with its BMP and PNG codecs.
#include <png.h>

#include <cstring>
#include <vector>

#include "runtime/decoders.h"
#include "runtime_fixture.h"

using runtime::DecodedImage;
using runtime::EncodedImage;

namespace {

class DecodersTest : public RuntimeTest {};

// A small image with distinct colours and alpha values in every pixel.
std::vector<std::uint32_t> Pattern(int width, int height) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back((static_cast<std::uint32_t>((x * 37 + y * 11) & 0xFF) << 24) |
                             (static_cast<std::uint32_t>(x * 20) << 16) | (static_cast<std::uint32_t>(y * 30) << 8) |
                             static_cast<std::uint32_t>((x + y) * 9));
    return pixels;
}

// A PNG of "pixels" written with libpng's own writer.
std::vector<std::uint8_t> WritePng(const std::vector<std::uint32_t>& pixels, int width, int height) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr));
    std::vector<std::uint8_t> bytes(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr));
    bytes.resize(size);
    return bytes;
}

// A bitmap file with a 40-byte info header and the given pixel rows (bottom row first).
std::vector<std::uint8_t> BitmapFile(int width, int height, int bpp, const std::vector<std::uint32_t>& palette,
                                     const std::vector<std::uint8_t>& rows) {
    std::vector<std::uint8_t> b(14 + 40 + palette.size() * 4);
    auto put32 = [&b](std::size_t at, std::uint32_t v) { for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF; };
    b[0] = 'B';
    b[1] = 'M';
    put32(10, static_cast<std::uint32_t>(b.size()));
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    b[26] = 1;
    b[28] = static_cast<std::uint8_t>(bpp);
    put32(46, static_cast<std::uint32_t>(palette.size()));
    for (std::size_t i = 0; i < palette.size(); ++i) put32(54 + 4 * i, palette[i]);
    b.insert(b.end(), rows.begin(), rows.end());
    put32(2, static_cast<std::uint32_t>(b.size()));
    return b;
}

}  // namespace

TEST_F(DecodersTest, StartUpRegistersBmpBothWaysAndPngForDecoding) {
    const runtime::DecoderRegistry* r = runtime::GetDecoderRegistry();
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->decoderCount, 2);
    EXPECT_EQ(r->decoders[0].tag, runtime::kBmpCodecTag);
    EXPECT_EQ(r->decoders[1].tag, runtime::kPngCodecTag);
    ASSERT_EQ(r->encoderCount, 1);
    EXPECT_EQ(r->encoders[0].tag, runtime::kBmpCodecTag);
    // Registering again adds nothing.
    EXPECT_TRUE(runtime::RegisterPngDecoder());
    EXPECT_EQ(r->decoderCount, 2);
}

TEST_F(DecodersTest, BmpRoundTripKeepsEveryPixelAndAlpha) {
    const int w = 13, h = 7;
    std::vector<std::uint32_t> pixels = Pattern(w, h);
    EncodedImage encoded{};
    ASSERT_TRUE(runtime::EncodeImage(runtime::kBmpCodecTag, {w, h, pixels.data()}, &encoded));
    DecodedImage decoded{};
    ASSERT_EQ(runtime::DecodeImage(encoded.bytes, encoded.size, &decoded), runtime::kBmpCodecTag);
    ASSERT_EQ(decoded.width, w);
    ASSERT_EQ(decoded.height, h);
    EXPECT_EQ(std::vector<std::uint32_t>(decoded.pixels, decoded.pixels + w * h), pixels);
    runtime::FreeDecodedImage(&decoded);
    runtime::FreeEncodedImage(&encoded);
}

TEST_F(DecodersTest, PngDecodesThroughTheRegistry) {
    const int w = 9, h = 5;
    const std::vector<std::uint32_t> pixels = Pattern(w, h);
    const std::vector<std::uint8_t> png = WritePng(pixels, w, h);
    DecodedImage decoded{};
    ASSERT_EQ(runtime::DecodeImage(png.data(), png.size(), &decoded), runtime::kPngCodecTag);
    ASSERT_EQ(decoded.width, w);
    ASSERT_EQ(decoded.height, h);
    EXPECT_EQ(std::vector<std::uint32_t>(decoded.pixels, decoded.pixels + w * h), pixels);
    runtime::FreeDecodedImage(&decoded);
    EncodedImage none{};
    EXPECT_FALSE(runtime::EncodeImage(runtime::kPngCodecTag, {w, h, const_cast<std::uint32_t*>(pixels.data())}, &none));
}

TEST_F(DecodersTest, BmpReadsPaletteAndTwentyFourBitFilesBottomUp) {
    // 1 bit per pixel, 3 x 2: rows padded to 4 bytes; the bottom row comes first in the file.
    const auto mono = BitmapFile(3, 2, 1, {0x000000, 0xFFFFFF}, {0b10100000, 0, 0, 0, 0b01000000, 0, 0, 0});
    DecodedImage img{};
    ASSERT_EQ(runtime::DecodeImage(mono.data(), mono.size(), &img), runtime::kBmpCodecTag);
    const std::uint32_t W = 0xFFFFFFFF, B = 0xFF000000;
    EXPECT_EQ(std::vector<std::uint32_t>(img.pixels, img.pixels + 6), (std::vector<std::uint32_t>{B, W, B, W, B, W}));
    runtime::FreeDecodedImage(&img);

    // 4 bits per pixel with a three-colour palette.
    const auto nibbles = BitmapFile(2, 1, 4, {0x0000FF, 0x00FF00, 0xFF0000}, {0x21, 0, 0, 0});
    ASSERT_EQ(runtime::DecodeImage(nibbles.data(), nibbles.size(), &img), runtime::kBmpCodecTag);
    EXPECT_EQ(img.pixels[0], 0xFFFF0000u);
    EXPECT_EQ(img.pixels[1], 0xFF00FF00u);
    runtime::FreeDecodedImage(&img);

    // 24 bits per pixel, 2 x 1, stored blue-green-red.
    const auto rgb = BitmapFile(2, 1, 24, {}, {0x01, 0x02, 0x03, 0x10, 0x20, 0x30, 0, 0});
    ASSERT_EQ(runtime::DecodeImage(rgb.data(), rgb.size(), &img), runtime::kBmpCodecTag);
    EXPECT_EQ(img.pixels[0], 0xFF030201u);
    EXPECT_EQ(img.pixels[1], 0xFF302010u);
    runtime::FreeDecodedImage(&img);
}

TEST_F(DecodersTest, MalformedInputIsRefusedWithoutReadingPastIt) {
    const int w = 4, h = 4;
    std::vector<std::uint32_t> pixels = Pattern(w, h);
    EncodedImage good{};
    ASSERT_TRUE(runtime::EncodeImage(runtime::kBmpCodecTag, {w, h, pixels.data()}, &good));
    const std::vector<std::uint8_t> bmp(good.bytes, good.bytes + good.size);
    runtime::FreeEncodedImage(&good);
    const std::vector<std::uint8_t> png = WritePng(pixels, w, h);

    auto patched = [&bmp](std::size_t at, std::uint32_t v) {
        std::vector<std::uint8_t> b = bmp;
        if (b.size() >= at + 4) {
            for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
        return b;
    };
    const struct { const char* why; std::vector<std::uint8_t> bytes; } rows[] = {
        {"empty", {}},
        {"signature only", {'B', 'M'}},
        {"truncated bmp", std::vector<std::uint8_t>(bmp.begin(), bmp.end() - 1)},
        {"pixel offset past the end", patched(10, 0xFFFFFFF0u)},
        {"huge width", patched(18, 0x7FFFFFFF)},
        {"negative width", patched(18, 0xFFFFFFFF)},
        {"zero height", patched(22, 0)},
        {"most negative height", patched(22, 0x80000000u)},
        {"header size past the end", patched(14, 0xFFFF)},
        {"run-length compression", patched(30, 1)},
        {"truncated png", std::vector<std::uint8_t>(png.begin(), png.begin() + png.size() / 2)},
        {"png signature only", std::vector<std::uint8_t>(png.begin(), png.begin() + 8)},
        {"unknown format", {'G', 'I', 'F', '8', '9', 'a', 0, 0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        // Copy into an exact-size heap block so that any over-read is caught by the sanitizers.
        std::vector<std::uint8_t> exact(row.bytes);
        DecodedImage img{1, 1, nullptr};
        EXPECT_EQ(runtime::DecodeImage(exact.empty() ? nullptr : exact.data(), exact.size(), &img), 0u);
        EXPECT_EQ(img.pixels, nullptr);
        EXPECT_EQ(img.width, 0);
    }
    // A top-down bitmap is accepted.
    const auto topDown = patched(22, static_cast<std::uint32_t>(-h));
    DecodedImage img{};
    ASSERT_EQ(runtime::DecodeImage(topDown.data(), topDown.size(), &img), runtime::kBmpCodecTag);
    EXPECT_EQ(img.pixels[0], pixels[static_cast<std::size_t>((h - 1) * w)]);
    runtime::FreeDecodedImage(&img);
}

TEST_F(DecodersTest, EncodeRefusesEmptyImagesAndUnknownTags) {
    std::uint32_t pixel = 0;
    EncodedImage out{};
    EXPECT_FALSE(runtime::EncodeImage(runtime::kBmpCodecTag, {0, 1, &pixel}, &out));
    EXPECT_FALSE(runtime::EncodeImage(runtime::kBmpCodecTag, {1, 1, nullptr}, &out));
    EXPECT_FALSE(runtime::EncodeImage(0x123456, {1, 1, &pixel}, &out));
    EXPECT_EQ(out.bytes, nullptr);
}

TEST(DecodersWithoutStartUp, NothingIsRegistered) {
    DecodedImage img{};
    const std::uint8_t bytes[] = {'B', 'M'};
    EXPECT_EQ(runtime::GetDecoderRegistry(), nullptr);
    EXPECT_EQ(runtime::DecodeImage(bytes, sizeof bytes, &img), 0u);
    EXPECT_FALSE(runtime::RegisterBmpCodec());
}
