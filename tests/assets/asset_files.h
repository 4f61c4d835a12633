// tests/assets/asset_files.h: reading the committed asset files in tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets_test {

// The bytes of 'relative' under the repository's assets/ folder; empty if it cannot be read.
std::vector<unsigned char> ReadAsset(const std::string& relative);

struct PngChunk {
  std::string kind;
  std::vector<unsigned char> payload;
  bool crcOk = false;
};

// Splits a PNG file into its chunks; 'signatureOk' tells whether the 8-byte signature is there.
std::vector<PngChunk> SplitPng(const std::vector<unsigned char>& file, bool& signatureOk);

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

// A palette image decoded by libpng into one palette index per pixel.
struct IndexedImage {
  int width = 0, height = 0, bitDepth = 0, colourType = -1, interlace = -1;
  std::vector<Rgb> palette;
  std::vector<int> alphas;                 // the tRNS entries
  std::vector<std::uint8_t> pixels;        // width * height indices, row by row

  int At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  // Alpha of the pixel at (x, y): its tRNS entry, or 255 past the end of tRNS.
  int AlphaAt(int x, int y) const {
    const int i = At(x, y);
    return i < static_cast<int>(alphas.size()) ? alphas[i] : 255;
  }
};

// Decodes with libpng; returns false (with 'error' set) when libpng refuses the file.
bool DecodeIndexed(const std::vector<unsigned char>& file, IndexedImage& out, std::string& error);

}  // namespace assets_test
