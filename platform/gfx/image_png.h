// platform/gfx/image_png.h: PNG files in memory to and from 32-bit ARGB pixels (libpng).
//
// Used by the texture loaders of every backend; no GL or SDL in it. Pixels are D3DCOLOR words
// (0xAARRGGBB), rows top first, no padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::gfx::image {

// Pictures larger than this on either side are refused, so a hostile header cannot make the
// decoder ask for gigabytes.
inline constexpr std::uint32_t kMaxImageSide = 16384;

struct ImageInfo {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool hasAlpha = false;  // the file carries alpha (an alpha channel or a transparency chunk)
};

// Reads the header of a PNG file in memory. False for anything that is not a readable PNG
// within the size limit.
bool ReadPngInfo(const void* data, std::size_t size_bytes, ImageInfo* info);

// Decodes a whole PNG file in memory into "pixels" (width * height words). False, leaving
// "pixels" empty, for a file that is not a readable PNG (truncated, corrupt, too large).
// The file EncodePng wrote last, given back byte for byte, is not decoded again: its pixels
// are the ones EncodePng kept (once; they are then handed over).
bool DecodePng(const void* data, std::size_t size_bytes, ImageInfo* info,
               std::vector<std::uint32_t>* pixels);

// Encodes ARGB pixels as an 8-bit RGBA PNG file (RGB when "keep_alpha" is false), favouring
// speed over size: rows unfiltered, stored without compression. Keeps the pixels (and the
// file's checksums) until the next call or until DecodePng takes them.
bool EncodePng(const std::uint32_t* pixels, std::uint32_t width, std::uint32_t height,
               bool keep_alpha, std::vector<std::uint8_t>* out);
// The same, keeping "pixels" themselves (width * height words) instead of a copy.
bool EncodePng(std::vector<std::uint32_t>&& pixels, std::uint32_t width, std::uint32_t height,
               bool keep_alpha, std::vector<std::uint8_t>* out);

}  // namespace platform::gfx::image
