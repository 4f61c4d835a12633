// platform/gfx/image_png.cpp: PNG decode and encode with libpng's in-memory image interface.

#include "platform/gfx/image_png.h"

#include <png.h>

#include <bit>
#include <cstring>

namespace platform::gfx::image {

namespace {

// The decoder starts on "data"; false when libpng cannot read the header.
bool Begin(png_image* image, const void* data, std::size_t size_bytes) {
    std::memset(image, 0, sizeof(*image));
    image->version = PNG_IMAGE_VERSION;
    if (!data || size_bytes < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) {
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
    // Repack as RGBA or RGB bytes, the layouts libpng writes directly.
    const int channels = keep_alpha ? 4 : 3;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * channels);
    std::uint8_t* b = bytes.data();
    for (std::size_t i = 0, n = static_cast<std::size_t>(width) * height; i < n; ++i) {
        const std::uint32_t c = pixels[i];
        *b++ = static_cast<std::uint8_t>(c >> 16);
        *b++ = static_cast<std::uint8_t>(c >> 8);
        *b++ = static_cast<std::uint8_t>(c);
        if (keep_alpha) *b++ = static_cast<std::uint8_t>(c >> 24);
    }
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = keep_alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, bytes.data(), 0, nullptr)) return false;
    out->resize(size);
    if (!png_image_write_to_memory(&image, out->data(), &size, 0, bytes.data(), 0, nullptr)) {
        out->clear();
        return false;
    }
    out->resize(size);
    return true;
}

}  // namespace platform::gfx::image
