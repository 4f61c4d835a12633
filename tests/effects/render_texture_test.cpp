// tests/effects/render_texture_test.cpp: render textures, the copies to and from the back
// buffer, the effect pass with its failure codes, the device reset, and a whole frame.
#include <algorithm>
#include <cstring>

#include "engine/box.h"
#include "engine/sprite.h"
#include "engine/state_internal.h"
#include "platform/gfx/gfx_testing.h"
#include "platform/gfx/image_png.h"
#include "runtime/list.h"
#include "tests/effects/effect_test_util.h"

namespace effects_test {
namespace {

using engine::deviceState;
using engine::engineLists;
namespace detail = engine::render_texture_detail;

gfx::D3DMATRIX Matrix(float seed) {
    gfx::D3DMATRIX m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m.m[r][c] = seed + static_cast<float>(r * 4 + c);
    return m;
}

bool SameMatrix(const gfx::D3DMATRIX& a, const gfx::D3DMATRIX& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

gfx::D3DMATRIX Transform(gfx::D3DTRANSFORMSTATETYPE which) {
    gfx::D3DMATRIX m;
    EXPECT_EQ(engine::deviceState.device->GetTransform(which, &m), gfx::D3D_OK);
    return m;
}

gfx::D3DMATRIX IdentityMatrix() {
    gfx::D3DMATRIX m;
    gfx::D3DXMatrixIdentity(&m);
    return m;
}

// The current reference count of "object" (one reference is taken and given back).
template <class T>
gfx::ULONG References(T* object) {
    object->AddRef();
    return object->Release();
}

// ---------------------------------------------------------------------------------------------
// Platform calls that fail, or that hand out objects whose release the test can observe
// ---------------------------------------------------------------------------------------------

struct SeamLog {
    int backBufferCalls = 0;
    int textureCalls = 0;
    gfx::ID3DXRenderToSurface* renderToSurface = nullptr;  // the test holds one reference
    gfx::IDirect3DVertexBuffer9* vertexBuffer = nullptr;   // the test holds one reference
};
SeamLog seamLog;

gfx::HRESULT CountingGetBackBuffer(gfx::IDirect3DDevice9* device, gfx::IDirect3DSurface9** out) {
    ++seamLog.backBufferCalls;
    return detail::DefaultCalls().getBackBuffer(device, out);
}
gfx::HRESULT FailingGetBackBuffer(gfx::IDirect3DDevice9*, gfx::IDirect3DSurface9** out) {
    ++seamLog.backBufferCalls;
    *out = nullptr;
    return gfx::D3DERR_NOTAVAILABLE;
}
gfx::HRESULT CountingCreateTexture(gfx::IDirect3DDevice9* device, gfx::UINT w, gfx::UINT h,
                                   gfx::UINT levels, gfx::DWORD usage, gfx::D3DFORMAT format,
                                   gfx::D3DPOOL pool, gfx::IDirect3DTexture9** out) {
    ++seamLog.textureCalls;
    return gfx::D3DXCreateTexture(device, w, h, levels, usage, format, pool, out);
}
gfx::HRESULT FailingCreateTexture(gfx::IDirect3DDevice9*, gfx::UINT, gfx::UINT, gfx::UINT,
                                  gfx::DWORD, gfx::D3DFORMAT, gfx::D3DPOOL,
                                  gfx::IDirect3DTexture9** out) {
    ++seamLog.textureCalls;
    *out = nullptr;
    return gfx::D3DERR_OUTOFVIDEOMEMORY;
}
gfx::HRESULT HeldRenderToSurface(gfx::IDirect3DDevice9* device, gfx::UINT w, gfx::UINT h,
                                 gfx::D3DFORMAT format, gfx::BOOL depth, gfx::D3DFORMAT depthFormat,
                                 gfx::ID3DXRenderToSurface** out) {
    const gfx::HRESULT hr = gfx::D3DXCreateRenderToSurface(device, w, h, format, depth, depthFormat, out);
    if (gfx::Succeeded(hr) && *out != nullptr) {
        (*out)->AddRef();
        seamLog.renderToSurface = *out;
    }
    return hr;
}
gfx::HRESULT FailingRenderToSurface(gfx::IDirect3DDevice9*, gfx::UINT, gfx::UINT, gfx::D3DFORMAT,
                                    gfx::BOOL, gfx::D3DFORMAT, gfx::ID3DXRenderToSurface** out) {
    *out = nullptr;
    return gfx::E_OUTOFMEMORY;
}
gfx::HRESULT HeldVertexBuffer(gfx::IDirect3DDevice9* device, gfx::UINT bytes, gfx::DWORD usage,
                              gfx::DWORD fvf, gfx::D3DPOOL pool, gfx::IDirect3DVertexBuffer9** out) {
    const gfx::HRESULT hr = device->CreateVertexBuffer(bytes, usage, fvf, pool, out, nullptr);
    if (gfx::Succeeded(hr) && *out != nullptr) {
        (*out)->AddRef();
        seamLog.vertexBuffer = *out;
    }
    return hr;
}
gfx::HRESULT FailingVertexBuffer(gfx::IDirect3DDevice9*, gfx::UINT, gfx::DWORD, gfx::DWORD,
                                 gfx::D3DPOOL, gfx::IDirect3DVertexBuffer9** out) {
    *out = nullptr;
    return gfx::E_OUTOFMEMORY;
}

// A vertex buffer that cannot be locked.
class UnlockableBuffer final : public gfx::IDirect3DVertexBuffer9 {
public:
    gfx::ULONG AddRef() override { return ++refs_; }
    gfx::ULONG Release() override { return --refs_; }  // a static object: never deleted
    gfx::HRESULT Lock(gfx::UINT, gfx::UINT, void** data, gfx::DWORD) override {
        *data = nullptr;
        return gfx::D3DERR_INVALIDCALL;
    }
    gfx::HRESULT Unlock() override { return gfx::D3DERR_INVALIDCALL; }
    gfx::ULONG refs_ = 0;
};
UnlockableBuffer unlockable;

gfx::HRESULT LockFailingVertexBuffer(gfx::IDirect3DDevice9*, gfx::UINT, gfx::DWORD, gfx::DWORD,
                                     gfx::D3DPOOL, gfx::IDirect3DVertexBuffer9** out) {
    unlockable.refs_ = 2;  // the caller's reference and the test's
    *out = &unlockable;
    seamLog.vertexBuffer = &unlockable;
    return gfx::D3D_OK;
}

class RenderTextureTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        seamLog = SeamLog{};
    }
    void TearDown() override {
        if (seamLog.renderToSurface != nullptr) seamLog.renderToSurface->Release();
        if (seamLog.vertexBuffer != nullptr && seamLog.vertexBuffer != &unlockable) {
            seamLog.vertexBuffer->Release();
        }
        seamLog = SeamLog{};
        EngineTest::TearDown();
    }
};

// ---------------------------------------------------------------------------------------------
// Creation
// ---------------------------------------------------------------------------------------------

TEST_F(RenderTextureTest, SizeModesAndFormats) {
    gfx::D3DSURFACE_DESC back;
    {
        gfx::IDirect3DSurface9* surface = nullptr;
        ASSERT_EQ(Device()->GetBackBuffer(0, 0, gfx::D3DBACKBUFFER_TYPE_MONO, &surface), gfx::D3D_OK);
        surface->GetDesc(&back);
        surface->Release();
    }
    const struct {
        int width, height, sizeMode, format;
        int wantWidth, wantHeight;
        gfx::D3DFORMAT wantFormat;
    } rows[] = {
        {0, 0, 0, 0, 800, 600, back.Format},                          // the screen texture
        {320, 200, 0, 0, 800, 600, back.Format},                      // mode 0 ignores the size
        {1024, 256, 1, 0, 800, 256, back.Format},                     // clamped to the back buffer
        {320, 200, 1, gfx::D3DFMT_A8R8G8B8, 320, 200, back.Format},   // mode 1 ignores the format
        {256, 128, 2, gfx::D3DFMT_A8R8G8B8, 256, 128, gfx::D3DFMT_A8R8G8B8},
        {2000, 2000, 2, gfx::D3DFMT_X8R8G8B8, 800, 600, gfx::D3DFMT_X8R8G8B8},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.width << " x " << r.height << " mode " << r.sizeMode);
        const int before = engineLists.textureList.Count();
        engine::TextureRecord* record =
            engine::CreateRenderTexture(r.width, r.height, r.sizeMode, r.format);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(engineLists.textureList.Count(), before + 1);
        EXPECT_EQ(engineLists.textureList.GoToLast(), record);
        EXPECT_EQ(record->isRenderTarget, 1);
        EXPECT_EQ(record->width, r.wantWidth);
        EXPECT_EQ(record->height, r.wantHeight);
        EXPECT_EQ(record->format, static_cast<std::uint32_t>(r.wantFormat));
        for (int i = 0; i < 7; ++i) EXPECT_EQ(record->factors[i], 1.0f);
        EXPECT_EQ(record->factors[7], 0.0f);
        const gfx::D3DSURFACE_DESC level = LevelDesc(record);
        EXPECT_EQ(level.Width, static_cast<gfx::UINT>(r.wantWidth));
        EXPECT_EQ(level.Height, static_cast<gfx::UINT>(r.wantHeight));
        EXPECT_EQ(level.Usage & gfx::D3DUSAGE_RENDERTARGET, gfx::D3DUSAGE_RENDERTARGET);
        EXPECT_EQ(record->texture->GetLevelCount(), 1u);
    }
    EXPECT_EQ(deviceState.lastError, 0);
}

TEST_F(RenderTextureTest, RefusedCreationLeavesNoRecordAndStoresError18) {
    const struct {
        const char* name;
        int width, height, sizeMode, format;
        bool noBackBuffer;
    } rows[] = {
        {"zero width", 0, 100, 1, 0, false},
        {"negative height", 100, -5, 1, 0, false},
        {"unknown format", 64, 64, 2, 12345, false},
        {"no back buffer", 0, 0, 0, 0, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        deviceState.lastError = 0;
        detail::Calls().getBackBuffer = r.noBackBuffer ? FailingGetBackBuffer : CountingGetBackBuffer;
        const int before = engineLists.textureList.Count();
        EXPECT_EQ(engine::CreateRenderTexture(r.width, r.height, r.sizeMode, r.format), nullptr);
        EXPECT_EQ(engineLists.textureList.Count(), before);
        EXPECT_EQ(deviceState.lastError, 18);
    }
}

// ---------------------------------------------------------------------------------------------
// The post-processing path
// ---------------------------------------------------------------------------------------------

class PostProcessTest : public RenderTextureTest {
protected:
    void SetUp() override {
        RenderTextureTest::SetUp();
        effect_ = engine::CreateEffectFromSource(kTestEffect);
        ASSERT_NE(effect_, nullptr) << Boxes().text;
        frame_ = engine::CreateScreenTexture();
        ASSERT_NE(frame_, nullptr);
    }

    engine::Effect* effect_ = nullptr;
    engine::TextureRecord* frame_ = nullptr;
};

TEST_F(PostProcessTest, RoundTripKeepsOrientationAndCoversTheWholeBackBuffer) {
    DrawQuadrants();
    ASSERT_EQ(engine::CopyBackBufferToTexture(frame_), 1);
    ASSERT_EQ(engine::SetEffectTexture(effect_, "texture0", frame_), 1);
    ASSERT_EQ(engine::ApplyEffectToTexture(frame_, effect_), 1);
    FillBackBuffer(nullptr, 0xFF808080u);  // whatever was there must be replaced
    ASSERT_EQ(engine::CopyTextureToBackBuffer(frame_), 1);
    const auto pixels = ReadBackBuffer();
    const struct {
        int x, y;
        std::uint32_t want;  // the inverted quadrant colour
    } rows[] = {
        {0, 0, 0x00FFFF},     {399, 299, 0x00FFFF}, {400, 0, 0xFF00FF},   {799, 299, 0xFF00FF},
        {0, 300, 0xFFFF00},   {399, 599, 0xFFFF00}, {400, 300, 0x000000}, {799, 599, 0x000000},
        {200, 150, 0x00FFFF}, {600, 450, 0x000000},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "(" << r.x << ", " << r.y << ")");
        EXPECT_TRUE(Near(At(pixels, r.x, r.y), r.want, 2));
    }
}

TEST_F(PostProcessTest, EachPassRendersIntoAFreshTargetOfTheSameSize) {
    DrawQuadrants();
    ASSERT_EQ(engine::CopyBackBufferToTexture(frame_), 1);
    gfx::IDirect3DTexture9* source = frame_->texture;
    source->AddRef();  // keep it to look at it afterwards
    ASSERT_EQ(engine::SetEffectTexture(effect_, "texture0", frame_), 1);
    ASSERT_EQ(engine::ApplyEffectToTexture(frame_, effect_), 1);
    EXPECT_NE(frame_->texture, source);
    // Held now by the test and by the effect's "texture0" only.
    EXPECT_EQ(References(source), 2u);
    EXPECT_EQ(References(frame_->texture), 1u);
    const gfx::D3DSURFACE_DESC level = LevelDesc(frame_);
    EXPECT_EQ(level.Format, gfx::D3DFMT_X8R8G8B8);
    EXPECT_EQ(level.Width, 800u);
    EXPECT_EQ(level.Height, 600u);
    // The stored size and format stay those of creation.
    EXPECT_EQ(frame_->width, 800);
    EXPECT_EQ(frame_->height, 600);
    // Binding the new texture drops the effect's reference to the old one.
    ASSERT_EQ(engine::SetEffectTexture(effect_, "texture0", frame_), 1);
    EXPECT_EQ(References(source), 1u);
    source->Release();
}

TEST_F(PostProcessTest, UnknownEffectOrZeroPassesGiveABlackTarget) {
    engine::Effect bogus{};
    const struct {
        const char* name;
        engine::Effect* effect;
        const char* technique;
    } rows[] = {
        {"unknown effect", &bogus, nullptr},
        {"no effect", nullptr, nullptr},
        {"technique without passes", nullptr, "Empty"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        engine::Effect* effect = r.effect;
        if (r.technique != nullptr) {
            effect = engine::CreateEffectFromSource(kTestEffect);
            ASSERT_NE(effect, nullptr);
            ASSERT_EQ(engine::SetEffectTechnique(effect, r.technique), 1);
        }
        FillBackBuffer(nullptr, 0xFFFFFFFFu);
        ASSERT_EQ(engine::CopyBackBufferToTexture(frame_), 1);
        if (effect != nullptr) engine::SetEffectTexture(effect, "texture0", frame_);
        gfx::IDirect3DTexture9* before = frame_->texture;
        EXPECT_EQ(engine::ApplyEffectToTexture(frame_, effect), 1);
        EXPECT_NE(frame_->texture, before);
        EXPECT_EQ(LevelDesc(frame_).Format, gfx::D3DFMT_X8R8G8B8);
        ASSERT_EQ(engine::CopyTextureToBackBuffer(frame_), 1);
        const auto pixels = ReadBackBuffer();
        EXPECT_EQ(At(pixels, 0, 0), 0u);
        EXPECT_EQ(At(pixels, 400, 300), 0u);
        EXPECT_EQ(At(pixels, 799, 599), 0u);
    }
}

TEST_F(PostProcessTest, PassUsesIdentityTransformsAndRestoresProjectionAndWorld) {
    const gfx::D3DMATRIX projection = Matrix(1.0f), world = Matrix(100.0f), view = Matrix(50.0f);
    Device()->SetTransform(gfx::D3DTS_PROJECTION, &projection);
    Device()->SetTransform(gfx::D3DTS_WORLD, &world);
    Device()->SetTransform(gfx::D3DTS_VIEW, &view);
    DrawQuadrants();
    ASSERT_EQ(engine::CopyBackBufferToTexture(frame_), 1);
    ASSERT_EQ(engine::SetEffectTexture(effect_, "texture0", frame_), 1);
    ASSERT_EQ(engine::ApplyEffectToTexture(frame_, effect_), 1);
    EXPECT_TRUE(SameMatrix(Transform(gfx::D3DTS_PROJECTION), projection));
    EXPECT_TRUE(SameMatrix(Transform(gfx::D3DTS_WORLD), world));
    EXPECT_TRUE(SameMatrix(Transform(gfx::D3DTS_VIEW), IdentityMatrix()));
    // The quad was drawn in clip space whatever the transforms were before.
    ASSERT_EQ(engine::CopyTextureToBackBuffer(frame_), 1);
    EXPECT_TRUE(Near(At(ReadBackBuffer(), 600, 450), 0x000000, 2));
    const gfx::D3DMATRIX identity = IdentityMatrix();
    Device()->SetTransform(gfx::D3DTS_PROJECTION, &identity);
    Device()->SetTransform(gfx::D3DTS_WORLD, &identity);
}

TEST_F(PostProcessTest, SmallerRenderTextureStretchesBothWays) {
    engine::TextureRecord* half = engine::CreateRenderTexture(400, 300, 1, 0);
    ASSERT_NE(half, nullptr);
    DrawQuadrants();
    ASSERT_EQ(engine::CopyBackBufferToTexture(half), 1);
    ASSERT_EQ(engine::SetEffectTexture(effect_, "texture0", half), 1);
    ASSERT_EQ(engine::ApplyEffectToTexture(half, effect_), 1);
    EXPECT_EQ(LevelDesc(half).Width, 400u);
    EXPECT_EQ(LevelDesc(half).Height, 300u);
    ASSERT_EQ(engine::CopyTextureToBackBuffer(half), 1);
    const auto pixels = ReadBackBuffer();
    EXPECT_TRUE(Near(At(pixels, 100, 100), 0x00FFFF, 2));
    EXPECT_TRUE(Near(At(pixels, 700, 100), 0xFF00FF, 2));
    EXPECT_TRUE(Near(At(pixels, 100, 500), 0xFFFF00, 2));
    EXPECT_TRUE(Near(At(pixels, 700, 500), 0x000000, 2));
    EXPECT_TRUE(Near(At(pixels, 799, 599), 0x000000, 2));
}

TEST_F(PostProcessTest, UnknownRecordsTouchNothing) {
    engine::TextureRecord bogus{};
    detail::Calls().getBackBuffer = CountingGetBackBuffer;
    detail::Calls().createTexture = CountingCreateTexture;
    EXPECT_EQ(engine::CopyBackBufferToTexture(&bogus), 0);
    EXPECT_EQ(engine::CopyBackBufferToTexture(nullptr), 0);
    EXPECT_EQ(engine::ApplyEffectToTexture(&bogus, effect_), 0);
    EXPECT_EQ(engine::ApplyEffectToTexture(nullptr, effect_), 0);
    EXPECT_EQ(engine::CopyTextureToBackBuffer(&bogus), 0);
    EXPECT_EQ(seamLog.backBufferCalls, 0);
    EXPECT_EQ(seamLog.textureCalls, 0);
}

TEST_F(PostProcessTest, CopiesReportAMissingBackBuffer) {
    detail::Calls().getBackBuffer = FailingGetBackBuffer;
    EXPECT_EQ(engine::CopyBackBufferToTexture(frame_), 0);
    EXPECT_EQ(engine::CopyTextureToBackBuffer(frame_), 0);
}

TEST_F(PostProcessTest, FailuresReturnTheirCodeAndReleaseWhatWasObtained) {
    const struct {
        const char* name;
        decltype(detail::PlatformCalls::createTexture) createTexture;
        decltype(detail::PlatformCalls::createRenderToSurface) createRenderToSurface;
        decltype(detail::PlatformCalls::createVertexBuffer) createVertexBuffer;
        std::int32_t want;
    } rows[] = {
        {"no target", FailingCreateTexture, HeldRenderToSurface, HeldVertexBuffer, 2},
        {"no render-to-surface", gfx::D3DXCreateTexture, FailingRenderToSurface, HeldVertexBuffer, 3},
        {"no vertex buffer", gfx::D3DXCreateTexture, HeldRenderToSurface, FailingVertexBuffer, 5},
        {"vertex buffer not locked", gfx::D3DXCreateTexture, HeldRenderToSurface,
         LockFailingVertexBuffer, 4},
        {"success", gfx::D3DXCreateTexture, HeldRenderToSurface, HeldVertexBuffer, 1},
    };
    const gfx::D3DMATRIX view = Matrix(7.0f);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        seamLog = SeamLog{};
        detail::Calls().createTexture = r.createTexture;
        detail::Calls().createRenderToSurface = r.createRenderToSurface;
        detail::Calls().createVertexBuffer = r.createVertexBuffer;
        Device()->SetTransform(gfx::D3DTS_VIEW, &view);
        ASSERT_EQ(engine::CopyBackBufferToTexture(frame_), 1);
        ASSERT_EQ(engine::SetEffectTexture(effect_, "texture0", frame_), 1);
        gfx::IDirect3DTexture9* before = frame_->texture;

        EXPECT_EQ(engine::ApplyEffectToTexture(frame_, effect_), r.want);

        if (r.want == 2) {
            EXPECT_EQ(frame_->texture, before);  // the record is unchanged
        } else {
            EXPECT_NE(frame_->texture, before);
            // Only the record holds the new target: its level-0 surface was released.
            EXPECT_EQ(References(frame_->texture), 1u);
        }
        // The objects obtained before the failure (or all of them) were released: the test's
        // reference is the last one.
        if (seamLog.renderToSurface != nullptr) {
            EXPECT_EQ(seamLog.renderToSurface->Release(), 0u);
            seamLog.renderToSurface = nullptr;
        }
        if (seamLog.vertexBuffer != nullptr) {
            // After a pass the device's stream 0 still holds the quad until it is rebound.
            EXPECT_EQ(seamLog.vertexBuffer->Release(), r.want == 1 ? 1u : 0u);
            seamLog.vertexBuffer = nullptr;
        }
        // Failures come before the transforms are touched; success leaves view at identity.
        EXPECT_TRUE(SameMatrix(Transform(gfx::D3DTS_VIEW), r.want == 1 ? IdentityMatrix() : view));
    }
}

// ---------------------------------------------------------------------------------------------
// Device reset
// ---------------------------------------------------------------------------------------------

TEST_F(PostProcessTest, RenderTexturesAreUsableAfterAnInjectedDeviceLoss) {
    engine::TextureRecord* small = engine::CreateRenderTexture(256, 128, 2, gfx::D3DFMT_A8R8G8B8);
    ASSERT_NE(small, nullptr);
    gfx::InjectPresentFailures(1, gfx::D3DERR_DEVICELOST);
    engine::PresentFrame();  // fails, then resets the device
    ASSERT_EQ(deviceState.lastPresentResult, 0);

    ASSERT_NE(frame_->texture, nullptr);
    ASSERT_NE(small->texture, nullptr);
    EXPECT_EQ(LevelDesc(frame_).Width, 800u);
    EXPECT_EQ(LevelDesc(frame_).Height, 600u);
    EXPECT_EQ(LevelDesc(small).Width, 256u);
    EXPECT_EQ(LevelDesc(small).Height, 128u);
    EXPECT_EQ(LevelDesc(small).Format, gfx::D3DFMT_A8R8G8B8);

    DrawQuadrants();
    ASSERT_EQ(engine::CopyBackBufferToTexture(frame_), 1);
    ASSERT_EQ(engine::SetEffectTexture(effect_, "texture0", frame_), 1);
    ASSERT_EQ(engine::ApplyEffectToTexture(frame_, effect_), 1);
    ASSERT_EQ(engine::CopyTextureToBackBuffer(frame_), 1);
    const auto pixels = ReadBackBuffer();
    EXPECT_TRUE(Near(At(pixels, 200, 150), 0x00FFFF, 2));
    EXPECT_TRUE(Near(At(pixels, 600, 450), 0x000000, 2));
}

TEST_F(PostProcessTest, FailedRecreationLeavesAnEmptyRecordThatTouchesNothing) {
    detail::Calls().createTexture = FailingCreateTexture;
    engine::ReleaseRenderTextures();
    engine::RecreateRenderTextures();
    ASSERT_EQ(frame_->texture, nullptr);
    EXPECT_EQ(frame_->width, 800);  // kept for the next attempt

    seamLog = SeamLog{};
    detail::Calls().getBackBuffer = CountingGetBackBuffer;
    EXPECT_EQ(engine::CopyBackBufferToTexture(frame_), 0);
    EXPECT_EQ(engine::SetEffectTexture(effect_, "texture0", frame_), 0);
    EXPECT_EQ(engine::ApplyEffectToTexture(frame_, effect_), 0);
    EXPECT_EQ(engine::CopyTextureToBackBuffer(frame_), 0);
    EXPECT_EQ(seamLog.backBufferCalls, 0);
    EXPECT_EQ(seamLog.textureCalls, 0);

    // The next successful re-creation brings it back.
    detail::Calls() = detail::DefaultCalls();
    engine::RecreateRenderTextures();
    ASSERT_NE(frame_->texture, nullptr);
    EXPECT_EQ(engine::CopyBackBufferToTexture(frame_), 1);
}

// ---------------------------------------------------------------------------------------------
// A whole frame
// ---------------------------------------------------------------------------------------------

engine::Sprite* SolidSprite(int width, int height, std::uint32_t argb) {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * height, argb);
    std::vector<std::uint8_t> png;
    if (!platform::gfx::image::EncodePng(pixels.data(), static_cast<std::uint32_t>(width),
                                         static_cast<std::uint32_t>(height), true, &png)) {
        return nullptr;
    }
    return engine::CreateSpriteFromMemory(png.data(), static_cast<std::uint32_t>(png.size()));
}

TEST_F(PostProcessTest, OnlyWhatWasQueuedBeforeTheWorldPassIsProcessed) {
    engine::Sprite* before = SolidSprite(40, 40, 0xFFFFFFFFu);
    engine::Sprite* after = SolidSprite(40, 40, 0xFFFF0000u);
    ASSERT_NE(before, nullptr);
    ASSERT_NE(after, nullptr);

    ASSERT_EQ(engine::PlaceSprite(before, 100, 100), 1);
    engine::RenderWorld();
    ASSERT_EQ(engine::CopyBackBufferToTexture(frame_), 1);
    ASSERT_EQ(engine::SetEffectTexture(effect_, "texture0", frame_), 1);
    ASSERT_EQ(engine::ApplyEffectToTexture(frame_, effect_), 1);
    ASSERT_EQ(engine::CopyTextureToBackBuffer(frame_), 1);
    ASSERT_EQ(engine::PlaceSprite(after, 300, 300), 1);
    engine::FlushAllSprites();
    engine::FlushBoxQueue(nullptr, deviceState.screenWidth, deviceState.screenHeight);
    engine::FlushTextQueue();
    engine::EndFrameScene();
    const auto pixels = ReadBackBuffer();
    engine::DestroySprite(before);
    engine::DestroySprite(after);

    // The black clear went through the inverting effect (white), and so did the white sprite
    // (black); the red sprite queued afterwards is drawn unprocessed on top.
    EXPECT_TRUE(Near(At(pixels, 10, 10), 0xFFFFFF, 2));
    EXPECT_TRUE(Near(At(pixels, 120, 120), 0x000000, 2));
    EXPECT_TRUE(Near(At(pixels, 100, 100), 0x000000, 2));
    EXPECT_TRUE(Near(At(pixels, 139, 139), 0x000000, 2));
    EXPECT_TRUE(Near(At(pixels, 140, 140), 0xFFFFFF, 2));
    EXPECT_TRUE(Near(At(pixels, 320, 320), 0xFF0000, 2));
    EXPECT_TRUE(Near(At(pixels, 299, 320), 0xFFFFFF, 2));
    engine::PresentFrame();
}

// ---------------------------------------------------------------------------------------------
// The intro's own effect
// ---------------------------------------------------------------------------------------------

TEST_F(RenderTextureTest, IntroEffectScalesAConstantPictureWithinItsBounds) {
    engine::Effect* crystals = engine::CreateEffectFromSource(IntroEffectSource().c_str());
    ASSERT_NE(crystals, nullptr) << Boxes().text;
    engine::TextureRecord* frame = engine::CreateScreenTexture();
    ASSERT_NE(frame, nullptr);
    constexpr int kGrey = 0x80;
    for (float time : {0.0f, 12.5f, -21474.0f}) {
        SCOPED_TRACE(time);
        // As the intro sets it every frame; the undeclared names and technique change nothing.
        EXPECT_EQ(engine::SetEffectFloat(crystals, "time", time), 1);
        EXPECT_EQ(engine::SetEffectFloat(crystals, "Var1", 0.0f), 1);
        EXPECT_EQ(engine::SetEffectFloat(crystals, "postfx", 0.0f), 1);
        FillBackBuffer(nullptr, 0xFF000000u | kGrey * 0x010101u);
        ASSERT_EQ(engine::CopyBackBufferToTexture(frame), 1);
        EXPECT_EQ(engine::SetEffectTechnique(crystals, "postFX"), 0);
        ASSERT_EQ(engine::SetEffectTexture(crystals, "texture0", frame), 1);
        ASSERT_EQ(engine::ApplyEffectToTexture(frame, crystals), 1);
        ASSERT_EQ(engine::CopyTextureToBackBuffer(frame), 1);
        const auto pixels = ReadBackBuffer();
        int lowest = 255, highest = 0, bad = 0;
        for (std::uint32_t p : pixels) {
            const int r = static_cast<int>((p >> 16) & 0xFF), g = static_cast<int>((p >> 8) & 0xFF),
                      b = static_cast<int>(p & 0xFF);
            if (r != g || g != b) ++bad;
            lowest = std::min(lowest, r);
            highest = std::max(highest, r);
        }
        EXPECT_EQ(bad, 0);
        // b lies in 1 +- 0.2134: 0x80 becomes 100.7 .. 155.3.
        EXPECT_GE(lowest, 99);
        EXPECT_LE(highest, 157);
        EXPECT_GT(highest - lowest, 4) << "the emboss left no trace";
    }
}

TEST_F(RenderTextureTest, IntroEffectDisplacesDetailOnlySlightlyAndKeepsItUpright) {
    engine::Effect* crystals = engine::CreateEffectFromSource(IntroEffectSource().c_str());
    ASSERT_NE(crystals, nullptr) << Boxes().text;
    engine::TextureRecord* frame = engine::CreateScreenTexture();
    ASSERT_NE(frame, nullptr);
    // A horizontal line near the top and a vertical one near the left, 4 pixels wide, on black.
    // A picture turned upside down (or mirrored) on the way would put them far from here.
    const gfx::RECT row{0, 100, kScreenWidth, 104}, column{200, 0, 204, kScreenHeight};
    FillBackBuffer(nullptr, 0xFF000000u);
    FillBackBuffer(&row, 0xFFFFFFFFu);
    FillBackBuffer(&column, 0xFFFFFFFFu);
    ASSERT_EQ(engine::SetEffectFloat(crystals, "time", 3.0f), 1);
    ASSERT_EQ(engine::CopyBackBufferToTexture(frame), 1);
    ASSERT_EQ(engine::SetEffectTexture(crystals, "texture0", frame), 1);
    ASSERT_EQ(engine::ApplyEffectToTexture(frame, crystals), 1);
    ASSERT_EQ(engine::CopyTextureToBackBuffer(frame), 1);
    const auto pixels = ReadBackBuffer();
    // Displacement stays within 0.0267 of the picture: 21.4 pixels across, 16 down.
    int stray = 0, onRow = 0, onColumn = 0;
    for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) {
            if ((At(pixels, x, y) & 0xFF) < 0x40) continue;
            const bool nearRow = y >= 100 - 18 && y < 104 + 18;
            const bool nearColumn = x >= 200 - 23 && x < 204 + 23;
            if (!nearRow && !nearColumn) ++stray;
            onRow += nearRow && !nearColumn;
            onColumn += nearColumn && !nearRow;
        }
    }
    EXPECT_EQ(stray, 0);
    EXPECT_GT(onRow, 2 * (kScreenWidth - 50));
    EXPECT_GT(onColumn, 2 * (kScreenHeight - 40));
}

}  // namespace
}  // namespace effects_test
