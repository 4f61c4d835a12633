// tests/runtime/strings_test.cpp: string variables, the scratch string and the data area.
#include <cstring>
#include <string>

#include "platform/sys/sys.h"
#include "platform/sys/sys_testing.h"
#include "runtime/colour.h"
#include "runtime/data_area.h"
#include "runtime/heap.h"
#include "runtime/strings.h"
#include "runtime_fixture.h"

using runtime::StringVariable;

namespace {

class StringsTest : public RuntimeTest {};

bool FailEverything(std::size_t) { return true; }

}  // namespace

TEST_F(StringsTest, SetStringVariableReturnsLengthPlusOneAndNullEmpties) {
    StringVariable s = nullptr;
    EXPECT_EQ(runtime::SetStringVariable(&s, "0123456789"), 11u);
    EXPECT_STREQ(s, "0123456789");
    EXPECT_EQ(platform::sys::HeapSize(runtime::StringHeap(), s), 15u);  // L + 5
    EXPECT_EQ(runtime::SetStringVariable(&s, ""), 1u);
    EXPECT_STREQ(s, "");
    EXPECT_EQ(runtime::SetStringVariable(&s, nullptr), 1u);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(runtime::SetStringVariable(nullptr, "x"), 0u);
}

TEST_F(StringsTest, SetStringVariableAcceptsItsOwnTextAndSurvivesNoMemory) {
    StringVariable s = nullptr;
    runtime::SetStringVariable(&s, "hello world");
    EXPECT_EQ(runtime::SetStringVariable(&s, s + 6), 6u);
    EXPECT_STREQ(s, "world");
    platform::sys::InjectAllocationFailures(FailEverything);
    EXPECT_EQ(runtime::SetStringVariable(&s, "longer text"), 0u);
    platform::sys::InjectAllocationFailures(nullptr);
    EXPECT_STREQ(s, "world");
    runtime::FreeStringMemory(s);
}

TEST_F(StringsTest, StringsEqualTreatsNullAsEmpty) {
    const struct { const char* a; const char* b; int equal; } rows[] = {
        {nullptr, nullptr, 1}, {nullptr, "", 1}, {"", nullptr, 1}, {"End", "End", 1},
        {"End", "end", 0},     {"End", "End ", 0}, {nullptr, "a", 0}, {"ab", "a", 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.a ? r.a : "(null)") + " / " + (r.b ? r.b : "(null)"));
        EXPECT_EQ(runtime::StringsEqual(r.a, r.b), r.equal);
    }
}

TEST_F(StringsTest, ScratchGrowsOnlyWhenTheReserveReachesCapacityMinusFour) {
    ASSERT_EQ(runtime::ScratchCapacity(), 16u);
    ASSERT_NE(runtime::ReserveScratch(11), nullptr);
    EXPECT_EQ(runtime::ScratchCapacity(), 16u);
    EXPECT_EQ(runtime::ScratchPosition(), 11u);
    StringVariable s = nullptr;
    runtime::AssignFromScratch(&s, 0);
    EXPECT_EQ(runtime::ScratchPosition(), 0u);

    ASSERT_NE(runtime::ReserveScratch(12), nullptr);
    EXPECT_EQ(runtime::ScratchCapacity(), 12u + 16384u);
    EXPECT_EQ(platform::sys::HeapSize(runtime::StringHeap(), runtime::ScratchText()), 12u + 16384u + 5u);
    runtime::FreeStringMemory(s);
}

TEST_F(StringsTest, ScratchAssemblesAndAssignsLikeTheEffectSourceLoop) {
    StringVariable source = nullptr;
    std::string expected;
    for (int line = 0; line < 200; ++line) {
        const std::string text = "line " + std::to_string(line) + " of the source";
        const std::size_t start = runtime::ScratchPosition();
        runtime::AppendToScratch(source);
        runtime::AppendToScratch(text.c_str());
        runtime::AppendToScratch("\n");
        runtime::AssignFromScratch(&source, start);
        expected += text + "\n";
        ASSERT_EQ(runtime::ScratchPosition(), start);
    }
    EXPECT_EQ(std::string(source), expected);
    runtime::FreeStringMemory(source);
}

TEST_F(StringsTest, AppendOfNullTerminatesAndAssignRefusesAStartBeyondThePosition) {
    runtime::AppendToScratch("abc");
    runtime::AppendToScratch(nullptr);
    EXPECT_EQ(runtime::ScratchPosition(), 3u);
    EXPECT_STREQ(runtime::ScratchText(), "abc");
    StringVariable s = nullptr;
    runtime::AssignFromScratch(&s, 4);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(runtime::ScratchPosition(), 3u);
    // Appending the scratch's own text while it grows copies the right bytes.
    runtime::AppendToScratch(std::string(20, 'x').c_str());
    runtime::AppendToScratch(runtime::ScratchText());
    runtime::AssignFromScratch(&s, 0);
    EXPECT_EQ(std::string(s), "abc" + std::string(20, 'x') + "abc" + std::string(20, 'x'));
    runtime::FreeStringMemory(s);
}

TEST(StringsWithoutHeap, OperationsFailCleanly) {
    StringVariable s = nullptr;
    EXPECT_EQ(runtime::SetStringVariable(&s, "x"), 0u);
    runtime::AppendToScratch("x");
    runtime::AssignFromScratch(&s, 0);
    EXPECT_EQ(runtime::ReserveScratch(4), nullptr);
    EXPECT_EQ(s, nullptr);
}

TEST(Colour, MakeColourPutsRedInTheLowByte) {
    EXPECT_EQ(runtime::MakeColour(51, 51, 153), 0x00993333u);
    EXPECT_EQ(runtime::MakeColour(255, 0, 0), 0x000000FFu);
    EXPECT_EQ(runtime::MakeColour(0, 0, 255), 0x00FF0000u);
}

// --- the data area ---------------------------------------------------------------------------

TEST_F(StringsTest, DataAreaTextsAreReadInOrderUntilEnd) {
    static const char kArea[] = "PNGDATA\0first line\0second\0End\0";
    runtime::SetDataArea(kArea, sizeof kArea - 1);
    runtime::ResetDataPosition();
    ASSERT_TRUE(runtime::SetDataOffset(8));
    StringVariable line = nullptr;
    std::string joined;
    while (runtime::ReadDataString(&line) && !runtime::StringsEqual(line, "End")) joined += std::string(line) + "\n";
    EXPECT_EQ(joined, "first line\nsecond\n");
    EXPECT_EQ(runtime::DataOffset(), sizeof kArea - 1);
    EXPECT_EQ(runtime::ReadDataString(&line), 0u);  // at the end
    runtime::FreeStringMemory(line);
}

TEST_F(StringsTest, DataAreaRefusesTextsWithoutTerminatorAndOffsetsBeyondTheEnd) {
    static const char kArea[] = {'a', 'b', '\0', 'c', 'd'};
    runtime::SetDataArea(kArea, sizeof kArea);
    runtime::ResetDataPosition();
    StringVariable s = nullptr;
    EXPECT_EQ(runtime::ReadDataString(&s), 3u);
    EXPECT_EQ(runtime::ReadDataString(&s), 0u);  // "cd" runs off the area
    EXPECT_EQ(runtime::DataOffset(), 3u);
    EXPECT_STREQ(s, "ab");
    EXPECT_FALSE(runtime::SetDataOffset(6));
    EXPECT_TRUE(runtime::SetDataOffset(5));
    runtime::FreeStringMemory(s);
    runtime::SetDataArea(nullptr, 0);
    EXPECT_EQ(runtime::DataCursor(), nullptr);
}

TEST(DataAreaChain, StartUpPointsThePositionAtTheAreaStart) {
    static const char kArea[] = "abc\0def";
    runtime::SetDataArea(kArea, sizeof kArea);
    runtime::RunStartupChain({});
    ASSERT_TRUE(runtime::SetDataOffset(4));
    runtime::RunEndChain({});
    runtime::RunStartupChain({});
    EXPECT_EQ(runtime::DataCursor(), reinterpret_cast<const std::uint8_t*>(kArea));
    runtime::RunEndChain({});
    runtime::SetDataArea(nullptr, 0);
}
