// tests/gfx/gfx_test_util.h: a window and a device for the graphics tests, and pixel helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/gfx/gfx.h"
#include "platform/gfx/gfx_testing.h"
#include "platform/gfx/image_png.h"
#include "platform/window/window.h"
#include "tests/gfx_support/back_buffer.h"
#include "tests/gfx_support/test_window.h"

namespace gfxtest {

namespace gfx = platform::gfx;
namespace win = platform::window;

// A shown borderless window of "width" x "height".
inline win::WindowHandle MakeWindow(int width, int height) {
    return testsupport::MakeTestWindow({.title = "gfx test", .x = 10, .y = 10, .width = width,
                                        .height = height});
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
    std::vector<std::uint32_t> ReadBackBuffer() { return testsupport::ReadBackBuffer(device_); }

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
