// tests/gfx/gfx_device_test.cpp: the graphics layer on a real GL context (run under Xvfb).

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "platform/gfx/gfx_testing.h"
#include "platform/gfx/gl/gl_internal.h"
#include "platform/window/sdl/window_sdl.h"
#include "tests/gfx/gfx_test_util.h"

namespace gfxtest {
namespace {

using namespace platform::gfx;

// ---------------------------------------------------------------------------------------------
// Creation and adapter checks
// ---------------------------------------------------------------------------------------------

TEST(GfxFactory, RefusesOtherVersionsAndChecksFormats) {
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
    IDirect3D9* d3d = Direct3DCreate9(0x80000020u);  // the debug bit is ignored
    ASSERT_NE(d3d, nullptr);
    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_GT(mode.Width, 0u);
    EXPECT_EQ(d3d->GetAdapterDisplayMode(1, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, mode.Format, mode.Format, 1), D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, 1),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, mode.Format, D3DUSAGE_DEPTHSTENCIL,
                                     D3DRTYPE_SURFACE, D3DFMT_D16),
              D3D_OK);
    D3DCAPS9 caps;
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_NE(caps.VertexProcessingCaps, 0u);
    d3d->Release();
}

TEST(GfxFactory, InjectedFaultsFailTheirStepOnly) {
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DDISPLAYMODE mode;
    D3DCAPS9 caps;
    InjectCreationFault(CreationFault::kDepthFormat);
    EXPECT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_TRUE(Failed(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                              D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16)));
    InjectCreationFault(CreationFault::kNoVertexProcessing);
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.VertexProcessingCaps, 0u);
    InjectCreationFault(CreationFault::kDisplayMode);
    EXPECT_TRUE(Failed(d3d->GetAdapterDisplayMode(0, &mode)));
    InjectCreationFault(CreationFault::kNone);
    d3d->Release();
}

TEST(GfxFactory, CreateDeviceRefusesDeadWindowsAndBadParameters) {
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    win::WindowHandle w = MakeWindow(32, 32);
    D3DPRESENT_PARAMETERS p = EngineParams(w);
    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(1);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, w, 0, &p, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    win::DestroyWindow(w);
    p = EngineParams(w);
    EXPECT_TRUE(Failed(d3d->CreateDevice(0, D3DDEVTYPE_HAL, w, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                         &p, &device)));
    EXPECT_EQ(device, nullptr);
    d3d->Release();
}

TEST_F(DeviceTest, BackBufferTakesTheClientSize) {
    EXPECT_EQ(params_.BackBufferWidth, static_cast<UINT>(kWidth));
    EXPECT_EQ(params_.BackBufferHeight, static_cast<UINT>(kHeight));
    D3DVIEWPORT9 vp;
    ASSERT_EQ(device_->GetViewport(&vp), D3D_OK);
    EXPECT_EQ(vp.X, 0u);
    EXPECT_EQ(vp.Width, static_cast<DWORD>(kWidth));
    EXPECT_EQ(vp.Height, static_cast<DWORD>(kHeight));
    IDirect3DSurface9* bb = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb), D3D_OK);
    D3DSURFACE_DESC desc;
    bb->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.Width, static_cast<UINT>(kWidth));
    bb->Release();
    EXPECT_EQ(device_->GetBackBuffer(0, 1, D3DBACKBUFFER_TYPE_MONO, &bb), D3DERR_INVALIDCALL);
}

// ---------------------------------------------------------------------------------------------
// States
// ---------------------------------------------------------------------------------------------

TEST_F(DeviceTest, StatesStartAtTheirDefaultsAndRefuseOutOfRange) {
    const struct { D3DRENDERSTATETYPE state; DWORD value; } defaults[] = {
        {D3DRS_ZENABLE, 1},          {D3DRS_ZWRITEENABLE, 1}, {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO}, {D3DRS_CULLMODE, D3DCULL_CCW}, {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_LIGHTING, 1},         {D3DRS_ALPHABLENDENABLE, 0}, {D3DRS_FOGEND, 0x3F800000u},
    };
    for (const auto& d : defaults) {
        SCOPED_TRACE(d.state);
        DWORD v = 0xDEAD;
        ASSERT_EQ(device_->GetRenderState(d.state, &v), D3D_OK);
        EXPECT_EQ(v, d.value);
    }
    DWORD v = 0;
    EXPECT_EQ(device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(256), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetSamplerState(16, D3DSAMP_MINFILTER, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->GetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(99), &v), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->SetSamplerState(1, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP), D3D_OK);
    ASSERT_EQ(device_->GetSamplerState(1, D3DSAMP_ADDRESSU, &v), D3D_OK);
    EXPECT_EQ(v, static_cast<DWORD>(D3DTADDRESS_CLAMP));
    // The texture stages' transforms are kept for the generated vertex stages; other
    // transform states are refused.
    D3DMATRIX m{}, back{};
    m.m[3][1] = 0.25f;
    EXPECT_EQ(device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + 7), &m), D3D_OK);
    EXPECT_EQ(device_->GetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + 7), &back), D3D_OK);
    EXPECT_EQ(back.m[3][1], 0.25f);
    EXPECT_EQ(device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + 8), &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(4), &m), D3DERR_INVALIDCALL);
    m = {};
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1;
    device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + 7), &m);
}

// ---------------------------------------------------------------------------------------------
// Clears, fills and locks
// ---------------------------------------------------------------------------------------------

TEST_F(DeviceTest, ClearFillsTheViewportOnlyAndDepthDecidesLaterDraws) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030u, 1.0f, 0), D3D_OK);
    D3DVIEWPORT9 vp{8, 4, 16, 8, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&vp), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000u, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    const auto px = ReadBackBuffer();
    ASSERT_EQ(px.size(), static_cast<std::size_t>(kWidth * kHeight));
    EXPECT_EQ(px[0], 0xFF102030u);
    EXPECT_EQ(px[4 * kWidth + 8], 0x00000000u);         // first pixel inside the viewport
    EXPECT_EQ(px[11 * kWidth + 23], 0x00000000u);       // last pixel inside
    EXPECT_EQ(px[11 * kWidth + 24], 0xFF102030u);       // right of it
    EXPECT_EQ(px[12 * kWidth + 8], 0xFF102030u);        // below it
}

// While its window fades in, the device has the GL driver build the first frame's code (the
// present's copy, a colour fill, a sprite batch); no pixel of the back buffer changes.
TEST_F(DeviceTest, FadeInPreparationLeavesTheBackBufferAlone) {
    IDirect3DSurface9* bb = nullptr;
    device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb);
    ASSERT_EQ(device_->ColorFill(bb, nullptr, 0x00336699u), D3D_OK);
    const RECT corner{0, 0, 2, 2};
    ASSERT_EQ(device_->ColorFill(bb, &corner, 0x00FF8000u), D3D_OK);
    bb->Release();
    const auto before = ReadBackBuffer();
    ASSERT_TRUE(win::ShowWindow(window_, win::SW_HIDE));
    ASSERT_TRUE(win::AnimateWindow(window_, 150, win::AW_BLEND));
    EXPECT_EQ(before, ReadBackBuffer());
    EXPECT_EQ(device_->Present(nullptr, nullptr, {}, nullptr), D3D_OK);
}

TEST_F(DeviceTest, LoadedPicturesWaitForTheirUploadUntilUsedOrTheFade) {
    const std::vector<std::uint32_t> src = {0xFF102030u, 0x80405060u, 0xFF000000u, 0x01020304u};
    const std::vector<std::uint32_t> keyed = {0xFF102030u, 0x80405060u, 0x00000000u, 0x01020304u};
    const auto file = MakePng(src, 2, 2);
    auto load = [&] {
        IDirect3DTexture9* t = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, file.data(), static_cast<UINT>(file.size()), 2, 2, 1,
                                                      0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                                      D3DX_FILTER_NONE, 0xFF000000u, nullptr, nullptr, &t),
                  D3D_OK);
        return t;
    };
    auto waiting = [](IDirect3DTexture9* t) { return gl::ToGL(t)->waitingLevel0() != nullptr; };
    IDirect3DTexture9* saved = load();
    IDirect3DTexture9* released = load();
    ASSERT_TRUE(saved && released && waiting(saved) && waiting(released));

    // Saving reads the waiting words; the texture still waits afterwards.
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(saved->GetSurfaceLevel(0, &level), D3D_OK);
    ID3DXBuffer* png = nullptr;
    ASSERT_EQ(D3DXSaveSurfaceToFileInMemory(&png, D3DXIFF_PNG, level, nullptr, nullptr), D3D_OK);
    level->Release();
    image::ImageInfo info;
    std::vector<std::uint32_t> decoded;
    ASSERT_TRUE(image::DecodePng(png->GetBufferPointer(), png->GetBufferSize(), &info, &decoded));
    png->Release();
    EXPECT_EQ(decoded, keyed);
    EXPECT_TRUE(waiting(saved));
    released->Release();  // never uploaded

    // The device's idle work uploads what still waits, after its warm-up steps, and the pixels
    // are what was loaded. A fade hands that work its waits (the window tests check this); it
    // is stepped directly here, so that how many steps fit in a short fade on a busy machine
    // does not matter.
    int steps = 0;
    while (waiting(saved) && win::sdl::RunGlSurfaceIdleStep(window_)) ++steps;
    EXPECT_LE(steps, 5) << "the warm-up's four steps, then one upload";
    EXPECT_FALSE(waiting(saved));
    D3DLOCKED_RECT lr;
    ASSERT_EQ(saved->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* px = static_cast<const std::uint32_t*>(lr.pBits.Bits());
    EXPECT_EQ(std::vector<std::uint32_t>(px, px + 2), std::vector<std::uint32_t>(keyed.begin(), keyed.begin() + 2));
    saved->UnlockRect(0);
    saved->Release();
}

TEST_F(DeviceTest, ColorFillRightAndBottomEdgesAreExclusive) {
    IDirect3DSurface9* bb = nullptr;
    device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb);
    ASSERT_EQ(device_->ColorFill(bb, nullptr, 0x00000000u), D3D_OK);
    const RECT r{0, 10, 64, 12};
    ASSERT_EQ(device_->ColorFill(bb, &r, 0x00993333u), D3D_OK);
    const RECT outside{-5, -5, 3, 2};  // clipped to the surface
    ASSERT_EQ(device_->ColorFill(bb, &outside, 0xFFFFFFFFu), D3D_OK);
    bb->Release();
    const auto px = ReadBackBuffer();
    for (int y = 8; y < 14; ++y) {
        SCOPED_TRACE(y);
        const std::uint32_t want = (y == 10 || y == 11) ? 0x00993333u : 0u;
        EXPECT_EQ(px[y * kWidth + 0], want);
        EXPECT_EQ(px[y * kWidth + 63], want);
    }
    EXPECT_EQ(px[0], 0xFFFFFFFFu);
    EXPECT_EQ(px[1 * kWidth + 2], 0xFFFFFFFFu);
    EXPECT_EQ(px[2 * kWidth + 2], 0u);
    EXPECT_EQ(px[1 * kWidth + 3], 0u);
}

// ---------------------------------------------------------------------------------------------
// Scissor test
// ---------------------------------------------------------------------------------------------

// Draws a quad of "colour" over the whole viewport with the device's own program.
// A quad Direct3D calls clockwise, or with "counterClockwise" its mirror; its depth runs from
// "left" at the left edge to "right" at the right.
void FillViewportWithQuad(IDirect3DDevice9* device, D3DCOLOR colour, bool counterClockwise = false,
                          float left = 0, float right = 0) {
    struct Vertex {
        float x, y, z;
        D3DCOLOR diffuse;
    };
    const float s = counterClockwise ? -1.0f : 1.0f;
    const float zl = counterClockwise ? right : left, zr = counterClockwise ? left : right;
    const Vertex quad[4] = {{-s, 1, zl, colour}, {s, 1, zr, colour}, {-s, -1, zl, colour}, {s, -1, zr, colour}};
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof quad, D3DUSAGE_WRITEONLY, D3DFVF_XYZ | D3DFVF_DIFFUSE,
                                         D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, sizeof quad, &data, 0), D3D_OK);
    std::memcpy(data, quad, sizeof quad);
    vb->Unlock();
    device->SetTexture(0, nullptr);
    device->SetStreamSource(0, vb, 0, sizeof(Vertex));
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    device->SetStreamSource(0, nullptr, 0, 0);
    vb->Release();
}

// The pixels of "px" inside [left, right) x [top, bottom) must be "inside", all others "outside".
void ExpectRect(const std::vector<std::uint32_t>& px, int width, int height, RECT r,
                std::uint32_t inside, std::uint32_t outside) {
    ASSERT_EQ(px.size(), static_cast<std::size_t>(width * height));
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool in = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            if (px[y * width + x] != (in ? inside : outside) && ++wrong <= 4) {
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << px[y * width + x];
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(DeviceTest, ScissorRectIsCheckedAndKeptAcrossStateChanges) {
    RECT r;
    ASSERT_EQ(device_->GetScissorRect(&r), D3D_OK);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, kWidth);
    EXPECT_EQ(r.bottom, kHeight);
    EXPECT_EQ(device_->SetScissorRect(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->GetScissorRect(nullptr), D3DERR_INVALIDCALL);
    const RECT bad[] = {{-1, 0, 4, 4}, {0, -1, 4, 4}, {5, 0, 4, 4}, {0, 5, 4, 4},
                        {0, 0, kWidth + 1, 4}, {0, 0, 4, kHeight + 1}};
    for (const RECT& b : bad) EXPECT_EQ(device_->SetScissorRect(&b), D3DERR_INVALIDCALL);
    const RECT set{3, 5, 20, 9};
    ASSERT_EQ(device_->SetScissorRect(&set), D3D_OK);
    ASSERT_EQ(device_->SetScissorRect(&set), D3D_OK);  // the same rectangle again
    ASSERT_EQ(device_->GetScissorRect(&r), D3D_OK);
    EXPECT_EQ(r.left, 3);
    EXPECT_EQ(r.top, 5);
    EXPECT_EQ(r.right, 20);
    EXPECT_EQ(r.bottom, 9);
    // A reset brings the whole back buffer back.
    ASSERT_EQ(device_->Reset(&params_), D3D_OK);
    ASSERT_EQ(device_->GetScissorRect(&r), D3D_OK);
    EXPECT_EQ(r.right, kWidth);
    EXPECT_EQ(r.bottom, kHeight);
}

TEST_F(DeviceTest, ScissoredDrawTouchesOnlyTheRectAndScissorOffDrawsEverywhere) {
    // Rows count from the top, as Direct3D counts them: an asymmetric rectangle near the top
    // left would land elsewhere if the rows were flipped.
    const RECT r{5, 3, 21, 10};
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->SetScissorRect(&r), D3D_OK);
    FillViewportWithQuad(device_, 0xFFFF0000u);  // the test is off: the rectangle does not clip
    ExpectRect(ReadBackBuffer(), kWidth, kHeight, RECT{0, 0, kWidth, kHeight}, 0xFFFF0000u, 0);

    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SCISSORTESTENABLE, 1), D3D_OK);
    FillViewportWithQuad(device_, 0xFF00FF00u);
    ExpectRect(ReadBackBuffer(), kWidth, kHeight, r, 0xFF00FF00u, 0xFF000000u);

    // A new rectangle while the test is on, then the test off again.
    const RECT second{40, 30, 64, 48};
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->SetScissorRect(&second), D3D_OK);
    FillViewportWithQuad(device_, 0xFF0000FFu);
    ExpectRect(ReadBackBuffer(), kWidth, kHeight, second, 0xFF0000FFu, 0xFF000000u);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SCISSORTESTENABLE, 0), D3D_OK);
    FillViewportWithQuad(device_, 0xFFFFFFFFu);
    ExpectRect(ReadBackBuffer(), kWidth, kHeight, RECT{0, 0, kWidth, kHeight}, 0xFFFFFFFFu, 0);
}

TEST_F(DeviceTest, ClearHonoursTheScissorAndNeitherClearNorColorFillDisturbsIt) {
    const RECT r{8, 4, 24, 12};
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->SetScissorRect(&r), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SCISSORTESTENABLE, 1), D3D_OK);
    // With the test on, a full clear reaches only the rectangle.
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456u, 1.0f, 0), D3D_OK);
    ExpectRect(ReadBackBuffer(), kWidth, kHeight, r, 0xFF123456u, 0xFF000000u);

    // ColorFill is a surface operation: it ignores the scissor and leaves it in force after.
    IDirect3DSurface9* bb = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb), D3D_OK);
    const RECT fill{30, 20, 40, 30};
    ASSERT_EQ(device_->ColorFill(bb, nullptr, 0xFF000000u), D3D_OK);
    ASSERT_EQ(device_->ColorFill(bb, &fill, 0xFF0000FFu), D3D_OK);
    bb->Release();
    ExpectRect(ReadBackBuffer(), kWidth, kHeight, fill, 0xFF0000FFu, 0xFF000000u);
    FillViewportWithQuad(device_, 0xFF00FF00u);
    auto px = ReadBackBuffer();
    EXPECT_EQ(px[4 * kWidth + 8], 0xFF00FF00u);
    EXPECT_EQ(px[11 * kWidth + 23], 0xFF00FF00u);
    EXPECT_EQ(px[12 * kWidth + 23], 0xFF000000u);
    EXPECT_EQ(px[25 * kWidth + 35], 0xFF0000FFu);

    // A clear of other rectangles between draws leaves the device's rectangle in force.
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb), D3D_OK);
    ASSERT_EQ(device_->ColorFill(bb, nullptr, 0xFF000000u), D3D_OK);
    bb->Release();
    const RECT small{10, 6, 12, 8};
    ASSERT_EQ(device_->Clear(1, &small, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0), D3D_OK);
    FillViewportWithQuad(device_, 0xFFFF0000u);
    ExpectRect(ReadBackBuffer(), kWidth, kHeight, r, 0xFFFF0000u, 0xFF000000u);
    RECT kept;
    ASSERT_EQ(device_->GetScissorRect(&kept), D3D_OK);
    EXPECT_EQ(kept.left, r.left);
    EXPECT_EQ(kept.bottom, r.bottom);
}

// ---------------------------------------------------------------------------------------------
// Stencil test
// ---------------------------------------------------------------------------------------------

TEST_F(DeviceTest, StencilMaskWrittenByADrawOrAClearLimitsLaterDraws) {
    // The fixture's D3DFMT_D16 device has no stencil buffer; D3DFMT_D24S8 gives one.
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    device_->Release();
    device_ = nullptr;
    params_ = EngineParams(window_);
    params_.AutoDepthStencilFormat = D3DFMT_D24S8;
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                 &params_, &device_), D3D_OK);
    DWORD v = 0;
    ASSERT_EQ(device_->GetRenderState(D3DRS_STENCILFUNC, &v), D3D_OK);
    EXPECT_EQ(v, static_cast<DWORD>(D3DCMP_ALWAYS));
    ASSERT_EQ(device_->GetRenderState(D3DRS_STENCILWRITEMASK, &v), D3D_OK);
    EXPECT_EQ(v, 0xFFFFFFFFu);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                             0xFF000000u, 1.0f, 0), D3D_OK);

    // Write 1 into the stencil of a scissored rectangle without touching the colour.
    const RECT r{6, 2, 30, 17};
    device_->SetScissorRect(&r);
    device_->SetRenderState(D3DRS_SCISSORTESTENABLE, 1);
    device_->SetRenderState(D3DRS_STENCILENABLE, 1);
    device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
    device_->SetRenderState(D3DRS_STENCILREF, 1);
    device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    FillViewportWithQuad(device_, 0xFFFFFFFFu);
    device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    device_->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
    ExpectRect(ReadBackBuffer(), kWidth, kHeight, r, 0xFF000000u, 0xFF000000u);

    // EQUAL passes only where the mask is; the read mask drops the reference's other bits.
    device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    device_->SetRenderState(D3DRS_STENCILREF, 3);
    device_->SetRenderState(D3DRS_STENCILMASK, 1);
    FillViewportWithQuad(device_, 0xFF00FF00u);
    ExpectRect(ReadBackBuffer(), kWidth, kHeight, r, 0xFF00FF00u, 0xFF000000u);
    device_->SetRenderState(D3DRS_STENCILMASK, 0xFFFFFFFFu);
    FillViewportWithQuad(device_, 0xFFFF0000u);  // 3 matches nothing now
    ExpectRect(ReadBackBuffer(), kWidth, kHeight, r, 0xFF00FF00u, 0xFF000000u);

    // A write mask of 0 keeps the stencil as it is.
    device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
    device_->SetRenderState(D3DRS_STENCILWRITEMASK, 0);
    device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    FillViewportWithQuad(device_, 0xFFFFFFFFu);
    device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    device_->SetRenderState(D3DRS_STENCILWRITEMASK, 0xFFFFFFFFu);
    device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_NOTEQUAL);
    device_->SetRenderState(D3DRS_STENCILREF, 1);
    FillViewportWithQuad(device_, 0xFF0000FFu);
    ExpectRect(ReadBackBuffer(), kWidth, kHeight, r, 0xFF00FF00u, 0xFF0000FFu);

    // A stencil clear of a rectangle is a mask too, and the test off draws everywhere.
    const RECT c{40, 30, 50, 40};
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0xFF000000u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Clear(1, &c, D3DCLEAR_STENCIL, 0, 1.0f, 7), D3D_OK);
    device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    device_->SetRenderState(D3DRS_STENCILREF, 7);
    FillViewportWithQuad(device_, 0xFF00FF00u);
    ExpectRect(ReadBackBuffer(), kWidth, kHeight, c, 0xFF00FF00u, 0xFF000000u);
    device_->SetRenderState(D3DRS_STENCILENABLE, 0);
    FillViewportWithQuad(device_, 0xFFFFFFFFu);
    ExpectRect(ReadBackBuffer(), kWidth, kHeight, RECT{0, 0, kWidth, kHeight}, 0xFFFFFFFFu, 0);

    // Two-sided stencil: clockwise faces take the stencil states, counter-clockwise ones the
    // CCW_ states (REPLACE then INCR leaves 2); without the mode both take the former.
    const RECT all{0, 0, kWidth, kHeight};
    for (const bool twoSided : {true, false}) {
        SCOPED_TRACE(twoSided ? "two-sided" : "one-sided");
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0xFF000000u, 1.0f, 0), D3D_OK);
        device_->SetRenderState(D3DRS_STENCILENABLE, 1);
        device_->SetRenderState(D3DRS_TWOSIDEDSTENCILMODE, twoSided ? 1 : 0);
        device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
        device_->SetRenderState(D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS);
        device_->SetRenderState(D3DRS_CCW_STENCILPASS, D3DSTENCILOP_INCR);
        device_->SetRenderState(D3DRS_STENCILREF, 1);
        device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
        FillViewportWithQuad(device_, 0xFFFFFFFFu);
        FillViewportWithQuad(device_, 0xFFFFFFFFu, true);
        device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
        device_->SetRenderState(D3DRS_TWOSIDEDSTENCILMODE, 0);
        device_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        device_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
        device_->SetRenderState(D3DRS_STENCILREF, twoSided ? 2 : 1);
        FillViewportWithQuad(device_, 0xFF00FF00u);
        ExpectRect(ReadBackBuffer(), kWidth, kHeight, all, 0xFF00FF00u, 0);
    }
    device_->SetRenderState(D3DRS_STENCILENABLE, 0);
}

DWORD FloatState(float f) {
    DWORD d = 0;
    std::memcpy(&d, &f, sizeof d);
    return d;
}

// Offset = DEPTHBIAS + SLOPESCALEDEPTHBIAS * (the largest depth step per pixel), added to the
// depth each fragment is tested and written with; each row draws over a quad at depth 0.5 (or
// a slope from 0.2 to 0.8) with LESS and checks whether the offset quad passes.
TEST_F(DeviceTest, DepthBiasAndSlopeScaleOffsetTheTestedDepth) {
    const struct {
        float bias, slope, left, right;  // the second quad's states and depths
        bool slopedBase;
        bool passes;
    } rows[] = {
        {0, 0, 0.5f, 0.5f, false, false},          // coplanar: LESS fails
        {-0.01f, 0, 0.5f, 0.5f, false, true},       // pulled in front
        {-0.01f, 0, 0.505f, 0.505f, false, true},   // 0.495 < 0.5
        {-0.01f, 0, 0.515f, 0.515f, false, false},  // 0.505 > 0.5: the bias is in depth units
        {0.01f, 0, 0.495f, 0.495f, false, false},   // pushed behind
        {0, -4, 0.5f, 0.5f, false, false},          // a flat quad has no slope
        {0, -1, 0.2f, 0.8f, true, true},            // sloped: pulled in front by its slope
        {0, -2, 0.2f + 0.6f / kWidth, 0.8f + 0.6f / kWidth, true, true},    // by two steps
        {0, -0.5f, 0.2f + 0.6f / kWidth, 0.8f + 0.6f / kWidth, true, false},  // half a step
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "bias " << r.bias << " slope " << r.slope << " at " << r.left);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0), D3D_OK);
        device_->SetRenderState(D3DRS_ZENABLE, 1);
        device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        FillViewportWithQuad(device_, 0xFF0000FFu, false, r.slopedBase ? 0.2f : 0.5f, r.slopedBase ? 0.8f : 0.5f);
        device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
        device_->SetRenderState(D3DRS_DEPTHBIAS, FloatState(r.bias));
        device_->SetRenderState(D3DRS_SLOPESCALEDEPTHBIAS, FloatState(r.slope));
        FillViewportWithQuad(device_, 0xFF00FF00u, false, r.left, r.right);
        device_->SetRenderState(D3DRS_DEPTHBIAS, 0);
        device_->SetRenderState(D3DRS_SLOPESCALEDEPTHBIAS, 0);
        ExpectRect(ReadBackBuffer(), kWidth, kHeight, RECT{0, 0, kWidth, kHeight},
                   r.passes ? 0xFF00FF00u : 0xFF0000FFu, 0);
    }
    device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
}

// AntialiasedLineEnable: a shallow white line blended over black covers some pixels in part
// (grey) with the state on, and none without it.
TEST_F(DeviceTest, AntialiasedLinesCoverTheirEdgePixelsInPart) {
    struct Vertex {
        float x, y, z;
        D3DCOLOR diffuse;
    };
    const Vertex line[2] = {{-0.9f, -0.5f, 0, 0xFFFFFFFFu}, {0.9f, 0.3f, 0, 0xFFFFFFFFu}};
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(sizeof line, 0, D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DPOOL_MANAGED, &vb, nullptr),
              D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, sizeof line, &data, 0), D3D_OK);
    std::memcpy(data, line, sizeof line);
    vb->Unlock();
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    for (const DWORD smooth : {1u, 0u}) {
        SCOPED_TRACE(smooth ? "antialiased" : "aliased");
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
        device_->SetRenderState(D3DRS_ANTIALIASEDLINEENABLE, smooth);
        device_->SetStreamSource(0, vb, 0, sizeof(Vertex));
        device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_LINELIST, 0, 1), D3D_OK);
        int partial = 0, lit = 0;
        for (const std::uint32_t p : ReadBackBuffer()) {
            const std::uint32_t g = (p >> 8) & 0xFF;
            partial += g > 8 && g < 247;
            lit += g != 0;
        }
        EXPECT_GT(lit, 40);
        if (smooth) EXPECT_GT(partial, 20);
        else EXPECT_EQ(partial, 0);
    }
    device_->SetStreamSource(0, nullptr, 0, 0);
    vb->Release();
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
}

TEST_F(DeviceTest, LockReadsBackOnlyWhenTheBitsAreFetched) {
    IDirect3DSurface9* bb = nullptr;
    device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb);
    device_->ColorFill(bb, nullptr, 0xFF0000FFu);
    D3DLOCKED_RECT lr;
    const auto before = GetPresentInfo().readBacks;
    ASSERT_EQ(bb->LockRect(&lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, kWidth * 4);
    EXPECT_EQ(bb->LockRect(&lr, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
    ASSERT_EQ(bb->UnlockRect(), D3D_OK);
    EXPECT_EQ(GetPresentInfo().readBacks, before);  // nothing fetched: nothing read or written

    // Fetched bits hold the picture, and what is written to them is stored at unlock.
    ASSERT_EQ(bb->LockRect(&lr, nullptr, 0), D3D_OK);
    auto* bits = static_cast<std::uint32_t*>(lr.pBits.Bits());
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(GetPresentInfo().readBacks, before + 1);
    EXPECT_EQ(bits[5], 0xFF0000FFu);
    bits[3 * (lr.Pitch / 4) + 7] = 0xFF00FF00u;
    EXPECT_EQ(lr.pBits.Bits(), bits);  // one read-back per lock
    EXPECT_EQ(GetPresentInfo().readBacks, before + 1);
    ASSERT_EQ(bb->UnlockRect(), D3D_OK);
    EXPECT_EQ(lr.pBits.Bits(), nullptr);  // stale after the unlock
    EXPECT_EQ(bb->UnlockRect(), D3DERR_INVALIDCALL);
    bb->Release();
    const auto px = ReadBackBuffer();
    EXPECT_EQ(px[3 * kWidth + 7], 0xFF00FF00u);
    EXPECT_EQ(px[3 * kWidth + 8], 0xFF0000FFu);
}

TEST_F(DeviceTest, RenderTargetsCannotBeLockedButManagedTexturesCan) {
    IDirect3DTexture9* rt = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device_, 16, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &rt), D3D_OK);
    D3DLOCKED_RECT lr;
    EXPECT_EQ(rt->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
    rt->Release();
    EXPECT_EQ(D3DXCreateTexture(device_, 16, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &rt),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTexture(device_, 0, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &rt), D3DERR_INVALIDCALL);
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device_, 4, 4, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &t), D3D_OK);
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 8);  // two bytes per pixel
    auto* p16 = static_cast<std::uint16_t*>(lr.pBits.Bits());
    p16[0] = 0xF800;  // pure red in R5G6B5
    ASSERT_EQ(t->UnlockRect(0), D3D_OK);
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<std::uint16_t*>(lr.pBits.Bits())[0], 0xF800);
    t->UnlockRect(0);
    t->Release();
}

// ---------------------------------------------------------------------------------------------
// Images and copies
// ---------------------------------------------------------------------------------------------

TEST_F(DeviceTest, PngLoadKeysOpaqueBlackAndRefusesBadFiles) {
    const std::vector<std::uint32_t> src = {0xFF000000u, 0xFFFF0000u, 0x80123456u, 0xFF000001u};
    const auto file = MakePng(src, 2, 2);
    D3DXIMAGE_INFO info;
    ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), static_cast<UINT>(file.size()), &info), D3D_OK);
    EXPECT_EQ(info.Width, 2u);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, file.data(), static_cast<UINT>(file.size()),
                                                  info.Width, info.Height, 1, 0, D3DFMT_A8R8G8B8,
                                                  D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE, D3DX_FILTER_NONE,
                                                  0xFF000000u, &info, nullptr, &t),
              D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* px = static_cast<const std::uint32_t*>(lr.pBits.Bits());
    EXPECT_EQ(px[0], 0x00000000u);  // opaque black became transparent black
    EXPECT_EQ(px[1], 0xFFFF0000u);
    EXPECT_EQ(static_cast<const std::uint32_t*>(static_cast<const void*>(
                  static_cast<const std::uint8_t*>(lr.pBits.Bits()) + lr.Pitch))[0], 0x80123456u);
    t->UnlockRect(0);
    t->Release();

    const struct { const char* what; std::vector<std::uint8_t> bytes; } bad[] = {
        {"empty", {}},
        {"not a png", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}},
        {"truncated", std::vector<std::uint8_t>(file.begin(), file.begin() + file.size() / 2)},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.what);
        EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(b.bytes.data(), static_cast<UINT>(b.bytes.size()), &info),
                  D3DXERR_INVALIDDATA);
        t = reinterpret_cast<IDirect3DTexture9*>(1);
        EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, b.bytes.data(), static_cast<UINT>(b.bytes.size()),
                                                      0, 0, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, 4, 1,
                                                      0xFF000000u, nullptr, nullptr, &t),
                  D3DXERR_INVALIDDATA);
        EXPECT_EQ(t, nullptr);
    }
}

TEST_F(DeviceTest, SurfaceCopiesAndPngRoundTripKeepPixels) {
    IDirect3DSurface9* bb = nullptr;
    device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb);
    device_->ColorFill(bb, nullptr, 0xFF203040u);
    const RECT left{0, 0, 32, 48};
    device_->ColorFill(bb, &left, 0xFFC08010u);
    IDirect3DTexture9* rt = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device_, kWidth, kHeight, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8,
                                D3DPOOL_DEFAULT, &rt), D3D_OK);
    IDirect3DSurface9* level = nullptr;
    rt->GetSurfaceLevel(0, &level);
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(level, nullptr, nullptr, bb, nullptr, nullptr, D3DX_DEFAULT, 0), D3D_OK);
    device_->ColorFill(bb, nullptr, 0u);
    ID3DXBuffer* file = nullptr;
    ASSERT_EQ(D3DXSaveSurfaceToFileInMemory(&file, D3DXIFF_PNG, level, nullptr, nullptr), D3D_OK);
    // Back over the whole back buffer, as the post-processing does.
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(bb, nullptr, nullptr, level, nullptr, nullptr, D3DX_DEFAULT, 0), D3D_OK);
    level->Release();
    rt->Release();
    bb->Release();
    const auto px = ReadBackBuffer();
    EXPECT_EQ(px[0], 0xFFC08010u);
    EXPECT_EQ(px[31], 0xFFC08010u);
    EXPECT_EQ(px[32], 0xFF203040u);
    EXPECT_EQ(px[47 * kWidth + 63], 0xFF203040u);

    image::ImageInfo info;
    std::vector<std::uint32_t> decoded;
    ASSERT_TRUE(image::DecodePng(file->GetBufferPointer(), file->GetBufferSize(), &info, &decoded));
    EXPECT_EQ(info.width, static_cast<std::uint32_t>(kWidth));
    EXPECT_EQ(decoded[0], 0xFFC08010u);
    EXPECT_EQ(decoded[kWidth - 1], 0xFF203040u);
    file->Release();
}

// ---------------------------------------------------------------------------------------------
// Sprites
// ---------------------------------------------------------------------------------------------

class SpriteTest : public DeviceTest {
protected:
    IDirect3DTexture9* LoadTexture(const std::vector<std::uint32_t>& px, int w, int h) {
        const auto file = MakePng(px, w, h);
        IDirect3DTexture9* t = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, file.data(), static_cast<UINT>(file.size()),
                                                      D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, 0,
                                                      D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE,
                                                      D3DX_FILTER_NONE, 0xFF000000u, nullptr, nullptr, &t),
                  D3D_OK);
        return t;
    }
};

TEST_F(SpriteTest, UnscaledSpriteAtIntegerPositionReproducesItsTexels) {
    std::vector<std::uint32_t> src(7 * 5);
    for (std::size_t i = 0; i < src.size(); ++i) {
        src[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x071113u & 0xFFFFFF);
    }
    src[0] = 0xFF000000u;  // keyed: transparent, so the clear colour shows
    IDirect3DTexture9* t = LoadTexture(src, 7, 5);
    ASSERT_NE(t, nullptr);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF404040u, 1.0f, 0);
    ID3DXSprite* sprite = nullptr;
    ASSERT_EQ(D3DXCreateSprite(device_, &sprite), D3D_OK);
    ASSERT_EQ(sprite->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
    D3DXMATRIX m;
    const D3DXVECTOR2 at{11.0f, 6.0f};
    D3DXMatrixTransformation2D(&m, nullptr, 0, nullptr, nullptr, 0, &at);
    sprite->SetTransform(&m);
    ASSERT_EQ(sprite->Draw(t, nullptr, nullptr, nullptr, 0xFFFFFFFFu), D3D_OK);
    // A source rectangle with a centre: its first texel (1, 1) lands on (41, 31) - (1, 1).
    const RECT part{1, 1, 4, 3};
    const D3DXVECTOR3 centre{1.0f, 1.0f, 0.0f};
    const D3DXVECTOR2 at2{41.0f, 31.0f};
    D3DXMatrixTransformation2D(&m, nullptr, 0, nullptr, nullptr, 0, &at2);
    sprite->SetTransform(&m);
    sprite->Draw(t, &part, &centre, nullptr, 0xFFFFFFFFu);
    ASSERT_EQ(sprite->End(), D3D_OK);
    DWORD blend = 1;
    device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    EXPECT_EQ(blend, 0u);  // End put the device state back
    sprite->Release();
    t->Release();
    const auto px = ReadBackBuffer();
    EXPECT_EQ(px[6 * kWidth + 11], 0xFF404040u);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            if (x == 0 && y == 0) continue;
            SCOPED_TRACE(testing::Message() << x << "," << y);
            ASSERT_EQ(px[(6 + y) * kWidth + 11 + x], src[y * 7 + x]);
        }
    }
    EXPECT_EQ(px[5 * kWidth + 11], 0xFF404040u);
    EXPECT_EQ(px[6 * kWidth + 18], 0xFF404040u);
    EXPECT_EQ(px[30 * kWidth + 40], src[1 * 7 + 1]);
    EXPECT_EQ(px[31 * kWidth + 42], src[2 * 7 + 3]);
    EXPECT_EQ(px[30 * kWidth + 39], 0xFF404040u);
    EXPECT_EQ(px[30 * kWidth + 43], 0xFF404040u);
    EXPECT_EQ(px[32 * kWidth + 40], 0xFF404040u);
}

// One-texel columns queued side by side (as a wave scroller draws) may be widened into one
// quad by the batcher; every column must still show exactly its own texels, wherever the
// next column skips a texel, moves a row, changes colour or goes back.
TEST_F(SpriteTest, OneTexelColumnsSideBySideReproduceTheirTexels) {
    constexpr int kW = 9, kH = 4;
    std::vector<std::uint32_t> src(kW * kH);
    for (std::size_t i = 0; i < src.size(); ++i)
        src[i] = 0xFF000000u | static_cast<std::uint32_t>((i + 1) * 0x1D2B37u & 0xFFFFFF);
    IDirect3DTexture9* t = LoadTexture(src, kW, kH);
    ASSERT_NE(t, nullptr);
    struct Column {
        int x, y, texel;
        D3DCOLOR colour;
    };
    const Column columns[] = {
        {20, 10, 0, 0xFFFFFFFFu}, {21, 10, 1, 0xFFFFFFFFu}, {22, 10, 2, 0xFFFFFFFFu},  // a run
        {23, 10, 4, 0xFFFFFFFFu},                                                   // a texel skipped
        {24, 11, 5, 0xFFFFFFFFu}, {25, 11, 6, 0xFFFFFFFFu},                          // a row lower
        {26, 11, 7, 0xFF808080u}, {27, 11, 8, 0xFFFFFFFFu},                          // another colour
        {28, 11, 3, 0xFFFFFFFFu}, {29, 11, 4, 0xFFFFFFFFu},                          // back to texel 3
    };
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    ID3DXSprite* sprite = nullptr;
    ASSERT_EQ(D3DXCreateSprite(device_, &sprite), D3D_OK);
    ASSERT_EQ(sprite->Begin(D3DXSPRITE_ALPHABLEND), D3D_OK);
    for (const Column& c : columns) {
        const RECT part{c.texel, 0, c.texel + 1, kH};
        const D3DXVECTOR3 at{static_cast<float>(c.x), static_cast<float>(c.y), 0.0f};
        sprite->Draw(t, &part, nullptr, &at, c.colour);
    }
    sprite->End();
    sprite->Release();
    t->Release();
    const auto px = ReadBackBuffer();
    for (const Column& c : columns) {
        if (c.colour != 0xFFFFFFFFu) continue;
        for (int y = 0; y < kH; ++y) {
            SCOPED_TRACE(testing::Message() << "column " << c.x << " row " << y);
            EXPECT_EQ(px[(c.y + y) * kWidth + c.x], src[y * kW + c.texel]);
        }
    }
    EXPECT_EQ(px[9 * kWidth + 20], 0xFF000000u);   // above the first run
    EXPECT_EQ(px[14 * kWidth + 20], 0xFF000000u);  // below it
    EXPECT_EQ(px[10 * kWidth + 24], 0xFF000000u);  // above the lower columns
    EXPECT_EQ(px[11 * kWidth + 30], 0xFF000000u);  // right of the last column
    const std::uint32_t grey = px[11 * kWidth + 26];
    EXPECT_NEAR(static_cast<int>((grey >> 8) & 0xFF), ((src[7] >> 8) & 0xFF) / 2, 2);
}

TEST_F(SpriteTest, ScaleAndColourModulateTheQuad) {
    IDirect3DTexture9* t = LoadTexture(std::vector<std::uint32_t>(4, 0xFFFF8040u), 2, 2);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    ID3DXSprite* sprite = nullptr;
    D3DXCreateSprite(device_, &sprite);
    sprite->Begin(D3DXSPRITE_ALPHABLEND);
    D3DXMATRIX m;
    const D3DXVECTOR2 scale{3.0f, 2.0f}, at{4.0f, 4.0f};
    D3DXMatrixTransformation2D(&m, nullptr, 0, &scale, nullptr, 0, &at);
    sprite->SetTransform(&m);
    sprite->Draw(t, nullptr, nullptr, nullptr, 0x80FFFFFFu);  // half alpha over black
    sprite->End();
    sprite->Release();
    t->Release();
    const auto px = ReadBackBuffer();
    const std::uint32_t half = px[4 * kWidth + 4] & 0x00FFFFFFu;
    EXPECT_NEAR(static_cast<int>((half >> 16) & 0xFF), 0x80, 2);
    EXPECT_NEAR(static_cast<int>((half >> 8) & 0xFF), 0x40, 2);
    EXPECT_NE(px[7 * kWidth + 9] & 0xFFFFFF, 0u);   // inside the 6 x 4 quad
    EXPECT_EQ(px[8 * kWidth + 9] & 0xFFFFFF, 0u);   // below it
    EXPECT_EQ(px[7 * kWidth + 10] & 0xFFFFFF, 0u);  // right of it
}

// ---------------------------------------------------------------------------------------------
// Render to surface, vertex buffers, transforms
// ---------------------------------------------------------------------------------------------

TEST_F(DeviceTest, QuadDrawnIntoARenderTargetCopiesItsTextureAndRestoresTheBackBuffer) {
    IDirect3DTexture9* source = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device_, 8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &source), D3D_OK);
    D3DLOCKED_RECT lr;
    source->LockRect(0, &lr, nullptr, 0);
    auto* bits = static_cast<std::uint32_t*>(lr.pBits.Bits());
    for (int i = 0; i < 64; ++i) bits[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 4) << 8 | (i < 8 ? 0xFF : 0);
    source->UnlockRect(0);
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device_, 8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &target), D3D_OK);
    IDirect3DSurface9* level = nullptr;
    target->GetSurfaceLevel(0, &level);
    ID3DXRenderToSurface* rts = nullptr;
    ASSERT_EQ(D3DXCreateRenderToSurface(device_, 8, 8, D3DFMT_X8R8G8B8, 1, D3DFMT_D16, &rts), D3D_OK);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(80, D3DUSAGE_WRITEONLY, 0x102, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    const float quad[20] = {-1, 1, 0, 0, 0, 1, 1, 0, 1, 0, -1, -1, 0, 0, 1, 1, -1, 0, 1, 1};
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 80, &data, 0), D3D_OK);
    std::memcpy(data, quad, 80);
    vb->Unlock();
    EXPECT_EQ(vb->Lock(0, 81, &data, 0), D3DERR_INVALIDCALL);

    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF112233u, 1.0f, 0);
    ASSERT_EQ(rts->BeginScene(level, nullptr), D3D_OK);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device_->SetTexture(0, source);
    device_->SetStreamSource(0, vb, 0, 20);
    device_->SetFVF(0x102);
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 3), D3DERR_INVALIDCALL);  // past the end
    ASSERT_EQ(rts->EndScene(0), D3D_OK);
    device_->SetTexture(0, nullptr);

    IDirect3DSurface9* bb = nullptr;
    device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb);
    const RECT dst{0, 0, 8, 8};
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(bb, nullptr, &dst, level, nullptr, nullptr, D3DX_FILTER_NONE, 0), D3D_OK);
    bb->Release();
    const auto px = ReadBackBuffer();
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            ASSERT_EQ(px[y * kWidth + x], 0xFF000000u | static_cast<std::uint32_t>((y * 8 + x) * 4) << 8 | (y == 0 ? 0xFF : 0));
        }
    }
    EXPECT_EQ(px[8 * kWidth + 8], 0xFF112233u);  // the back buffer was the target again
    vb->Release();
    rts->Release();
    level->Release();
    target->Release();
    source->Release();
}

TEST(GfxMath, Transformation2DScalesThenTranslatesAndTransformCoordDivides) {
    D3DXMATRIX m;
    const D3DXVECTOR2 scale{2.0f, 3.0f}, move{10.0f, 20.0f}, centre{1.0f, 1.0f};
    D3DXMatrixTransformation2D(&m, nullptr, 0.0f, &scale, nullptr, 0.0f, &move);
    D3DXVECTOR3 out;
    const D3DXVECTOR3 p{1.0f, 1.0f, 0.5f};
    D3DXVec3TransformCoord(&out, &p, &m);
    EXPECT_FLOAT_EQ(out.x, 12.0f);
    EXPECT_FLOAT_EQ(out.y, 23.0f);
    EXPECT_FLOAT_EQ(out.z, 0.5f);
    D3DXMatrixTransformation2D(&m, &centre, 0.0f, &scale, nullptr, 0.0f, nullptr);
    D3DXVec3TransformCoord(&out, &p, &m);  // the scaling centre stays put
    EXPECT_FLOAT_EQ(out.x, 1.0f);
    EXPECT_FLOAT_EQ(out.y, 1.0f);
    D3DXMATRIX proj;
    D3DXMatrixIdentity(&proj);
    proj.m[2][3] = 1.0f;  // w = z
    proj.m[3][3] = 0.0f;
    const D3DXVECTOR3 q{4.0f, 8.0f, 2.0f};
    D3DXVec3TransformCoord(&out, &q, &proj);
    EXPECT_FLOAT_EQ(out.x, 2.0f);
    EXPECT_FLOAT_EQ(out.z, 1.0f);
}

// ---------------------------------------------------------------------------------------------
// Presentation, loss and reset
// ---------------------------------------------------------------------------------------------

TEST_F(DeviceTest, InjectedPresentFailureLosesTheDeviceUntilAResetSucceeds) {
    ASSERT_EQ(device_->Present(nullptr, nullptr, {}, nullptr), D3D_OK);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    InjectPresentFailures(1, D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Present(nullptr, nullptr, {}, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Present(nullptr, nullptr, {}, nullptr), D3DERR_DEVICELOST);  // stays lost
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    InjectResetFailures(2);
    D3DPRESENT_PARAMETERS p = params_;
    EXPECT_EQ(device_->Reset(&p), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Reset(&p), D3DERR_DEVICELOST);
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    EXPECT_EQ(p.BackBufferWidth, static_cast<UINT>(kWidth));
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    DWORD blend = 1;
    device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    EXPECT_EQ(blend, 0u);  // states are back at their defaults
    EXPECT_EQ(device_->Present(nullptr, nullptr, {}, nullptr), D3D_OK);
    // Drawing works again after the reset.
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
    EXPECT_EQ(ReadBackBuffer()[0], 0xFF00FF00u);
}

TEST_F(DeviceTest, PacedPresentRunsNoFasterThanTheRefreshRate) {
    const PresentInfo info = GetPresentInfo();
    ASSERT_GT(info.refreshRateHz, 0);
    SetPresentPacing(true);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 11; ++i) device_->Present(nullptr, nullptr, {}, nullptr);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Ten periods at least, minus a little scheduling slack (an unpaced loop takes ~5 ms).
    EXPECT_GT(seconds, 9.5 / info.refreshRateHz);
}

}  // namespace
}  // namespace gfxtest
