// engine/texture.cpp: image textures decoded from PNG files in memory, and the texture list's
// record bookkeeping shared with render textures.
#include "engine/texture.h"

#include "engine/engine.h"
#include "engine/state_internal.h"

namespace engine {

namespace gfx = platform::gfx;

namespace {

constexpr std::int32_t kMaxMipLevels = 10;
constexpr gfx::D3DCOLOR kColourKey = 0xFF000000u;  // opaque black becomes transparent

std::int32_t LevelZeroSize(TextureRecord* handle, bool width) {
    TextureRecord* record = FindTextureRecord(handle);
    if (record == nullptr || record->texture == nullptr) return 0;
    gfx::D3DSURFACE_DESC desc;
    if (gfx::Failed(record->texture->GetLevelDesc(0, &desc))) return 0;
    return static_cast<std::int32_t>(width ? desc.Width : desc.Height);
}

}  // namespace

TextureRecord* FindTextureRecord(TextureRecord* texture) {
    return engineLists.textureList.Find(texture);
}

TextureRecord* InsertTextureRecord(float eighthFactor) {
    TextureRecord* record = engineLists.textureList.Insert();
    if (record == nullptr) return nullptr;
    for (int i = 0; i < 7; ++i) record->factors[i] = 1.0f;
    record->factors[7] = eighthFactor;
    return record;
}

void RemoveTextureRecord(TextureRecord* record) { engineLists.textureList.Remove(record); }

TextureRecord* LoadTextureFromMemory(const void* bytes, std::uint32_t sizeBytes,
                                     std::int32_t mipLevels) {
    if (mipLevels < 0 || mipLevels > kMaxMipLevels) mipLevels = 0;
    TextureRecord* record = InsertTextureRecord(kImageTextureFactor);
    if (record == nullptr) return nullptr;

    gfx::D3DXIMAGE_INFO info;
    if (bytes == nullptr || sizeBytes == 0 ||
        gfx::Failed(gfx::D3DXGetImageInfoFromFileInMemory(bytes, sizeBytes, &info))) {
        RemoveTextureRecord(record);
        return nullptr;
    }

    gfx::IDirect3DTexture9* texture = nullptr;
    const gfx::HRESULT hr =
        deviceState.device == nullptr
            ? gfx::D3DERR_INVALIDCALL
            : gfx::D3DXCreateTextureFromFileInMemoryEx(
                  deviceState.device, bytes, sizeBytes, info.Width, info.Height,
                  static_cast<gfx::UINT>(mipLevels), 0, gfx::D3DFMT_A8R8G8B8,
                  gfx::D3DPOOL_MANAGED, gfx::D3DX_FILTER_TRIANGLE, gfx::D3DX_FILTER_NONE,
                  kColourKey, &info, nullptr, &texture);
    if (gfx::Failed(hr) || texture == nullptr) {
        RemoveTextureRecord(record);
        deviceState.lastError = kErrorTextureNotLoaded;
        return nullptr;
    }
    record->texture = texture;

    gfx::D3DSURFACE_DESC desc;
    if (gfx::Succeeded(texture->GetLevelDesc(0, &desc))) {
        record->format = static_cast<std::uint32_t>(desc.Format);
        record->height = static_cast<std::int32_t>(desc.Height);
        record->width = static_cast<std::int32_t>(desc.Width);
    }
    return record;
}

std::int32_t GetTextureWidth(TextureRecord* texture) { return LevelZeroSize(texture, true); }

std::int32_t GetTextureHeight(TextureRecord* texture) { return LevelZeroSize(texture, false); }

}  // namespace engine
