// runtime/list.cpp: linked lists with one current item, on shared block pools.
#include "runtime/list.h"

#include <cstring>

#include "runtime/heap.h"
#include "runtime/list_internal.h"

namespace runtime {

namespace {

constexpr std::int32_t kChunkSmallest = 16;
constexpr std::int32_t kChunkLargest = 65536;

std::int32_t g_lastSeekSteps = 0;

void* RecordOf(ListItem* item) { return item ? static_cast<void*>(item + 1) : nullptr; }

void* Publish(LinkedList* list) {
    void* record = RecordOf(list->current);
    list->variable->current = record;
    return record;
}

void NoCurrent(LinkedList* list) {
    list->current = nullptr;
    list->beforeFirst = true;
}

void DiscardItem(LinkedList* list, ListItem* item) {
    if (list->descriptor) ReleaseStructure(RecordOf(item), list->descriptor);
    ReturnBlock(list->pool, item);
}

}  // namespace

LinkedList* CreateLinkedList(std::int32_t recordBytes, ListVariable* variable,
                             StructureDescriptor descriptor, std::int32_t typeTag) {
    if (recordBytes < 0 || recordBytes > INT32_MAX - static_cast<std::int32_t>(2 * sizeof(ListItem)))
        return nullptr;
    auto* list = static_cast<LinkedList*>(RuntimeAlloc(sizeof(LinkedList)));
    if (!list) return nullptr;
    const auto stride = recordBytes + static_cast<std::int32_t>(sizeof(ListItem));
    list->pool = CreateBlockPool(stride, kChunkSmallest, kChunkLargest, kBlockPoolShared);
    if (!variable) {
        variable = static_cast<ListVariable*>(RuntimeAlloc(sizeof(ListVariable)));
        list->ownsVariable = true;
    }
    if (!list->pool || !variable) {
        DestroyBlockPool(list->pool);
        if (list->ownsVariable) RuntimeFree(variable);
        RuntimeFree(list);
        return nullptr;
    }
    list->variable = variable;
    variable->list = list;
    variable->current = nullptr;
    list->itemStride = stride;
    list->descriptor = descriptor;
    list->typeTag = typeTag;
    list->beforeFirst = true;
    list->needsSetUp = DescriptorNeedsSetUp(descriptor);
    return list;
}

void DestroyLinkedList(LinkedList* list) {
    if (!list) return;
    EmptyList(list);
    DestroyBlockPool(list->pool);
    list->variable->list = nullptr;
    list->variable->current = nullptr;
    if (list->ownsVariable) RuntimeFree(list->variable);
    RuntimeFree(list);
}

void* InsertListItem(LinkedList* list) {
    if (!list) return nullptr;
    auto* item = static_cast<ListItem*>(TakeBlock(list->pool));
    if (!item) return nullptr;
    std::memset(item, 0, static_cast<std::size_t>(list->itemStride));
    if (list->needsSetUp) InitialiseStructure(RecordOf(item), list->descriptor);
    ++list->count;
    if (ListItem* at = list->current) {
        item->previous = at;
        item->next = at->next;
        at->next = item;
        ++list->currentIndex;
    } else {
        item->next = list->first;
        list->currentIndex = 0;
        list->beforeFirst = false;
    }
    if (item->next) item->next->previous = item; else list->last = item;
    if (!item->previous) list->first = item;
    list->current = item;
    return Publish(list);
}

void RewindList(LinkedList* list) {
    if (!list) return;
    NoCurrent(list);
    list->variable->current = nullptr;
}

void* AdvanceListItem(LinkedList* list) {
    if (!list) return nullptr;
    if (ListItem* at = list->current) {
        if (!at->next) {
            Publish(list);
            return nullptr;
        }
        list->current = at->next;
        ++list->currentIndex;
    } else {
        list->current = list->first;
        list->currentIndex = 0;
    }
    return Publish(list);
}

std::int32_t CountListItems(const LinkedList* list) { return list ? list->count : 0; }

void* RemoveListItem(LinkedList* list, std::int32_t flags) {
    if (!list) return nullptr;
    ListItem* item = list->current;
    if (!item) return Publish(list);
    --list->count;
    ListItem* before = item->previous;
    ListItem* after = item->next;
    if (before) before->next = after; else list->first = after;
    if (after) after->previous = before; else list->last = before;
    if (before) {
        list->current = before;
        --list->currentIndex;
    } else if (after && (flags & kRemoveKeepsSuccessorCurrent)) {
        list->current = after;
        list->currentIndex = 0;
        list->beforeFirst = false;
    } else {
        NoCurrent(list);
        list->currentIndex = 0;
    }
    DiscardItem(list, item);
    return Publish(list);
}

void* SeekListItem(LinkedList* list, std::int32_t index) {
    if (!list) return nullptr;
    const std::int32_t m = list->currentIndex;  // the current item's index, when there is one
    list->currentIndex = index;
    const std::int32_t count = list->count;
    if (index < 0 || index >= count) {
        NoCurrent(list);
        return Publish(list);
    }
    // Start from whichever of the first, the current and the last item is nearest.
    ListItem* item;
    std::int32_t at;
    if (list->beforeFirst || !list->current) {
        const bool fromLast = index >= count / 2;
        item = fromLast ? list->last : list->first;
        at = fromLast ? count - 1 : 0;
    } else if (index <= m) {
        const bool fromCurrent = m - index < index;
        item = fromCurrent ? list->current : list->first;
        at = fromCurrent ? m : 0;
    } else {
        const bool fromCurrent = index - m < count - index;
        item = fromCurrent ? list->current : list->last;
        at = fromCurrent ? m : count - 1;
    }
    g_lastSeekSteps = at < index ? index - at : at - index;
    for (; at < index; ++at) item = item->next;
    for (; at > index; --at) item = item->previous;
    list->current = item;
    list->beforeFirst = false;
    return Publish(list);
}

void EmptyList(LinkedList* list) {
    if (!list) return;
    for (ListItem* item = list->first; item;) {
        ListItem* next = item->next;
        DiscardItem(list, item);
        item = next;
    }
    list->first = list->last = nullptr;
    list->count = 0;
    list->currentIndex = 0;
    NoCurrent(list);
    list->variable->current = nullptr;
}

void* GoToFirstItem(LinkedList* list) {
    if (!list) return nullptr;
    if (!list->first) {
        NoCurrent(list);
        return Publish(list);
    }
    list->current = list->first;
    list->currentIndex = 0;
    list->beforeFirst = false;
    return Publish(list);
}

void* GoToLastItem(LinkedList* list) {
    if (!list) return nullptr;
    if (!list->last) {
        NoCurrent(list);
        return Publish(list);
    }
    list->current = list->last;
    list->currentIndex = list->count - 1;
    list->beforeFirst = false;
    return Publish(list);
}

std::int32_t LastSeekSteps() { return g_lastSeekSteps; }

}  // namespace runtime
