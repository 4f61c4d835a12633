// platform/gfx/gl/gl_api.h: the OpenGL the backend is built on, and the few places where the
// two flavours it runs on differ.
//
// Desktop builds draw with OpenGL 3.3 core through epoxy. Browser builds draw with OpenGL ES 3.0
// (WebGL 2) through the GLES3 headers. ES 3.0 lacks some of what desktop GL has:
//   - client formats in BGRA order: pixel transfers go through EsPixels (gl_pixels_es.cpp),
//     and a vertex colour (a D3DCOLOR, bytes b, g, r, a in memory) reaches kAttribColour as
//     four normalised bytes that vertex programs read through GFX_GL_COLOUR_SWIZZLE;
//   - texture swizzles (WebGL 2 refuses them): opaque formats are stored without alpha;
//   - border clamping: D3DTADDRESS_BORDER clamps to the edge;
//   - glPolygonMode: wireframe and point fill draw solid;
//   - smooth lines: antialiased lines draw aliased;
//   - double-precision depth calls: the float ones are used.
#pragma once

#if defined(__EMSCRIPTEN__)
#include <GLES3/gl3.h>
#else
#include <epoxy/gl.h>
#endif

namespace platform::gfx::gl {

#if defined(__EMSCRIPTEN__)
inline constexpr bool kGlEs = true;
// The version line (and default precisions) that every shader of the backend starts with.
#define GFX_GL_SHADER_HEADER "#version 300 es\nprecision highp float;\nprecision highp int;\n"
// How a vertex program reads attribute kAttribColour as (r, g, b, a).
#define GFX_GL_COLOUR_SWIZZLE ".bgra"
// The "size" of the kAttribColour pointer: four bytes in memory order.
inline constexpr GLint kColourAttribSize = 4;
#else
inline constexpr bool kGlEs = false;
#define GFX_GL_SHADER_HEADER "#version 330 core\n"
#define GFX_GL_COLOUR_SWIZZLE ""
// The "size" of the kAttribColour pointer: GL reads the bytes as a D3DCOLOR (b, g, r, a).
inline constexpr GLint kColourAttribSize = GL_BGRA;
#endif

// The current context's version as major * 10 + minor (33 for OpenGL 3.3, 30 for ES 3.0), and
// the least the backend needs.
int CurrentGlVersion();
inline constexpr int kRequiredGlVersion = kGlEs ? 30 : 33;

// GL_CLAMP_TO_BORDER where the context has it, else GL_CLAMP_TO_EDGE.
GLint BorderAddressMode();
// Sets a sampler object's border colour where the context has border clamping.
void SetSamplerBorderColour(GLuint sampler, const float rgba[4]);

// glClearDepth / glDepthRange in the precision the context takes.
void ClearDepth(float depth);
void DepthRange(float near_z, float far_z);

// Point, wireframe or solid fill (D3DFILL_*); false where only solid fill exists.
bool SetFillMode(unsigned long d3d_fill);
// Antialiased (smooth) lines on or off; false where the context has none (OpenGL ES).
bool SetLineSmooth(bool on);

}  // namespace platform::gfx::gl
