// tests/engine_support/engine_fixture.h: the engine on an 800 x 600 window, made once per test
// binary, with empty draw queues at the start and end of every test, and the picture read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/gfx/gfx.h"

namespace testsupport {

class EngineFixture : public ::testing::Test {
protected:
    static constexpr int kScreenWidth = 800;
    static constexpr int kScreenHeight = 600;

    // Attaches the engine to a window titled "title" on the first call of the binary.
    static void AttachOnce(const char* title);
    static bool Attached();

    // Every test starts with the engine attached, empty sprite and box queues and no stored
    // engine error; the queues are emptied again after it.
    void SetUp() override;
    void TearDown() override;

    static platform::gfx::IDirect3DDevice9* Device();

    // Fills "rect" of the back buffer (null: all of it) with "argb".
    static void FillBackBuffer(const platform::gfx::RECT* rect, std::uint32_t argb);
    // The back buffer as 0x00RRGGBB words, row by row (a test failure when it cannot be read).
    static std::vector<std::uint32_t> ReadBackBuffer();
    static std::uint32_t At(const std::vector<std::uint32_t>& pixels, int x, int y) {
        return pixels[static_cast<std::size_t>(y) * kScreenWidth + x];
    }
};

}  // namespace testsupport
