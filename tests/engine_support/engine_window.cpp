// tests/engine_support/engine_window.cpp: the engine attached to a visible test window.
#include "tests/engine_support/engine_window.h"

#include <gtest/gtest.h>

#include "engine/engine.h"
#include "platform/window/window.h"
#include "runtime/heap.h"

namespace testsupport {

namespace win = platform::window;

namespace {

win::LResult TestProc(win::WindowHandle w, std::uint32_t m, win::WParam wp, win::LParam lp) {
    return win::DefWindowProc(w, m, wp, lp);
}

}  // namespace

void AttachEngineToTestWindow(const char* className, int width, int height) {
    ASSERT_TRUE(runtime::CreateRuntimeHeap());
    engine::InitEngineTables();
    win::ClassDesc c;
    c.name = className;
    c.proc = TestProc;
    ASSERT_TRUE(win::RegisterClass(c));
    win::WindowDesc d;
    d.className = className;
    d.title = className;
    d.style = win::WS_POPUP | win::WS_VISIBLE;
    d.x = 0;
    d.y = 0;
    d.width = width;
    d.height = height;
    const win::WindowHandle window = win::CreateWindow(d);
    ASSERT_TRUE(window);
    ASSERT_EQ(engine::AttachEngineToWindow(window), 1);
    ASSERT_EQ(engine::ScreenWidth(), width);
    ASSERT_EQ(engine::ScreenHeight(), height);
}

}  // namespace testsupport
