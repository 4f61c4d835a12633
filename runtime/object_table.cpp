// runtime/object_table.cpp: numbered-object tables with slot records and automatic records.
#include "runtime/object_table.h"

#include <cstring>

#include "runtime/heap.h"

namespace runtime {

namespace {

// Automatic records carry their links ahead of the data; the data address is the number.
void* DataOf(AutomaticLink* link) { return link + 1; }

bool IsLive(const void* record) {
    void* first;
    std::memcpy(&first, record, sizeof first);
    return first != nullptr;
}

// The automatic record whose data address is "number", found by walking the list so that an
// arbitrary number is never dereferenced.
AutomaticLink* FindAutomatic(const ObjectTable* table, ObjectNumber number) {
    for (AutomaticLink* link = table->automaticNewest; link; link = link->next)
        if (reinterpret_cast<ObjectNumber>(DataOf(link)) == number) return link;
    return nullptr;
}

bool IsSlot(const ObjectTable* table, ObjectNumber number) {
    return number >= 0 && number < table->capacity;
}

void* AllocateAutomatic(ObjectTable* table) {
    auto* link = static_cast<AutomaticLink*>(
        RuntimeAlloc(sizeof(AutomaticLink) + static_cast<std::size_t>(table->recordSize)));
    if (!link) return nullptr;
    link->previous = nullptr;
    link->next = table->automaticNewest;
    if (table->automaticNewest)
        table->automaticNewest->previous = link;
    else
        table->automaticOldest = link;
    table->automaticNewest = link;
    return DataOf(link);
}

// Grows the slot array so that "number" is a slot: capacity = growth step + number.
bool GrowSlots(ObjectTable* table, ObjectNumber number) {
    if (number >= kMaxObjectSlots) return false;
    const ObjectNumber wanted = number + table->growthStep;
    if (wanted > kMaxObjectSlots) return false;
    const auto bytes = static_cast<std::size_t>(wanted) * sizeof(void*);
    void* grown = platform::sys::HeapReAlloc(RuntimeHeap(), table->slots, bytes);
    if (!grown) return false;  // the old slots stay as they were
    table->slots = static_cast<void**>(grown);
    table->capacity = static_cast<std::int32_t>(wanted);
    return true;
}

void UnlinkAutomatic(ObjectTable* table, AutomaticLink* link) {
    // A walk that was about to visit this record moves on to the next newer one.
    if (table->walkCursor == link) table->walkCursor = link->previous;
    if (link->previous)
        link->previous->next = link->next;
    else
        table->automaticNewest = link->next;
    if (link->next)
        link->next->previous = link->previous;
    else
        table->automaticOldest = link->previous;
}

}  // namespace

ObjectTable* CreateObjectTable(std::int32_t recordSize, std::int32_t capacity,
                               ObjectFreeCallback freeCallback) {
    if (recordSize < static_cast<std::int32_t>(sizeof(void*)) || capacity < 1 ||
        capacity > kMaxObjectSlots)
        return nullptr;
    auto* table = static_cast<ObjectTable*>(RuntimeAlloc(sizeof(ObjectTable)));
    if (!table) return nullptr;
    table->slots = static_cast<void**>(RuntimeAlloc(static_cast<std::size_t>(capacity) * sizeof(void*)));
    if (!table->slots) {
        RuntimeFree(table);
        return nullptr;
    }
    table->recordSize = recordSize;
    table->growthStep = capacity;
    table->capacity = capacity;
    table->freeCallback = freeCallback;
    table->walkIndex = kMaxObjectSlots;  // no walk in progress
    return table;
}

void* AllocateObject(ObjectTable* table, ObjectNumber number) {
    if (!table || number < -1) return nullptr;
    if (number == -1) return AllocateAutomatic(table);
    if (number >= table->capacity && !GrowSlots(table, number)) return nullptr;

    if (table->slots[number]) {
        if (table->freeCallback) table->freeCallback(number);
        // The callback may have grown the slot array; read the slot again. The record is reused
        // zero-filled even when the callback left something in it.
        if (void* record = table->slots[number]) {
            std::memset(record, 0, static_cast<std::size_t>(table->recordSize));
            return record;
        }
    }
    void* record = RuntimeAlloc(static_cast<std::size_t>(table->recordSize));
    if (!record) return nullptr;
    table->slots[number] = record;
    return record;
}

void* LookupObject(const ObjectTable* table, ObjectNumber number) {
    if (!table) return nullptr;
    void* record = nullptr;
    if (IsSlot(table, number)) {
        record = table->slots[number];
    } else if (AutomaticLink* link = FindAutomatic(table, number)) {
        record = DataOf(link);
    }
    return record && IsLive(record) ? record : nullptr;
}

void ReleaseObject(ObjectTable* table, ObjectNumber number) {
    if (!table) return;
    if (IsSlot(table, number)) {
        if (void* record = table->slots[number])
            std::memset(record, 0, static_cast<std::size_t>(table->recordSize));
        return;
    }
    if (AutomaticLink* link = FindAutomatic(table, number)) {
        UnlinkAutomatic(table, link);
        RuntimeFree(link);
    }
}

void FreeAllObjects(ObjectTable* table) {
    if (!table || !table->freeCallback) return;
    for (std::int32_t n = 0; n < table->capacity; ++n) {
        void* record = table->slots[n];
        if (record && IsLive(record)) table->freeCallback(n);
    }
    while (AutomaticLink* head = table->automaticNewest) {
        table->freeCallback(reinterpret_cast<ObjectNumber>(DataOf(head)));
        // A callback that leaves the record in place would make this loop endless.
        if (table->automaticNewest == head) ReleaseObject(table, reinterpret_cast<ObjectNumber>(DataOf(head)));
    }
}

void ResetObjectWalk(ObjectTable* table) {
    if (!table) return;
    table->walkIndex = 0;
    table->walkCursor = table->automaticOldest;
}

void* NextObject(ObjectTable* table, ObjectNumber* number) {
    if (!table) return nullptr;
    while (table->walkIndex >= 0 && table->walkIndex < table->capacity) {
        const std::int32_t n = table->walkIndex++;
        void* record = table->slots[n];
        if (record && IsLive(record)) {
            if (number) *number = n;
            return record;
        }
    }
    while (AutomaticLink* link = table->walkCursor) {
        table->walkCursor = link->previous;
        void* record = DataOf(link);
        if (IsLive(record)) {
            if (number) *number = reinterpret_cast<ObjectNumber>(record);
            return record;
        }
    }
    return nullptr;
}

}  // namespace runtime
