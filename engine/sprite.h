// engine/sprite.h: sprites (textured screen rectangles, optionally animated from a strip of
// frames) and their queued draw commands.
//
// A draw call only appends a `SpriteDrawCommand` to `spriteDrawQueue`, capturing the sprite's
// scale, depth and blend modes at that moment; a change made after the call affects only later
// calls. The queue is drawn at the frame's flush points (`RenderWorld` and the frame end):
// `FlushAllSprites` walks `spriteList` in list order and draws each sprite's commands through
// the sprite's own batcher, so a sprite earlier in the list is drawn below the later ones
// whatever the order of the calls.
//
// A new sprite goes into `spriteList` right after the list's current record: after the last
// one when the last operation on the list was a walk or a creation (so creation order is
// drawing order), after the sprite found when it was a lookup (any call given a sprite), and in
// the place of a destroyed sprite when it was DestroySprite.
//
// Handles are record addresses (0 = none); an operation given a sprite that is not in
// `spriteList` does nothing and returns 0. Scales are given in percent (100.0 = natural size);
// positions are back-buffer pixels of the sprite's top-left corner.
//
// Threads: main thread only.
#pragma once

#include <cstdint>

#include "engine/texture.h"
#include "platform/gfx/gfx.h"

namespace engine {

// One entry of `spriteList`.
struct Sprite {
    platform::gfx::ID3DXSprite* batcher;  // the sprite's own batcher; owned
    TextureRecord* texture;               // not owned: the record stays in `textureList`
    float translation[2];                 // translation of the last command drawn; 1, 1 at first
    float centre[3];                      // half the texture (or frame) size, z 0
    float scale[2];                       // fractions: 1.0 = natural size
    std::uint32_t batchFlags;             // Begin flags: D3DXSPRITE_ALPHABLEND
    std::int32_t height;                  // level 0 of the texture at creation
    std::int32_t width;
    float depth;                          // z put into each draw's transform
    std::uint8_t animated;                // 1 once SetSpriteAnimation succeeded
    float frameTimer;                     // gathered time towards the next frame, in 1/60 s
    std::int32_t lastFrame;               // frame count - 1
    std::int32_t currentFrame;            // frame shown by the next animated draw
    float frameRate;                      // frames per second; 0: each command picks its frame
    platform::gfx::RECT frameRect;        // source rectangle of the frame last drawn
    std::int32_t frameWidth;
    std::int32_t frameHeight;
    std::int32_t frameStep;               // frames advanced per step: 1
    std::uint32_t srcBlend;               // D3DBLEND_SRCALPHA
    std::uint32_t destBlend;              // D3DBLEND_INVSRCALPHA
    std::int32_t framesPerRow;            // frames side by side in one row of the strip
};

// One entry of `spriteDrawQueue`.
struct SpriteDrawCommand {
    Sprite* sprite;
    float x, y;            // top-left corner on screen
    float scale[2];        // the sprite's scale when queued
    float depth;           // the sprite's depth when queued
    std::uint32_t alpha;   // 0-255
    std::uint32_t srcBlend, destBlend;
    std::int32_t frame;    // frame offset of QueueSpriteDraw; 0 for region draws
    std::int32_t hasRegion;
    platform::gfx::RECT region;  // source rectangle of a region draw
};

// LoadTextureFromMemory (one level) followed by CreateSpriteFromTexture; 0 if either fails.
Sprite* CreateSpriteFromMemory(const void* bytes, std::uint32_t sizeBytes);

// Replaces the record's texture by a 32-bit ARGB copy of its level 0 at exactly that size
// (opaque black transparent), then inserts a sprite drawing it into `spriteList`. 0 for a record not in
// `textureList`, or when the copy cannot be made (the record then keeps its texture).
Sprite* CreateSpriteFromTexture(TextureRecord* texture);

// Turns the sprite into an animation of "frameCount" frames of "frameWidth" x "frameHeight"
// cut from its image row by row, shown at "framesPerSecond" (0: each draw names its frame).
// The current frame and the gathered time are kept. Returns 1, or 0 (sprite unchanged) for an
// unknown sprite, a frame count or size of 0 or less, or a frame wider than the image.
std::int32_t SetSpriteAnimation(Sprite* sprite, std::int32_t frameCount,
                                std::int32_t framesPerSecond, std::int32_t frameWidth,
                                std::int32_t frameHeight);

// Sets the scale used by later draw calls, in percent (100.0 = natural size). 1 or 0.
std::int32_t SetSpriteScale(Sprite* sprite, float xPercent, float yPercent);

// Sets the depth used by later draw calls: 0 for z 0.0, else the z of (0, 0, z) transformed
// by the device's projection. 1 or 0.
std::int32_t SetSpriteDepth(Sprite* sprite, float z);

// Queues the sprite at ("x", "y") with "alpha" (its low 8 bits) and a frame offset added to
// the animation's current frame. 1 or 0.
std::int32_t QueueSpriteDraw(Sprite* sprite, std::int32_t x, std::int32_t y, std::int32_t alpha,
                             std::int32_t frame);

// QueueSpriteDraw with alpha 255 and frame 0.
std::int32_t PlaceSprite(Sprite* sprite, std::int32_t x, std::int32_t y);

// Queues the source rectangle ("regionX", "regionY", "regionWidth" x "regionHeight") of the
// sprite's image at ("x", "y"). An animated sprite draws its animation frame instead. 1 or 0.
std::int32_t QueueSpriteRegion(Sprite* sprite, std::int32_t x, std::int32_t y,
                               std::int32_t regionX, std::int32_t regionY,
                               std::int32_t regionWidth, std::int32_t regionHeight,
                               std::int32_t alpha);

// Width of level 0 of the sprite's texture now; 0 for an unknown sprite.
std::int32_t GetSpriteWidth(Sprite* sprite);

// Releases the sprite's batcher and removes it from `spriteList`. Its texture record stays;
// commands already queued for it stay queued and are never drawn. 1 or 0.
std::int32_t DestroySprite(Sprite* sprite);

// Draws every sprite's queued commands, sprite by sprite in `spriteList` order. Returns 0.
std::int32_t FlushAllSprites();

// Draws and unqueues the commands of "sprite" in queue order through its batcher, each with
// its own blend states and transform, stepping an animation at most once. Consecutive commands
// with the same blend states share one batch (one GL draw); the picture is the one of drawing
// them one by one. Returns 0.
std::int32_t FlushSpriteQueue(Sprite* sprite);

// The number of sprite batches flushed since the process started (each is one GL draw); for
// measurements.
std::uint64_t SpriteBatchesFlushed();

}  // namespace engine
