// tests/assets/asset_files.cpp: file reading, PNG chunk splitting and libpng decoding for tests.
#include "tests/assets/asset_files.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace assets_test {

std::vector<unsigned char> ReadAsset(const std::string& relative) {
  std::vector<unsigned char> bytes;
  const std::string path = std::string(INTRO_ASSETS_DIR) + "/" + relative;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  unsigned char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  std::fclose(f);
  return bytes;
}

namespace {

std::uint32_t Be32(const unsigned char* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         p[3];
}

struct ReadCursor {
  const std::vector<unsigned char>* file;
  std::size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n) {
  auto* c = static_cast<ReadCursor*>(png_get_io_ptr(png));
  if (c->pos + n > c->file->size()) png_error(png, "read past the end of the file");
  std::memcpy(out, c->file->data() + c->pos, n);
  c->pos += n;
}

}  // namespace

std::vector<PngChunk> SplitPng(const std::vector<unsigned char>& file, bool& signatureOk) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<PngChunk> chunks;
  signatureOk = file.size() >= 8 && std::memcmp(file.data(), kSignature, 8) == 0;
  if (!signatureOk) return chunks;
  std::size_t pos = 8;
  while (pos + 12 <= file.size()) {
    const std::uint32_t length = Be32(&file[pos]);
    if (length > file.size() - pos - 12) break;
    PngChunk c;
    c.kind.assign(reinterpret_cast<const char*>(&file[pos + 4]), 4);
    c.payload.assign(file.begin() + pos + 8, file.begin() + pos + 8 + length);
    const uLong crc = crc32(0L, &file[pos + 4], length + 4);
    c.crcOk = crc == Be32(&file[pos + 8 + length]);
    chunks.push_back(std::move(c));
    pos += 12 + length;
  }
  return chunks;
}

bool DecodeIndexed(const std::vector<unsigned char>& file, IndexedImage& out, std::string& error) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    error = "libpng cannot start";
    return false;
  }
  ReadCursor cursor{&file, 0};
  std::vector<png_bytep> rows;
  std::vector<std::uint8_t> packed;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    error = "libpng refused the file";
    return false;
  }
  png_set_read_fn(png, &cursor, ReadFromMemory);
  png_read_info(png, info);
  out.width = static_cast<int>(png_get_image_width(png, info));
  out.height = static_cast<int>(png_get_image_height(png, info));
  out.bitDepth = png_get_bit_depth(png, info);
  out.colourType = png_get_color_type(png, info);
  out.interlace = png_get_interlace_type(png, info);
  png_colorp palette = nullptr;
  int entries = 0;
  if (png_get_PLTE(png, info, &palette, &entries))
    for (int i = 0; i < entries; ++i)
      out.palette.push_back({palette[i].red, palette[i].green, palette[i].blue});
  png_bytep trans = nullptr;
  int transCount = 0;
  if (png_get_tRNS(png, info, &trans, &transCount, nullptr))
    out.alphas.assign(trans, trans + transCount);
  if (out.bitDepth < 8) png_set_packing(png);  // one index per byte
  png_read_update_info(png, info);
  const std::size_t stride = png_get_rowbytes(png, info);
  packed.resize(stride * out.height);
  for (int y = 0; y < out.height; ++y) rows.push_back(packed.data() + stride * y);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
  for (int y = 0; y < out.height; ++y)
    std::memcpy(&out.pixels[static_cast<std::size_t>(y) * out.width], rows[y], out.width);
  return true;
}

}  // namespace assets_test
