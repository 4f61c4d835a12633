// engine/texture.h: the engine's texture records: image textures decoded from PNG files in
// memory, and the record layout that render textures share.
//
// Every texture of the engine is one `TextureRecord` in `textureList`. A handle is the record's
// address; 0 means none. Every operation given a handle walks the list from its head and does
// nothing (returning 0) for a handle that is not in it, so a stale or invented handle is never
// dereferenced.
//
// Threads: main thread only (the thread that owns the device).
#pragma once

#include <cstdint>

#include "platform/gfx/gfx.h"

namespace engine {

// One entry of `textureList`. Records are zero-filled when inserted and live until the process
// ends (a failed creation removes its record again).
struct TextureRecord {
    platform::gfx::IDirect3DTexture9* texture;  // owned; null after a failed re-creation
    // Eight factors in three groups (four, three, one); nothing reads them. Image textures carry
    // 1.0 x 7 and 4.0, render textures 1.0 x 7 and 0.0.
    float factors[8];
    std::int32_t isRenderTarget;  // 0 for an image texture, 1 for a render texture
    std::uint32_t format;         // level 0's Direct3D format as first created
    std::int32_t height;          // level 0's height as first created (render textures: requested)
    std::int32_t width;           // level 0's width as first created (render textures: requested)
};

// The eighth factor of the two kinds of record.
inline constexpr float kImageTextureFactor = 4.0f;
inline constexpr float kRenderTextureFactor = 0.0f;

// Engine result code stored in `lastError` when a texture cannot be made.
inline constexpr std::int32_t kErrorTextureNotLoaded = 18;

// Decodes the PNG file "bytes" ("sizeBytes" long) into a new managed A8R8G8B8 texture with
// "mipLevels" levels (values outside 0-10 mean 0, a full chain) and opaque black made
// transparent, and inserts its record into `textureList`. Returns the record's handle, or 0: for bytes that are not
// a readable image (nothing else changes), or when the texture cannot be created (`lastError`
// becomes 18). No record is left behind on failure.
TextureRecord* LoadTextureFromMemory(const void* bytes, std::uint32_t sizeBytes,
                                     std::int32_t mipLevels);

// The width or height of level 0 of the record's texture now; 0 for a handle not in
// `textureList` or a record without a texture.
std::int32_t GetTextureWidth(TextureRecord* texture);
std::int32_t GetTextureHeight(TextureRecord* texture);

// ---------------------------------------------------------------------------------------------
// For the engine's texture owners (sprites, render textures)
// ---------------------------------------------------------------------------------------------

// Inserts a zero-filled record after the list's current one (engine/record_list.h) with the
// factors 1.0 x 7 and "eighthFactor". Null without memory or before the engine's lists exist.
TextureRecord* InsertTextureRecord(float eighthFactor);

// Removes "record" from `textureList` (it must be in it) without releasing its texture.
void RemoveTextureRecord(TextureRecord* record);

// "texture" if it is in `textureList`, else null.
TextureRecord* FindTextureRecord(TextureRecord* texture);

}  // namespace engine
