// tests/window/runtime_window_test.cpp: the runtime's numbered windows and event queue on a
// real X server, started and ended through the runtime's chains.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/window/sdl/window_sdl.h"
#include "platform/window/window.h"
#include "runtime/chain.h"
#include "runtime/colour.h"
#include "runtime/event.h"
#include "runtime/window.h"
#include "tests/window/window_test_util.h"
#include "tests/window/xtest_helper.h"

namespace {

namespace pw = platform::window;
using runtime::ObjectNumber;
using testsupport::XWindowOf;

constexpr std::uint32_t kIntroFlags = 0x90000001;  // popup, hidden, centred on the screen

class RuntimeWindow : public ::testing::Test {
protected:
    void SetUp() override {
        runtime::RunStartupChain({});
        runtime::InstallWindowCallback(nullptr);
    }
    void TearDown() override { runtime::RunEndChain({}); }

    // Polls without waiting until "code" comes out (returns true) or "ms" pass. Every code
    // seen is kept in "codes".
    bool PollFor(std::int32_t code, int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            const std::int32_t got = runtime::PollWindowEvent(5);
            if (got != 0) codes.push_back(got);
            if (got == code) return true;
        }
        return false;
    }

    // Takes every queued event (handling no platform message) and returns their codes.
    std::vector<std::int32_t> DrainQueue() {
        std::vector<std::int32_t> out;
        while (const std::int32_t code = runtime::TakeQueuedEvent()) out.push_back(code);
        return out;
    }

    // Handles platform messages for "ms" and then empties the queue.
    void Settle(int ms) {
        PollFor(-12345, ms);
        DrainQueue();
    }

    std::vector<std::int32_t> codes;
};

int Count(const std::vector<std::int32_t>& v, std::int32_t code) {
    int n = 0;
    for (std::int32_t c : v) n += c == code;
    return n;
}

// ---------------------------------------------------------------------------------------------
// Creation, flags, centring, background
// ---------------------------------------------------------------------------------------------

TEST_F(RuntimeWindow, IntroWindowIsHiddenBorderlessAndCentred) {
    const std::intptr_t result = runtime::CreateNumberedWindow(0, 0, 0, 800, 600, " ", kIntroFlags);
    ASSERT_NE(0, result);
    const pw::WindowHandle w = runtime::GetWindowHandle(0);
    ASSERT_TRUE(w);
    EXPECT_EQ(static_cast<std::intptr_t>(w.value), result);
    EXPECT_FALSE(pw::IsWindowVisible(w));
    EXPECT_EQ(1, pw::GetProp(w, "RK_WindowID")) << "number + 1";
    EXPECT_STREQ("WindowClass_0", pw::GetClassName(w));

    pw::Rect r;
    ASSERT_TRUE(pw::GetWindowRect(w, &r));
    EXPECT_EQ(240, r.left);
    EXPECT_EQ(212, r.top);
    EXPECT_EQ(800, r.right - r.left);
    EXPECT_EQ(600, r.bottom - r.top);
    EXPECT_TRUE(SDL_GetWindowFlags(pw::sdl::SdlWindowOf(w)) & SDL_WINDOW_BORDERLESS);

    runtime::ShowNumberedWindow(0, 0, 0);
    EXPECT_TRUE(pw::IsWindowVisible(w));
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(testsupport::XWindowGeometry(XWindowOf(w), &x, &y, &width, &height));
    EXPECT_EQ(240, x);
    EXPECT_EQ(212, y);
    EXPECT_EQ(800, width);
    EXPECT_EQ(600, height);
    char className[64] = {};
    ASSERT_TRUE(testsupport::XWindowClassName(XWindowOf(w), className, sizeof className));
    EXPECT_STREQ("WindowClass_0", className);
}

TEST_F(RuntimeWindow, FlagsDecideCaptionToolStyleAndFirstShow) {
    const struct {
        const char* name;
        std::uint32_t flags;
        bool borderless, utility, visible;
    } rows[] = {
        {"popup hidden centred", kIntroFlags, true, false, false},
        {"only runtime flags get a caption", 0x10000001, false, false, false},
        {"no flags: caption, shown", 0x0, false, false, true},
        {"no control container keeps the caption", 0x00000008, false, false, true},
        {"tool window forces the caption", pw::WS_POPUP | runtime::ToolWindow, false, true, true},
        {"shown without activating", pw::WS_POPUP | runtime::ShowWithoutActivating, true, false,
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NE(0, runtime::CreateNumberedWindow(3, 10, 10, 120, 80, "t", row.flags));
        const pw::WindowHandle w = runtime::GetWindowHandle(3);
        const Uint32 sdlFlags = SDL_GetWindowFlags(pw::sdl::SdlWindowOf(w));
        EXPECT_EQ(row.borderless, (sdlFlags & SDL_WINDOW_BORDERLESS) != 0);
        EXPECT_EQ(row.utility, (sdlFlags & SDL_WINDOW_UTILITY) != 0);
        EXPECT_EQ(row.visible, pw::IsWindowVisible(w));
        pw::Rect client;
        ASSERT_TRUE(pw::GetClientRect(w, &client));
        EXPECT_EQ(120, client.right) << "the size given is the client size";
        EXPECT_EQ(80, client.bottom);
    }
}

TEST_F(RuntimeWindow, CentreOnParentAndWithoutReference) {
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 100, 50, 400, 300, "parent", pw::WS_POPUP));
    const pw::WindowHandle parent = runtime::GetWindowHandle(0);
    ASSERT_NE(0, runtime::CreateNumberedWindow(1, 0, 0, 200, 100, "child",
                                               pw::WS_POPUP | runtime::CentreOnParent, parent));
    pw::Rect r;
    ASSERT_TRUE(pw::GetWindowRect(runtime::GetWindowHandle(1), &r));
    EXPECT_EQ(100 + (400 - 200) / 2, r.left);
    EXPECT_EQ(50 + (300 - 100) / 2, r.top);

    // A window larger than its parent is not pushed above or left of the screen.
    ASSERT_NE(0, runtime::CreateNumberedWindow(2, 0, 0, 700, 500, "big",
                                               pw::WS_POPUP | runtime::CentreOnParent, parent));
    ASSERT_TRUE(pw::GetWindowRect(runtime::GetWindowHandle(2), &r));
    EXPECT_EQ(0, r.left);
    EXPECT_EQ(0, r.top);

    // A window larger than the screen is centred as if it fitted.
    runtime::CentreWindow(runtime::GetWindowHandle(2), runtime::CentreOnScreen, pw::WindowHandle{});
    ASSERT_TRUE(pw::GetWindowRect(runtime::GetWindowHandle(2), &r));
    EXPECT_EQ((1280 - 700) / 2, r.left);
    EXPECT_EQ((1024 - 500) / 2, r.top);
}

TEST_F(RuntimeWindow, BackgroundColourShowsBeforeTheFirstFrame) {
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 800, 600, " ", kIntroFlags));
    runtime::SetWindowBackground(0, static_cast<std::int32_t>(runtime::MakeColour(0, 255, 0)));
    const pw::WindowHandle w = runtime::GetWindowHandle(0);
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(pw::AnimateWindow(w, 800, pw::AW_BLEND));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(800));
    std::uint32_t rgb = 0;
    ASSERT_TRUE(testsupport::XWindowPixel(XWindowOf(w), 400, 300, &rgb));
    EXPECT_EQ(0x00FF00u, rgb);
    EXPECT_EQ(1, Count(DrainQueue(), runtime::BackgroundErased));

    // The same colour again changes nothing; another colour repaints.
    runtime::SetWindowBackground(0, static_cast<std::int32_t>(runtime::MakeColour(0, 255, 0)));
    Settle(50);
    runtime::SetWindowBackground(0, 0);
    PollFor(pw::WM_PAINT, 500);
    ASSERT_TRUE(testsupport::XWindowPixel(XWindowOf(w), 0, 0, &rgb));
    EXPECT_EQ(0x000000u, rgb);
}

// ---------------------------------------------------------------------------------------------
// Numbers: automatic, reused, not live
// ---------------------------------------------------------------------------------------------

TEST_F(RuntimeWindow, NumbersThatAreNotLiveChangeNothing) {
    EXPECT_FALSE(runtime::GetWindowHandle(5));
    EXPECT_FALSE(runtime::GetWindowHandle(-7));
    EXPECT_EQ(-1, runtime::MouseXInWindow(5));
    EXPECT_EQ(-1, runtime::MouseYInWindow(5));
    runtime::SetWindowBackground(5, 0);
    runtime::ShowNumberedWindow(5, 0, 0);
    runtime::InstallNumberedWindowCallback(5, nullptr);
    runtime::CloseNumberedWindow(5);
    runtime::CloseNumberedWindow(123456789);
    EXPECT_EQ(0, runtime::CreateNumberedWindow(-2, 0, 0, 10, 10, "", 0));
    EXPECT_EQ(0, runtime::CreateNumberedWindow(6, 0, 0, 0, 10, "", 0)) << "refused by the platform";
    EXPECT_FALSE(runtime::GetWindowHandle(6)) << "the number stays empty";
    EXPECT_TRUE(pw::RegisterClass({.name = "WindowClass_6", .proc = runtime::RuntimeWindowProc}))
        << "the class of a refused window is unregistered";
    EXPECT_EQ(0, runtime::QueuedEventCount());
}

TEST_F(RuntimeWindow, AutomaticAndReusedNumbers) {
    const std::intptr_t number = runtime::CreateNumberedWindow(-1, 0, 0, 50, 50, nullptr, pw::WS_POPUP);
    ASSERT_NE(0, number);
    const pw::WindowHandle automatic = runtime::GetWindowHandle(number);
    ASSERT_TRUE(automatic);
    EXPECT_EQ(number + 1, pw::GetProp(automatic, "RK_WindowID"));
    EXPECT_EQ("WindowClass_" + std::to_string(number), std::string(pw::GetClassName(automatic)));

    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 50, 50, "a", pw::WS_POPUP));
    const pw::WindowHandle first = runtime::GetWindowHandle(0);
    runtime::QueueEvent(runtime::Moved, 0, 0, 0, 0, nullptr, 0);
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 60, 60, "b", pw::WS_POPUP));
    EXPECT_FALSE(pw::IsWindow(first)) << "opening a live number closes the old window first";
    EXPECT_TRUE(runtime::GetWindowHandle(0));
    EXPECT_NE(first, runtime::GetWindowHandle(0));
    EXPECT_EQ(0, runtime::QueuedEventCount()) << "with its events";

    runtime::CloseNumberedWindow(number);
    EXPECT_FALSE(pw::IsWindow(automatic));
    EXPECT_FALSE(runtime::GetWindowHandle(number));
    runtime::CloseNumberedWindow(-1);
    EXPECT_FALSE(runtime::GetWindowHandle(0));
}

TEST_F(RuntimeWindow, ClosingAnOwnerReleasesItsOwnedWindowsNumber) {
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 100, 100, "", pw::WS_POPUP));
    ASSERT_NE(0, runtime::CreateNumberedWindow(1, 0, 0, 50, 50, "", pw::WS_POPUP,
                                               runtime::GetWindowHandle(0)));
    const pw::WindowHandle owned = runtime::GetWindowHandle(1);
    runtime::QueueEvent(runtime::TimerTick, 1, 1, 0, 0, nullptr, 0);
    runtime::CloseNumberedWindow(0);
    EXPECT_FALSE(pw::IsWindow(owned)) << "owned windows go with their owner";
    EXPECT_FALSE(runtime::GetWindowHandle(1)) << "and so does their number";
    EXPECT_EQ(0, runtime::QueuedEventCount());
    runtime::CloseNumberedWindow(1);  // nothing left to do
    ASSERT_NE(0, runtime::CreateNumberedWindow(1, 0, 0, 50, 50, "", pw::WS_POPUP))
        << "the number opens again";
}

TEST_F(RuntimeWindow, EndChainClosesEveryWindow) {
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 50, 50, "", pw::WS_POPUP));
    ASSERT_NE(0, runtime::CreateNumberedWindow(7, 0, 0, 50, 50, "", pw::WS_POPUP));
    const pw::WindowHandle a = runtime::GetWindowHandle(0), b = runtime::GetWindowHandle(7);
    runtime::RunEndChain({});
    EXPECT_FALSE(pw::IsWindow(a));
    EXPECT_FALSE(pw::IsWindow(b));
    EXPECT_EQ(0, runtime::PollWindowEvent(0));
    EXPECT_FALSE(runtime::PostEvent(1, 2, 3, 4, 5)) << "no post-event window any more";
    runtime::RunStartupChain({});  // for TearDown
}

// ---------------------------------------------------------------------------------------------
// The queue
// ---------------------------------------------------------------------------------------------

TEST_F(RuntimeWindow, IdenticalConsecutiveEventsMerge) {
    const struct {
        const char* name;
        std::int32_t secondCode, secondType, secondFlags;
        int expected;
    } rows[] = {
        {"identical", 500, 0, 0, 1},
        {"other type", 500, 1, 0, 2},
        {"other code", 501, 0, 0, 2},
        {"never-merge flag", 500, 0, runtime::kEventNeverMerge, 2},
        {"codes from 0x10000 never merge", 0x10000, 0, 0, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::int32_t firstCode = row.secondCode >= 0x10000 ? 0x10000 : 500;
        ASSERT_TRUE(runtime::QueueEvent(firstCode, 1, 2, 0, 0, nullptr, 0));
        ASSERT_TRUE(runtime::QueueEvent(row.secondCode, 1, 2, row.secondType, 0, nullptr,
                                        row.secondFlags));
        EXPECT_EQ(row.expected, runtime::QueuedEventCount());
        DrainQueue();
    }
    // Only the last event counts: A B A stays three events.
    runtime::QueueEvent(1, 0, 0, 0, 0, nullptr, 0);
    runtime::QueueEvent(2, 0, 0, 0, 0, nullptr, 0);
    runtime::QueueEvent(1, 0, 0, 0, 0, nullptr, 0);
    EXPECT_EQ((std::vector<std::int32_t>{1, 2, 1}), DrainQueue());
}

TEST_F(RuntimeWindow, TakeRemoveAndTheCurrentEvent) {
    static std::vector<std::uintptr_t> released;
    released.clear();
    auto release = [](std::uintptr_t data) { released.push_back(data); };
    runtime::QueueEvent(100, 11, 1, 0, 0xAB, release, 0);
    runtime::QueueEvent(101, 12, 2, 5, 0, nullptr, 0);
    runtime::QueueEvent(102, 13, 1, 6, 0, nullptr, 0);
    runtime::QueueEvent(103, 14, 2, 7, 0, nullptr, 0);

    EXPECT_EQ(100, runtime::TakeQueuedEvent());
    EXPECT_EQ(11, runtime::CurrentEventObject());
    EXPECT_TRUE(released.empty()) << "the data lives while its event is current";
    runtime::RemoveQueuedEvents(-1, -1, 2, -1);  // every event of window 2
    EXPECT_EQ(102, runtime::TakeQueuedEvent());
    EXPECT_EQ((std::vector<std::uintptr_t>{0xAB}), released);
    EXPECT_EQ(1, runtime::CurrentEventRecord().window);
    EXPECT_EQ(6, runtime::CurrentEventRecord().type);
    EXPECT_EQ(0, runtime::TakeQueuedEvent());
    EXPECT_EQ(-1, runtime::CurrentEventRecord().type) << "empty: code 0, type -1";

    // Removing the tail keeps appending right.
    runtime::QueueEvent(1, 0, 0, 0, 0, nullptr, 0);
    runtime::QueueEvent(2, 0, 0, 0, 0, nullptr, 0);
    runtime::RemoveQueuedEvents(2, -1, -1, -1);
    runtime::QueueEvent(3, 0, 0, 0, 0, nullptr, 0);
    EXPECT_EQ((std::vector<std::int32_t>{1, 3}), DrainQueue());
}

TEST_F(RuntimeWindow, ManyEventsGoThroughThePoolInOrder) {
    for (int i = 0; i < 5000; ++i) ASSERT_TRUE(runtime::QueueEvent(i % 2 + 1, i, 0, 0, 0, nullptr, 0));
    EXPECT_EQ(5000, runtime::QueuedEventCount());
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(i % 2 + 1, runtime::TakeQueuedEvent());
        ASSERT_EQ(i, runtime::CurrentEventObject());
    }
}

TEST_F(RuntimeWindow, PollWithTimeouts) {
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 80, 80, "", pw::WS_POPUP));
    Settle(100);
    using Ms = std::chrono::duration<double, std::milli>;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(0, runtime::PollWindowEvent(0));
    EXPECT_LT(Ms(std::chrono::steady_clock::now() - t0).count(), 50.0) << "0 never waits";

    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(0, runtime::PollWindowEvent(80));
    EXPECT_GE(Ms(std::chrono::steady_clock::now() - t0).count(), 75.0);

    // A queued event comes before any platform message; a message returns its own number.
    pw::PostMessage(runtime::GetWindowHandle(0), pw::WM_USER + 9, 0, 0);
    runtime::QueueEvent(777, 0, 0, 0, 0, nullptr, 0);
    EXPECT_EQ(777, runtime::PollWindowEvent(0));
    EXPECT_EQ(static_cast<std::int32_t>(pw::WM_USER + 9), runtime::PollWindowEvent(0));

    // -1 waits for the next message, here one posted by another thread.
    std::thread poster([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        runtime::PostEvent(900, 1, 0, 0, 0);
    });
    std::int32_t got = 0;
    while ((got = runtime::PollWindowEvent(-1)) != 900) {
        ASSERT_NE(0, got);
    }
    poster.join();
}

TEST_F(RuntimeWindow, EventsPostedFromAnotherThreadArriveInOrder) {
    constexpr int kCount = 300;
    std::thread poster([] {
        for (int i = 0; i < kCount; ++i)
            ASSERT_TRUE(runtime::PostEvent(20000 + i % 3, i, 0, i % 5, static_cast<std::uintptr_t>(i)));
    });
    std::vector<ObjectNumber> objects;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (objects.size() < kCount && std::chrono::steady_clock::now() < end) {
        const std::int32_t code = runtime::PollWindowEvent(20);
        if (code >= 20000 && code < 20003) {
            EXPECT_EQ(20000 + runtime::CurrentEventObject() % 3, code);
            EXPECT_EQ(static_cast<std::uintptr_t>(runtime::CurrentEventObject()),
                      runtime::CurrentEventRecord().data);
            objects.push_back(runtime::CurrentEventObject());
        }
    }
    poster.join();
    ASSERT_EQ(static_cast<std::size_t>(kCount), objects.size());
    for (int i = 0; i < kCount; ++i) ASSERT_EQ(i, objects[i]);
}

// ---------------------------------------------------------------------------------------------
// Messages become events
// ---------------------------------------------------------------------------------------------

TEST_F(RuntimeWindow, SizeStormLeavesOneResized) {
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 200, 200, "", pw::WS_POPUP | pw::WS_THICKFRAME));
    const pw::WindowHandle w = runtime::GetWindowHandle(0);
    Settle(100);
    runtime::QueueEvent(runtime::Moved, 0, 0, 0, 0, nullptr, 0);
    for (int i = 1; i <= 30; ++i)
        pw::SetWindowPos(w, pw::WindowHandle{}, 0, 0, 200 + i, 200 + i, pw::SWP_NOMOVE);
    for (int i = 0; i < 10; ++i)
        pw::SendMessage(w, pw::WM_SIZE, pw::SIZE_RESTORED, pw::MakeLParam(300, 300));
    const std::vector<std::int32_t> events = DrainQueue();
    EXPECT_EQ(1, Count(events, runtime::Resized));
    EXPECT_EQ(runtime::Resized, events.back());

    // Minimised and maximised set the sized state; the next restore reports Restored.
    pw::SendMessage(w, pw::WM_SIZE, pw::SIZE_MINIMIZED, 0);
    pw::SendMessage(w, pw::WM_SIZE, pw::SIZE_MAXIMIZED, pw::MakeLParam(1280, 1024));
    pw::SendMessage(w, pw::WM_SIZE, pw::SIZE_RESTORED, pw::MakeLParam(300, 300));
    pw::SendMessage(w, pw::WM_SIZE, pw::SIZE_RESTORED, pw::MakeLParam(310, 300));
    EXPECT_EQ((std::vector<std::int32_t>{runtime::Minimized, runtime::Maximized,
                                         runtime::Restored, runtime::Resized}),
              DrainQueue());
}

TEST_F(RuntimeWindow, MessageTableQueuesItsEvents) {
    ASSERT_NE(0, runtime::CreateNumberedWindow(4, 0, 0, 100, 100, "", pw::WS_POPUP));
    const pw::WindowHandle w = runtime::GetWindowHandle(4);
    Settle(100);
    const struct {
        std::uint32_t message;
        pw::WParam wParam;
        pw::LParam lParam;
        std::int32_t code;
        ObjectNumber object;
        std::int32_t type;
        pw::LResult result;
    } rows[] = {
        {pw::WM_LBUTTONUP, 0, 0, runtime::LeftButtonUp, 0, 0, 0},
        {pw::WM_RBUTTONUP, 0, 0, runtime::RightButtonUp, 0, 0, 0},
        {pw::WM_LBUTTONDBLCLK, 0, 0, runtime::LeftDoubleClick, 0, 0, 0},
        {pw::WM_TIMER, 42, 0, runtime::TimerTick, 42, 0, 0},
        {pw::WM_CLOSE, 0, 0, runtime::CloseRequested, 4, 0, 0},
        {pw::WM_MOVE, 0, 0, runtime::Moved, 4, 0, 0},
        {pw::WM_ACTIVATE, pw::WA_ACTIVE, 0, runtime::Activated, 0, 0, 1},
        {pw::WM_ACTIVATE, pw::WA_INACTIVE, 0, runtime::Deactivated, 0, 0, 1},
        {pw::WM_COMMAND, 0x0003'0007, 0x1234, runtime::ControlNotify, 7, 3, 0},
        {pw::WM_COMMAND, 0x0000'0009, 0, runtime::MenuCommand, 9, 0, 0},
        {runtime::kTrayIconMessage, 5, pw::WM_RBUTTONDOWN, runtime::TrayIcon, 5, 1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        EXPECT_EQ(row.result, pw::SendMessage(w, row.message, row.wParam, row.lParam));
        ASSERT_EQ(row.code, runtime::TakeQueuedEvent());
        EXPECT_EQ(row.object, runtime::CurrentEventObject());
        EXPECT_EQ(4, runtime::CurrentEventRecord().window);
        EXPECT_EQ(row.type, runtime::CurrentEventRecord().type);
        EXPECT_EQ(0, runtime::TakeQueuedEvent()) << "one event per message";
    }
    EXPECT_TRUE(pw::IsWindow(w)) << "WM_CLOSE does not destroy a runtime window";
    pw::MinMaxInfo info{};
    info.minTrackSize = {1, 1};
    EXPECT_EQ(0, pw::SendMessage(w, pw::WM_GETMINMAXINFO, 0, reinterpret_cast<pw::LParam>(&info)));
    EXPECT_EQ(1, info.minTrackSize.x) << "no limits set: untouched";
}

std::vector<std::uint32_t> callbackSaw;
std::intptr_t SwallowButtonUps(pw::WindowHandle, std::uint32_t message, std::uintptr_t, std::intptr_t) {
    callbackSaw.push_back(message);
    return message == pw::WM_LBUTTONUP ? 5 : runtime::ContinueDefaultProcessing;
}
std::intptr_t PassEverything(pw::WindowHandle, std::uint32_t message, std::uintptr_t, std::intptr_t) {
    callbackSaw.push_back(message + 0x10000);
    return runtime::ContinueDefaultProcessing;
}

TEST_F(RuntimeWindow, CallbackAnswerSuppressesTheRuntimesHandling) {
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 100, 100, "", pw::WS_POPUP));
    ASSERT_NE(0, runtime::CreateNumberedWindow(1, 0, 0, 100, 100, "", pw::WS_POPUP));
    Settle(100);
    callbackSaw.clear();
    runtime::InstallWindowCallback(SwallowButtonUps);
    EXPECT_EQ(5, pw::SendMessage(runtime::GetWindowHandle(0), pw::WM_LBUTTONUP, 0, 0));
    EXPECT_EQ(0, runtime::QueuedEventCount()) << "no LeftButtonUp";
    pw::SendMessage(runtime::GetWindowHandle(0), pw::WM_RBUTTONUP, 0, 0);
    EXPECT_EQ(runtime::RightButtonUp, runtime::TakeQueuedEvent());

    // A window's own callback comes instead of the process-wide one.
    runtime::InstallNumberedWindowCallback(1, PassEverything);
    callbackSaw.clear();
    EXPECT_EQ(0, pw::SendMessage(runtime::GetWindowHandle(1), pw::WM_LBUTTONUP, 0, 0));
    EXPECT_EQ((std::vector<std::uint32_t>{pw::WM_LBUTTONUP + 0x10000}), callbackSaw);
    EXPECT_EQ(runtime::LeftButtonUp, runtime::TakeQueuedEvent());
}

std::intptr_t CloseOwnWindowOnButtonUp(pw::WindowHandle, std::uint32_t message, std::uintptr_t,
                                       std::intptr_t) {
    if (message == pw::WM_LBUTTONUP) {
        runtime::QueueEvent(runtime::Moved, 1, 1, 0, 0, nullptr, 0);
        runtime::QueueEvent(runtime::Moved, 0, 0, 0, 0, nullptr, 0);
        runtime::CloseNumberedWindow(0);
        runtime::CloseNumberedWindow(0);  // twice, from inside its own message
    }
    return runtime::ContinueDefaultProcessing;
}

TEST_F(RuntimeWindow, CallbackMayCloseItsOwnWindow) {
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 100, 100, "", pw::WS_POPUP));
    ASSERT_NE(0, runtime::CreateNumberedWindow(1, 0, 0, 100, 100, "", pw::WS_POPUP));
    const pw::WindowHandle w = runtime::GetWindowHandle(0);
    Settle(100);
    runtime::InstallWindowCallback(CloseOwnWindowOnButtonUp);
    pw::PostMessage(w, pw::WM_LBUTTONUP, 0, 0);
    PollFor(pw::WM_LBUTTONUP, 500);
    EXPECT_FALSE(pw::IsWindow(w));
    EXPECT_FALSE(runtime::GetWindowHandle(0));
    // Only window 1's event is left.
    EXPECT_EQ((std::vector<std::int32_t>{runtime::Moved}), DrainQueue());
    EXPECT_EQ(1, runtime::CurrentEventRecord().window);
}

TEST_F(RuntimeWindow, ClosingPurgesTheWindowsEvents) {
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 100, 100, "", pw::WS_POPUP));
    ASSERT_NE(0, runtime::CreateNumberedWindow(1, 0, 0, 100, 100, "", pw::WS_POPUP));
    Settle(100);
    for (int i = 0; i < 4; ++i) {
        pw::SendMessage(runtime::GetWindowHandle(0), pw::WM_TIMER, i, 0);
        pw::SendMessage(runtime::GetWindowHandle(1), pw::WM_TIMER, i, 0);
    }
    runtime::CloseNumberedWindow(0);
    std::int32_t code;
    int left = 0;
    while ((code = runtime::PollWindowEvent(0)) != 0) {
        if (code != runtime::TimerTick) continue;
        EXPECT_EQ(1, runtime::CurrentEventRecord().window);
        ++left;
    }
    EXPECT_EQ(4, left);
}

// ---------------------------------------------------------------------------------------------
// Real input and close requests
// ---------------------------------------------------------------------------------------------

TEST_F(RuntimeWindow, MouseInWindowAtTheClientEdges) {
    testsupport::XTestInput input;
    ASSERT_TRUE(input.ok());
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 800, 600, " ", kIntroFlags));
    const struct {
        int screenX, screenY, x, y;
    } rows[] = {
        {240 + 799, 212 + 599, 799, 599},
        {240, 212, 0, 0},
        {240 + 800, 212 + 10, -1, -1},
        {240 + 10, 212 + 600, -1, -1},
        {239, 212 + 10, -1, -1},
        {240 + 10, 211, -1, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.screenX << "," << row.screenY);
        input.MovePointer(row.screenX, row.screenY);
        EXPECT_EQ(row.x, runtime::MouseXInWindow(0));
        EXPECT_EQ(row.y, runtime::MouseYInWindow(0));
    }
}

std::intptr_t DragOnPress(pw::WindowHandle window, std::uint32_t message, std::uintptr_t,
                          std::intptr_t) {
    if (message == pw::WM_LBUTTONDOWN) {
        const std::int32_t x = runtime::MouseXInWindow(0), y = runtime::MouseYInWindow(0);
        if (x >= 0 && x <= 800 && y >= 0 && y <= 600)
            pw::SendMessage(window, pw::WM_NCLBUTTONDOWN, pw::HTCAPTION, 0);
    }
    return runtime::ContinueDefaultProcessing;
}

TEST_F(RuntimeWindow, LeftButtonDragMovesTheIntroWindow) {
    testsupport::XTestInput input;
    ASSERT_TRUE(input.ok());
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 800, 600, " ", kIntroFlags));
    runtime::SetWindowBackground(0, 0);
    runtime::InstallWindowCallback(DragOnPress);
    runtime::ShowNumberedWindow(0, 0, 0);
    Settle(100);

    input.MovePointer(240 + 400, 212 + 300);
    input.ButtonDown();
    std::thread driver([&input] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        input.GlidePointer(240 + 400 - 90, 212 + 300 + 55, 10, 15);
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
        input.ButtonUp();
    });
    // The drag runs inside one poll: it returns WM_LBUTTONDOWN once the button is up.
    const bool pressed = PollFor(pw::WM_LBUTTONDOWN, 5000);
    driver.join();
    ASSERT_TRUE(pressed);
    pw::Rect r;
    ASSERT_TRUE(pw::GetWindowRect(runtime::GetWindowHandle(0), &r));
    EXPECT_EQ(240 - 90, r.left);
    EXPECT_EQ(212 + 55, r.top);
    Settle(100);
    EXPECT_EQ(0, Count(codes, runtime::LeftButtonUp)) << "the move loop took the release";
}

TEST_F(RuntimeWindow, CloseRequestQueuesCloseRequestedAndTheWindowStays) {
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 800, 600, " ", kIntroFlags));
    runtime::ShowNumberedWindow(0, 0, 0);
    Settle(100);
    const pw::WindowHandle w = runtime::GetWindowHandle(0);
    ASSERT_TRUE(testsupport::XSendCloseRequest(XWindowOf(w)));
    ASSERT_TRUE(PollFor(runtime::CloseRequested, 2000));
    EXPECT_EQ(0, runtime::CurrentEventObject());
    EXPECT_TRUE(pw::IsWindow(w));
    EXPECT_TRUE(pw::IsWindowVisible(w));
}

TEST_F(RuntimeWindow, ShowingActivatesAndFocusLossDeactivates) {
    ASSERT_NE(0, runtime::CreateNumberedWindow(0, 0, 0, 200, 200, "", pw::WS_POPUP | runtime::CreateHidden));
    ASSERT_NE(0, runtime::CreateNumberedWindow(1, 300, 0, 200, 200, "", pw::WS_POPUP | runtime::CreateHidden));
    runtime::ShowNumberedWindow(0, 0, 0);
    ASSERT_TRUE(PollFor(runtime::Activated, 2000));
    EXPECT_EQ(0, runtime::CurrentEventRecord().window);
    runtime::ShowNumberedWindow(1, 0, 0);
    codes.clear();
    ASSERT_TRUE(PollFor(runtime::Activated, 2000));
    EXPECT_EQ(1, runtime::CurrentEventRecord().window);
    EXPECT_EQ(1, Count(codes, runtime::Deactivated));
    EXPECT_EQ(runtime::GetWindowHandle(0).value,
              static_cast<std::uint32_t>(pw::GetProp(runtime::GetWindowHandle(0), "RK_Focus")))
        << "the focus it had is remembered";
}

}  // namespace
