// engine/render_texture_internal.h: the full-screen quad and the replaceable platform calls of
// the render-texture path, for engine/render_texture.cpp and its tests.
//
// The calls that create the objects of one post-processing pass go through one table, so a test
// can make any of them fail (or hand out an object that fails later) and check the result code
// and that every object obtained before the failure was released.
#pragma once

#include <cstdint>

#include "platform/gfx/gfx.h"

namespace engine::render_texture_detail {

// One vertex of the quad: D3DFVF_XYZ | D3DFVF_TEX1, 20 bytes.
struct QuadVertex {
    float x, y, z, u, v;
};

inline constexpr platform::gfx::DWORD kQuadFvf =
    platform::gfx::D3DFVF_XYZ | platform::gfx::D3DFVF_TEX1;  // 0x102
inline constexpr platform::gfx::UINT kQuadStrideBytes = sizeof(QuadVertex);

// The full-screen quad, already in clip space (the pass draws with identity transforms): a
// triangle strip of two triangles, texture (0, 0) at the top-left corner, no half-pixel offset.
inline constexpr QuadVertex kFullScreenQuad[4] = {
    {-1.0f, 1.0f, 0.0f, 0.0f, 0.0f},
    {1.0f, 1.0f, 0.0f, 1.0f, 0.0f},
    {-1.0f, -1.0f, 0.0f, 0.0f, 1.0f},
    {1.0f, -1.0f, 0.0f, 1.0f, 1.0f},
};
inline constexpr platform::gfx::UINT kQuadBytes = sizeof(kFullScreenQuad);
static_assert(kQuadStrideBytes == 20 && kQuadBytes == 80, "the quad is 4 vertices of 20 bytes");

// The platform calls the render-texture operations create their objects with.
struct PlatformCalls {
    platform::gfx::HRESULT (*getBackBuffer)(platform::gfx::IDirect3DDevice9* device,
                                            platform::gfx::IDirect3DSurface9** surface);
    platform::gfx::HRESULT (*createTexture)(platform::gfx::IDirect3DDevice9* device,
                                            platform::gfx::UINT width, platform::gfx::UINT height,
                                            platform::gfx::UINT levels, platform::gfx::DWORD usage,
                                            platform::gfx::D3DFORMAT format,
                                            platform::gfx::D3DPOOL pool,
                                            platform::gfx::IDirect3DTexture9** texture);
    platform::gfx::HRESULT (*createRenderToSurface)(
        platform::gfx::IDirect3DDevice9* device, platform::gfx::UINT width,
        platform::gfx::UINT height, platform::gfx::D3DFORMAT format, platform::gfx::BOOL depth,
        platform::gfx::D3DFORMAT depthFormat, platform::gfx::ID3DXRenderToSurface** object);
    platform::gfx::HRESULT (*createVertexBuffer)(platform::gfx::IDirect3DDevice9* device,
                                                 platform::gfx::UINT lengthBytes,
                                                 platform::gfx::DWORD usage,
                                                 platform::gfx::DWORD fvf,
                                                 platform::gfx::D3DPOOL pool,
                                                 platform::gfx::IDirect3DVertexBuffer9** buffer);
};

// The table in use (the graphics layer's own functions unless a test replaced it).
PlatformCalls& Calls();

// The graphics layer's own functions.
PlatformCalls DefaultCalls();

}  // namespace engine::render_texture_detail
