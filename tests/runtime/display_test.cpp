// tests/runtime/display_test.cpp: the display library's start-up on a real X server.
#include <gtest/gtest.h>

#include "runtime/display.h"
#include "runtime/heap.h"

namespace {

TEST(DisplayLibrary, FindsTheDesktopModeAndMakesItsTable) {
    ASSERT_TRUE(runtime::CreateRuntimeHeap());
    runtime::StartDisplayLibrary();
    // A 24-bit desktop is an X8R8G8B8 mode: one mode, and the table of 64 display surfaces.
    EXPECT_EQ(runtime::DisplayModeCount(), 1);
    runtime::ObjectTable* table = runtime::DisplayTable();
    ASSERT_NE(table, nullptr);
    EXPECT_NE(runtime::AllocateObject(table, 63), nullptr);
    EXPECT_EQ(runtime::LookupObject(table, 63), nullptr);  // not live until it holds a surface
    // A second start changes nothing.
    runtime::StartDisplayLibrary();
    EXPECT_EQ(runtime::DisplayTable(), table);
}

}  // namespace
