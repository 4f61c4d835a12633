// tests/gfx/gfx_test_util.h: a window and a device for the graphics tests, and pixel helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/gfx/gfx.h"
#include "platform/gfx/image_png.h"
#include "platform/window/window.h"

namespace gfxtest {

namespace gfx = platform::gfx;
namespace win = platform::window;

inline win::LResult TestProc(win::WindowHandle w, std::uint32_t m, win::WParam wp, win::LParam lp) {
    return win::DefWindowProc(w, m, wp, lp);
}

// A shown borderless window of "width" x "height".
inline win::WindowHandle MakeWindow(int width, int height) {
    static bool registered = false;
    if (!registered) {
        win::ClassDesc c;
        c.name = "GfxTestClass";
        c.proc = TestProc;
        registered = win::RegisterClass(c);
    }
    win::WindowDesc d;
    d.className = "GfxTestClass";
    d.title = "gfx test";
    d.style = win::WS_POPUP | win::WS_VISIBLE;
    d.x = 10;
    d.y = 10;
    d.width = width;
    d.height = height;
    return win::CreateWindow(d);
}

inline gfx::D3DPRESENT_PARAMETERS EngineParams(win::WindowHandle w) {
    gfx::D3DPRESENT_PARAMETERS p;
    p.BackBufferFormat = gfx::D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = gfx::D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = w;
    p.Windowed = 1;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = gfx::D3DFMT_D16;
    p.Flags = gfx::D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    return p;
}

// A device on a fresh 64 x 48 window, made per test and released after it.
class DeviceTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 64, kHeight = 48;
    void SetUp() override {
        gfx::InjectCreationFault(gfx::CreationFault::kNone);
        gfx::InjectPresentFailures(0, 0);
        gfx::InjectResetFailures(0);
        window_ = MakeWindow(kWidth, kHeight);
        ASSERT_TRUE(window_);
        d3d_ = gfx::Direct3DCreate9(gfx::D3D_SDK_VERSION);
        ASSERT_NE(d3d_, nullptr);
        params_ = EngineParams(window_);
        ASSERT_EQ(d3d_->CreateDevice(0, gfx::D3DDEVTYPE_HAL, window_,
                                     gfx::D3DCREATE_HARDWARE_VERTEXPROCESSING, &params_, &device_),
                  gfx::D3D_OK);
    }
    void TearDown() override {
        if (device_) device_->Release();
        if (d3d_) d3d_->Release();
        win::DestroyWindow(window_);
    }

    // The back buffer's pixels as ARGB words, read through LockRect.
    std::vector<std::uint32_t> ReadBackBuffer() {
        gfx::IDirect3DSurface9* bb = nullptr;
        EXPECT_EQ(device_->GetBackBuffer(0, 0, gfx::D3DBACKBUFFER_TYPE_MONO, &bb), gfx::D3D_OK);
        std::vector<std::uint32_t> out;
        gfx::D3DLOCKED_RECT lr;
        if (bb && bb->LockRect(&lr, nullptr, gfx::D3DLOCK_READONLY) == gfx::D3D_OK) {
            const auto* bits = static_cast<const std::uint8_t*>(lr.pBits.Bits());
            for (int y = 0; y < kHeight; ++y) {
                const auto* row = reinterpret_cast<const std::uint32_t*>(bits + y * lr.Pitch);
                out.insert(out.end(), row, row + kWidth);
            }
            bb->UnlockRect();
        }
        if (bb) bb->Release();
        return out;
    }

    win::WindowHandle window_{};
    gfx::IDirect3D9* d3d_ = nullptr;
    gfx::IDirect3DDevice9* device_ = nullptr;
    gfx::D3DPRESENT_PARAMETERS params_{};
};

// A PNG file of "width" x "height" ARGB pixels.
inline std::vector<std::uint8_t> MakePng(const std::vector<std::uint32_t>& pixels, int width,
                                         int height, bool alpha = true) {
    std::vector<std::uint8_t> file;
    platform::gfx::image::EncodePng(pixels.data(), width, height, alpha, &file);
    return file;
}

}  // namespace gfxtest
