// engine/box.cpp: the box queue and its flush into the back buffer.
#include "engine/box.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "engine/box_internal.h"
#include "engine/engine.h"
#include "engine/state_internal.h"

namespace engine {

namespace gfx = platform::gfx;

namespace {

std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// The target of one flush, locked or not. Pixel writes go into the locked bits when the lock
// succeeded and as 1 x 1 fills otherwise. The bits are fetched on the first pixel write only, so
// a flush of filled boxes never reads the target back.
class BoxTarget {
public:
    BoxTarget(gfx::IDirect3DDevice9* device, gfx::IDirect3DSurface9* surface,
              std::int32_t clipWidth, std::int32_t clipHeight)
        : device_(device), surface_(surface) {
        gfx::D3DSURFACE_DESC desc;
        surface_->GetDesc(&desc);
        const bool wide = desc.Format == gfx::D3DFMT_A8R8G8B8 ||
                          desc.Format == gfx::D3DFMT_X8R8G8B8 ||
                          desc.Format == gfx::D3DFMT_A2R10G10B10;
        bytesPerPixel_ = wide ? 4 : 2;
        // Pixels outside the clip size are skipped; so are pixels outside the surface itself,
        // since a clip size larger than the target must not write past its bits.
        maxX_ = std::min<long long>(clipWidth, desc.Width);
        maxY_ = std::min<long long>(clipHeight, desc.Height);
        Lock();
    }

    ~BoxTarget() {
        if (locked_) surface_->UnlockRect();
    }

    BoxTarget(const BoxTarget&) = delete;
    BoxTarget& operator=(const BoxTarget&) = delete;

    void Fill(const gfx::RECT& rect, gfx::D3DCOLOR colour) {
        const bool wasLocked = locked_;
        if (locked_) {
            surface_->UnlockRect();
            locked_ = false;
        }
        device_->ColorFill(surface_, &rect, colour);
        if (wasLocked) Lock();
    }

    void Plot(long long x, long long y, gfx::D3DCOLOR colour) {
        if (!locked_) {
            gfx::RECT one;
            one.left = static_cast<gfx::LONG>(x);
            one.top = static_cast<gfx::LONG>(y);
            one.right = static_cast<gfx::LONG>(x + 1);
            one.bottom = static_cast<gfx::LONG>(y + 1);
            if (x >= INT32_MIN && x < INT32_MAX && y >= INT32_MIN && y < INT32_MAX) {
                device_->ColorFill(surface_, &one, colour);
            }
            return;
        }
        if (x < 0 || x >= maxX_ || y < 0 || y >= maxY_) return;
        if (bits_ == nullptr) {
            bits_ = static_cast<unsigned char*>(lockedRect_.pBits.Bits());
            if (bits_ == nullptr) return;
        }
        unsigned char* row = bits_ + static_cast<std::ptrdiff_t>(y) * pitchPixels_ * bytesPerPixel_;
        if (bytesPerPixel_ == 4) {
            reinterpret_cast<std::uint32_t*>(row)[x] = colour;
        } else {
            reinterpret_cast<std::uint16_t*>(row)[x] = box_detail::PackColour16(colour);
        }
    }

private:
    void Lock() {
        bits_ = nullptr;
        lockedRect_ = gfx::D3DLOCKED_RECT{};
        locked_ = gfx::Succeeded(surface_->LockRect(&lockedRect_, nullptr, 0));
        pitchPixels_ = locked_ ? lockedRect_.Pitch / bytesPerPixel_ : 0;
    }

    gfx::IDirect3DDevice9* device_;
    gfx::IDirect3DSurface9* surface_;
    int bytesPerPixel_ = 4;
    long long maxX_ = 0, maxY_ = 0;
    bool locked_ = false;
    gfx::D3DLOCKED_RECT lockedRect_;
    long long pitchPixels_ = 0;
    unsigned char* bits_ = nullptr;
};

void DrawBox(BoxTarget& target, const BoxCommand& box) {
    if (box.kind == kBoxFilled) {
        gfx::RECT rect;
        rect.left = box.left;
        rect.top = box.top;
        rect.right = box.right;
        rect.bottom = box.bottom;
        target.Fill(rect, box.colour);
        return;
    }
    const auto plot = [&](long long x, long long y) { target.Plot(x, y, box.colour); };
    box_detail::WalkLine(box.left, box.top, box.right, box.top, plot);
    box_detail::WalkLine(box.left, box.top, box.left, box.bottom, plot);
    box_detail::WalkLine(box.left, box.bottom, box.right, box.bottom, plot);
    box_detail::WalkLine(box.right, box.top, box.right, box.bottom, plot);
}

}  // namespace

std::int32_t QueueBox(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                      std::uint32_t colour, std::int32_t filled) {
    BoxCommand* box = engineLists.boxQueue.Insert();
    if (box == nullptr) return 0;
    box->left = x;
    box->top = y;
    box->right = WrapAdd(x, width);
    box->bottom = WrapAdd(y, height);
    box->kind = filled == 1 ? kBoxFilled : kBoxOutline;
    box->colour = colour;
    return 0;
}

std::int32_t FlushBoxQueue(gfx::IDirect3DSurface9* target, std::int32_t clipWidth,
                           std::int32_t clipHeight) {
    RecordList<BoxCommand>& queue = engineLists.boxQueue;
    if (queue.Count() == 0) return 0;

    gfx::IDirect3DDevice9* device = deviceState.device;
    gfx::IDirect3DSurface9* surface = nullptr;
    if (target != nullptr) {
        // The caller keeps its own reference; the flush holds one of its own meanwhile.
        target->AddRef();
        surface = target;
    } else if (device == nullptr ||
               gfx::Failed(device->GetBackBuffer(0, 0, gfx::D3DBACKBUFFER_TYPE_MONO, &surface))) {
        surface = nullptr;
    }
    if (surface == nullptr || device == nullptr) {
        if (surface != nullptr) surface->Release();
        queue.Empty();
        return 0;
    }

    {
        BoxTarget out(device, surface, clipWidth, clipHeight);
        queue.ForEach([&](const BoxCommand& box) { DrawBox(out, box); });
    }
    surface->Release();
    queue.Empty();
    return 0;
}

std::uint32_t PackColorARGB(std::int32_t alpha, std::int32_t red, std::int32_t green,
                            std::int32_t blue) {
    const auto low8 = [](std::int32_t v) { return static_cast<std::uint32_t>(v) & 0xFFu; };
    return (low8(alpha) << 24) | (low8(red) << 16) | (low8(green) << 8) | low8(blue);
}

}  // namespace engine
