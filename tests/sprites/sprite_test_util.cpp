// tests/sprites/sprite_test_util.cpp: the engine fixture of the sprite tests.
#include "tests/sprites/sprite_test_util.h"

#include <algorithm>

#include "engine/state_internal.h"
#include "platform/gfx/image_png.h"

namespace sprites_test {

using engine::deviceState;
using engine::frameClock;
using engine::engineLists;

std::vector<std::uint8_t> MakePng(int width, int height, const std::vector<std::uint32_t>& argb) {
    std::vector<std::uint8_t> file;
    platform::gfx::image::EncodePng(argb.data(), static_cast<std::uint32_t>(width),
                                    static_cast<std::uint32_t>(height), true, &file);
    return file;
}

std::vector<std::uint8_t> SolidPng(int width, int height, std::uint32_t argb) {
    return MakePng(width, height, std::vector<std::uint32_t>(static_cast<size_t>(width) * height, argb));
}

void EngineTest::SetUpTestSuite() { AttachOnce("SpriteTestClass"); }

void EngineTest::SetUp() {
    EngineFixture::SetUp();
    frameClock.frameSeconds = 1.0f / 60.0f;
}

void EngineTest::TearDown() {
    for (engine::Sprite* s : sprites_) engine::DestroySprite(s);
    sprites_.clear();
    EngineFixture::TearDown();
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

std::vector<engine::SpriteDrawCommand> EngineTest::QueuedCommands() {
    std::vector<engine::SpriteDrawCommand> out;
    engineLists.spriteDrawQueue.ForEach([&](const engine::SpriteDrawCommand& c) { out.push_back(c); });
    return out;
}

}  // namespace sprites_test
