// tests/gfx/pixels_es_test.cpp: the pixel rearrangements of the graphics layer on OpenGL ES
// (the browser build), one case per row of the format table in pixels_gl.cpp. They are plain
// functions, so they run here without an ES context.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/gfx/gl/gl_internal.h"

namespace {

namespace gfx = platform::gfx;
namespace gl = platform::gfx::gl;

template <typename T>
std::vector<std::uint8_t> Bytes(std::initializer_list<T> words) {
    std::vector<std::uint8_t> out(words.size() * sizeof(T));
    std::memcpy(out.data(), words.begin(), out.size());
    return out;
}

TEST(EsPixelRows, UploadsAreInTheOrderEsTakes) {
    const std::uint32_t argb[] = {0x80FF4010u, 0x00000001u};
    EXPECT_EQ(gl::EsUploadRows(gfx::D3DFMT_A8R8G8B8, argb, 2),
              (std::vector<std::uint8_t>{0xFF, 0x40, 0x10, 0x80, 0x00, 0x00, 0x01, 0x00}));
    EXPECT_EQ(gl::EsUploadRows(gfx::D3DFMT_X8R8G8B8, argb, 2),
              (std::vector<std::uint8_t>{0xFF, 0x40, 0x10, 0x00, 0x00, 0x01}));
    const std::uint16_t rgb565[] = {0xF81F};
    EXPECT_EQ(gl::EsUploadRows(gfx::D3DFMT_R5G6B5, rgb565, 1), Bytes<std::uint16_t>({0xF81F}));
    // Red with alpha, and blue without: RGBA 5551 keeps alpha in bit 0 (forced on for X1).
    const std::uint16_t argb1555[] = {0xFC00, 0x001F};
    EXPECT_EQ(gl::EsUploadRows(gfx::D3DFMT_A1R5G5B5, argb1555, 2),
              Bytes<std::uint16_t>({0xF801, 0x003E}));
    EXPECT_EQ(gl::EsUploadRows(gfx::D3DFMT_X1R5G5B5, argb1555, 2),
              Bytes<std::uint16_t>({0xF801, 0x003F}));
    // Alpha 3, red full, blue 1: red and blue change ends.
    const std::uint32_t a2r10[] = {0xC0000000u | 0x3FFu << 20 | 1u};
    const auto es = gl::EsUploadRows(gfx::D3DFMT_A2R10G10B10, a2r10, 1);
    EXPECT_EQ(es, Bytes<std::uint32_t>({0xC0000000u | 1u << 20 | 0x3FFu}));
    EXPECT_EQ(gl::EsUploadRows(gfx::D3DFMT_A2R10G10B10, es.data(), 1), Bytes<std::uint32_t>({a2r10[0]}));
}

TEST(EsPixelRows, ReadBacksGiveTheSurfacesOwnLayout) {
    const std::uint8_t rgba[] = {0xFF, 0x40, 0x10, 0x80};
    std::uint32_t word = 0;
    gl::EsReadBackRows(gfx::D3DFMT_A8R8G8B8, rgba, 1, &word);
    EXPECT_EQ(word, 0x80FF4010u);
    gl::EsReadBackRows(gfx::D3DFMT_X8R8G8B8, rgba, 1, &word);
    EXPECT_EQ(word, 0xFFFF4010u);
    // A 5:6:5 pixel comes back as GL widens it to bytes (bit replication) and packs again.
    const std::uint8_t widened[] = {132, 130, 132, 255};
    std::uint16_t half = 0;
    gl::EsReadBackRows(gfx::D3DFMT_R5G6B5, widened, 1, &half);
    EXPECT_EQ(half, 0x8410);
    const std::uint8_t red[] = {0xFF, 0x00, 0x00, 0x00};
    gl::EsReadBackRows(gfx::D3DFMT_A1R5G5B5, red, 1, &half);
    EXPECT_EQ(half, 0x7C00);
    gl::EsReadBackRows(gfx::D3DFMT_X1R5G5B5, red, 1, &half);
    EXPECT_EQ(half, 0xFC00);
}

}  // namespace
