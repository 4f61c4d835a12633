// tests/engine_support/engine_fixture.cpp: the engine fixture shared by the sprite, box,
// scroller, effect and render-texture tests.
#include "tests/engine_support/engine_fixture.h"

#include "engine/state_internal.h"
#include "tests/engine_support/engine_window.h"
#include "tests/gfx_support/back_buffer.h"

namespace testsupport {

namespace gfx = platform::gfx;

namespace {

bool attached = false;

void EmptyQueues() {
    engine::engineLists.spriteDrawQueue.Empty();
    engine::engineLists.boxQueue.Empty();
}

}  // namespace

void EngineFixture::AttachOnce(const char* title) {
    if (attached) return;
    AttachEngineToTestWindow(title, kScreenWidth, kScreenHeight);
    if (::testing::Test::HasFatalFailure()) return;
    attached = true;
}

bool EngineFixture::Attached() { return attached; }

void EngineFixture::SetUp() {
    ASSERT_TRUE(attached);
    EmptyQueues();
    engine::deviceState.lastError = 0;
}

void EngineFixture::TearDown() {
    if (attached) EmptyQueues();
}

gfx::IDirect3DDevice9* EngineFixture::Device() { return engine::deviceState.device; }

void EngineFixture::FillBackBuffer(const gfx::RECT* rect, std::uint32_t argb) {
    gfx::IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(Device()->GetBackBuffer(0, 0, gfx::D3DBACKBUFFER_TYPE_MONO, &back), gfx::D3D_OK);
    EXPECT_EQ(Device()->ColorFill(back, rect, argb), gfx::D3D_OK);
    back->Release();
}

std::vector<std::uint32_t> EngineFixture::ReadBackBuffer() {
    std::vector<std::uint32_t> pixels = ReadBackBufferRgb(Device());
    if (pixels.size() != static_cast<std::size_t>(kScreenWidth) * kScreenHeight) {
        ADD_FAILURE() << "the back buffer could not be read";
        pixels.assign(static_cast<std::size_t>(kScreenWidth) * kScreenHeight, 0);
    }
    return pixels;
}

}  // namespace testsupport
