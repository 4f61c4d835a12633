// tests/runtime/containers_test.cpp: the arrays, maps and fixed arrays that records embed.
#include <cstddef>
#include <string>

#include "platform/sys/sys.h"
#include "runtime/containers.h"
#include "runtime/heap.h"
#include "runtime/strings.h"
#include "runtime_fixture.h"

namespace {

class ContainersTest : public RuntimeTest {};

struct Named {
    char* name;
    int value;
};
const runtime::DescriptorWord kNamedDesc[] = {offsetof(Named, name), runtime::kDescEnd};

std::size_t StringBlocks() { return platform::sys::HeapBlockCount(runtime::StringHeap()); }

}  // namespace

TEST_F(ContainersTest, ArraysGrowZeroFilledAndShrinkFreeingDroppedStrings) {
    const std::size_t strings = StringBlocks();
    runtime::DynamicArray* a = runtime::CreateDynamicArray(sizeof(Named), 2, kNamedDesc);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(runtime::ArrayCount(a), 2);
    ASSERT_TRUE(runtime::ResizeArray(a, 10));
    for (int i = 0; i < 10; ++i) {
        auto* e = static_cast<Named*>(runtime::ArrayElement(a, i));
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->name, nullptr);
        EXPECT_EQ(e->value, 0);
        runtime::SetStringVariable(&e->name, "element");
        e->value = i;
    }
    EXPECT_EQ(runtime::ArrayElement(a, 10), nullptr);
    EXPECT_EQ(runtime::ArrayElement(a, -1), nullptr);
    EXPECT_FALSE(runtime::ResizeArray(a, -1));
    ASSERT_TRUE(runtime::ResizeArray(a, 4));
    EXPECT_EQ(StringBlocks(), strings + 4);
    EXPECT_EQ(static_cast<Named*>(runtime::ArrayElement(a, 3))->value, 3);
    runtime::FreeDynamicArray(a);
    EXPECT_EQ(StringBlocks(), strings);
}

TEST_F(ContainersTest, MapsKeepOneValuePerKey) {
    runtime::StringMap* m = runtime::CreateStringMap(sizeof(Named), kNamedDesc);
    ASSERT_NE(m, nullptr);
    const char* keys[] = {"pear", "apple", "fig", "banana", "cherry"};
    for (const char* k : keys) {
        auto* v = static_cast<Named*>(runtime::MapInsert(m, k));
        ASSERT_NE(v, nullptr);
        v->value = static_cast<int>(std::string(k).size());
        runtime::SetStringVariable(&v->name, k);
    }
    EXPECT_EQ(runtime::MapCount(m), 5);
    EXPECT_EQ(runtime::MapInsert(m, "fig"), runtime::MapFind(m, "fig"));
    EXPECT_EQ(runtime::MapCount(m), 5);
    for (const char* k : keys) {
        SCOPED_TRACE(k);
        auto* v = static_cast<Named*>(runtime::MapFind(m, k));
        ASSERT_NE(v, nullptr);
        EXPECT_STREQ(v->name, k);
    }
    EXPECT_EQ(runtime::MapFind(m, "kiwi"), nullptr);
    EXPECT_EQ(runtime::MapFind(m, nullptr), nullptr);
    EXPECT_TRUE(runtime::MapRemove(m, "apple"));
    EXPECT_FALSE(runtime::MapRemove(m, "apple"));
    EXPECT_EQ(runtime::MapFind(m, "apple"), nullptr);
    EXPECT_NE(runtime::MapFind(m, "pear"), nullptr);
    for (int i = 0; i < 100; ++i) runtime::MapInsert(m, ("k" + std::to_string(i)).c_str());
    EXPECT_EQ(runtime::MapCount(m), 104);
    const std::size_t before = StringBlocks();
    runtime::FreeStringMap(m);
    EXPECT_EQ(StringBlocks(), before - 104 - 4);  // keys and the names of the values
}

TEST_F(ContainersTest, FixedArraysIndexEveryDimensionAndRefuseOutOfRange) {
    const std::int32_t dims[] = {3, 4, 5};
    runtime::FixedArray* f = runtime::CreateFixedArray(sizeof(int), 3, dims, nullptr);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(runtime::FixedArrayDimensions(f), 3);
    EXPECT_EQ(runtime::FixedArrayDimension(f, 2), 5);
    EXPECT_EQ(runtime::FixedArrayDimension(f, 3), 0);
    int n = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 5; ++k) {
                const std::int32_t at[] = {i, j, k};
                *static_cast<int*>(runtime::FixedArrayElement(f, at)) = n++;
            }
    const std::int32_t last[] = {2, 3, 4};
    EXPECT_EQ(*static_cast<int*>(runtime::FixedArrayElement(f, last)), 59);
    const std::int32_t bad[][3] = {{3, 0, 0}, {0, 4, 0}, {0, 0, 5}, {-1, 0, 0}};
    for (const auto& b : bad) EXPECT_EQ(runtime::FixedArrayElement(f, b), nullptr);
    runtime::FreeFixedArray(f);

    const std::int32_t zero[] = {3, 0};
    EXPECT_EQ(runtime::CreateFixedArray(4, 2, zero, nullptr), nullptr);
    const std::int32_t huge[] = {1 << 16, 1 << 16};
    EXPECT_EQ(runtime::CreateFixedArray(4, 2, huge, nullptr), nullptr);
    EXPECT_EQ(runtime::CreateFixedArray(4, 0, dims, nullptr), nullptr);
}

namespace {

struct Holder {
    runtime::DynamicArray* array;
    runtime::StringMap* map;
    runtime::FixedArray* grid;
    std::int32_t gridDims[2];
    char* label;
};
const runtime::DescriptorWord kHolderDesc[] = {
    runtime::kDescArray, offsetof(Holder, array), sizeof(Named), 3, runtime::DescriptorWordOf(kNamedDesc), 0,
    runtime::kDescMap, offsetof(Holder, map), sizeof(int), 0, 0, 0,
    runtime::kDescFixedArray, offsetof(Holder, grid), 2, sizeof(int), 0, 0, 6, 7,
    offsetof(Holder, label),
    runtime::kDescEnd};

}  // namespace

TEST_F(ContainersTest, DescriptorCreatesAndFreesEveryContainerKind) {
    const std::size_t runtimeBlocks = platform::sys::HeapBlockCount(runtime::RuntimeHeap());
    const std::size_t strings = StringBlocks();
    Holder h{};
    runtime::InitialiseStructure(&h, kHolderDesc);
    ASSERT_NE(h.array, nullptr);
    ASSERT_NE(h.map, nullptr);
    ASSERT_NE(h.grid, nullptr);
    EXPECT_EQ(runtime::ArrayCount(h.array), 3);
    EXPECT_EQ(h.gridDims[0], 6);  // the dimension sizes are copied behind the member
    EXPECT_EQ(h.gridDims[1], 7);
    EXPECT_EQ(runtime::FixedArrayDimension(h.grid, 1), 7);
    runtime::SetStringVariable(&static_cast<Named*>(runtime::ArrayElement(h.array, 1))->name, "x");
    runtime::MapInsert(h.map, "key");
    runtime::SetStringVariable(&h.label, "label");
    runtime::ReleaseStructure(&h, kHolderDesc);
    EXPECT_EQ(platform::sys::HeapBlockCount(runtime::RuntimeHeap()), runtimeBlocks);
    EXPECT_EQ(StringBlocks(), strings);
}
