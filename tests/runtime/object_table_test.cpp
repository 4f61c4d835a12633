// tests/runtime/object_table_test.cpp: numbered-object tables.
#include <cstdint>
#include <vector>

#include "runtime/object_table.h"
#include "runtime_fixture.h"

using runtime::ObjectNumber;
using runtime::ObjectTable;

namespace {

struct Record {
    void* handle;  // live field
    int value;
};

// The table the free callback works on, and the numbers it destroyed, in order.
ObjectTable* g_table = nullptr;
std::vector<ObjectNumber> g_destroyed;

void DestroyRecord(ObjectNumber number) {
    g_destroyed.push_back(number);
    if (runtime::LookupObject(g_table, number)) runtime::ReleaseObject(g_table, number);
}

void MakeLive(void* record, int value) {
    auto* r = static_cast<Record*>(record);
    r->handle = r;
    r->value = value;
}

class ObjectTableTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        g_destroyed.clear();
        g_table = runtime::CreateObjectTable(sizeof(Record), 16, DestroyRecord);
        ASSERT_NE(g_table, nullptr);
    }
};

}  // namespace

TEST_F(ObjectTableTest, GrowsToGrowthStepPlusNumber) {
    void* r = runtime::AllocateObject(g_table, 100);
    ASSERT_NE(r, nullptr);
    MakeLive(r, 1);
    EXPECT_EQ(g_table->capacity, 116);
    for (ObjectNumber n = 16; n < 100; ++n) ASSERT_EQ(runtime::LookupObject(g_table, n), nullptr) << n;
    EXPECT_EQ(runtime::LookupObject(g_table, 100), r);
    // The last slot of the grown array is usable without further growth.
    ASSERT_NE(runtime::AllocateObject(g_table, 115), nullptr);
    EXPECT_EQ(g_table->capacity, 116);
}

TEST_F(ObjectTableTest, NewRecordsAreZeroAndNotLiveUntilTheirFirstFieldIsSet) {
    auto* r = static_cast<Record*>(runtime::AllocateObject(g_table, 3));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->handle, nullptr);
    EXPECT_EQ(r->value, 0);
    EXPECT_EQ(runtime::LookupObject(g_table, 3), nullptr);
    MakeLive(r, 7);
    EXPECT_EQ(runtime::LookupObject(g_table, 3), r);
}

TEST_F(ObjectTableTest, AllocatingALiveNumberDestroysTheOldObjectFirst) {
    void* first = runtime::AllocateObject(g_table, 5);
    MakeLive(first, 42);
    auto* again = static_cast<Record*>(runtime::AllocateObject(g_table, 5));
    ASSERT_EQ(g_destroyed, std::vector<ObjectNumber>{5});
    EXPECT_EQ(again, first);  // the record is reused
    EXPECT_EQ(again->value, 0);
    EXPECT_EQ(again->handle, nullptr);
}

TEST_F(ObjectTableTest, ReleaseKeepsSlotMemoryAndFreesAutomaticRecords) {
    void* slot = runtime::AllocateObject(g_table, 2);
    MakeLive(slot, 1);
    runtime::ReleaseObject(g_table, 2);
    EXPECT_EQ(runtime::LookupObject(g_table, 2), nullptr);
    EXPECT_EQ(g_table->slots[2], slot);

    void* automatic = runtime::AllocateObject(g_table, -1);
    ASSERT_NE(automatic, nullptr);
    MakeLive(automatic, 2);
    const auto number = reinterpret_cast<ObjectNumber>(automatic);
    EXPECT_EQ(runtime::LookupObject(g_table, number), automatic);
    runtime::ReleaseObject(g_table, number);
    EXPECT_EQ(runtime::LookupObject(g_table, number), nullptr);
    EXPECT_EQ(g_table->automaticNewest, nullptr);
}

TEST_F(ObjectTableTest, RefusesBadNumbersWithoutChangingAnything) {
    const struct { ObjectNumber number; const char* why; } rows[] = {
        {-2, "below -1"},
        {INTPTR_MIN, "most negative"},
        {runtime::kMaxObjectSlots, "slots cannot grow that far"},
        {INTPTR_MAX, "largest"},
        {INTPTR_MAX - 3, "growth would overflow"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(runtime::AllocateObject(g_table, row.number), nullptr);
        EXPECT_EQ(g_table->capacity, 16);
        EXPECT_EQ(g_table->automaticNewest, nullptr);
    }
    EXPECT_EQ(runtime::AllocateObject(nullptr, 0), nullptr);
}

TEST_F(ObjectTableTest, LookupOfUnknownAddressesReadsNothing) {
    void* automatic = runtime::AllocateObject(g_table, -1);
    MakeLive(automatic, 1);
    // None of these may be dereferenced: under AddressSanitizer a read would be reported.
    int onStack = 1;
    const ObjectNumber rows[] = {-1, -2, 16, 1000, INTPTR_MAX, INTPTR_MIN,
                                 reinterpret_cast<ObjectNumber>(&onStack),
                                 reinterpret_cast<ObjectNumber>(automatic) + 8,
                                 reinterpret_cast<ObjectNumber>(automatic) - 16};
    for (ObjectNumber n : rows) {
        SCOPED_TRACE(n);
        EXPECT_EQ(runtime::LookupObject(g_table, n), nullptr);
        runtime::ReleaseObject(g_table, n);  // ignored
    }
    EXPECT_EQ(runtime::LookupObject(g_table, reinterpret_cast<ObjectNumber>(automatic)), automatic);
    EXPECT_EQ(runtime::LookupObject(nullptr, 0), nullptr);
}

TEST_F(ObjectTableTest, FreeAllDestroysSlotsUpwardsThenAutomaticNewestFirst) {
    for (ObjectNumber n : {9, 1, 40}) MakeLive(runtime::AllocateObject(g_table, n), 0);
    runtime::AllocateObject(g_table, 4);  // not live: not destroyed
    void* older = runtime::AllocateObject(g_table, -1);
    void* newer = runtime::AllocateObject(g_table, -1);
    MakeLive(older, 0);
    MakeLive(newer, 0);
    runtime::FreeAllObjects(g_table);
    const std::vector<ObjectNumber> expected = {1, 9, 40, reinterpret_cast<ObjectNumber>(newer),
                                                reinterpret_cast<ObjectNumber>(older)};
    EXPECT_EQ(g_destroyed, expected);
    runtime::ResetObjectWalk(g_table);
    EXPECT_EQ(runtime::NextObject(g_table, nullptr), nullptr);
}

TEST_F(ObjectTableTest, FreeAllEndsWhenTheCallbackKeepsAnAutomaticRecord) {
    ObjectTable* stubborn = runtime::CreateObjectTable(sizeof(Record), 4, [](ObjectNumber) {});
    MakeLive(runtime::AllocateObject(stubborn, -1), 0);
    MakeLive(runtime::AllocateObject(stubborn, -1), 0);
    runtime::FreeAllObjects(stubborn);
    EXPECT_EQ(stubborn->automaticNewest, nullptr);
}

TEST_F(ObjectTableTest, WalkVisitsSlotsAscendingThenAutomaticOldestFirst) {
    void* a1 = runtime::AllocateObject(g_table, -1);
    MakeLive(runtime::AllocateObject(g_table, 20), 0);
    void* a2 = runtime::AllocateObject(g_table, -1);
    MakeLive(runtime::AllocateObject(g_table, 0), 0);
    void* a3 = runtime::AllocateObject(g_table, -1);
    runtime::AllocateObject(g_table, 7);  // not live
    MakeLive(a1, 0);
    MakeLive(a2, 0);
    MakeLive(a3, 0);

    std::vector<ObjectNumber> seen;
    ObjectNumber n = 0;
    runtime::ResetObjectWalk(g_table);
    while (void* r = runtime::NextObject(g_table, &n)) {
        EXPECT_EQ(runtime::LookupObject(g_table, n), r);
        seen.push_back(n);
    }
    const std::vector<ObjectNumber> expected = {0, 20, reinterpret_cast<ObjectNumber>(a1),
                                                reinterpret_cast<ObjectNumber>(a2),
                                                reinterpret_cast<ObjectNumber>(a3)};
    EXPECT_EQ(seen, expected);
}

TEST_F(ObjectTableTest, WalkSurvivesReleasingTheRecordsItVisits) {
    std::vector<void*> automatic;
    for (int i = 0; i < 4; ++i) {
        automatic.push_back(runtime::AllocateObject(g_table, -1));
        MakeLive(automatic.back(), i);
    }
    MakeLive(runtime::AllocateObject(g_table, 3), 0);
    int visited = 0;
    ObjectNumber n = 0;
    runtime::ResetObjectWalk(g_table);
    while (runtime::NextObject(g_table, &n)) {
        runtime::ReleaseObject(g_table, n);
        ++visited;
    }
    EXPECT_EQ(visited, 5);
    EXPECT_EQ(g_table->automaticNewest, nullptr);
}

TEST_F(ObjectTableTest, CreationRefusesBadSizes) {
    EXPECT_EQ(runtime::CreateObjectTable(0, 16, nullptr), nullptr);
    EXPECT_EQ(runtime::CreateObjectTable(sizeof(Record), 0, nullptr), nullptr);
    EXPECT_EQ(runtime::CreateObjectTable(sizeof(Record), -5, nullptr), nullptr);
}

TEST(ObjectTableWithoutHeap, CreationFailsCleanly) {
    EXPECT_EQ(runtime::CreateObjectTable(sizeof(Record), 16, nullptr), nullptr);
}
