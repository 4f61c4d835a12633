// tests/sprites/box_test.cpp: filled and outlined boxes on the back buffer and on 16-bit and
// unlockable targets, pixels read back.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/box_internal.h"
#include "engine/state_internal.h"
#include "runtime/list.h"
#include "tests/sprites/sprite_test_util.h"

namespace sprites_test {
namespace {

using engine::deviceState;
using engine::engineLists;

constexpr std::uint32_t kClear = 0x102030u;
constexpr std::uint32_t kBar = 0x00993333u;  // the intro's bar colour value

using Boxes = EngineTest;

TEST_F(Boxes, FilledBarCoversExactlyItsRowsOverSprites) {
    engine::Sprite* s = MakeSolidSprite(40, 20, 0xFF00FF00u);
    engine::QueueBox(0, 50, 800, 2, kBar, 1);  // queued before the sprite, drawn after it
    engine::PlaceSprite(s, 100, 40);
    DrawFrame();
    const std::vector<std::uint32_t> px = ReadBackBuffer();
    for (int y = 45; y < 56; ++y) {
        SCOPED_TRACE(y);
        const bool bar = y == 50 || y == 51;
        EXPECT_EQ(At(px, 0, y), bar ? kBar : kClear);
        EXPECT_EQ(At(px, 799, y), bar ? kBar : kClear);
        EXPECT_EQ(At(px, 110, y), bar ? kBar : 0x00FF00u);
    }
    EXPECT_EQ(engineLists.boxQueue.Count(), 0);
}

TEST_F(Boxes, OutlineIncludesTheFarRowAndColumnAndRespectsTheClip) {
    engine::QueueBox(10, 20, 30, 5, 0xFFFFFFFFu, 0);
    engine::QueueBox(0, 50, 800, 2, 0xFFFF0000u, 7);  // any value but 1 outlines
    DrawFrame();
    std::vector<std::uint32_t> px = ReadBackBuffer();
    EXPECT_EQ(At(px, 10, 20), 0xFFFFFFu);
    EXPECT_EQ(At(px, 40, 20), 0xFFFFFFu);  // right end included
    EXPECT_EQ(At(px, 40, 25), 0xFFFFFFu);  // bottom-right corner
    EXPECT_EQ(At(px, 25, 25), 0xFFFFFFu);
    EXPECT_EQ(At(px, 10, 23), 0xFFFFFFu);
    EXPECT_EQ(At(px, 41, 20), kClear);
    EXPECT_EQ(At(px, 25, 26), kClear);
    EXPECT_EQ(At(px, 25, 22), kClear);  // hollow
    // The bar's outline: rows 50 and 52, column 0; column 800 lies outside the screen.
    EXPECT_EQ(At(px, 400, 50), 0xFF0000u);
    EXPECT_EQ(At(px, 400, 51), kClear);
    EXPECT_EQ(At(px, 400, 52), 0xFF0000u);
    EXPECT_EQ(At(px, 0, 51), 0xFF0000u);
    EXPECT_EQ(At(px, 799, 51), kClear);

    // A smaller clip size cuts the outline: pixels at x >= 35 or y >= 24 are skipped.
    engine::QueueBox(10, 20, 30, 5, 0xFF00FF00u, 0);
    gfx::IDirect3DSurface9* back = nullptr;
    deviceState.device->BeginScene();
    engine::FlushBoxQueue(back, 35, 24);
    deviceState.device->EndScene();
    px = ReadBackBuffer();
    EXPECT_EQ(At(px, 34, 20), 0x00FF00u);
    EXPECT_EQ(At(px, 35, 20), 0xFFFFFFu);  // the earlier white outline, untouched
    EXPECT_EQ(At(px, 10, 23), 0x00FF00u);
    EXPECT_EQ(At(px, 10, 24), 0xFFFFFFu);
}

// A lockable managed texture of "w" x "h" in "format".
gfx::IDirect3DTexture9* MakeTarget(gfx::D3DFORMAT format, int w, int h) {
    gfx::IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(deviceState.device->CreateTexture(w, h, 1, 0, format, gfx::D3DPOOL_MANAGED, &t, nullptr),
              gfx::D3D_OK);
    return t;
}

std::vector<std::uint16_t> Read16(gfx::IDirect3DTexture9* t, int w, int h) {
    std::vector<std::uint16_t> out;
    gfx::D3DLOCKED_RECT lr;
    if (t->LockRect(0, &lr, nullptr, gfx::D3DLOCK_READONLY) != gfx::D3D_OK) return out;
    const auto* bits = static_cast<const std::uint8_t*>(lr.pBits.Bits());
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(bits + y * lr.Pitch);
        out.insert(out.end(), row, row + w);
    }
    t->UnlockRect(0);
    return out;
}

TEST_F(Boxes, OutlineOnA16BitTargetUsesThePackingFormula) {
    constexpr int w = 16, h = 8;
    gfx::IDirect3DTexture9* t = MakeTarget(gfx::D3DFMT_R5G6B5, w, h);
    ASSERT_NE(t, nullptr);
    gfx::IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(t->GetSurfaceLevel(0, &surface), gfx::D3D_OK);
    deviceState.device->ColorFill(surface, nullptr, 0);
    engine::QueueBox(1, 1, 3, 2, kBar, 0);
    engine::QueueBox(6, 1, 2, 2, 0xFF0000FFu, 0);
    // A clip larger than the target: pixels beyond the target are skipped, not written.
    engine::QueueBox(12, 4, 100, 100, 0x00FFFFFFu, 0);
    engine::FlushBoxQueue(surface, 1000, 1000);
    const std::vector<std::uint16_t> px = Read16(t, w, h);
    ASSERT_EQ(px.size(), static_cast<size_t>(w * h));
    const auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * w + x]; };
    EXPECT_EQ(at(1, 1), 0x99E6);
    EXPECT_EQ(at(4, 3), 0x99E6);
    EXPECT_EQ(at(2, 2), 0);
    EXPECT_EQ(at(6, 1), engine::box_detail::PackColour16(0xFF0000FFu));
    EXPECT_EQ(at(6, 1), 0x0020);
    EXPECT_EQ(at(15, 4), 0xFFFF);
    EXPECT_EQ(at(12, 7), 0xFFFF);
    EXPECT_EQ(at(13, 5), 0);
    surface->Release();
    t->Release();
}

TEST_F(Boxes, UnlockableTargetGetsEveryPixelAsAFill) {
    constexpr int w = 32, h = 16;
    gfx::IDirect3DTexture9* rt = nullptr;
    ASSERT_EQ(deviceState.device->CreateTexture(w, h, 1, gfx::D3DUSAGE_RENDERTARGET,
                                                gfx::D3DFMT_X8R8G8B8, gfx::D3DPOOL_DEFAULT, &rt,
                                                nullptr),
              gfx::D3D_OK);
    gfx::IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(rt->GetSurfaceLevel(0, &target), gfx::D3D_OK);
    gfx::D3DLOCKED_RECT probe;
    ASSERT_NE(target->LockRect(&probe, nullptr, 0), gfx::D3D_OK) << "needs an unlockable target";
    deviceState.device->ColorFill(target, nullptr, 0xFF000000u);
    engine::QueueBox(2, 3, 5, 4, 0xFFFFFF00u, 0);
    engine::QueueBox(20, 2, 4, 3, 0xFF00FFFFu, 1);
    engine::FlushBoxQueue(target, w, h);

    gfx::IDirect3DTexture9* copy = MakeTarget(gfx::D3DFMT_X8R8G8B8, w, h);
    gfx::IDirect3DSurface9* copySurface = nullptr;
    ASSERT_EQ(copy->GetSurfaceLevel(0, &copySurface), gfx::D3D_OK);
    ASSERT_EQ(gfx::D3DXLoadSurfaceFromSurface(copySurface, nullptr, nullptr, target, nullptr,
                                              nullptr, gfx::D3DX_FILTER_NONE, 0),
              gfx::D3D_OK);
    gfx::D3DLOCKED_RECT lr;
    ASSERT_EQ(copy->LockRect(0, &lr, nullptr, gfx::D3DLOCK_READONLY), gfx::D3D_OK);
    const auto* bits = static_cast<const std::uint8_t*>(lr.pBits.Bits());
    const auto at = [&](int x, int y) {
        return reinterpret_cast<const std::uint32_t*>(bits + y * lr.Pitch)[x] & 0xFFFFFFu;
    };
    EXPECT_EQ(at(2, 3), 0xFFFF00u);
    EXPECT_EQ(at(7, 7), 0xFFFF00u);
    EXPECT_EQ(at(4, 5), 0u);
    EXPECT_EQ(at(8, 3), 0u);
    EXPECT_EQ(at(20, 2), 0x00FFFFu);
    EXPECT_EQ(at(23, 4), 0x00FFFFu);
    EXPECT_EQ(at(24, 4), 0u);
    copy->UnlockRect(0);
    copySurface->Release();
    copy->Release();
    target->Release();
    rt->Release();
}

TEST_F(Boxes, FlushWithoutATargetEmptiesTheQueueAndPackColourKeepsLowBytes) {
    engine::QueueBox(0, 0, 10, 10, kBar, 1);
    gfx::IDirect3DDevice9* device = deviceState.device;
    deviceState.device = nullptr;  // no back buffer to be had
    EXPECT_EQ(engine::FlushBoxQueue(nullptr, 800, 600), 0);
    deviceState.device = device;
    EXPECT_EQ(engineLists.boxQueue.Count(), 0);

    const struct {
        std::int32_t a, r, g, b;
        std::uint32_t packed;
    } rows[] = {{255, 255, 255, 255, 0xFFFFFFFFu},
                {0, 0x99, 0x33, 0x33, 0x00993333u},
                {0x180, -1, 0x1FF, 0x100, 0x80FFFF00u}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.packed);
        EXPECT_EQ(engine::PackColorARGB(r.a, r.r, r.g, r.b), r.packed);
    }
}

}  // namespace
}  // namespace sprites_test
