// tests/engine/record_list_test.cpp: where typed record lists put new records, and walks that
// survive lookups, insertions and removals of the same list.
#include <gtest/gtest.h>

#include <vector>

#include "engine/record_list.h"
#include "runtime/chain.h"

namespace {

using engine::RecordList;
using engine::WalkStep;

struct Item {
    int value;
};

class RecordListTest : public ::testing::Test {
protected:
    void SetUp() override {
        runtime::RunStartupChain({});
        ASSERT_TRUE(list_.Create());
    }
    void TearDown() override {
        list_.Destroy();
        runtime::RunEndChain({});
    }

    Item* Insert(int value) {
        Item* item = list_.Insert();
        item->value = value;
        return item;
    }

    std::vector<int> Values() {
        std::vector<int> out;
        list_.ForEach([&](const Item& i) { out.push_back(i.value); });
        return out;
    }

    RecordList<Item> list_;
};

using Ints = std::vector<int>;

// ---------------------------------------------------------------------------------------------
// Insertion goes after the cursor that the last operation left
// ---------------------------------------------------------------------------------------------

TEST_F(RecordListTest, InsertsAfterTheRecordLeftCurrent) {
    Item* a = Insert(1);
    Item* b = Insert(2);
    Insert(3);
    EXPECT_EQ(Values(), (Ints{1, 2, 3}));  // each creation leaves the new record current

    ASSERT_EQ(list_.Find(a), a);
    Insert(4);
    EXPECT_EQ(Values(), (Ints{1, 4, 2, 3}));  // after the record found

    Insert(5);  // Values() walked to the end
    EXPECT_EQ(Values(), (Ints{1, 4, 2, 3, 5}));

    Item unknown{};
    EXPECT_EQ(list_.Find(&unknown), nullptr);  // a failed lookup walks to the end
    Insert(6);
    EXPECT_EQ(Values(), (Ints{1, 4, 2, 3, 5, 6}));

    EXPECT_TRUE(list_.Remove(b));  // its predecessor (4) becomes current
    Insert(7);
    EXPECT_EQ(Values(), (Ints{1, 4, 7, 3, 5, 6}));

    EXPECT_TRUE(list_.Remove(a));  // the first: none is current, the next goes first
    Insert(8);
    EXPECT_EQ(Values(), (Ints{8, 4, 7, 3, 5, 6}));
    EXPECT_FALSE(list_.Remove(&unknown));
    EXPECT_EQ(Values(), (Ints{8, 4, 7, 3, 5, 6}));
}

// ---------------------------------------------------------------------------------------------
// Walks and the single cursor
// ---------------------------------------------------------------------------------------------

TEST_F(RecordListTest, LookupsAndNestedWalksInsideAWalkLeaveItWhereItWas) {
    std::vector<Item*> items;
    for (int v = 1; v <= 5; ++v) items.push_back(Insert(v));
    Item unknown{};
    Ints visited;
    list_.ForEach([&](Item& i) {
        visited.push_back(i.value);
        EXPECT_EQ(list_.Find(items.back()), items.back());
        EXPECT_EQ(list_.Find(items.front()), items.front());
        EXPECT_EQ(list_.Find(&unknown), nullptr);
        int inner = 0;
        list_.ForEach([&](Item&) { ++inner; });
        EXPECT_EQ(inner, 5);
        EXPECT_EQ(list_.Current(), &i);
    });
    EXPECT_EQ(visited, (Ints{1, 2, 3, 4, 5}));
}

TEST_F(RecordListTest, RemovalsAndInsertionsInsideAWalkKeepItsCourse) {
    std::vector<Item*> items;
    for (int v = 1; v <= 6; ++v) items.push_back(Insert(v));
    Ints visited;
    list_.ForEach([&](Item& i) {
        const int value = i.value;  // "i" may be gone after its removal
        visited.push_back(value);
        switch (value) {
            case 1: list_.Remove(&i); break;         // the visited record, and the first
            case 2: list_.Remove(items[3]); break;   // a later one: never visited
            case 3: Insert(30); break;               // follows the visited one: visited next
            case 5: list_.Remove(items[1]); break;   // an earlier one
            default: break;
        }
        return value == 30 ? WalkStep::kRemove : WalkStep::kKeep;
    });
    EXPECT_EQ(visited, (Ints{1, 2, 3, 30, 5, 6}));
    EXPECT_EQ(Values(), (Ints{3, 5, 6}));
}

TEST_F(RecordListTest, WalkStepRemovesExactlyTheRecordsItNames) {
    for (int v = 1; v <= 6; ++v) Insert(v);
    list_.ForEach([](Item& i) { return i.value % 2 == 1 ? WalkStep::kRemove : WalkStep::kKeep; });
    EXPECT_EQ(Values(), (Ints{2, 4, 6}));
    list_.ForEach([](Item&) { return WalkStep::kRemove; });
    EXPECT_EQ(list_.Count(), 0);
    Insert(9);  // an emptied list takes new records first
    EXPECT_EQ(Values(), (Ints{9}));
}

}  // namespace
