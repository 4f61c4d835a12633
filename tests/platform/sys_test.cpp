// tests/platform/sys_test.cpp: private heaps, detached threads and clocks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/sys/sys.h"
#include "platform/sys/sys_testing.h"

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#include <malloc.h>
#define SYS_TEST_GLIBC_MALLOC 1
#endif

namespace sys = platform::sys;

// --- heaps -----------------------------------------------------------------------------------

TEST(SysHeap, AllocIsZeroFilledAndReallocKeepsAndZeroesTail) {
    sys::Heap* heap = sys::HeapCreate(4096);
    ASSERT_NE(heap, nullptr);
    auto* p = static_cast<unsigned char*>(sys::HeapAlloc(heap, 64));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0);
    std::memset(p, 0xAB, 64);
    auto* q = static_cast<unsigned char*>(sys::HeapReAlloc(heap, p, 200));
    ASSERT_NE(q, nullptr);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(q[i], 0xAB);
    for (int i = 64; i < 200; ++i) ASSERT_EQ(q[i], 0);
    EXPECT_EQ(sys::HeapSize(heap, q), 200u);
    EXPECT_EQ(sys::HeapBlockCount(heap), 1u);
    sys::HeapDestroy(heap);
}

TEST(SysHeap, RefusesBlocksOfAnotherHeapAndDestroyFreesAll) {
    sys::Heap* a = sys::HeapCreate(0);
    sys::Heap* b = sys::HeapCreate(0);
    void* pa = sys::HeapAlloc(a, 10);
    for (int i = 0; i < 100; ++i) ASSERT_NE(sys::HeapAlloc(b, 16 + i), nullptr);
    EXPECT_FALSE(sys::HeapFree(b, pa));
    EXPECT_EQ(sys::HeapReAlloc(b, pa, 20), nullptr);
    EXPECT_EQ(sys::HeapSize(b, pa), 0u);
    EXPECT_FALSE(sys::HeapFree(a, nullptr));
    EXPECT_EQ(sys::HeapBlockCount(b), 100u);
    sys::HeapDestroy(b);  // leak checkers see every block of b released here
    EXPECT_TRUE(sys::HeapFree(a, pa));
    EXPECT_EQ(sys::HeapBlockCount(a), 0u);
    sys::HeapDestroy(a);
    EXPECT_EQ(sys::HeapAlloc(nullptr, 4), nullptr);
}

TEST(SysHeap, FailureHookAndOverflowRefuse) {
    sys::Heap* heap = sys::HeapCreate(0);
    EXPECT_EQ(sys::HeapAlloc(heap, SIZE_MAX), nullptr);
    void* p = sys::HeapAlloc(heap, 8);
    sys::InjectAllocationFailures([](std::size_t bytes) { return bytes >= 100; });
    EXPECT_EQ(sys::HeapAlloc(heap, 100), nullptr);
    EXPECT_NE(sys::HeapAlloc(heap, 99), nullptr);
    EXPECT_EQ(sys::HeapReAlloc(heap, p, 1000), nullptr);
    EXPECT_EQ(sys::HeapSize(heap, p), 8u);  // the old block survives a failed resize
    sys::InjectAllocationFailures(nullptr);
    sys::HeapDestroy(heap);
}

#ifdef SYS_TEST_GLIBC_MALLOC
// A megabyte block allocated after a larger one was freed still comes from the system, and
// goes back to it when freed: the C library's rising threshold would otherwise serve it from
// the heap, whose high-water mark stays resident for the rest of the run.
TEST(SysHeap, LargeBlocksComeFromTheSystemAfterALargerOneIsFreed) {
    sys::Heap* heap = sys::HeapCreate(0);
    void* larger = sys::HeapAlloc(heap, std::size_t{8} << 20);
    ASSERT_NE(larger, nullptr);
    sys::HeapFree(heap, larger);
    const std::size_t before = mallinfo2().hblkhd;
    void* block = sys::HeapAlloc(heap, std::size_t{1} << 20);
    ASSERT_NE(block, nullptr);
    EXPECT_GE(mallinfo2().hblkhd - before, std::size_t{1} << 20);
    sys::HeapFree(heap, block);
    sys::HeapDestroy(heap);
}
#endif

// --- threads and clocks ----------------------------------------------------------------------

TEST(SysThread, RunsDetachedWithSmallStackAndInjectedFailure) {
    static std::atomic<int> ran{0};
    static int seven = 7;  // the argument outlives the detached thread
    ran = 0;
    ASSERT_TRUE(sys::CreateDetachedThread([](void* a) { ran = *static_cast<int*>(a); }, &seven,
                                          8192));
    for (int i = 0; i < 500 && ran.load() == 0; ++i) sys::SleepMs(2);
    EXPECT_EQ(ran.load(), 7);
    sys::InjectThreadCreationFailure(true);
    EXPECT_FALSE(sys::CreateDetachedThread([](void*) { ran = 99; }, nullptr, 0));
    sys::InjectThreadCreationFailure(false);
    sys::SleepMs(20);
    EXPECT_EQ(ran.load(), 7);
}

TEST(SysClock, InterruptTimeFollowsSteadyClock) {
    const auto t0 = std::chrono::steady_clock::now();
    const std::int64_t i0 = sys::InterruptTime();
    sys::SleepMs(50);
    const std::int64_t i1 = sys::InterruptTime();
    const auto elapsed100ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - t0)
            .count() / 100;
    EXPECT_GE(i1 - i0, 500000);  // slept at least 50 ms
    EXPECT_NEAR(static_cast<double>(i1 - i0), static_cast<double>(elapsed100ns), 20000.0);
}

TEST(SysClock, SleepUntilWakesAfterItsDeadlineAndNotForAPastOne) {
    for (int i = 0; i < 3; ++i) {
        const std::int64_t deadline = sys::InterruptTime() + 30000;  // 3 ms, less than a tick
        sys::SleepUntil(deadline);
        const std::int64_t woke = sys::InterruptTime();
        EXPECT_GE(woke, deadline);
        EXPECT_LT(woke - deadline, 500000);  // a slow machine's wake-up, not a missed deadline
    }
    const std::int64_t before = sys::InterruptTime();
    sys::SleepUntil(before - 10000000);
    sys::SleepUntil(0);
    EXPECT_LT(sys::InterruptTime() - before, 100000);
}

TEST(SysClock, TimerResolutionClampsAndReleases) {
    sys::TimerResolution r{};
    ASSERT_TRUE(sys::QueryTimerResolution(&r));
    EXPECT_LT(r.finest, r.coarsest);
    std::uint32_t current = 0;
    ASSERT_TRUE(sys::RequestTimerResolution(10000, true, &current));
    EXPECT_EQ(current, 10000u);
    ASSERT_TRUE(sys::RequestTimerResolution(1, true, &current));
    EXPECT_EQ(current, r.finest);
    ASSERT_TRUE(sys::RequestTimerResolution(0xFFFFFFFFu, true, &current));
    EXPECT_EQ(current, r.coarsest);
    ASSERT_TRUE(sys::RequestTimerResolution(0, false, &current));
    EXPECT_EQ(current, r.coarsest);
}

TEST(SysClock, LocalTimeFieldsInRange) {
    const sys::LocalTime t = sys::GetLocalTime();
    EXPECT_GE(t.year, 2020);
    EXPECT_TRUE(t.month >= 1 && t.month <= 12);
    EXPECT_TRUE(t.day >= 1 && t.day <= 31);
    EXPECT_TRUE(t.hour >= 0 && t.hour < 24 && t.minute < 60 && t.second < 60);
    EXPECT_TRUE(t.milliseconds >= 0 && t.milliseconds < 1000);
}
