// runtime/bmp_codec.cpp: the BMP decoder and encoder of the image library.
//
// Reads Windows bitmaps with an info header of 40 bytes or more (V4 and V5 included):
// uncompressed 1, 4, 8, 24 and 32 bits per pixel, and bit-field 16 and 32 bits per pixel, bottom-up
// or top-down. Compressed (RLE, JPEG, PNG) bitmaps are refused. Writes 32-bit bit-field bitmaps
// with a V4 header, so the alpha channel survives a round trip.
#include <bit>
#include <cstring>

#include "runtime/decoders.h"
#include "runtime/heap.h"

namespace runtime {

static_assert(std::endian::native == std::endian::little, "pixels are stored as little-endian words");

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kV4HeaderBytes = 108;
constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionBitFields = 3;
constexpr std::uint32_t kColourSpaceWindows = 0x57696E20;  // 'Win '

std::uint32_t U16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put16(std::uint8_t* p, std::uint32_t v) { p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; }
void Put32(std::uint8_t* p, std::uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = (v >> (8 * i)) & 0xFF; }

// One channel of a bit-field pixel, scaled to 8 bits; "absent" when the mask is empty.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t maximum = 0;
    explicit Channel(std::uint32_t m) : mask(m) {
        if (!m) return;
        shift = std::countr_zero(m);
        const int bits = std::popcount(m >> shift);
        maximum = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    }
    std::uint32_t Read(std::uint32_t pixel, std::uint32_t absent) const {
        if (!mask) return absent;
        const std::uint64_t v = (pixel & mask) >> shift;
        return static_cast<std::uint32_t>((v * 255 + maximum / 2) / maximum);
    }
};

bool RecognisesBmp(const std::uint8_t* bytes, std::size_t size) {
    return size >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
}

bool DecodeBmp(const std::uint8_t* bytes, std::size_t size, DecodedImage* out) {
    if (size < kFileHeaderBytes + kInfoHeaderBytes) return false;
    const std::uint32_t pixelOffset = U32(bytes + 10);
    const std::uint8_t* info = bytes + kFileHeaderBytes;
    const std::uint32_t headerBytes = U32(info);
    if (headerBytes < kInfoHeaderBytes || headerBytes > size - kFileHeaderBytes) return false;
    const auto width = static_cast<std::int32_t>(U32(info + 4));
    const auto rawHeight = static_cast<std::int32_t>(U32(info + 8));
    const std::uint32_t bpp = U16(info + 14);
    const std::uint32_t compression = U32(info + 16);
    std::uint32_t coloursUsed = U32(info + 32);
    if (U16(info + 12) != 1 || rawHeight == INT32_MIN) return false;
    const bool topDown = rawHeight < 0;
    const std::int32_t height = topDown ? -rawHeight : rawHeight;
    if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return false;

    // Bit-field masks: inside a V2+ header, or right after a 40-byte one.
    std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    std::size_t tableAt = kFileHeaderBytes + headerBytes;
    if (compression == kCompressionBitFields) {
        if (bpp != 16 && bpp != 32) return false;
        if (headerBytes == kInfoHeaderBytes) {
            if (size < tableAt + 12) return false;
            for (int i = 0; i < 3; ++i) masks[i] = U32(bytes + tableAt + 4 * i);
            tableAt += 12;
        } else {
            if (headerBytes < 52) return false;
            for (int i = 0; i < 3; ++i) masks[i] = U32(info + 40 + 4 * i);
            if (headerBytes >= 56) masks[3] = U32(info + 52);
        }
    } else if (compression == kCompressionNone) {
        if (bpp == 16) {
            masks[0] = 0x7C00; masks[1] = 0x03E0; masks[2] = 0x001F;
        } else if (bpp == 32) {
            masks[0] = 0x00FF0000; masks[1] = 0x0000FF00; masks[2] = 0x000000FF;
        } else if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) {
            return false;
        }
    } else {
        return false;
    }

    std::uint32_t palette[256] = {};
    if (bpp <= 8) {
        const std::uint32_t maximum = 1u << bpp;
        if (coloursUsed == 0 || coloursUsed > maximum) coloursUsed = maximum;
        if (tableAt + 4 * static_cast<std::size_t>(coloursUsed) > size) return false;
        for (std::uint32_t i = 0; i < coloursUsed; ++i)
            palette[i] = 0xFF000000u | (U32(bytes + tableAt + 4 * i) & 0x00FFFFFFu);
    }

    const std::size_t rowBytes = (static_cast<std::size_t>(width) * bpp + 31) / 32 * 4;
    if (pixelOffset > size || rowBytes * static_cast<std::size_t>(height) > size - pixelOffset) return false;

    std::uint32_t* pixels = AllocateImagePixels(width, height);
    if (!pixels) return false;
    out->width = width;
    out->height = height;
    out->pixels = pixels;

    const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
    bool anyAlpha = false;
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = bytes + pixelOffset + rowBytes * static_cast<std::size_t>(topDown ? y : height - 1 - y);
        std::uint32_t* to = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint32_t colour;
            if (bpp <= 8) {
                const std::size_t bit = static_cast<std::size_t>(x) * bpp;
                const std::uint32_t index = (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                colour = palette[index];
            } else if (bpp == 24) {
                const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
                colour = 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
            } else {
                const std::uint32_t raw = bpp == 16 ? U16(row + 2 * static_cast<std::size_t>(x))
                                                    : U32(row + 4 * static_cast<std::size_t>(x));
                const std::uint32_t a = alpha.Read(raw, 0xFF);
                if (a != 0) anyAlpha = true;
                colour = (a << 24) | (red.Read(raw, 0) << 16) | (green.Read(raw, 0) << 8) | blue.Read(raw, 0);
            }
            to[x] = colour;
        }
    }
    // A 32-bit bitmap whose alpha channel is all zero was written without alpha: show it opaque.
    if (bpp > 8 && bpp != 24 && masks[3] && !anyAlpha)
        for (std::size_t i = 0; i < static_cast<std::size_t>(width) * static_cast<std::size_t>(height); ++i)
            pixels[i] |= 0xFF000000u;
    return true;
}

bool EncodeBmp(const DecodedImage& image, EncodedImage* out) {
    const std::size_t pixelBytes = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4;
    const std::size_t offset = kFileHeaderBytes + kV4HeaderBytes;
    const std::size_t total = offset + pixelBytes;
    if (total > UINT32_MAX) return false;
    auto* bytes = static_cast<std::uint8_t*>(RuntimeAlloc(total));
    if (!bytes) return false;
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put32(bytes + 2, static_cast<std::uint32_t>(total));
    Put32(bytes + 10, static_cast<std::uint32_t>(offset));
    std::uint8_t* info = bytes + kFileHeaderBytes;
    Put32(info, kV4HeaderBytes);
    Put32(info + 4, static_cast<std::uint32_t>(image.width));
    Put32(info + 8, static_cast<std::uint32_t>(image.height));  // bottom-up
    Put16(info + 12, 1);
    Put16(info + 14, 32);
    Put32(info + 16, kCompressionBitFields);
    Put32(info + 20, static_cast<std::uint32_t>(pixelBytes));
    Put32(info + 24, 2835);  // 72 dots per inch
    Put32(info + 28, 2835);
    Put32(info + 40, 0x00FF0000);
    Put32(info + 44, 0x0000FF00);
    Put32(info + 48, 0x000000FF);
    Put32(info + 52, 0xFF000000);
    Put32(info + 56, kColourSpaceWindows);
    for (std::int32_t y = 0; y < image.height; ++y) {
        const std::uint32_t* from = image.pixels + static_cast<std::size_t>(image.height - 1 - y) * static_cast<std::size_t>(image.width);
        std::memcpy(bytes + offset + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) * 4, from,
                    static_cast<std::size_t>(image.width) * 4);
    }
    out->bytes = bytes;
    out->size = total;
    return true;
}

}  // namespace

bool RegisterBmpCodec() {
    const bool decoder = RegisterImageDecoder({.tag = kBmpCodecTag, .recognises = RecognisesBmp, .decode = DecodeBmp});
    const bool encoder = RegisterImageEncoder({.tag = kBmpCodecTag, .encode = EncodeBmp});
    return decoder && encoder;
}

}  // namespace runtime
