// runtime/png_codec.cpp: the PNG decoder of the image library, on libpng's simplified reader.
#include <png.h>

#include <cstring>

#include "runtime/decoders.h"

namespace runtime {

namespace {

bool RecognisesPng(const std::uint8_t* bytes, std::size_t size) {
    return size >= 8 && png_sig_cmp(bytes, 0, 8) == 0;
}

bool DecodePng(const std::uint8_t* bytes, std::size_t size, DecodedImage* out) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes, size)) return false;
    if (image.width < 1 || image.height < 1 || image.width > kMaxImageSide || image.height > kMaxImageSide) {
        png_image_free(&image);
        return false;
    }
    // BGRA bytes in memory are 0xAARRGGBB words on this little-endian platform.
    image.format = PNG_FORMAT_BGRA;
    const auto width = static_cast<std::int32_t>(image.width);
    const auto height = static_cast<std::int32_t>(image.height);
    std::uint32_t* pixels = AllocateImagePixels(width, height);
    if (!pixels) {
        png_image_free(&image);
        return false;
    }
    out->width = width;
    out->height = height;
    out->pixels = pixels;  // freed by the registry when the read fails
    if (!png_image_finish_read(&image, nullptr, pixels, 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

}  // namespace

bool RegisterPngDecoder() {
    return RegisterImageDecoder({.tag = kPngCodecTag, .recognises = RecognisesPng, .decode = DecodePng});
}

}  // namespace runtime
