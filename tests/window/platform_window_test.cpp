// tests/window/platform_window_test.cpp: the window layer on a real X server (Xvfb).
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/sys/sys.h"
#include "platform/window/gl_surface.h"
#include "platform/window/window.h"
#include "platform/window/window_testing.h"
#include "tests/window/window_test_util.h"
#include "tests/window/xtest_helper.h"

namespace {

namespace pw = platform::window;
using pw::WindowHandle;
using testsupport::PumpMessages;
using testsupport::PumpUntil;
using testsupport::XWindowOf;

// Every message a window of the test class receives, with what the procedure answered.
struct Seen {
    WindowHandle window;
    std::uint32_t message;
    pw::WParam wParam;
    pw::LParam lParam;
};
std::vector<Seen> seen;

// Test switches read by the procedure.
bool refuseCreate = false;
bool startDragOnPress = false;

pw::LResult RecordingProc(WindowHandle w, std::uint32_t msg, pw::WParam wp, pw::LParam lp) {
    seen.push_back(Seen{w, msg, wp, lp});
    if (msg == pw::WM_CREATE && refuseCreate) return -1;
    if (msg == pw::WM_LBUTTONDOWN && startDragOnPress)
        pw::SendMessage(w, pw::WM_NCLBUTTONDOWN, pw::HTCAPTION, 0);
    return pw::DefWindowProc(w, msg, wp, lp);
}

int CountSeen(WindowHandle w, std::uint32_t msg) {
    int n = 0;
    for (const Seen& s : seen)
        if (s.window == w && s.message == msg) ++n;
    return n;
}

class PlatformWindow : public ::testing::Test {
protected:
    void SetUp() override {
        seen.clear();
        refuseCreate = false;
        startDragOnPress = false;
        ASSERT_TRUE(pw::RegisterClass({.name = "TestClass", .style = pw::CS_DBLCLKS,
                                       .proc = RecordingProc}));
    }
    void TearDown() override {
        for (WindowHandle w : made_) pw::DestroyWindow(w);
        pw::UnregisterClass("TestClass");
    }
    WindowHandle Make(int x, int y, int w, int h, std::uint32_t style = pw::WS_POPUP) {
        const WindowHandle handle = pw::CreateWindow(
            {.className = "TestClass", .title = "test", .style = style, .x = x, .y = y,
             .width = w, .height = h});
        if (handle) made_.push_back(handle);
        return handle;
    }
    std::vector<WindowHandle> made_;
};

// ---------------------------------------------------------------------------------------------
// Classes, properties, registered messages: no window system needed
// ---------------------------------------------------------------------------------------------

pw::LResult NullProc(WindowHandle w, std::uint32_t m, pw::WParam wp, pw::LParam lp) {
    return pw::DefWindowProc(w, m, wp, lp);
}

TEST(WindowClasses, RegistrationRules) {
    EXPECT_TRUE(pw::RegisterClass({.name = "WindowClass_0", .proc = NullProc}));
    EXPECT_FALSE(pw::RegisterClass({.name = "windowclass_0", .proc = NullProc}))
        << "names compare without case";
    EXPECT_FALSE(pw::RegisterClass({.name = "", .proc = NullProc}));
    EXPECT_FALSE(pw::RegisterClass({.name = nullptr, .proc = NullProc}));
    EXPECT_FALSE(pw::RegisterClass({.name = "NoProc"}));
    EXPECT_TRUE(pw::UnregisterClass("WINDOWCLASS_0"));
    EXPECT_FALSE(pw::UnregisterClass("WindowClass_0")) << "already gone";
    EXPECT_TRUE(pw::RegisterClass({.name = "WindowClass_0", .proc = NullProc}));
    EXPECT_TRUE(pw::UnregisterClass("WindowClass_0"));
}

TEST(WindowMessages, RegisteredNumbersAreStablePerName) {
    const std::uint32_t a = pw::RegisterWindowMessage("RK_PostEventMessage");
    const std::uint32_t b = pw::RegisterWindowMessage("SomethingElse");
    EXPECT_GE(a, 0xC000u);
    EXPECT_LE(a, 0xFFFFu);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, pw::RegisterWindowMessage("rk_posteventmessage"));
    EXPECT_EQ(0u, pw::RegisterWindowMessage(""));
    EXPECT_EQ(0u, pw::RegisterWindowMessage(nullptr));

    // Threads registering the same name at once all get one number.
    std::vector<std::thread> threads;
    std::atomic<std::uint32_t> numbers[8];
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&numbers, i] { numbers[i] = pw::RegisterWindowMessage("Race"); });
    for (auto& t : threads) t.join();
    for (auto& n : numbers) EXPECT_EQ(numbers[0].load(), n.load());
}

TEST(WindowBrushes, ColoursOfSolidStockAndSystemBrushes) {
    const pw::BrushHandle red = pw::CreateSolidBrush(0x0000FF);
    EXPECT_EQ(0x0000FF, pw::BrushColour(red));
    EXPECT_EQ(0x000000, pw::BrushColour(pw::GetStockObject(pw::BLACK_BRUSH)));
    EXPECT_EQ(-1, pw::BrushColour(pw::GetStockObject(pw::NULL_BRUSH)));
    EXPECT_EQ(0xF0F0F0, pw::BrushColour(pw::BrushHandle{pw::COLOR_BTNFACE + 1}));
    EXPECT_FALSE(pw::GetStockObject(99));
    EXPECT_TRUE(pw::DeleteObject(red));
    EXPECT_EQ(-1, pw::BrushColour(red)) << "a deleted brush has no colour";
    EXPECT_FALSE(pw::DeleteObject(red));
}

TEST(WindowMessageBox, HookAnswersInsteadOfTheBox) {
    static std::string text, caption;
    auto hook = [](WindowHandle, const char* t, const char* c, std::uint32_t) {
        text = t;
        caption = c;
        return pw::IDOK;
    };
    EXPECT_EQ(nullptr, pw::SetMessageBoxHook(hook));
    EXPECT_EQ(pw::IDOK, pw::MessageBox(WindowHandle{}, "line 1\nline 2", "Error CreateEffect!",
                                       pw::MB_OK));
    EXPECT_EQ("line 1\nline 2", text);
    EXPECT_EQ("Error CreateEffect!", caption);
    EXPECT_EQ(pw::IDOK, pw::MessageBox(WindowHandle{}, nullptr, nullptr, pw::MB_OK));
    EXPECT_EQ("", text) << "null texts arrive as empty texts";
    EXPECT_EQ(+hook, pw::SetMessageBoxHook(nullptr));
}

// ---------------------------------------------------------------------------------------------
// Windows on the X server
// ---------------------------------------------------------------------------------------------

TEST_F(PlatformWindow, LifecycleMessagesAndDeadHandles) {
    const WindowHandle w = Make(10, 10, 64, 48);
    ASSERT_TRUE(w);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(pw::WM_GETMINMAXINFO, seen[0].message);
    EXPECT_EQ(pw::WM_NCCREATE, seen[1].message);
    EXPECT_EQ(pw::WM_CREATE, seen[2].message);
    EXPECT_STREQ("TestClass", pw::GetClassName(w));
    EXPECT_FALSE(pw::UnregisterClass("TestClass")) << "a class in use stays";

    EXPECT_TRUE(pw::SetProp(w, "RK_WindowID", 1));
    EXPECT_EQ(1, pw::GetProp(w, "rk_windowid"));
    EXPECT_EQ(1, pw::RemoveProp(w, "RK_WindowID"));
    EXPECT_EQ(0, pw::GetProp(w, "RK_WindowID"));
    EXPECT_TRUE(pw::SetProp(w, "RK_Focus", 7));

    seen.clear();
    EXPECT_TRUE(pw::DestroyWindow(w));
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(pw::WM_DESTROY, seen[0].message);
    EXPECT_EQ(pw::WM_NCDESTROY, seen[1].message);

    // Everything refuses the dead handle and changes nothing.
    seen.clear();
    EXPECT_FALSE(pw::IsWindow(w));
    EXPECT_FALSE(pw::DestroyWindow(w));
    EXPECT_EQ(0, pw::SendMessage(w, pw::WM_USER, 0, 0));
    EXPECT_FALSE(pw::PostMessage(w, pw::WM_USER, 0, 0));
    EXPECT_FALSE(pw::SetProp(w, "RK_Focus", 1));
    EXPECT_EQ(0, pw::GetProp(w, "RK_Focus")) << "properties go with the window";
    pw::Rect r;
    EXPECT_FALSE(pw::GetWindowRect(w, &r));
    EXPECT_FALSE(pw::ShowWindow(w, pw::SW_SHOW));
    EXPECT_FALSE(pw::AnimateWindow(w, 10, pw::AW_BLEND));
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(pw::UnregisterClass("TestClass"));
    EXPECT_TRUE(pw::RegisterClass({.name = "TestClass", .proc = RecordingProc}));
}

TEST_F(PlatformWindow, RefusedCreationLeavesNothing) {
    refuseCreate = true;
    EXPECT_FALSE(Make(0, 0, 32, 32));
    EXPECT_EQ(1, CountSeen(seen.back().window, pw::WM_NCDESTROY));
    EXPECT_FALSE(pw::IsWindow(seen.back().window));
    refuseCreate = false;

    const struct { const char* name; pw::WindowDesc desc; } rows[] = {
        {"unknown class", {.className = "Nope", .width = 10, .height = 10}},
        {"zero width", {.className = "TestClass", .width = 0, .height = 10}},
        {"child window", {.className = "TestClass", .style = pw::WS_CHILD, .width = 10,
                          .height = 10}},
        {"dead parent", {.className = "TestClass", .width = 10, .height = 10,
                         .parent = WindowHandle{999999}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(pw::CreateWindow(row.desc));
    }
}

TEST_F(PlatformWindow, HiddenBorderlessGeometry) {
    ASSERT_EQ(1280, pw::GetSystemMetrics(pw::SM_CXSCREEN));
    ASSERT_EQ(1024, pw::GetSystemMetrics(pw::SM_CYSCREEN));
    const WindowHandle w = Make(0, 0, 800, 600);
    ASSERT_TRUE(w);
    EXPECT_FALSE(pw::IsWindowVisible(w));

    seen.clear();
    ASSERT_TRUE(pw::SetWindowPos(w, WindowHandle{}, 240, 212, 0, 0,
                                 pw::SWP_NOSIZE | pw::SWP_NOZORDER | pw::SWP_NOACTIVATE));
    ASSERT_EQ(1, CountSeen(w, pw::WM_MOVE)) << "a move reports itself at once";
    EXPECT_EQ(pw::MakeLParam(240, 212), seen.back().lParam);

    pw::Rect outer, client;
    ASSERT_TRUE(pw::GetWindowRect(w, &outer));
    ASSERT_TRUE(pw::GetClientRect(w, &client));
    EXPECT_EQ(240, outer.left);
    EXPECT_EQ(212, outer.top);
    EXPECT_EQ(1040, outer.right);
    EXPECT_EQ(812, outer.bottom);
    EXPECT_EQ(800, client.right);
    EXPECT_EQ(600, client.bottom);
    pw::Rect adjusted{0, 0, 800, 600};
    ASSERT_TRUE(pw::AdjustWindowRectEx(&adjusted, pw::WS_POPUP, false, 0));
    EXPECT_EQ(800, adjusted.right - adjusted.left) << "a popup's outer size is its client size";

    // The X server agrees once the window is shown: no frame, same place and size.
    pw::ShowWindow(w, pw::SW_SHOWNORMAL);
    PumpMessages(100);
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(testsupport::XWindowGeometry(XWindowOf(w), &x, &y, &width, &height));
    EXPECT_EQ(240, x);
    EXPECT_EQ(212, y);
    EXPECT_EQ(800, width);
    EXPECT_EQ(600, height);
    char className[64] = {};
    ASSERT_TRUE(testsupport::XWindowClassName(XWindowOf(w), className, sizeof className));
    EXPECT_STREQ("TestClass", className);

    pw::Point p{250, 222};
    ASSERT_TRUE(pw::ScreenToClient(w, &p));
    EXPECT_EQ(10, p.x);
    EXPECT_EQ(10, p.y);
    ASSERT_TRUE(pw::ClientToScreen(w, &p));
    EXPECT_EQ(250, p.x);
}

TEST_F(PlatformWindow, ShowHideSendsShowWindow) {
    const WindowHandle w = Make(0, 0, 50, 50);
    ASSERT_TRUE(w);
    seen.clear();
    EXPECT_FALSE(pw::ShowWindow(w, pw::SW_SHOWNA)) << "was hidden";
    EXPECT_TRUE(pw::IsWindowVisible(w));
    EXPECT_TRUE(pw::ShowWindow(w, pw::SW_SHOWNA)) << "was visible";
    EXPECT_TRUE(pw::ShowWindow(w, pw::SW_HIDE));
    EXPECT_FALSE(pw::IsWindowVisible(w));
    ASSERT_EQ(2, CountSeen(w, pw::WM_SHOWWINDOW));
}

// ---------------------------------------------------------------------------------------------
// The queue
// ---------------------------------------------------------------------------------------------

TEST_F(PlatformWindow, PeekWhenIdleReturnsAtOnceAndWaitTimesOut) {
    const WindowHandle w = Make(0, 0, 40, 40);
    ASSERT_TRUE(w);
    PumpMessages(50);
    pw::Message m;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(pw::PeekMessage(&m, WindowHandle{}, 0, 0, pw::PM_REMOVE));
    const auto t1 = std::chrono::steady_clock::now();
    using Ms = std::chrono::duration<double, std::milli>;
    EXPECT_LT(Ms(t1 - t0).count(), 50.0);
    EXPECT_FALSE(pw::WaitMessage(60));
    const auto t2 = std::chrono::steady_clock::now();
    EXPECT_GE(Ms(t2 - t1).count(), 55.0);
}

TEST_F(PlatformWindow, PostedMessagesFromThreadsArriveInOrderAndWakeTheWait) {
    const WindowHandle w = Make(0, 0, 40, 40);
    ASSERT_TRUE(w);
    PumpMessages(50);
    std::thread poster([w] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        for (int i = 0; i < 100; ++i) pw::PostMessage(w, pw::WM_USER + 1, i, -i);
    });
    std::vector<int> order;
    pw::Message m;
    while (order.size() < 100) {
        ASSERT_TRUE(pw::GetMessage(&m, WindowHandle{}, 0, 0));
        if (m.message != pw::WM_USER + 1) {
            pw::DispatchMessage(&m);
            continue;
        }
        EXPECT_EQ(w, m.window);
        EXPECT_EQ(-static_cast<pw::LParam>(m.wParam), m.lParam);
        order.push_back(static_cast<int>(m.wParam));
        pw::DispatchMessage(&m);
    }
    poster.join();
    for (int i = 0; i < 100; ++i) ASSERT_EQ(i, order[i]);
    EXPECT_EQ(100, CountSeen(w, pw::WM_USER + 1));
}

TEST_F(PlatformWindow, FilterAndNoRemoveLeaveOtherMessagesQueued) {
    const WindowHandle a = Make(0, 0, 40, 40), b = Make(50, 0, 40, 40);
    ASSERT_TRUE(a && b);
    PumpMessages(50);
    ASSERT_TRUE(pw::PostMessage(a, pw::WM_USER, 1, 0));
    ASSERT_TRUE(pw::PostMessage(b, pw::WM_USER, 2, 0));
    ASSERT_TRUE(pw::PostMessage(WindowHandle{}, pw::WM_APP, 3, 0));
    pw::Message m;
    ASSERT_TRUE(pw::PeekMessage(&m, b, 0, 0, pw::PM_REMOVE));
    EXPECT_EQ(2u, m.wParam);
    ASSERT_TRUE(pw::PeekMessage(&m, WindowHandle{}, pw::WM_APP, pw::WM_APP, pw::PM_NOREMOVE));
    EXPECT_EQ(3u, m.wParam);
    EXPECT_FALSE(m.window) << "a thread message has no window";
    EXPECT_EQ(0, pw::DispatchMessage(&m));
    ASSERT_TRUE(pw::PeekMessage(&m, WindowHandle{}, 0, 0, pw::PM_REMOVE));
    EXPECT_EQ(1u, m.wParam);
    ASSERT_TRUE(pw::PeekMessage(&m, WindowHandle{}, 0, 0, pw::PM_REMOVE));
    EXPECT_EQ(3u, m.wParam);
}

TEST_F(PlatformWindow, DestroyDropsQueuedMessagesOfTheWindow) {
    const WindowHandle w = Make(0, 0, 40, 40);
    ASSERT_TRUE(w);
    PumpMessages(50);
    ASSERT_TRUE(pw::PostMessage(w, pw::WM_USER, 0, 0));
    pw::Message m;
    ASSERT_TRUE(pw::PeekMessage(&m, w, 0, 0, pw::PM_NOREMOVE));  // now in the queue
    pw::DestroyWindow(w);
    EXPECT_FALSE(pw::PeekMessage(&m, w, 0, 0, pw::PM_REMOVE));
}

// ---------------------------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------------------------

TEST_F(PlatformWindow, BackgroundIsPaintedOnFirstShow) {
    pw::UnregisterClass("TestClass");
    const pw::BrushHandle red = pw::CreateSolidBrush(0x0000FF);  // 0x00BBGGRR
    ASSERT_TRUE(pw::RegisterClass({.name = "TestClass", .proc = RecordingProc,
                                   .background = red}));
    const WindowHandle w = Make(100, 100, 64, 64);
    ASSERT_TRUE(w);
    pw::ShowWindow(w, pw::SW_SHOWNA);
    ASSERT_TRUE(pw::UpdateWindow(w));
    EXPECT_EQ(1, CountSeen(w, pw::WM_ERASEBKGND));
    std::uint32_t rgb = 0;
    ASSERT_TRUE(testsupport::XWindowPixel(XWindowOf(w), 10, 10, &rgb));
    EXPECT_EQ(0xFF0000u, rgb);

    // Painted windows produce no further WM_PAINT until invalidated again.
    PumpMessages(50);
    const int paints = CountSeen(w, pw::WM_PAINT);
    PumpMessages(50);
    EXPECT_EQ(paints, CountSeen(w, pw::WM_PAINT));
    pw::RedrawWindow(w, pw::RDW_INVALIDATE | pw::RDW_ERASE | pw::RDW_INTERNALPAINT);
    PumpMessages(30);
    EXPECT_EQ(paints + 1, CountSeen(w, pw::WM_PAINT));
}

// ---------------------------------------------------------------------------------------------
// Blend animation
// ---------------------------------------------------------------------------------------------

TEST_F(PlatformWindow, BlendFadesInAndOutOverTheDuration) {
    const WindowHandle w = Make(0, 0, 80, 60);
    ASSERT_TRUE(w);
    EXPECT_FALSE(pw::AnimateWindow(w, 800, pw::AW_HIDE | pw::AW_BLEND)) << "already hidden";
    EXPECT_FALSE(pw::AnimateWindow(w, 800, 0)) << "only the blend is offered";

    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(pw::AnimateWindow(w, 800, pw::AW_BLEND));
    const double inMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_TRUE(pw::IsWindowVisible(w));
    const pw::FadeRecord in = pw::LastFade();
    EXPECT_GE(inMs, 800.0);
    EXPECT_LT(inMs, 1100.0) << "blocks for the fade, not much longer";
    EXPECT_GE(in.elapsed_ms, 800u);
    ASSERT_GE(in.stepCount, 10) << "a visible ramp, not a jump";
    EXPECT_FLOAT_EQ(0.0f, in.opacity[0]);
    EXPECT_FLOAT_EQ(1.0f, in.opacity[in.stepCount - 1]);
    EXPECT_GE(in.at_ms[in.stepCount - 1], 800u);
    for (int i = 1; i < in.stepCount; ++i) {
        EXPECT_GE(in.opacity[i], in.opacity[i - 1]);
        EXPECT_GE(in.at_ms[i], in.at_ms[i - 1]);
    }
    EXPECT_EQ(1, CountSeen(w, pw::WM_ERASEBKGND)) << "the background is painted before the ramp";
    EXPECT_FALSE(pw::AnimateWindow(w, 800, pw::AW_BLEND)) << "already shown";

    ASSERT_TRUE(pw::AnimateWindow(w, 300, pw::AW_BLEND | pw::AW_HIDE));
    const pw::FadeRecord out = pw::LastFade();
    EXPECT_FALSE(pw::IsWindowVisible(w));
    EXPECT_GE(out.elapsed_ms, 300u);
    ASSERT_GE(out.stepCount, 5);
    EXPECT_FLOAT_EQ(1.0f, out.opacity[0]);
    EXPECT_FLOAT_EQ(0.0f, out.opacity[out.stepCount - 1]);
    for (int i = 1; i < out.stepCount; ++i) EXPECT_LE(out.opacity[i], out.opacity[i - 1]);
    if (out.opacitySupported) {
        std::uint32_t opacity = 0;
        EXPECT_FALSE(testsupport::XWindowCardinal(XWindowOf(w), "_NET_WM_WINDOW_OPACITY",
                                                  &opacity))
            << "full opacity again after the fade-out (the property is removed)";
    }
}

// A GL surface's idle work takes the fade's waits, step after step until it reports done; the
// fade keeps its length, and work that never ends is cut off and forgotten with the fade.
TEST_F(PlatformWindow, FadeHandsItsWaitsToTheSurfacesIdleWork) {
    const WindowHandle w = Make(0, 0, 80, 60);
    ASSERT_TRUE(w);
    const pw::GlSurface surface = pw::CreateGlSurface(w, {});
    ASSERT_TRUE(surface);
    int steps = 0;
    pw::SetGlSurfaceIdleWork(surface, [](void* n) { return ++*static_cast<int*>(n) < 3; }, &steps);
    ASSERT_TRUE(pw::AnimateWindow(w, 200, pw::AW_BLEND));
    EXPECT_EQ(3, steps);
    EXPECT_GE(pw::LastFade().elapsed_ms, 200u);

    int endless = 0;
    pw::SetGlSurfaceIdleWork(surface, [](void* n) { return ++*static_cast<int*>(n) > 0; }, &endless);
    ASSERT_TRUE(pw::AnimateWindow(w, 100, pw::AW_BLEND | pw::AW_HIDE));
    EXPECT_GT(endless, 0);
    const int afterFade = endless;
    ASSERT_TRUE(pw::AnimateWindow(w, 100, pw::AW_BLEND));
    EXPECT_EQ(afterFade, endless) << "forgotten when its fade ended";
    pw::DestroyGlSurface(surface);
}

// ---------------------------------------------------------------------------------------------
// Real input through XTest
// ---------------------------------------------------------------------------------------------

TEST_F(PlatformWindow, ClicksArriveWithClientCoordinates) {
    testsupport::XTestInput input;
    ASSERT_TRUE(input.ok());
    const WindowHandle w = Make(300, 200, 200, 100);
    ASSERT_TRUE(w);
    pw::ShowWindow(w, pw::SW_SHOWNA);
    PumpMessages(50);
    input.MovePointer(310, 215);
    pw::Point cursor;
    ASSERT_TRUE(pw::GetCursorPos(&cursor));
    EXPECT_EQ(310, cursor.x) << "read from the server, not from queued events";
    EXPECT_EQ(215, cursor.y);
    input.Click();
    ASSERT_TRUE(PumpUntil([&] { return CountSeen(w, pw::WM_LBUTTONUP) == 1; }, 2000));
    for (const Seen& s : seen) {
        if (s.message != pw::WM_LBUTTONDOWN) continue;
        EXPECT_EQ(10, pw::SignedLowWord(static_cast<std::uintptr_t>(s.lParam)));
        EXPECT_EQ(15, pw::SignedHighWord(static_cast<std::uintptr_t>(s.lParam)));
        EXPECT_TRUE(s.wParam & pw::MK_LBUTTON);
    }
    EXPECT_EQ(1, CountSeen(w, pw::WM_LBUTTONDOWN));

    // A second click soon after is a double-click for a CS_DBLCLKS class.
    input.Click();
    input.Click();
    ASSERT_TRUE(PumpUntil([&] { return CountSeen(w, pw::WM_LBUTTONUP) == 3; }, 2000));
    EXPECT_EQ(1, CountSeen(w, pw::WM_LBUTTONDBLCLK));
}

TEST_F(PlatformWindow, DragMovesTheWindowByThePointerOffsetWithoutWindowManager) {
    testsupport::XTestInput input;
    ASSERT_TRUE(input.ok());
    const WindowHandle w = Make(100, 100, 200, 150);
    ASSERT_TRUE(w);
    pw::ShowWindow(w, pw::SW_SHOWNORMAL);
    PumpMessages(50);
    startDragOnPress = true;
    input.MovePointer(150, 130);
    input.ButtonDown();

    // Another thread drags and lets go while the window thread sits in the move loop.
    std::atomic<bool> released{false};
    std::thread driver([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        input.GlidePointer(150 + 120, 130 + 70, 12, 15);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        input.ButtonUp();
        released = true;
    });
    const bool looped =
        PumpUntil([&] { return CountSeen(w, pw::WM_EXITSIZEMOVE) == 1; }, 5000);
    driver.join();
    ASSERT_TRUE(looped);
    EXPECT_TRUE(released.load()) << "the loop lasts until the button is up";
    EXPECT_EQ(1, CountSeen(w, pw::WM_ENTERSIZEMOVE));

    pw::Rect r;
    ASSERT_TRUE(pw::GetWindowRect(w, &r));
    EXPECT_EQ(220, r.left);
    EXPECT_EQ(170, r.top);
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(testsupport::XWindowGeometry(XWindowOf(w), &x, &y, &width, &height));
    EXPECT_EQ(220, x);
    EXPECT_EQ(170, y);
    EXPECT_GT(CountSeen(w, pw::WM_MOVE), 1) << "the window followed step by step";

    PumpMessages(100);
    EXPECT_EQ(0, CountSeen(w, pw::WM_LBUTTONUP)) << "the move loop consumed the release";
    EXPECT_EQ(1, CountSeen(w, pw::WM_LBUTTONDOWN));
}

TEST_F(PlatformWindow, MoveLoopReturnsAtOnceWhenTheButtonIsUp) {
    const WindowHandle w = Make(0, 0, 40, 40);
    ASSERT_TRUE(w);
    EXPECT_FALSE(pw::RunMoveLoop(w));
    EXPECT_FALSE(pw::RunMoveLoop(WindowHandle{12345}));
}

TEST_F(PlatformWindow, CloseRequestBecomesWmCloseAndDefaultDestroys) {
    const WindowHandle w = Make(0, 0, 40, 40);
    ASSERT_TRUE(w);
    pw::ShowWindow(w, pw::SW_SHOWNA);
    PumpMessages(50);
    ASSERT_TRUE(testsupport::XSendCloseRequest(XWindowOf(w)));
    ASSERT_TRUE(PumpUntil([&] { return CountSeen(w, pw::WM_CLOSE) == 1; }, 2000));
    EXPECT_FALSE(pw::IsWindow(w)) << "DefWindowProc destroys on WM_CLOSE";
    EXPECT_EQ(1, CountSeen(w, pw::WM_NCDESTROY));
    EXPECT_FALSE(pw::TerminationRequested()) << "a window's close is not the process's end";
}

TEST_F(PlatformWindow, KeysReachTheFocusedWindowAsVirtualKeys) {
    testsupport::XTestInput input;
    ASSERT_TRUE(input.ok());
    const WindowHandle w = Make(400, 400, 100, 100);
    ASSERT_TRUE(w);
    pw::ShowWindow(w, pw::SW_SHOWNORMAL);
    ASSERT_TRUE(PumpUntil([&] { return CountSeen(w, pw::WM_ACTIVATE) >= 1; }, 2000));
    EXPECT_EQ(w, pw::GetActiveWindow());
    input.KeyDown(0xFF1B);  // Escape
    input.KeyUp(0xFF1B);
    input.KeyDown(0x61);  // a
    input.KeyUp(0x61);
    ASSERT_TRUE(PumpUntil([&] { return CountSeen(w, pw::WM_KEYUP) == 2; }, 2000));
    std::vector<pw::WParam> downs;
    for (const Seen& s : seen)
        if (s.message == pw::WM_KEYDOWN) downs.push_back(s.wParam);
    ASSERT_EQ(2u, downs.size());
    EXPECT_EQ(static_cast<pw::WParam>(pw::VK_ESCAPE), downs[0]);
    EXPECT_EQ(static_cast<pw::WParam>('A'), downs[1]);
}

// A surface follows its window: sized as the client area, and once the window is destroyed it
// still makes its context current (for releasing GL objects) but shows nothing.
TEST_F(PlatformWindow, GlSurfaceFollowsItsWindowAndOutlivesIt) {
    const WindowHandle w = Make(0, 0, 96, 64);
    ASSERT_TRUE(w);
    const pw::GlSurface surface = pw::CreateGlSurface(w, {});
    ASSERT_TRUE(surface);
    EXPECT_EQ(w, pw::GlSurfaceWindow(surface));
    int width = 0, height = 0;
    EXPECT_TRUE(pw::GetGlDrawableSize(surface, &width, &height));
    EXPECT_EQ(96, width);
    EXPECT_EQ(64, height);
    EXPECT_TRUE(pw::MakeGlSurfaceCurrent(surface));
    EXPECT_TRUE(pw::SwapGlSurface(surface));

    EXPECT_TRUE(pw::DestroyWindow(w));
    EXPECT_FALSE(pw::GlSurfaceWindow(surface));
    EXPECT_FALSE(pw::SwapGlSurface(surface));
    EXPECT_FALSE(pw::GetGlDrawableSize(surface, &width, &height));
    EXPECT_TRUE(pw::MakeGlSurfaceCurrent(surface));
    pw::DestroyGlSurface(surface);

    // Dead and unknown handles are refused.
    EXPECT_FALSE(pw::MakeGlSurfaceCurrent(surface));
    EXPECT_FALSE(pw::CreateGlSurface(w, {}));
    EXPECT_FALSE(pw::CreateGlSurface(WindowHandle{}, {}));
    pw::DestroyGlSurface(pw::GlSurface{12345});
}

TEST(WindowDisplay, RefreshRateIsKnownOrSixty) {
    const int rate = pw::DisplayRefreshRate(WindowHandle{});
    EXPECT_GT(rate, 0);
    EXPECT_LE(rate, 1000);
    pw::DisplayMode mode;
    ASSERT_TRUE(pw::GetCurrentDisplayMode(&mode));
    EXPECT_EQ(1280, mode.width);
    EXPECT_EQ(1024, mode.height);
    EXPECT_EQ(24, mode.bits_per_pixel);
    EXPECT_FALSE(pw::GetCurrentDisplayMode(nullptr));
}

// Sets the process-wide termination flag for good: keep it the last test of the file.
TEST_F(PlatformWindow, TerminationSignalIsNoWindowCloseAndEndsAnIdleGetMessage) {
    const WindowHandle w = Make(0, 0, 40, 40);
    ASSERT_TRUE(w);
    PumpMessages(50);
    ASSERT_FALSE(pw::TerminationRequested());
    ASSERT_EQ(0, std::raise(SIGTERM));
    ASSERT_TRUE(PumpUntil([] { return pw::TerminationRequested(); }, 2000));
    EXPECT_EQ(0, CountSeen(w, pw::WM_CLOSE));
    EXPECT_TRUE(pw::IsWindow(w));
    // A waiting message is still handed out; with nothing waiting the wait ends at once.
    ASSERT_TRUE(pw::PostMessage(w, pw::WM_USER, 7, 0));
    pw::Message m;
    ASSERT_TRUE(pw::GetMessage(&m, WindowHandle{}, pw::WM_USER, pw::WM_USER));
    EXPECT_EQ(7u, m.wParam);
    EXPECT_FALSE(pw::GetMessage(&m, WindowHandle{}, pw::WM_USER, pw::WM_USER));
}

}  // namespace
