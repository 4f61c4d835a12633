// platform/gfx/image_png.cpp: PNG decode and encode with libpng's in-memory image interface.

#include "platform/gfx/image_png.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

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

// Writes chunk "type" at "at" (length, type, "data", CRC of type and data). Returns the end
// of the chunk.
std::uint8_t* PutChunk(std::uint8_t* at, const char type[4], const std::uint8_t* data,
                       std::size_t size_bytes) {
    Put32(at, static_cast<std::uint32_t>(size_bytes));
    std::memcpy(at + 4, type, 4);
    if (size_bytes > 0) std::memcpy(at + 8, data, size_bytes);
    const unsigned long crc = ChecksumCrc(crc32(0, nullptr, 0), at + 4, 4 + size_bytes);
    Put32(at + 8 + size_bytes, static_cast<std::uint32_t>(crc));
    return at + 12 + size_bytes;
}

// The file EncodePng writes: signature, IHDR, one IDAT chunk holding a zlib stream of stored
// deflate blocks (a block header before every kStoredBlockBytes bytes of rows, each row a
// filter byte, 0 for none, then RGBA or RGB bytes), IEND. Writing it costs a copy and two
// checksums, where compressing a large picture costs tens of milliseconds.
struct StoredPng {
    static constexpr std::size_t kHeadBytes = 8 + 25 + 8 + 2;  // signature to the zlib header
    static constexpr std::size_t kTailBytes = 4 + 12;          // IDAT's CRC, IEND
    static constexpr std::size_t kIdatCrcFrom = 8 + 25 + 4;    // IDAT's type, then its data
    std::size_t rowBytes, rawBytes, zlibBytes;
    std::size_t FileBytes() const { return kHeadBytes + zlibBytes - 2 + kTailBytes; }
};

StoredPng LayOut(std::uint32_t width, std::uint32_t height, bool keep_alpha) {
    StoredPng f;
    f.rowBytes = 1 + static_cast<std::size_t>(width) * (keep_alpha ? 4 : 3);
    f.rawBytes = f.rowBytes * height;
    const std::size_t blocks = (f.rawBytes + kStoredBlockBytes - 1) / kStoredBlockBytes;
    f.zlibBytes = 2 + blocks * 5 + f.rawBytes + 4;
    return f;
}

// Hands the file's bytes from the signature to the zlib stream's Adler-32, in order, to
// "sink" (bool sink(const std::uint8_t*, std::size_t)), and stops where it returns false.
// The encoder's sink stores them; DecodePng's compares them with a file it was given, so the
// layout lives in one place. The Adler-32 is "known_adler" when given, else computed on the
// way; it is stored in "adler_out" when that is not null.
template <class Sink>
bool ProduceStoredPng(const std::uint32_t* pixels, std::uint32_t width, std::uint32_t height,
                      bool keep_alpha, std::optional<std::uint32_t> known_adler,
                      std::uint32_t* adler_out, Sink&& sink) {
    const StoredPng f = LayOut(width, height, keep_alpha);
    std::uint8_t head[StoredPng::kHeadBytes];
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::memcpy(head, kSignature, 8);
    std::uint8_t header[13];
    Put32(header, width);
    Put32(header + 4, height);
    header[8] = 8;                             // bits per channel
    header[9] = keep_alpha ? 6 : 2;            // truecolour with alpha, or truecolour
    header[10] = header[11] = header[12] = 0;  // deflate, adaptive filters, no interlace
    std::uint8_t* o = PutChunk(head + 8, "IHDR", header, sizeof header);
    Put32(o, static_cast<std::uint32_t>(f.zlibBytes));
    std::memcpy(o + 4, "IDAT", 4);
    o[8] = 0x78;  // deflate, 32 KB window
    o[9] = 0x01;  // no preset dictionary, fastest; (0x78 * 256 + 0x01) % 31 == 0
    if (!sink(head, sizeof head)) return false;

    // Each row is laid out in a small buffer that stays in the cache, summed, and handed on
    // in pieces that end at block boundaries.
    const std::unique_ptr<std::uint8_t[]> row(new std::uint8_t[f.rowBytes]);
    unsigned long adler = adler32(0, nullptr, 0);
    std::size_t rawLeft = f.rawBytes, blockLeft = 0;
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
        if (!known_adler) adler = adler32(adler, row.get(), static_cast<uInt>(f.rowBytes));
        const std::uint8_t* from = row.get();
        for (std::size_t n = f.rowBytes; n > 0;) {
            if (blockLeft == 0) {
                blockLeft = std::min(kStoredBlockBytes, rawLeft);
                const std::uint8_t block[5] = {
                    static_cast<std::uint8_t>(blockLeft == rawLeft ? 1 : 0),  // final?, stored
                    static_cast<std::uint8_t>(blockLeft), static_cast<std::uint8_t>(blockLeft >> 8),
                    static_cast<std::uint8_t>(~blockLeft), static_cast<std::uint8_t>(~blockLeft >> 8)};
                if (!sink(block, sizeof block)) return false;
            }
            const std::size_t take = std::min(n, blockLeft);
            if (!sink(from, take)) return false;
            from += take;
            n -= take;
            blockLeft -= take;
            rawLeft -= take;
        }
    }
    const std::uint32_t total = known_adler ? *known_adler : static_cast<std::uint32_t>(adler);
    if (adler_out) *adler_out = total;
    std::uint8_t sum[4];
    Put32(sum, total);
    return sink(sum, sizeof sum);
}

// IDAT's CRC and the IEND chunk.
void PutTail(std::uint8_t* at, std::uint32_t idat_crc) {
    Put32(at, idat_crc);
    PutChunk(at + 4, "IEND", nullptr, 0);
}

// The picture EncodePng encoded last and the checksums of its file. Textures saved to a file
// in memory and loaded straight back (the sprite loader does this for every image) then cost
// one encode and a comparison instead of a decode, and no copy of the file or the pixels.
struct LastEncoded {
    std::mutex lock;
    std::vector<std::uint32_t> pixels;
    ImageInfo info;
    std::uint32_t adler = 0, crc = 0;
};

LastEncoded& Last() {
    static LastEncoded last;
    return last;
}

bool TakeLastEncoded(const void* data, std::size_t size_bytes, ImageInfo* info,
                     std::vector<std::uint32_t>* pixels) {
    LastEncoded& last = Last();
    std::lock_guard<std::mutex> hold(last.lock);
    if (last.pixels.empty()) return false;
    const ImageInfo& ii = last.info;
    const StoredPng f = LayOut(ii.width, ii.height, ii.hasAlpha);
    if (size_bytes != f.FileBytes()) return false;
    const auto* in = static_cast<const std::uint8_t*>(data);
    std::size_t at = 0;
    const bool same = ProduceStoredPng(last.pixels.data(), ii.width, ii.height, ii.hasAlpha, last.adler,
                                       nullptr, [&](const std::uint8_t* bytes, std::size_t n) {
                                           if (std::memcmp(in + at, bytes, n) != 0) return false;
                                           at += n;
                                           return true;
                                       });
    std::uint8_t tail[StoredPng::kTailBytes];
    PutTail(tail, last.crc);
    if (!same || std::memcmp(in + at, tail, sizeof tail) != 0) return false;
    *info = ii;
    pixels->swap(last.pixels);
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

bool EncodePng(std::vector<std::uint32_t>&& pixels, std::uint32_t width, std::uint32_t height,
               bool keep_alpha, std::vector<std::uint8_t>* out) {
    out->clear();
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide ||
        pixels.size() != static_cast<std::size_t>(width) * height) {
        return false;
    }
    const StoredPng f = LayOut(width, height, keep_alpha);
    out->resize(f.FileBytes());
    std::uint8_t* o = out->data();
    std::uint32_t adler = 0;
    ProduceStoredPng(pixels.data(), width, height, keep_alpha, std::nullopt, &adler,
                     [&o](const std::uint8_t* bytes, std::size_t n) {
                         std::memcpy(o, bytes, n);
                         o += n;
                         return true;
                     });
    const std::size_t idat = StoredPng::kIdatCrcFrom;
    const auto crc = static_cast<std::uint32_t>(
        ChecksumCrc(crc32(0, nullptr, 0), out->data() + idat, static_cast<std::size_t>(o - out->data()) - idat));
    PutTail(o, crc);

    // A decoder reads full alpha from a file without it.
    if (!keep_alpha)
        for (auto& p : pixels) p |= 0xFF000000u;
    LastEncoded& last = Last();
    std::lock_guard<std::mutex> hold(last.lock);
    last.pixels = std::move(pixels);
    last.info = ImageInfo{width, height, keep_alpha};
    last.adler = adler;
    last.crc = crc;
    return true;
}

bool EncodePng(const std::uint32_t* pixels, std::uint32_t width, std::uint32_t height,
               bool keep_alpha, std::vector<std::uint8_t>* out) {
    // The sizes are checked before the copy is made; the overload checks the rest.
    if (!pixels || width > kMaxImageSide || height > kMaxImageSide) {
        out->clear();
        return false;
    }
    return EncodePng(std::vector<std::uint32_t>(pixels, pixels + static_cast<std::size_t>(width) * height),
                     width, height, keep_alpha, out);
}

}  // namespace platform::gfx::image
