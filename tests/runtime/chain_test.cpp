// tests/runtime/chain_test.cpp: the start-up and end chains, merged with the program's steps.
#include <string>
#include <vector>

#include "runtime/chain.h"
#include "runtime/decoders.h"
#include "runtime/heap.h"
#include "runtime/libraries.h"
#include "runtime/strings.h"
#include <gtest/gtest.h>

namespace {

// What the upper steps saw when they ran.
struct Seen {
    int position;
    bool runtimeHeap, stringHeap, memoryHeap, pngDecoder, fileTable;
};
std::vector<Seen> g_seen;

template <int Position>
void Record() {
    const runtime::DecoderRegistry* r = runtime::GetDecoderRegistry();
    g_seen.push_back({Position, runtime::RuntimeHeap() != nullptr, runtime::StringHeap() != nullptr,
                      runtime::MemoryHeap() != nullptr, r && r->decoderCount == 2, runtime::FileTable() != nullptr});
}

}  // namespace

TEST(Chain, RuntimeStepsAreInAscendingPositionsWithinTheirRanges) {
    const struct { std::span<const runtime::ChainStep> steps; int highest; } tables[] = {
        {runtime::RuntimeStartupSteps(), 28}, {runtime::RuntimeEndSteps(), 14}};
    for (const auto& t : tables) {
        int previous = 0;
        for (const auto& step : t.steps) {
            SCOPED_TRACE(step.name);
            EXPECT_GT(step.position, previous);
            EXPECT_LE(step.position, t.highest);
            EXPECT_NE(step.run, nullptr);
            previous = step.position;
        }
    }
}

TEST(Chain, UpperStepsRunAtTheirPositionsBetweenTheRuntimes) {
    g_seen.clear();
    // Given out of order on purpose: the chain orders them by position.
    const runtime::ChainStep start[] = {{28, "sound", Record<28>},
                                        {1, "intro globals", Record<1>},
                                        {25, "render engine", Record<25>},
                                        {24, "music", Record<24>},
                                        {27, "display", Record<27>}};
    runtime::RunStartupChain(start);
    ASSERT_EQ(g_seen.size(), 5u);
    const int order[] = {1, 24, 25, 27, 28};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(g_seen[i].position, order[i]);
    // Step 1 runs before the runtime heap exists; the libraries above find every runtime
    // library started, but the PNG decoder (26) only from the display step on.
    EXPECT_FALSE(g_seen[0].runtimeHeap);
    EXPECT_TRUE(g_seen[1].runtimeHeap && g_seen[1].stringHeap && g_seen[1].memoryHeap && g_seen[1].fileTable);
    EXPECT_FALSE(g_seen[2].pngDecoder);
    EXPECT_TRUE(g_seen[3].pngDecoder);

    g_seen.clear();
    const runtime::ChainStep end[] = {{11, "sound", Record<11>}, {1, "music", Record<1>}};
    runtime::RunEndChain(end);
    ASSERT_EQ(g_seen.size(), 2u);
    // Music stops while files are still open; sound closes while strings and heaps still exist.
    EXPECT_EQ(g_seen[0].position, 1);
    EXPECT_TRUE(g_seen[0].fileTable);
    EXPECT_EQ(g_seen[1].position, 11);
    EXPECT_TRUE(g_seen[1].memoryHeap && g_seen[1].stringHeap && g_seen[1].runtimeHeap);
    EXPECT_EQ(runtime::RuntimeHeap(), nullptr);
    EXPECT_EQ(runtime::StringHeap(), nullptr);
    EXPECT_EQ(runtime::MemoryHeap(), nullptr);
    EXPECT_EQ(runtime::FileTable(), nullptr);
    EXPECT_EQ(runtime::GetDecoderRegistry(), nullptr);
}

TEST(Chain, StartUpSetsUpEveryRuntimeLibrary) {
    runtime::RunStartupChain({});
    EXPECT_EQ(runtime::ScratchCapacity(), 16u);
    EXPECT_EQ(runtime::ScratchPosition(), 0u);
    EXPECT_EQ(runtime::ScreenVerticalResolution(), runtime::kDefaultScreenDpi);
    const struct { runtime::ObjectTable* table; int capacity; const char* name; } tables[] = {
        {runtime::FileTable(), runtime::kFileTableCapacity, "files"},
        {runtime::FontTable(), runtime::kFontTableCapacity, "fonts"},
        {runtime::ImageTable(), runtime::kImageTableCapacity, "images"},
        {runtime::LibraryTable(), runtime::kLibraryTableCapacity, "dynamic libraries"},
        {runtime::ControlTable(), runtime::kControlTableCapacity, "controls"},
    };
    for (const auto& t : tables) {
        SCOPED_TRACE(t.name);
        ASSERT_NE(t.table, nullptr);
        EXPECT_EQ(t.table->capacity, t.capacity);
        EXPECT_EQ(t.table->growthStep, t.capacity);
        EXPECT_NE(t.table->freeCallback, nullptr);
    }
    ASSERT_TRUE(runtime::ThreadSlotReady());
    int local = 0;
    EXPECT_TRUE(runtime::SetThreadSlot(&local));
    EXPECT_EQ(runtime::GetThreadSlot(), &local);
    runtime::RunEndChain({});
}

TEST(Chain, EndStepsReleaseWhatTheLibrariesStillHold) {
    runtime::RunStartupChain({});
    // An open file and an image left behind by the program are closed and freed at the end.
    auto* file = static_cast<runtime::FileRecord*>(runtime::AllocateObject(runtime::FileTable(), 3));
    ASSERT_NE(file, nullptr);
    file->stream = std::tmpfile();
    file->buffer = static_cast<char*>(runtime::RuntimeAlloc(64));
    auto* image = static_cast<runtime::ImageRecord*>(runtime::AllocateObject(runtime::ImageTable(), -1));
    image->pixels = static_cast<std::uint32_t*>(runtime::RuntimeAlloc(16));

    const runtime::ChainStep probe[] = {{11, "probe", [] {
        // By the sound step, files (2) and images (7) have been ended.
        EXPECT_EQ(runtime::LookupObject(runtime::FileTable(), 3), nullptr);
        runtime::ResetObjectWalk(runtime::ImageTable());
        EXPECT_EQ(runtime::NextObject(runtime::ImageTable(), nullptr), nullptr);
    }}};
    runtime::RunEndChain(probe);
}

TEST(Chain, ChainsCanRunAgainAfterTheEnd) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        runtime::RunStartupChain({});
        runtime::StringVariable s = nullptr;
        EXPECT_EQ(runtime::SetStringVariable(&s, "again"), 6u);
        runtime::RunEndChain({});
    }
}

TEST(ChainDeathTest, EndProcessExitsWithCodeZero) {
    EXPECT_EXIT(
        {
            runtime::RunStartupChain({});
            runtime::RunEndChain({});
            runtime::EndProcess();
        },
        ::testing::ExitedWithCode(0), "");
}
