// tests/runtime/list_test.cpp: linked lists, their current item and structure descriptors.
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sys/sys.h"

#include "runtime/block_pool.h"
#include "runtime/heap.h"
#include "runtime/list.h"
#include "runtime/list_internal.h"
#include "runtime/strings.h"
#include "runtime_fixture.h"

using runtime::LinkedList;
using runtime::ListVariable;

namespace {

struct Item {
    int value;
    int pad;
};

class ListTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        list_ = runtime::CreateLinkedList(sizeof(Item), &var_, nullptr, 0);
        ASSERT_NE(list_, nullptr);
    }
    void TearDown() override {
        runtime::DestroyLinkedList(list_);
        RuntimeTest::TearDown();
    }
    void* Insert(int value) {
        auto* item = static_cast<Item*>(runtime::InsertListItem(list_));
        item->value = value;
        return item;
    }
    // The values from first to last, walked as the engine walks, leaving no current item.
    std::vector<int> Values() {
        std::vector<int> out;
        runtime::RewindList(list_);
        while (auto* item = static_cast<Item*>(runtime::AdvanceListItem(list_))) out.push_back(item->value);
        return out;
    }
    int Current() const { return var_.current ? static_cast<Item*>(var_.current)->value : -1; }

    ListVariable var_{};
    LinkedList* list_ = nullptr;
};

}  // namespace

TEST_F(ListTest, VariableFollowsEveryOperation) {
    EXPECT_EQ(var_.list, list_);
    EXPECT_EQ(var_.current, nullptr);
    void* a = Insert(1);
    EXPECT_EQ(var_.current, a);
    Insert(2);
    runtime::RewindList(list_);
    EXPECT_EQ(var_.current, nullptr);
    EXPECT_TRUE(list_->beforeFirst);
    EXPECT_EQ(runtime::AdvanceListItem(list_), a);
    EXPECT_EQ(var_.current, a);
    runtime::EmptyList(list_);
    EXPECT_EQ(var_.current, nullptr);
    EXPECT_EQ(runtime::CountListItems(list_), 0);
}

TEST_F(ListTest, InsertPutsItemsFirstAfterRewindAndAppendsAfterTheLast) {
    Insert(1);
    Insert(2);
    Insert(3);
    EXPECT_EQ(Values(), (std::vector<int>{1, 2, 3}));
    runtime::RewindList(list_);
    Insert(0);
    EXPECT_EQ(list_->currentIndex, 0);
    EXPECT_FALSE(list_->beforeFirst);
    runtime::GoToLastItem(list_);
    // Advancing at the last item returns null and stays; the next insert appends.
    EXPECT_EQ(runtime::AdvanceListItem(list_), nullptr);
    EXPECT_EQ(Current(), 3);
    Insert(4);
    EXPECT_EQ(list_->currentIndex, 4);
    EXPECT_EQ(Values(), (std::vector<int>{0, 1, 2, 3, 4}));
    runtime::SeekListItem(list_, 1);
    Insert(9);  // after the current item
    EXPECT_EQ(Values(), (std::vector<int>{0, 1, 9, 2, 3, 4}));
}

TEST_F(ListTest, RemoveMovesTheCursorAsTheWalkExpects) {
    for (int i = 1; i <= 5; ++i) Insert(i);
    // Deleting inside a walk: the next advance continues with the following item.
    std::vector<int> visited;
    runtime::RewindList(list_);
    while (auto* item = static_cast<Item*>(runtime::AdvanceListItem(list_))) {
        visited.push_back(item->value);
        if (item->value % 2 == 1) runtime::RemoveListItem(list_, 0);
    }
    EXPECT_EQ(visited, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(Values(), (std::vector<int>{2, 4}));
    EXPECT_EQ(list_->last, list_->first->next);
}

TEST_F(ListTest, RemovingTheFirstItemHonoursTheFlag) {
    for (int i = 1; i <= 3; ++i) Insert(i);
    runtime::GoToFirstItem(list_);
    EXPECT_EQ(runtime::RemoveListItem(list_, 0), nullptr);
    EXPECT_TRUE(list_->beforeFirst);
    EXPECT_EQ(var_.current, nullptr);
    EXPECT_EQ(static_cast<Item*>(runtime::AdvanceListItem(list_))->value, 2);

    runtime::GoToFirstItem(list_);
    auto* next = static_cast<Item*>(runtime::RemoveListItem(list_, runtime::kRemoveKeepsSuccessorCurrent));
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->value, 3);
    EXPECT_EQ(list_->currentIndex, 0);
    EXPECT_FALSE(list_->beforeFirst);
    // The only item: the list is empty afterwards.
    EXPECT_EQ(runtime::RemoveListItem(list_, runtime::kRemoveKeepsSuccessorCurrent), nullptr);
    EXPECT_EQ(runtime::CountListItems(list_), 0);
    EXPECT_EQ(list_->first, nullptr);
    EXPECT_EQ(list_->last, nullptr);
    // Nothing current: nothing removed.
    EXPECT_EQ(runtime::RemoveListItem(list_, 0), nullptr);
    EXPECT_EQ(runtime::CountListItems(list_), 0);
}

TEST_F(ListTest, RemovingTheLastItemMakesThePredecessorLast) {
    for (int i = 1; i <= 3; ++i) Insert(i);
    EXPECT_EQ(static_cast<Item*>(runtime::RemoveListItem(list_, 0))->value, 2);
    EXPECT_EQ(list_->currentIndex, 1);
    EXPECT_EQ(static_cast<Item*>(runtime::GoToLastItem(list_))->value, 2);
    Insert(7);
    EXPECT_EQ(Values(), (std::vector<int>{1, 2, 7}));
}

TEST_F(ListTest, SeekFindsEveryIndexWalkingAtMostHalfTheList) {
    constexpr int kCount = 101;
    for (int i = 0; i < kCount; ++i) Insert(i);
    const int starts[] = {-1, 0, 37, 50, 63, 100};  // -1: rewound
    for (int start : starts) {
        for (int index = 0; index < kCount; ++index) {
            SCOPED_TRACE(std::to_string(start) + " -> " + std::to_string(index));
            if (start < 0) runtime::RewindList(list_); else runtime::SeekListItem(list_, start);
            auto* item = static_cast<Item*>(runtime::SeekListItem(list_, index));
            ASSERT_NE(item, nullptr);
            ASSERT_EQ(item->value, index);
            ASSERT_EQ(list_->currentIndex, index);
            ASSERT_LE(runtime::LastSeekSteps(), kCount / 2);
        }
    }
}

TEST_F(ListTest, SeekOutsideTheListLeavesNoCurrentItem) {
    for (int i = 0; i < 4; ++i) Insert(i);
    for (int index : {4, 5, -1, INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(index);
        runtime::GoToFirstItem(list_);
        EXPECT_EQ(runtime::SeekListItem(list_, index), nullptr);
        EXPECT_EQ(var_.current, nullptr);
        EXPECT_TRUE(list_->beforeFirst);
        EXPECT_EQ(static_cast<Item*>(runtime::AdvanceListItem(list_))->value, 0);
    }
}

TEST_F(ListTest, EmptyListOperationsReturnNull) {
    EXPECT_EQ(runtime::GoToFirstItem(list_), nullptr);
    EXPECT_EQ(runtime::GoToLastItem(list_), nullptr);
    EXPECT_EQ(runtime::AdvanceListItem(list_), nullptr);
    EXPECT_EQ(runtime::SeekListItem(list_, 0), nullptr);
    EXPECT_EQ(runtime::RemoveListItem(list_, 1), nullptr);
    EXPECT_TRUE(list_->beforeFirst);
    EXPECT_EQ(runtime::InsertListItem(nullptr), nullptr);
    EXPECT_EQ(runtime::CountListItems(nullptr), 0);
    runtime::DestroyLinkedList(nullptr);
}

TEST_F(ListTest, NewItemsAreZeroFilledEvenFromReusedBlocks) {
    Insert(1);  // keeps the chunk alive, so the removed block is handed out again
    auto* a = static_cast<Item*>(runtime::InsertListItem(list_));
    a->value = 77;
    a->pad = 78;
    runtime::RemoveListItem(list_, 0);
    auto* b = static_cast<Item*>(runtime::InsertListItem(list_));
    EXPECT_EQ(b, a);  // the same block came back
    EXPECT_EQ(b->value, 0);
    EXPECT_EQ(b->pad, 0);
}

TEST_F(ListTest, ListsOfOneSizeShareAPoolAndOutliveEachOther) {
    ListVariable otherVar{};
    LinkedList* other = runtime::CreateLinkedList(sizeof(Item), &otherVar, nullptr, 0);
    EXPECT_EQ(other->pool, list_->pool);
    EXPECT_EQ(runtime::GetBlockPoolStats(list_->pool).references, 2);
    for (int i = 0; i < 40; ++i) Insert(i);
    for (int i = 0; i < 40; ++i) static_cast<Item*>(runtime::InsertListItem(other))->value = 100 + i;
    runtime::DestroyLinkedList(other);
    EXPECT_EQ(otherVar.list, nullptr);
    EXPECT_EQ(otherVar.current, nullptr);
    EXPECT_EQ(runtime::GetBlockPoolStats(list_->pool).references, 1);
    std::vector<int> expected;
    for (int i = 0; i < 40; ++i) expected.push_back(i);
    EXPECT_EQ(Values(), expected);
}

TEST_F(ListTest, InternalVariableWhenNoneIsGiven) {
    LinkedList* own = runtime::CreateLinkedList(8, nullptr, nullptr, 3);
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(own->ownsVariable);
    EXPECT_EQ(own->variable->list, own);
    void* item = runtime::InsertListItem(own);
    EXPECT_EQ(own->variable->current, item);
    runtime::DestroyLinkedList(own);
    EXPECT_EQ(runtime::CreateLinkedList(-1, nullptr, nullptr, 0), nullptr);
}

// --- structure descriptors -------------------------------------------------------------------

namespace {

struct Child {
    char* name;
    int value;
};

struct Parent {
    char* title;
    ListVariable children;
    char* names[3];
};

const runtime::DescriptorWord kChildDesc[] = {offsetof(Child, name), runtime::kDescEnd};
const runtime::DescriptorWord kParentDesc[] = {
    offsetof(Parent, title),
    runtime::kDescList, offsetof(Parent, children), sizeof(Child), runtime::DescriptorWordOf(kChildDesc), 7,
    runtime::kDescRecords, 3, offsetof(Parent, names), sizeof(char*), 0,
    runtime::kDescEnd};
// The nested descriptor of kDescRecords above is null: each of the three records is a plain
// string at offset 0 of its record, described here instead.
const runtime::DescriptorWord kNameDesc[] = {0, runtime::kDescEnd};
const runtime::DescriptorWord kNamesDesc[] = {
    runtime::kDescRecords, 3, offsetof(Parent, names), sizeof(char*), runtime::DescriptorWordOf(kNameDesc),
    runtime::kDescEnd};

}  // namespace

TEST_F(ListTest, DeletingDescribedItemsFreesTheirStringsAndEmbeddedLists) {
    const std::size_t stringBlocks = platform::sys::HeapBlockCount(runtime::StringHeap());
    ListVariable parents{};
    LinkedList* list = runtime::CreateLinkedList(sizeof(Parent), &parents, kParentDesc, 7);
    ASSERT_TRUE(list->needsSetUp);
    for (int p = 0; p < 3; ++p) {
        auto* parent = static_cast<Parent*>(runtime::InsertListItem(list));
        ASSERT_NE(parent->children.list, nullptr);  // the embedded list was created
        EXPECT_EQ(parent->children.list->typeTag, 7);
        runtime::SetStringVariable(&parent->title, "a parent");
        for (int c = 0; c < 5; ++c) {
            auto* child = static_cast<Child*>(runtime::InsertListItem(parent->children.list));
            runtime::SetStringVariable(&child->name, "a child");
        }
    }
    EXPECT_EQ(platform::sys::HeapBlockCount(runtime::StringHeap()), stringBlocks + 18);
    runtime::GoToFirstItem(list);
    runtime::RemoveListItem(list, 1);
    EXPECT_EQ(platform::sys::HeapBlockCount(runtime::StringHeap()), stringBlocks + 12);
    runtime::DestroyLinkedList(list);
    EXPECT_EQ(platform::sys::HeapBlockCount(runtime::StringHeap()), stringBlocks);
}

TEST_F(ListTest, EmbeddedRecordsAreWalkedByTheirDescriptor) {
    Parent parent{};
    EXPECT_FALSE(runtime::DescriptorNeedsSetUp(kNamesDesc));
    EXPECT_TRUE(runtime::DescriptorNeedsSetUp(kParentDesc));
    const std::size_t stringBlocks = platform::sys::HeapBlockCount(runtime::StringHeap());
    for (auto& n : parent.names) runtime::SetStringVariable(&n, "name");
    runtime::ReleaseStructure(&parent, kNamesDesc);
    EXPECT_EQ(platform::sys::HeapBlockCount(runtime::StringHeap()), stringBlocks);
}

TEST_F(ListTest, SelfReferentialDescriptorsDoNotRecurseForever) {
    static runtime::DescriptorWord loop[] = {runtime::kDescRecord, 0, 16, 0, runtime::kDescEnd};
    loop[3] = runtime::DescriptorWordOf(loop);
    char record[64] = {};
    EXPECT_FALSE(runtime::DescriptorNeedsSetUp(loop));
    runtime::InitialiseStructure(record, loop);
    runtime::ReleaseStructure(record, loop);
}

TEST(ListWithoutHooks, ContainersStayZeroUntilTheirLibraryStarts) {
    runtime::RunStartupChain({});
    runtime::RemoveStructureHooks();
    Parent parent{};
    runtime::InitialiseStructure(&parent, kParentDesc);
    EXPECT_EQ(parent.children.list, nullptr);
    runtime::ReleaseStructure(&parent, kParentDesc);
    runtime::RunEndChain({});
}
