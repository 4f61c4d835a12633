// platform/gfx/image_png.cpp: PNG decode and encode with libpng's in-memory image interface.

#include "platform/gfx/image_png.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <mutex>

namespace platform::gfx::image {

namespace {

std::uint32_t Get32(const std::uint8_t* at) {
    return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) | at[3];
}

// Whether the chunks after the signature lead, each within the file, to the closing IEND
// chunk: a file cut short is refused even where its header alone would read.
bool ReachesEnd(const std::uint8_t* data, std::size_t size_bytes) {
    std::size_t at = 8;
    while (size_bytes - at >= 12) {
        const std::size_t length = Get32(data + at);
        if (length > size_bytes - at - 12) return false;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
        at += 12 + length;
    }
    return false;
}

// The decoder starts on "data"; false when libpng cannot read the header.
bool Begin(png_image* image, const void* data, std::size_t size_bytes) {
    std::memset(image, 0, sizeof(*image));
    image->version = PNG_IMAGE_VERSION;
    if (!data || size_bytes < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0 ||
        !ReachesEnd(static_cast<const std::uint8_t*>(data), size_bytes)) {
        return false;
    }
    if (!png_image_begin_read_from_memory(image, data, size_bytes)) {
        png_image_free(image);
        return false;
    }
    if (image->width == 0 || image->height == 0 || image->width > kMaxImageSide ||
        image->height > kMaxImageSide) {
        png_image_free(image);
        return false;
    }
    return true;
}

constexpr std::size_t kStoredBlockBytes = 65535;  // the most one stored deflate block holds

void Put32(std::uint8_t* at, std::uint32_t v) {
    at[0] = static_cast<std::uint8_t>(v >> 24);
    at[1] = static_cast<std::uint8_t>(v >> 16);
    at[2] = static_cast<std::uint8_t>(v >> 8);
    at[3] = static_cast<std::uint8_t>(v);
}

// zlib's CRC over any length (its length parameter is 32 bits wide).
unsigned long ChecksumCrc(unsigned long crc, const std::uint8_t* data, std::size_t size_bytes) {
    for (std::size_t at = 0; at < size_bytes; at += 1u << 30)
        crc = crc32(crc, data + at, static_cast<uInt>(std::min<std::size_t>(1u << 30, size_bytes - at)));
    return crc;
}

// Writes chunk "type" at "at" (length, type, "data", CRC of type and data); "data" may already
// be in place at at + 8. Returns the end of the chunk.
std::uint8_t* PutChunk(std::uint8_t* at, const char type[4], const std::uint8_t* data,
                       std::size_t size_bytes) {
    Put32(at, static_cast<std::uint32_t>(size_bytes));
    std::memcpy(at + 4, type, 4);
    if (size_bytes > 0 && data != at + 8) std::memmove(at + 8, data, size_bytes);
    const unsigned long crc = ChecksumCrc(crc32(0, nullptr, 0), at + 4, 4 + size_bytes);
    Put32(at + 8 + size_bytes, static_cast<std::uint32_t>(crc));
    return at + 12 + size_bytes;
}

// The file EncodePng wrote last and the pixels a decoder would read from it. Textures saved
// to a file in memory and loaded straight back (the sprite loader does this for every image)
// then cost one encode and no decode.
struct LastEncoded {
    std::mutex lock;
    std::vector<std::uint8_t> file;
    std::vector<std::uint32_t> pixels;
    ImageInfo info;
};

LastEncoded& Last() {
    static LastEncoded last;
    return last;
}

bool TakeLastEncoded(const void* data, std::size_t size_bytes, ImageInfo* info,
                     std::vector<std::uint32_t>* pixels) {
    LastEncoded& last = Last();
    std::lock_guard<std::mutex> hold(last.lock);
    if (last.file.empty() || last.file.size() != size_bytes ||
        std::memcmp(last.file.data(), data, size_bytes) != 0) {
        return false;
    }
    *info = last.info;
    pixels->swap(last.pixels);
    last.file = {};
    last.pixels = {};
    return true;
}

}  // namespace

bool ReadPngInfo(const void* data, std::size_t size_bytes, ImageInfo* info) {
    png_image image;
    if (!info || !Begin(&image, data, size_bytes)) return false;
    info->width = image.width;
    info->height = image.height;
    info->hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    png_image_free(&image);
    return true;
}

bool DecodePng(const void* data, std::size_t size_bytes, ImageInfo* info,
               std::vector<std::uint32_t>* pixels) {
    pixels->clear();
    if (info && data && TakeLastEncoded(data, size_bytes, info, pixels)) return true;
    png_image image;
    if (!info || !Begin(&image, data, size_bytes)) return false;
    info->width = image.width;
    info->height = image.height;
    info->hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    // BGRA bytes in memory are the little-endian words 0xAARRGGBB.
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint32_t> out(static_cast<std::size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    static_assert(std::endian::native == std::endian::little, "pixel words assume little endian");
    pixels->swap(out);
    return true;
}

bool EncodePng(const std::uint32_t* pixels, std::uint32_t width, std::uint32_t height,
               bool keep_alpha, std::vector<std::uint8_t>* out) {
    out->clear();
    if (!pixels || width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) {
        return false;
    }
    // The rows as the file stores them: a filter byte (0, none), then RGBA or RGB bytes.
    const std::size_t channels = keep_alpha ? 4 : 3;
    const std::size_t rowBytes = 1 + static_cast<std::size_t>(width) * channels;
    const std::size_t rawBytes = rowBytes * height;
    // One IDAT chunk holding a zlib stream of stored deflate blocks: writing costs a copy and
    // two checksums, where compressing a large picture costs tens of milliseconds.
    const std::size_t blocks = (rawBytes + kStoredBlockBytes - 1) / kStoredBlockBytes;
    const std::size_t zlibBytes = 2 + blocks * 5 + rawBytes + 4;
    out->resize(8 + (12 + 13) + (12 + zlibBytes) + 12);
    std::uint8_t* o = out->data();
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::memcpy(o, kSignature, 8);
    o += 8;
    std::uint8_t header[13];
    Put32(header, width);
    Put32(header + 4, height);
    header[8] = 8;                       // bits per channel
    header[9] = keep_alpha ? 6 : 2;      // truecolour with alpha, or truecolour
    header[10] = header[11] = header[12] = 0;  // deflate, adaptive filters, no interlace
    o = PutChunk(o, "IHDR", header, sizeof header);
    std::uint8_t* idat = o + 8;
    std::uint8_t* z = idat;
    *z++ = 0x78;  // deflate, 32 KB window
    *z++ = 0x01;  // no preset dictionary, fastest; (0x78 * 256 + 0x01) % 31 == 0
    // Each row is laid out in a small buffer that stays in the cache, summed, and copied into
    // the blocks, a block header before every kStoredBlockBytes bytes: the picture is written
    // once, not first to a buffer of its own size and then copied.
    const std::unique_ptr<std::uint8_t[]> row(new std::uint8_t[rowBytes]);
    unsigned long adler = adler32(0, nullptr, 0);
    std::size_t rawLeft = rawBytes, blockLeft = 0;
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* b = row.get();
        *b++ = 0;
        const std::uint32_t* line = pixels + y * width;
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t c = line[x];
            *b++ = static_cast<std::uint8_t>(c >> 16);
            *b++ = static_cast<std::uint8_t>(c >> 8);
            *b++ = static_cast<std::uint8_t>(c);
            if (keep_alpha) *b++ = static_cast<std::uint8_t>(c >> 24);
        }
        adler = adler32(adler, row.get(), static_cast<uInt>(rowBytes));
        const std::uint8_t* from = row.get();
        for (std::size_t n = rowBytes; n > 0;) {
            if (blockLeft == 0) {
                blockLeft = std::min(kStoredBlockBytes, rawLeft);
                *z++ = blockLeft == rawLeft ? 1 : 0;  // final block flag, stored
                z[0] = static_cast<std::uint8_t>(blockLeft);
                z[1] = static_cast<std::uint8_t>(blockLeft >> 8);
                z[2] = static_cast<std::uint8_t>(~blockLeft);
                z[3] = static_cast<std::uint8_t>(~blockLeft >> 8);
                z += 4;
            }
            const std::size_t take = std::min(n, blockLeft);
            std::memcpy(z, from, take);
            z += take;
            from += take;
            n -= take;
            blockLeft -= take;
            rawLeft -= take;
        }
    }
    Put32(z, static_cast<std::uint32_t>(adler));
    o = PutChunk(o, "IDAT", idat, zlibBytes);
    PutChunk(o, "IEND", nullptr, 0);

    LastEncoded& last = Last();
    std::lock_guard<std::mutex> hold(last.lock);
    last.file = *out;
    last.pixels.assign(pixels, pixels + static_cast<std::size_t>(width) * height);
    if (!keep_alpha)
        for (auto& p : last.pixels) p |= 0xFF000000u;
    last.info = ImageInfo{width, height, keep_alpha};
    return true;
}

}  // namespace platform::gfx::image
