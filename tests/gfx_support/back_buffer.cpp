// tests/gfx_support/back_buffer.cpp: reading a device's back buffer back, for pixel checks.
#include "tests/gfx_support/back_buffer.h"

namespace testsupport {

namespace gfx = platform::gfx;

std::vector<std::uint32_t> ReadBackBuffer(gfx::IDirect3DDevice9* device) {
    std::vector<std::uint32_t> out;
    gfx::IDirect3DSurface9* back = nullptr;
    if (device == nullptr ||
        gfx::Failed(device->GetBackBuffer(0, 0, gfx::D3DBACKBUFFER_TYPE_MONO, &back)) ||
        back == nullptr) {
        return out;
    }
    gfx::D3DSURFACE_DESC desc;
    gfx::D3DLOCKED_RECT lr;
    if (gfx::Succeeded(back->GetDesc(&desc)) &&
        gfx::Succeeded(back->LockRect(&lr, nullptr, gfx::D3DLOCK_READONLY))) {
        const auto* bits = static_cast<const std::uint8_t*>(lr.pBits.Bits());
        out.reserve(static_cast<std::size_t>(desc.Width) * desc.Height);
        for (gfx::UINT y = 0; y < desc.Height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(bits + y * lr.Pitch);
            out.insert(out.end(), row, row + desc.Width);
        }
        back->UnlockRect();
    }
    back->Release();
    return out;
}

std::vector<std::uint32_t> ReadBackBufferRgb(gfx::IDirect3DDevice9* device) {
    std::vector<std::uint32_t> pixels = ReadBackBuffer(device);
    for (std::uint32_t& p : pixels) p &= 0xFFFFFFu;
    return pixels;
}

}  // namespace testsupport
