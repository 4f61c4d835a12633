// tests/runtime/model_test.cpp: thousands of random operations on LinkedList and ObjectTable,
// checked step by step against a plain standard-library model.
#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "runtime/list.h"
#include "runtime/object_table.h"
#include "runtime_fixture.h"

namespace {

class ModelTest : public RuntimeTest {};

struct Item {
    int value;
};

int ValueOf(void* record) { return record ? static_cast<Item*>(record)->value : -1; }

// The list's chain checked link by link against the model's values.
void ExpectChain(const runtime::LinkedList* list, const std::vector<int>& values) {
    ASSERT_EQ(list->count, static_cast<std::int32_t>(values.size()));
    const runtime::ListItem* previous = nullptr;
    const runtime::ListItem* item = list->first;
    for (int v : values) {
        ASSERT_NE(item, nullptr);
        ASSERT_EQ(item->previous, previous);
        ASSERT_EQ(ValueOf(const_cast<runtime::ListItem*>(item + 1)), v);
        previous = item;
        item = item->next;
    }
    ASSERT_EQ(item, nullptr);
    ASSERT_EQ(list->last, previous);
}

}  // namespace

TEST_F(ModelTest, LinkedListMatchesAVectorWithACursor) {
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        runtime::ListVariable var{};
        runtime::LinkedList* list = runtime::CreateLinkedList(sizeof(Item), &var, nullptr, 0);
        std::vector<int> values;
        int cur = -1;  // the model's current index, -1 for none
        bool beforeFirst = true;
        int nextValue = 1;
        for (int step = 0; step < 6000; ++step) {
            const int n = static_cast<int>(values.size());
            const int op = static_cast<int>(rng() % 100);
            void* got = nullptr;
            int expected = -1;
            if (op < 35) {  // insert
                auto* item = static_cast<Item*>(runtime::InsertListItem(list));
                ASSERT_NE(item, nullptr);
                ASSERT_EQ(item->value, 0);
                item->value = nextValue;
                if (cur >= 0) {
                    values.insert(values.begin() + cur + 1, nextValue);
                    ++cur;
                } else {
                    values.insert(values.begin(), nextValue);
                    cur = 0;
                    beforeFirst = false;
                }
                got = item;
                expected = nextValue++;
            } else if (op < 42) {
                runtime::RewindList(list);
                cur = -1;
                beforeFirst = true;
            } else if (op < 62) {
                got = runtime::AdvanceListItem(list);
                if (cur >= 0) {
                    if (cur + 1 < n) expected = values[++cur];
                } else if (n > 0) {
                    cur = 0;
                    expected = values[0];
                }
            } else if (op < 80) {
                const int flags = static_cast<int>(rng() % 2);
                got = runtime::RemoveListItem(list, flags);
                if (cur >= 0) {
                    values.erase(values.begin() + cur);
                    if (cur > 0) {
                        expected = values[--cur];
                    } else if (!values.empty() && flags) {
                        expected = values[0];
                        beforeFirst = false;
                    } else {
                        cur = -1;
                        beforeFirst = true;
                    }
                }
            } else if (op < 92) {
                const int index = static_cast<int>(rng() % static_cast<unsigned>(n + 3)) - 1;
                got = runtime::SeekListItem(list, index);
                if (index >= 0 && index < n) {
                    cur = index;
                    expected = values[index];
                    beforeFirst = false;
                } else {
                    cur = -1;
                    beforeFirst = true;
                }
            } else if (op < 96) {
                const bool first = rng() % 2;
                got = first ? runtime::GoToFirstItem(list) : runtime::GoToLastItem(list);
                if (n > 0) {
                    cur = first ? 0 : n - 1;
                    expected = values[cur];
                    beforeFirst = false;
                } else {
                    cur = -1;
                    beforeFirst = true;
                }
            } else if (op < 97) {
                runtime::EmptyList(list);
                values.clear();
                cur = -1;
                beforeFirst = true;
            } else {
                continue;
            }
            ASSERT_EQ(ValueOf(got), expected) << "step " << step << " op " << op;
            ASSERT_EQ(ValueOf(var.current), cur >= 0 ? values[cur] : -1) << "step " << step;
            ASSERT_EQ(list->beforeFirst, beforeFirst) << "step " << step;
            if (cur >= 0) {
                ASSERT_EQ(list->currentIndex, cur) << "step " << step;
            }
            ASSERT_NO_FATAL_FAILURE(ExpectChain(list, values)) << "step " << step;
        }
        runtime::DestroyLinkedList(list);
        EXPECT_EQ(var.list, nullptr);
    }
}

namespace {

struct Record {
    void* live;
    int value;
};

int RecordValue(void* record) { return record ? static_cast<Record*>(record)->value : -1; }

runtime::ObjectTable* g_table = nullptr;
int g_callbacks = 0;

void DestroyRecord(runtime::ObjectNumber number) {
    ++g_callbacks;
    if (runtime::LookupObject(g_table, number)) runtime::ReleaseObject(g_table, number);
}

}  // namespace

TEST_F(ModelTest, ObjectTableMatchesAMapOfLiveNumbers) {
    for (unsigned seed : {11u, 12u, 13u}) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        g_table = runtime::CreateObjectTable(sizeof(Record), 16, DestroyRecord);
        std::map<runtime::ObjectNumber, int> slots;  // live slot numbers and their values
        std::vector<std::pair<runtime::ObjectNumber, int>> automatic;  // live automatic, oldest first
        std::vector<runtime::ObjectNumber> released;  // automatic numbers no longer valid
        int nextValue = 1;
        auto makeLive = [&](void* r) {
            auto* rec = static_cast<Record*>(r);
            rec->live = rec;
            rec->value = nextValue;
            return nextValue++;
        };
        for (int step = 0; step < 5000; ++step) {
            const int op = static_cast<int>(rng() % 100);
            if (op < 35) {
                const runtime::ObjectNumber n = static_cast<runtime::ObjectNumber>(rng() % 300);
                void* r = runtime::AllocateObject(g_table, n);
                ASSERT_NE(r, nullptr);
                ASSERT_EQ(static_cast<Record*>(r)->live, nullptr);
                slots.erase(n);
                if (rng() % 4) slots[n] = makeLive(r);
            } else if (op < 50) {
                void* r = runtime::AllocateObject(g_table, -1);
                ASSERT_NE(r, nullptr);
                automatic.emplace_back(reinterpret_cast<runtime::ObjectNumber>(r), makeLive(r));
            } else if (op < 70) {
                if (!automatic.empty() && rng() % 2) {
                    const std::size_t i = rng() % automatic.size();
                    runtime::ReleaseObject(g_table, automatic[i].first);
                    released.push_back(automatic[i].first);
                    automatic.erase(automatic.begin() + static_cast<std::ptrdiff_t>(i));
                } else {
                    const runtime::ObjectNumber n = static_cast<runtime::ObjectNumber>(rng() % 320);
                    runtime::ReleaseObject(g_table, n);
                    slots.erase(n);
                }
            } else if (op < 95) {
                for (int probe = 0; probe < 5; ++probe) {
                    const runtime::ObjectNumber n = static_cast<runtime::ObjectNumber>(rng() % 320) - 2;
                    const auto it = slots.find(n);
                    ASSERT_EQ(RecordValue(runtime::LookupObject(g_table, n)), it == slots.end() ? -1 : it->second);
                }
                for (const auto& [n, v] : automatic) ASSERT_EQ(RecordValue(runtime::LookupObject(g_table, n)), v);
                // Released automatic numbers are no longer found, whatever now lies at the address.
                for (runtime::ObjectNumber n : released) {
                    const bool reused = std::any_of(automatic.begin(), automatic.end(),
                                                    [n](const auto& a) { return a.first == n; });
                    if (!reused) {
                        ASSERT_EQ(runtime::LookupObject(g_table, n), nullptr);
                    }
                }
            } else if (op < 99) {
                std::vector<std::pair<runtime::ObjectNumber, int>> walked, expected(slots.begin(), slots.end());
                expected.insert(expected.end(), automatic.begin(), automatic.end());
                runtime::ObjectNumber n = 0;
                runtime::ResetObjectWalk(g_table);
                while (void* r = runtime::NextObject(g_table, &n)) walked.emplace_back(n, RecordValue(r));
                ASSERT_EQ(walked, expected) << "step " << step;
            } else {
                g_callbacks = 0;
                runtime::FreeAllObjects(g_table);
                ASSERT_EQ(g_callbacks, static_cast<int>(slots.size() + automatic.size()));
                for (const auto& a : automatic) released.push_back(a.first);
                slots.clear();
                automatic.clear();
            }
        }
        g_table = nullptr;
    }
}
