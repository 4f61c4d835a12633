// engine/render_texture.h: render textures and the full-screen post-processing path.
//
// A render texture is a `TextureRecord` of `textureList` with `isRenderTarget` 1: a one-level
// render-target texture that can receive a copy of the back buffer, be run through an effect
// on a full-screen quad into a fresh render target, and be copied back over the back buffer.
// One frame of post-processing, in this order:
//
//     RenderWorld();                                  // the picture so far
//     CopyBackBufferToTexture(frame);                 // back buffer -> frame texture
//     SetEffectTexture(effect, "texture0", frame);    // bind it again every frame
//     ApplyEffectToTexture(frame, effect);            // effect pass -> new frame texture
//     CopyTextureToBackBuffer(frame);                 // processed picture -> back buffer
//
// `width`, `height` and `format` of the record are what it was created with; a device reset
// re-creates the texture from them (ReleaseRenderTextures / RecreateRenderTextures). A record
// left without a texture by a failed re-creation makes every operation here return 0 without
// touching the device.
//
// Sizes that differ: both copies stretch the whole source over the whole destination with
// linear filtering, in every case (a render texture smaller or larger than the back buffer in
// either direction is scaled, never refused or cropped).
//
// Threads: main thread only (the thread that owns the device).
#pragma once

#include <cstdint>

#include "engine/effect.h"
#include "engine/texture.h"

namespace engine {

// Results of ApplyEffectToTexture besides 0 (unknown texture) and 1 (success).
inline constexpr std::int32_t kApplyNoTarget = 2;            // target texture not created
inline constexpr std::int32_t kApplyNoRenderToSurface = 3;   // render-to-surface not created
inline constexpr std::int32_t kApplyVertexBufferLock = 4;    // quad buffer not locked
inline constexpr std::int32_t kApplyNoVertexBuffer = 5;      // quad buffer not created

// Inserts a render texture into `textureList`. Its size is the back buffer's; with "sizeMode" non-zero each side
// is the smaller of the argument and the back buffer's side. Its format is the back buffer's;
// with "sizeMode" 2 it is "format" (a Direct3D format code). Returns the handle, or 0 with
// `lastError` 18 and no record left when the back buffer is not available or the texture
// cannot be created (a size of 0 or less included).
TextureRecord* CreateRenderTexture(std::int32_t width, std::int32_t height, std::int32_t sizeMode,
                                   std::int32_t format);

// CreateRenderTexture(0, 0, 0, 0): a render texture of the back buffer's size and format.
TextureRecord* CreateScreenTexture();

// Copies the whole back buffer (its current content) into level 0 of the record's texture.
// 1 on success; 0 for an unknown record, a record without a texture or no back buffer.
std::int32_t CopyBackBufferToTexture(TextureRecord* texture);

// Draws "effect" over a full-screen quad into a new X8R8G8B8 render target of the size of the
// record's texture, which replaces the record's texture (the old one lives on only while an
// effect still holds it). The pass runs with identity transforms and texture stage 0 unbound,
// after a clear of colour (black) and depth; afterwards projection and world are as before and
// view is the identity. Returns 1 on success, also for an effect not in `effectList` (the new
// texture is then black); 0 for an unknown record or one without a texture; 2 when the target
// cannot be created (record unchanged); 3, 5 or 4 when the render-to-surface object or the
// quad's vertex buffer cannot be created or locked (the record holds the new, uncleared target).
std::int32_t ApplyEffectToTexture(TextureRecord* texture, Effect* effect);

// Copies level 0 of the record's texture over the whole back buffer, stretching when the sizes
// differ. Needs no open scene. 1 on success; 0 for an unknown record, a record without a texture
// or no back buffer.
std::int32_t CopyTextureToBackBuffer(TextureRecord* texture);

// For the device reset (ResetEngineDevice): before the device's Reset, release the texture of
// every render texture; after it, re-create each from its stored `width`, `height` and `format`
// (one level, render target, default pool). A texture that cannot be re-created stays empty.
void ReleaseRenderTextures();
void RecreateRenderTextures();

}  // namespace engine
