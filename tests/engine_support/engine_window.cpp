// tests/engine_support/engine_window.cpp: the engine attached to a visible test window.
#include "tests/engine_support/engine_window.h"

#include <gtest/gtest.h>

#include "engine/engine.h"
#include "runtime/heap.h"
#include "tests/gfx_support/test_window.h"

namespace testsupport {

void AttachEngineToTestWindow(const char* title, int width, int height) {
    ASSERT_TRUE(runtime::CreateRuntimeHeap());
    engine::InitEngineTables();
    const platform::window::WindowHandle window =
        MakeTestWindow({.title = title, .width = width, .height = height});
    ASSERT_TRUE(window);
    ASSERT_EQ(engine::AttachEngineToWindow(window), 1);
    ASSERT_EQ(engine::ScreenWidth(), width);
    ASSERT_EQ(engine::ScreenHeight(), height);
}

}  // namespace testsupport
