// engine/sprite.cpp: sprites, their draw queue and the sprite flush.
//
// [SECTION] helpers
// [SECTION] creation and destruction
// [SECTION] settings
// [SECTION] queueing
// [SECTION] flushing
#include "engine/sprite.h"

#include "engine/box.h"
#include "engine/engine.h"
#include "engine/state_internal.h"

namespace engine {

namespace gfx = platform::gfx;

namespace {

// ---------------------------------------------------------------------------------------------
// [SECTION] helpers
// ---------------------------------------------------------------------------------------------

Sprite* FindSprite(Sprite* sprite) { return engineLists.spriteList.Find(sprite); }

// The source rectangle of frame "f" of an animated sprite.
gfx::RECT FrameRect(const Sprite& s, std::int32_t f) {
    // Wrapping arithmetic: a frame offset from the caller may be anything.
    const auto wrap = [](std::int64_t v) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    };
    const std::int64_t left = static_cast<std::int64_t>(f % s.framesPerRow) * s.frameWidth;
    const std::int64_t top = static_cast<std::int64_t>(f / s.framesPerRow) * s.frameHeight;
    gfx::RECT r;
    r.left = wrap(left);
    r.top = wrap(top);
    r.right = wrap(left + s.frameWidth);
    r.bottom = wrap(top + s.frameHeight);
    return r;
}

// The frame "current" + "offset" brought back into 0..lastFrame by subtracting lastFrame (the
// last index, not the count) while it lies beyond it. Done in closed form, so a huge offset
// costs nothing, and a one-frame animation (lastFrame 0) shows frame 0 instead of never ending.
std::int32_t ReduceFrame(std::int32_t current, std::int32_t offset, std::int32_t lastFrame) {
    const std::int64_t f = static_cast<std::int64_t>(current) + offset;
    if (f <= lastFrame) return static_cast<std::int32_t>(f);
    if (lastFrame <= 0) return 0;
    return static_cast<std::int32_t>((f - 1) % lastFrame + 1);
}

std::int32_t Queue(Sprite* sprite, std::int32_t x, std::int32_t y, std::int32_t alpha,
                   std::int32_t frame, const gfx::RECT* region) {
    Sprite* s = FindSprite(sprite);
    if (s == nullptr) return 0;
    SpriteDrawCommand* c = engineLists.spriteDrawQueue.Insert();
    if (c == nullptr) return 0;
    c->sprite = s;
    c->x = static_cast<float>(x);
    c->y = static_cast<float>(y);
    c->scale[0] = s->scale[0];
    c->scale[1] = s->scale[1];
    c->depth = s->depth;
    c->alpha = static_cast<std::uint32_t>(alpha) & 0xFFu;
    c->srcBlend = s->srcBlend;
    c->destBlend = s->destBlend;
    if (region != nullptr) {
        c->hasRegion = 1;
        c->frame = 0;
        c->region = *region;
    } else {
        c->hasRegion = 0;
        c->frame = frame;
    }
    return 1;
}

// Draws one command of "s" through its open batcher. "stepped" tells whether an animated
// command of "s" has already advanced the animation in this flush.
void DrawCommand(Sprite& s, const SpriteDrawCommand& c, bool& stepped) {
    // With the draw centre subtracted first, scaling about the origin and translating by
    // position + centre * scale puts the top-left corner on (x, y) and grows the picture to the
    // right and down.
    s.translation[0] = c.x + s.centre[0] * c.scale[0];
    s.translation[1] = c.y + s.centre[1] * c.scale[1];
    const gfx::D3DXVECTOR2 scaling{c.scale[0], c.scale[1]};
    const gfx::D3DXVECTOR2 translation{s.translation[0], s.translation[1]};
    gfx::D3DXMATRIX transform;
    gfx::D3DXMatrixTransformation2D(&transform, nullptr, 0.0f, &scaling, nullptr, 0.0f,
                                    &translation);
    transform.m[3][2] = c.depth;
    s.batcher->SetTransform(&transform);

    gfx::RECT source;
    const gfx::RECT* sourcePtr = nullptr;
    if (s.animated != 0 && s.frameRate != 0.0f) {
        s.frameRect = FrameRect(s, ReduceFrame(s.currentFrame, c.frame, s.lastFrame));
        source = s.frameRect;
        sourcePtr = &source;
        if (!stepped) {
            stepped = true;
            s.frameTimer += frameClock.frameSeconds * 60.0f;
            if (s.frameTimer > 60.0f / s.frameRate) {
                s.currentFrame += s.frameStep;
                if (s.currentFrame > s.lastFrame) s.currentFrame = 0;
                if (s.currentFrame < 0) s.currentFrame = s.lastFrame;
                s.frameTimer = 0.0f;
            }
        }
    } else if (s.animated != 0) {
        s.frameRect = FrameRect(s, c.frame);
        source = s.frameRect;
        sourcePtr = &source;
    } else if (c.hasRegion == 1) {
        source = c.region;
        sourcePtr = &source;
    }

    const gfx::D3DXVECTOR3 centre{s.centre[0], s.centre[1], s.centre[2]};
    gfx::IDirect3DTexture9* texture = s.texture != nullptr ? s.texture->texture : nullptr;
    if (texture != nullptr) {
        s.batcher->Draw(texture, sourcePtr, &centre, nullptr, PackColorARGB(static_cast<std::int32_t>(c.alpha), 255, 255, 255));
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// [SECTION] creation and destruction
// ---------------------------------------------------------------------------------------------

Sprite* CreateSpriteFromMemory(const void* bytes, std::uint32_t sizeBytes) {
    TextureRecord* texture = LoadTextureFromMemory(bytes, sizeBytes, 1);
    if (texture == nullptr) return nullptr;
    return CreateSpriteFromTexture(texture);
}

Sprite* CreateSpriteFromTexture(TextureRecord* texture) {
    TextureRecord* record = FindTextureRecord(texture);
    gfx::IDirect3DDevice9* device = deviceState.device;
    if (record == nullptr || record->texture == nullptr || device == nullptr) return nullptr;

    // Level 0 goes through a PNG file in memory and back, which gives a managed 32-bit ARGB
    // texture of exactly level 0's size (no power-of-two rounding, one level) whatever the
    // record held. The old texture is released only once the copy exists, so a failure leaves
    // the record as it was.
    gfx::IDirect3DSurface9* level0 = nullptr;
    if (gfx::Failed(record->texture->GetSurfaceLevel(0, &level0)) || level0 == nullptr) {
        return nullptr;
    }
    gfx::ID3DXBuffer* png = nullptr;
    const gfx::HRESULT saved =
        gfx::D3DXSaveSurfaceToFileInMemory(&png, gfx::D3DXIFF_PNG, level0, nullptr, nullptr);
    level0->Release();
    if (gfx::Failed(saved) || png == nullptr) return nullptr;
    gfx::IDirect3DTexture9* copy = nullptr;
    const gfx::HRESULT loaded = gfx::D3DXCreateTextureFromFileInMemoryEx(
        device, png->GetBufferPointer(), png->GetBufferSize(), gfx::D3DX_DEFAULT_NONPOW2,
        gfx::D3DX_DEFAULT_NONPOW2, 1, 0, gfx::D3DFMT_A8R8G8B8, gfx::D3DPOOL_MANAGED,
        gfx::D3DX_FILTER_TRIANGLE, gfx::D3DX_FILTER_NONE, 0xFF000000u, nullptr, nullptr, &copy);
    png->Release();
    if (gfx::Failed(loaded) || copy == nullptr) return nullptr;
    record->texture->Release();
    record->texture = copy;

    Sprite* s = engineLists.spriteList.Insert();
    if (s == nullptr) return nullptr;
    gfx::D3DXCreateSprite(device, &s->batcher);
    s->texture = record;
    s->batchFlags = gfx::D3DXSPRITE_ALPHABLEND;
    s->height = GetTextureHeight(record);
    s->width = GetTextureWidth(record);
    s->centre[0] = static_cast<float>(s->width) / 2.0f;
    s->centre[1] = static_cast<float>(s->height) / 2.0f;
    s->centre[2] = 0.0f;
    s->translation[0] = 1.0f;
    s->translation[1] = 1.0f;
    s->scale[0] = 1.0f;
    s->scale[1] = 1.0f;
    s->frameStep = 1;
    s->srcBlend = gfx::D3DBLEND_SRCALPHA;
    s->destBlend = gfx::D3DBLEND_INVSRCALPHA;
    return s;
}

std::int32_t DestroySprite(Sprite* sprite) {
    Sprite* s = FindSprite(sprite);
    if (s == nullptr) return 0;
    if (s->batcher != nullptr) s->batcher->Release();
    engineLists.spriteList.Remove(s);
    return 1;
}

// ---------------------------------------------------------------------------------------------
// [SECTION] settings
// ---------------------------------------------------------------------------------------------

std::int32_t SetSpriteAnimation(Sprite* sprite, std::int32_t frameCount,
                                std::int32_t framesPerSecond, std::int32_t frameWidth,
                                std::int32_t frameHeight) {
    Sprite* s = FindSprite(sprite);
    if (s == nullptr) return 0;
    // The frame layout divides by the frame width and by the frames per row; a strip without a
    // whole frame, or no frames at all, cannot be animated.
    if (frameCount <= 0 || frameWidth <= 0 || frameHeight <= 0) return 0;
    const std::int32_t perRow = GetSpriteWidth(s) / frameWidth;
    if (perRow <= 0) return 0;
    s->animated = 1;
    s->lastFrame = frameCount - 1;
    s->frameRate = static_cast<float>(framesPerSecond);
    s->frameWidth = frameWidth;
    s->frameHeight = frameHeight;
    s->centre[0] = static_cast<float>(frameWidth) / 2.0f;
    s->centre[1] = static_cast<float>(frameHeight) / 2.0f;
    s->framesPerRow = perRow;
    return 1;
}

std::int32_t SetSpriteScale(Sprite* sprite, float xPercent, float yPercent) {
    Sprite* s = FindSprite(sprite);
    if (s == nullptr) return 0;
    s->scale[0] = xPercent / 100.0f;
    s->scale[1] = yPercent / 100.0f;
    return 1;
}

std::int32_t SetSpriteDepth(Sprite* sprite, float z) {
    Sprite* s = FindSprite(sprite);
    if (s == nullptr) return 0;
    if (z == 0.0f) {
        s->depth = 0.0f;
        return 1;
    }
    gfx::D3DXMATRIX projection;
    gfx::D3DXMatrixIdentity(&projection);
    if (deviceState.device != nullptr) {
        deviceState.device->GetTransform(gfx::D3DTS_PROJECTION, &projection);
    }
    const gfx::D3DXVECTOR3 point{0.0f, 0.0f, z};
    gfx::D3DXVECTOR3 out;
    gfx::D3DXVec3TransformCoord(&out, &point, &projection);
    s->depth = out.z;
    return 1;
}

std::int32_t GetSpriteWidth(Sprite* sprite) {
    Sprite* s = FindSprite(sprite);
    if (s == nullptr) return 0;
    return GetTextureWidth(s->texture);
}

// ---------------------------------------------------------------------------------------------
// [SECTION] queueing
// ---------------------------------------------------------------------------------------------

std::int32_t QueueSpriteDraw(Sprite* sprite, std::int32_t x, std::int32_t y, std::int32_t alpha,
                             std::int32_t frame) {
    return Queue(sprite, x, y, alpha, frame, nullptr);
}

std::int32_t PlaceSprite(Sprite* sprite, std::int32_t x, std::int32_t y) {
    return Queue(sprite, x, y, 255, 0, nullptr);
}

std::int32_t QueueSpriteRegion(Sprite* sprite, std::int32_t x, std::int32_t y,
                               std::int32_t regionX, std::int32_t regionY,
                               std::int32_t regionWidth, std::int32_t regionHeight,
                               std::int32_t alpha) {
    gfx::RECT region;
    region.left = regionX;
    region.top = regionY;
    // Wrapping sums: the rectangle is the caller's and only ever reaches the GPU as texels.
    region.right = static_cast<std::int32_t>(static_cast<std::uint32_t>(regionX) +
                                             static_cast<std::uint32_t>(regionWidth));
    region.bottom = static_cast<std::int32_t>(static_cast<std::uint32_t>(regionY) +
                                              static_cast<std::uint32_t>(regionHeight));
    return Queue(sprite, x, y, alpha, 0, &region);
}

// ---------------------------------------------------------------------------------------------
// [SECTION] flushing
// ---------------------------------------------------------------------------------------------

namespace {

std::uint64_t batchesFlushed = 0;

// Draws the commands of "s" in queue order, each with its own blend states and transform, and
// unqueues them. Commands are handed to the batcher one by one; the batcher's queue is flushed
// (one GL draw) whenever the next command needs other blend states, and at the end. The
// batcher keeps the order of its quads within a draw, so a run of commands with equal blend
// states draws the same picture as flushing after every command, at a fraction of the cost:
// the scroller's ~800 one-pixel columns become one draw instead of ~800.
void FlushOne(Sprite& s) {
    gfx::IDirect3DDevice9* device = deviceState.device;
    if (s.batcher == nullptr || device == nullptr) return;
    s.batcher->Begin(s.batchFlags);
    bool stepped = false;
    bool pending = false;  // the batcher holds quads drawn with the blend states below
    std::uint32_t pendingSrc = 0, pendingDest = 0;
    engineLists.spriteDrawQueue.ForEach([&](SpriteDrawCommand& c) {
        if (c.sprite != &s) return WalkStep::kKeep;
        if (pending && (c.srcBlend != pendingSrc || c.destBlend != pendingDest)) {
            s.batcher->Flush();
            ++batchesFlushed;
            pending = false;
        }
        device->SetRenderState(gfx::D3DRS_SRCBLEND, c.srcBlend);
        device->SetRenderState(gfx::D3DRS_DESTBLEND, c.destBlend);
        DrawCommand(s, c, stepped);
        pending = true;
        pendingSrc = c.srcBlend;
        pendingDest = c.destBlend;
        return WalkStep::kRemove;
    });
    if (pending) {
        s.batcher->Flush();
        ++batchesFlushed;
    }
    s.batcher->End();
}

}  // namespace

std::int32_t FlushAllSprites() {
    engineLists.spriteList.ForEach([](Sprite& s) { FlushOne(s); });
    return 0;
}

std::int32_t FlushSpriteQueue(Sprite* sprite) {
    Sprite* s = FindSprite(sprite);
    if (s != nullptr) FlushOne(*s);
    return 0;
}

std::uint64_t SpriteBatchesFlushed() { return batchesFlushed; }

}  // namespace engine
