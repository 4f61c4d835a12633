// platform/gfx/gl/pixels_gl.cpp: pixel transfers between Direct3D-layout rows and GL storage,
// and the calls whose form differs between desktop OpenGL and OpenGL ES (gl_api.h).
//
// Desktop GL takes every Direct3D layout as it stands (BGRA client formats, reversed packed
// types). OpenGL ES 3.0 takes only RGBA-ordered client formats, so rows are rearranged here:
//
//   Direct3D format  ES storage  upload from          read back as
//   A8R8G8B8         RGBA8       RGBA bytes           RGBA bytes
//   X8R8G8B8         RGB8        RGB bytes            RGBA bytes (alpha reads as 1)
//   R5G6B5           RGB565      the same 16-bit words RGBA bytes
//   A1R5G5B5         RGB5_A1     RGBA 5551 words      RGBA bytes
//   X1R5G5B5         RGB5_A1     RGBA 5551, alpha 1   RGBA bytes
//   A2R10G10B10      RGB10_A2    red and blue swapped the same packed words
#include <cstring>
#include <vector>

#include "platform/gfx/gl/gl_api.h"
#include "platform/gfx/gl/gl_internal.h"

namespace platform::gfx::gl {

namespace {

// The two 10-bit fields at bits 0-9 and 20-29 exchanged (BGR <-> RGB in a 2:10:10:10 word).
std::uint32_t SwapTenBitEnds(std::uint32_t v) {
    return (v & 0xC00FFC00u) | ((v & 0x3FFu) << 20) | ((v >> 20) & 0x3FFu);
}

std::size_t BytesPerPixel(D3DFORMAT format) {
    FormatInfo fi;
    return LookUpFormat(format, &fi) ? static_cast<std::size_t>(fi.bytesPerPixel) : 0;
}

}  // namespace

std::vector<std::uint8_t> EsUploadRows(D3DFORMAT format, const void* pixels, std::size_t count) {
    std::vector<std::uint8_t> out;
    const auto* words32 = static_cast<const std::uint32_t*>(pixels);
    const auto* words16 = static_cast<const std::uint16_t*>(pixels);
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8: {
            const std::size_t n = format == D3DFMT_A8R8G8B8 ? 4 : 3;
            out.resize(count * n);
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint32_t v = words32[i];
                std::uint8_t* p = out.data() + i * n;
                p[0] = static_cast<std::uint8_t>(v >> 16);
                p[1] = static_cast<std::uint8_t>(v >> 8);
                p[2] = static_cast<std::uint8_t>(v);
                if (n == 4) p[3] = static_cast<std::uint8_t>(v >> 24);
            }
            break;
        }
        case D3DFMT_A1R5G5B5:
        case D3DFMT_X1R5G5B5: {
            out.resize(count * 2);
            const bool opaque = format == D3DFMT_X1R5G5B5;
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint16_t v = words16[i];
                const std::uint16_t r = static_cast<std::uint16_t>(
                    ((v & 0x7FFFu) << 1) | (opaque ? 1u : (v >> 15)));
                std::memcpy(out.data() + i * 2, &r, 2);
            }
            break;
        }
        case D3DFMT_A2R10G10B10: {
            out.resize(count * 4);
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint32_t r = SwapTenBitEnds(words32[i]);
                std::memcpy(out.data() + i * 4, &r, 4);
            }
            break;
        }
        default: {  // R5G6B5: the same words
            const auto* bytes = static_cast<const std::uint8_t*>(pixels);
            out.assign(bytes, bytes + count * BytesPerPixel(format));
            break;
        }
    }
    return out;
}

void EsReadBackRows(D3DFORMAT format, const std::uint8_t* rgba, std::size_t count, void* out) {
    auto* words32 = static_cast<std::uint32_t*>(out);
    auto* words16 = static_cast<std::uint16_t*>(out);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t r = rgba[i * 4], g = rgba[i * 4 + 1], b = rgba[i * 4 + 2],
                            a = rgba[i * 4 + 3];
        switch (format) {
            case D3DFMT_A8R8G8B8: words32[i] = a << 24 | r << 16 | g << 8 | b; break;
            case D3DFMT_X8R8G8B8: words32[i] = 0xFF000000u | r << 16 | g << 8 | b; break;
            case D3DFMT_R5G6B5:
                words16[i] = static_cast<std::uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
                break;
            case D3DFMT_A1R5G5B5:
            case D3DFMT_X1R5G5B5:
                words16[i] = static_cast<std::uint16_t>((a >= 128 || format == D3DFMT_X1R5G5B5 ? 0x8000u : 0u) |
                                                        (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
                break;
            default: break;
        }
    }
}

void TexImage(D3DFORMAT format, GLint level, GLsizei width, GLsizei height, const void* pixels) {
    FormatInfo fi;
    if (!LookUpFormat(format, &fi)) return;
    if constexpr (kGlEs) {
        if (pixels != nullptr) {
            const auto rows = EsUploadRows(format, pixels, static_cast<std::size_t>(width) * height);
            glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(fi.internalFormat), width, height,
                         0, fi.format, fi.type, rows.data());
            return;
        }
    }
    glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(fi.internalFormat), width, height, 0,
                 fi.format, fi.type, pixels);
}

void TexSubImage(D3DFORMAT format, GLint level, GLint x, GLint y, GLsizei width, GLsizei height,
                 const void* pixels) {
    FormatInfo fi;
    if (!LookUpFormat(format, &fi)) return;
    if constexpr (kGlEs) {
        const auto rows = EsUploadRows(format, pixels, static_cast<std::size_t>(width) * height);
        glTexSubImage2D(GL_TEXTURE_2D, level, x, y, width, height, fi.format, fi.type, rows.data());
    } else {
        glTexSubImage2D(GL_TEXTURE_2D, level, x, y, width, height, fi.format, fi.type, pixels);
    }
}

void ReadPixels(D3DFORMAT format, GLint x, GLint y, GLsizei width, GLsizei height, void* out) {
    FormatInfo fi;
    if (!LookUpFormat(format, &fi)) return;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if constexpr (kGlEs) {
        const std::size_t count = static_cast<std::size_t>(width) * height;
        if (format == D3DFMT_A2R10G10B10) {
            glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_INT_2_10_10_10_REV, out);
            auto* words = static_cast<std::uint32_t*>(out);
            for (std::size_t i = 0; i < count; ++i) words[i] = SwapTenBitEnds(words[i]);
            return;
        }
        std::vector<std::uint8_t> rgba(count * 4);
        glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        EsReadBackRows(format, rgba.data(), count, out);
    } else {
        glReadPixels(x, y, width, height, fi.format, fi.type, out);
    }
}

int CurrentGlVersion() {
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    return major * 10 + minor;
}

GLint BorderAddressMode() {
#if defined(GL_CLAMP_TO_BORDER)
    return GL_CLAMP_TO_BORDER;
#else
    return GL_CLAMP_TO_EDGE;
#endif
}

void SetSamplerBorderColour([[maybe_unused]] GLuint sampler, [[maybe_unused]] const float rgba[4]) {
#if defined(GL_TEXTURE_BORDER_COLOR)
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, rgba);
#endif
}

void ClearDepth(float depth) {
#if defined(__EMSCRIPTEN__)
    glClearDepthf(depth);
#else
    glClearDepth(depth);
#endif
}

void DepthRange(float near_z, float far_z) {
#if defined(__EMSCRIPTEN__)
    glDepthRangef(near_z, far_z);
#else
    glDepthRange(near_z, far_z);
#endif
}

bool SetFillMode(unsigned long d3d_fill) {
#if defined(__EMSCRIPTEN__)
    return d3d_fill == D3DFILL_SOLID;
#else
    glPolygonMode(GL_FRONT_AND_BACK, d3d_fill == D3DFILL_POINT       ? GL_POINT
                                     : d3d_fill == D3DFILL_WIREFRAME ? GL_LINE
                                                                     : GL_FILL);
    return true;
#endif
}

bool SetLineSmooth(bool on) {
#if defined(__EMSCRIPTEN__)
    return !on;
#else
    if (on) glEnable(GL_LINE_SMOOTH);
    else glDisable(GL_LINE_SMOOTH);
    return true;
#endif
}

}  // namespace platform::gfx::gl
