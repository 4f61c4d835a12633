// engine/render_texture.cpp: render textures, the back-buffer copies and the effect pass over
// a full-screen quad into a fresh render target.
#include "engine/render_texture.h"

#include <cstring>

#include "engine/engine.h"
#include "engine/render_texture_internal.h"
#include "engine/state_internal.h"
#include "platform/gfx/fx/effect.h"

namespace engine {

namespace gfx = platform::gfx;

namespace render_texture_detail {

namespace {

gfx::HRESULT DefaultGetBackBuffer(gfx::IDirect3DDevice9* device, gfx::IDirect3DSurface9** surface) {
    return device->GetBackBuffer(0, 0, gfx::D3DBACKBUFFER_TYPE_MONO, surface);
}

gfx::HRESULT DefaultCreateVertexBuffer(gfx::IDirect3DDevice9* device, gfx::UINT lengthBytes,
                                       gfx::DWORD usage, gfx::DWORD fvf, gfx::D3DPOOL pool,
                                       gfx::IDirect3DVertexBuffer9** buffer) {
    return device->CreateVertexBuffer(lengthBytes, usage, fvf, pool, buffer, nullptr);
}

}  // namespace

PlatformCalls DefaultCalls() {
    return PlatformCalls{
        .getBackBuffer = DefaultGetBackBuffer,
        .createTexture = gfx::D3DXCreateTexture,
        .createRenderToSurface = gfx::D3DXCreateRenderToSurface,
        .createVertexBuffer = DefaultCreateVertexBuffer,
    };
}

PlatformCalls& Calls() {
    static PlatformCalls calls = DefaultCalls();
    return calls;
}

}  // namespace render_texture_detail

namespace {

namespace detail = render_texture_detail;

template <class T>
void ReleaseAndClear(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

// The record "texture" if it is in `textureList` and holds a texture; null otherwise, so that a
// record emptied by a failed re-creation is never handed to the device.
TextureRecord* FindUsableRecord(TextureRecord* texture) {
    TextureRecord* record = FindTextureRecord(texture);
    if (record == nullptr || record->texture == nullptr) return nullptr;
    return record;
}

// Back buffer 0 of the engine's device, or null.
gfx::IDirect3DSurface9* AcquireBackBuffer() {
    if (deviceState.device == nullptr) return nullptr;
    gfx::IDirect3DSurface9* surface = nullptr;
    if (gfx::Failed(detail::Calls().getBackBuffer(deviceState.device, &surface))) {
        ReleaseAndClear(surface);
        return nullptr;
    }
    return surface;
}

// Copies the whole of "source" over the whole of "dest", stretching when the sizes differ.
std::int32_t CopyWholeSurface(gfx::IDirect3DSurface9* dest, gfx::IDirect3DSurface9* source) {
    // The result of the load is not examined: the copy was asked for and the objects exist.
    gfx::D3DXLoadSurfaceFromSurface(dest, nullptr, nullptr, source, nullptr, nullptr,
                                    gfx::D3DX_DEFAULT, 0);
    return 1;
}

gfx::D3DMATRIX Identity() {
    gfx::D3DMATRIX m;
    gfx::D3DXMatrixIdentity(&m);
    return m;
}

// The effect pass of ApplyEffectToTexture once its objects exist: identity transforms, the
// black clear, one quad per pass, the transforms put back.
void DrawEffectPass(gfx::IDirect3DSurface9* target, gfx::ID3DXRenderToSurface* renderToSurface,
                    gfx::IDirect3DVertexBuffer9* quad, gfx::UINT width, gfx::UINT height,
                    Effect* effectHandle) {
    gfx::IDirect3DDevice9* device = deviceState.device;
    gfx::D3DMATRIX savedProjection, savedWorld;
    device->GetTransform(gfx::D3DTS_PROJECTION, &savedProjection);
    device->GetTransform(gfx::D3DTS_WORLD, &savedWorld);
    const gfx::D3DMATRIX identity = Identity();
    device->SetTransform(gfx::D3DTS_PROJECTION, &identity);
    device->SetTransform(gfx::D3DTS_WORLD, &identity);
    device->SetTransform(gfx::D3DTS_VIEW, &identity);

    gfx::D3DVIEWPORT9 viewport;
    viewport.X = 0;
    viewport.Y = 0;
    viewport.Width = width;
    viewport.Height = height;
    viewport.MinZ = 0.0f;
    viewport.MaxZ = 1.0f;

    // The source texture is bound to the effect only; stage 0 must not also hold it.
    device->SetTexture(0, nullptr);
    renderToSurface->BeginScene(target, &viewport);
    device->Clear(0, nullptr, gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, 0x00000000u, 1.0f, 0);

    if (Effect* record = FindEffect(effectHandle); record != nullptr && record->effect != nullptr) {
        gfx::ID3DXEffect* effect = record->effect;
        gfx::UINT passes = 0;
        if (gfx::Succeeded(effect->Begin(&passes, 0))) {
            for (gfx::UINT pass = 0; pass < passes; ++pass) {
                effect->BeginPass(pass);
                device->SetStreamSource(0, quad, 0, detail::kQuadStrideBytes);
                device->SetFVF(detail::kQuadFvf);
                device->DrawPrimitive(gfx::D3DPT_TRIANGLESTRIP, 0, 2);
                effect->EndPass();
            }
            effect->End();
        }
    }

    renderToSurface->EndScene(0);
    device->SetTransform(gfx::D3DTS_PROJECTION, &savedProjection);
    device->SetTransform(gfx::D3DTS_WORLD, &savedWorld);
}

}  // namespace

TextureRecord* CreateRenderTexture(std::int32_t width, std::int32_t height, std::int32_t sizeMode,
                                   std::int32_t format) {
    TextureRecord* record = InsertTextureRecord(kRenderTextureFactor);
    if (record == nullptr) return nullptr;
    const auto fail = [record]() -> TextureRecord* {
        ReleaseAndClear(record->texture);
        RemoveTextureRecord(record);
        deviceState.lastError = kErrorTextureNotLoaded;
        return nullptr;
    };

    gfx::IDirect3DSurface9* backBuffer = AcquireBackBuffer();
    if (backBuffer == nullptr) return fail();
    gfx::D3DSURFACE_DESC backDesc;
    const gfx::HRESULT descResult = backBuffer->GetDesc(&backDesc);
    backBuffer->Release();
    if (gfx::Failed(descResult)) return fail();

    std::int32_t useWidth = static_cast<std::int32_t>(backDesc.Width);
    std::int32_t useHeight = static_cast<std::int32_t>(backDesc.Height);
    std::uint32_t useFormat = static_cast<std::uint32_t>(backDesc.Format);
    if (sizeMode != 0) {
        if (width < useWidth) useWidth = width;
        if (height < useHeight) useHeight = height;
    }
    if (sizeMode == 2) useFormat = static_cast<std::uint32_t>(format);
    record->width = useWidth;
    record->height = useHeight;

    // A side of 0 or less would reach the platform as an enormous unsigned size.
    if (useWidth <= 0 || useHeight <= 0) return fail();
    if (gfx::Failed(detail::Calls().createTexture(
            deviceState.device, static_cast<gfx::UINT>(useWidth),
            static_cast<gfx::UINT>(useHeight), 1, gfx::D3DUSAGE_RENDERTARGET,
            static_cast<gfx::D3DFORMAT>(useFormat), gfx::D3DPOOL_DEFAULT, &record->texture)) ||
        record->texture == nullptr) {
        return fail();
    }

    gfx::D3DSURFACE_DESC levelDesc;
    record->format = gfx::Succeeded(record->texture->GetLevelDesc(0, &levelDesc))
                         ? static_cast<std::uint32_t>(levelDesc.Format)
                         : useFormat;
    record->isRenderTarget = 1;
    return record;
}

TextureRecord* CreateScreenTexture() { return CreateRenderTexture(0, 0, 0, 0); }

namespace {

// Copies between the back buffer and level 0 of a render texture, in the direction asked.
std::int32_t CopyWithBackBuffer(TextureRecord* texture, bool toTexture) {
    TextureRecord* record = FindUsableRecord(texture);
    if (record == nullptr) return 0;
    gfx::IDirect3DSurface9* backBuffer = AcquireBackBuffer();
    if (backBuffer == nullptr) return 0;
    gfx::IDirect3DSurface9* level = nullptr;
    if (gfx::Failed(record->texture->GetSurfaceLevel(0, &level)) || level == nullptr) {
        backBuffer->Release();
        return 0;
    }
    const std::int32_t result =
        toTexture ? CopyWholeSurface(level, backBuffer) : CopyWholeSurface(backBuffer, level);
    level->Release();
    backBuffer->Release();
    return result;
}

}  // namespace

std::int32_t CopyBackBufferToTexture(TextureRecord* texture) {
    return CopyWithBackBuffer(texture, true);
}

std::int32_t CopyTextureToBackBuffer(TextureRecord* texture) {
    return CopyWithBackBuffer(texture, false);
}

std::int32_t ApplyEffectToTexture(TextureRecord* texture, Effect* effect) {
    TextureRecord* record = FindUsableRecord(texture);
    if (record == nullptr || deviceState.device == nullptr) return 0;
    gfx::D3DSURFACE_DESC sourceDesc;
    if (gfx::Failed(record->texture->GetLevelDesc(0, &sourceDesc))) return 0;
    const gfx::UINT width = sourceDesc.Width;
    const gfx::UINT height = sourceDesc.Height;

    gfx::IDirect3DTexture9* target = nullptr;
    if (gfx::Failed(detail::Calls().createTexture(deviceState.device, width, height, 1,
                                                  gfx::D3DUSAGE_RENDERTARGET,
                                                  gfx::D3DFMT_X8R8G8B8, gfx::D3DPOOL_DEFAULT,
                                                  &target)) ||
        target == nullptr) {
        return kApplyNoTarget;
    }
    // The source stays alive through the reference the effect took when it was bound, so the
    // pass samples it while drawing into the target; the two are never the same texture.
    record->texture->Release();
    record->texture = target;

    gfx::IDirect3DSurface9* targetSurface = nullptr;
    gfx::ID3DXRenderToSurface* renderToSurface = nullptr;
    gfx::IDirect3DVertexBuffer9* quad = nullptr;
    const auto releaseAll = [&] {
        ReleaseAndClear(quad);
        ReleaseAndClear(renderToSurface);
        ReleaseAndClear(targetSurface);
    };

    if (gfx::Failed(target->GetSurfaceLevel(0, &targetSurface)) || targetSurface == nullptr) {
        releaseAll();
        return kApplyNoRenderToSurface;
    }
    if (gfx::Failed(detail::Calls().createRenderToSurface(deviceState.device, width, height,
                                                          gfx::D3DFMT_X8R8G8B8, 1,
                                                          gfx::D3DFMT_D16, &renderToSurface)) ||
        renderToSurface == nullptr) {
        releaseAll();
        return kApplyNoRenderToSurface;
    }
    if (gfx::Failed(detail::Calls().createVertexBuffer(deviceState.device, detail::kQuadBytes,
                                                       gfx::D3DUSAGE_WRITEONLY, detail::kQuadFvf,
                                                       gfx::D3DPOOL_MANAGED, &quad)) ||
        quad == nullptr) {
        releaseAll();
        return kApplyNoVertexBuffer;
    }
    void* bytes = nullptr;
    if (gfx::Failed(quad->Lock(0, detail::kQuadBytes, &bytes, 0)) || bytes == nullptr) {
        releaseAll();
        return kApplyVertexBufferLock;
    }
    std::memcpy(bytes, detail::kFullScreenQuad, detail::kQuadBytes);
    quad->Unlock();

    DrawEffectPass(targetSurface, renderToSurface, quad, width, height, effect);
    releaseAll();
    return 1;
}

void ReleaseRenderTextures() {
    engineLists.textureList.ForEach([](TextureRecord& record) {
        if (record.isRenderTarget != 0) ReleaseAndClear(record.texture);
    });
}

void RecreateRenderTextures() {
    engineLists.textureList.ForEach([](TextureRecord& record) {
        if (record.isRenderTarget == 0) return;
        ReleaseAndClear(record.texture);  // a texture that was never released: not leaked
        if (deviceState.device == nullptr || record.width <= 0 || record.height <= 0) return;
        gfx::IDirect3DTexture9* texture = nullptr;
        if (gfx::Failed(detail::Calls().createTexture(
                deviceState.device, static_cast<gfx::UINT>(record.width),
                static_cast<gfx::UINT>(record.height), 1, gfx::D3DUSAGE_RENDERTARGET,
                static_cast<gfx::D3DFORMAT>(record.format), gfx::D3DPOOL_DEFAULT, &texture))) {
            ReleaseAndClear(texture);
            return;  // left empty: every operation on the record now returns 0
        }
        record.texture = texture;
    });
}

}  // namespace engine
