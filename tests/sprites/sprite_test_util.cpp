// tests/sprites/sprite_test_util.cpp: the engine fixture of the sprite tests.
#include "tests/sprites/sprite_test_util.h"

#include <algorithm>

#include "engine/state_internal.h"
#include "platform/gfx/image_png.h"
#include "platform/window/window.h"
#include "runtime/heap.h"
#include "runtime/list.h"
#include "tests/engine_support/engine_window.h"

namespace sprites_test {

namespace win = platform::window;
using engine::deviceState;
using engine::frameClock;
using engine::engineLists;

namespace {

bool engineReady = false;

}  // namespace

std::vector<std::uint8_t> MakePng(int width, int height, const std::vector<std::uint32_t>& argb) {
    std::vector<std::uint8_t> file;
    platform::gfx::image::EncodePng(argb.data(), static_cast<std::uint32_t>(width),
                                    static_cast<std::uint32_t>(height), true, &file);
    return file;
}

std::vector<std::uint8_t> SolidPng(int width, int height, std::uint32_t argb) {
    return MakePng(width, height, std::vector<std::uint32_t>(static_cast<size_t>(width) * height, argb));
}

void EngineTest::SetUpTestSuite() {
    if (engineReady) return;
    testsupport::AttachEngineToTestWindow("SpriteTestClass", kScreenWidth, kScreenHeight);
    if (::testing::Test::HasFatalFailure()) return;
    engineReady = true;
}

void EngineTest::SetUp() {
    ASSERT_TRUE(engineReady);
    engineLists.spriteDrawQueue.Empty();
    engineLists.boxQueue.Empty();
    frameClock.frameSeconds = 1.0f / 60.0f;
    deviceState.lastError = 0;
}

void EngineTest::TearDown() {
    for (engine::Sprite* s : sprites_) engine::DestroySprite(s);
    sprites_.clear();
    if (!engineReady) return;
    engineLists.spriteDrawQueue.Empty();
    engineLists.boxQueue.Empty();
}

engine::Sprite* EngineTest::MakeSprite(const std::vector<std::uint8_t>& png) {
    engine::Sprite* s =
        engine::CreateSpriteFromMemory(png.data(), static_cast<std::uint32_t>(png.size()));
    EXPECT_NE(s, nullptr);
    if (s != nullptr) sprites_.push_back(s);
    return s;
}

engine::Sprite* EngineTest::MakeSolidSprite(int width, int height, std::uint32_t argb) {
    return MakeSprite(SolidPng(width, height, argb));
}

void EngineTest::DrawFrame(std::uint32_t clear) {
    gfx::IDirect3DDevice9* device = deviceState.device;
    device->Clear(0, nullptr, gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, clear, 1.0f, 0);
    device->BeginScene();
    engine::FlushAllSprites();
    engine::FlushBoxQueue(nullptr, deviceState.screenWidth, deviceState.screenHeight);
    device->EndScene();
}

std::vector<std::uint32_t> EngineTest::ReadBackBuffer() {
    std::vector<std::uint32_t> out;
    gfx::IDirect3DSurface9* back = nullptr;
    if (gfx::Failed(deviceState.device->GetBackBuffer(0, 0, gfx::D3DBACKBUFFER_TYPE_MONO, &back))) {
        ADD_FAILURE() << "no back buffer";
        return out;
    }
    gfx::D3DLOCKED_RECT lr;
    if (back->LockRect(&lr, nullptr, gfx::D3DLOCK_READONLY) == gfx::D3D_OK) {
        const auto* bits = static_cast<const std::uint8_t*>(lr.pBits.Bits());
        for (int y = 0; y < kScreenHeight; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(bits + y * lr.Pitch);
            for (int x = 0; x < kScreenWidth; ++x) out.push_back(row[x] & 0xFFFFFFu);
        }
        back->UnlockRect();
    } else {
        ADD_FAILURE() << "back buffer not lockable";
    }
    back->Release();
    return out;
}

std::vector<engine::SpriteDrawCommand> EngineTest::QueuedCommands() {
    std::vector<engine::SpriteDrawCommand> out;
    engineLists.spriteDrawQueue.ForEach([&](const engine::SpriteDrawCommand& c) { out.push_back(c); });
    return out;
}

}  // namespace sprites_test
