// runtime/containers.cpp: growable arrays, text-keyed maps and fixed arrays on the runtime heap.
#include "runtime/containers.h"

#include <cstring>

#include "runtime/heap.h"
#include "runtime/strings.h"

namespace runtime {

namespace {

// No container may hold more than this many bytes of elements.
constexpr std::size_t kMaxContainerBytes = std::size_t{1} << 30;
constexpr std::int32_t kMaxFixedDimensions = 64;

bool SizeFits(std::int64_t count, std::int32_t elementBytes, std::size_t* bytes) {
    if (count < 0 || elementBytes < 0) return false;
    if (elementBytes > 0 && static_cast<std::size_t>(count) > kMaxContainerBytes / static_cast<std::size_t>(elementBytes))
        return false;
    *bytes = static_cast<std::size_t>(count) * static_cast<std::size_t>(elementBytes);
    return true;
}

void SetUpElements(char* data, std::int32_t from, std::int32_t to, std::int32_t elementBytes,
                   StructureDescriptor d) {
    if (!d) return;
    for (std::int32_t i = from; i < to; ++i) InitialiseStructure(data + static_cast<std::size_t>(i) * elementBytes, d);
}

void ReleaseElements(char* data, std::int32_t from, std::int32_t to, std::int32_t elementBytes,
                     StructureDescriptor d) {
    if (!d) return;
    for (std::int32_t i = from; i < to; ++i) ReleaseStructure(data + static_cast<std::size_t>(i) * elementBytes, d);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Growable arrays
// ---------------------------------------------------------------------------------------------

struct DynamicArray {
    std::int32_t elementBytes;
    std::int32_t count;
    StructureDescriptor descriptor;
    char* data;
};

DynamicArray* CreateDynamicArray(std::int32_t elementBytes, std::int32_t initialCount,
                                 StructureDescriptor elementDescriptor) {
    std::size_t bytes;
    if (!SizeFits(initialCount, elementBytes, &bytes)) return nullptr;
    auto* array = static_cast<DynamicArray*>(RuntimeAlloc(sizeof(DynamicArray)));
    if (!array) return nullptr;
    array->data = static_cast<char*>(RuntimeAlloc(bytes));
    if (!array->data) {
        RuntimeFree(array);
        return nullptr;
    }
    array->elementBytes = elementBytes;
    array->count = initialCount;
    array->descriptor = elementDescriptor;
    SetUpElements(array->data, 0, initialCount, elementBytes, elementDescriptor);
    return array;
}

void FreeDynamicArray(DynamicArray* array) {
    if (!array) return;
    ReleaseElements(array->data, 0, array->count, array->elementBytes, array->descriptor);
    RuntimeFree(array->data);
    RuntimeFree(array);
}

std::int32_t ArrayCount(const DynamicArray* array) { return array ? array->count : 0; }

void* ArrayElement(DynamicArray* array, std::int32_t index) {
    if (!array || index < 0 || index >= array->count) return nullptr;
    return array->data + static_cast<std::size_t>(index) * array->elementBytes;
}

bool ResizeArray(DynamicArray* array, std::int32_t count) {
    std::size_t bytes;
    if (!array || !SizeFits(count, array->elementBytes, &bytes)) return false;
    if (count < array->count) {
        // Shrinking cannot fail: when the smaller block is refused the old one is kept.
        ReleaseElements(array->data, count, array->count, array->elementBytes, array->descriptor);
        array->count = count;
        if (void* smaller = platform::sys::HeapReAlloc(RuntimeHeap(), array->data, bytes))
            array->data = static_cast<char*>(smaller);
        return true;
    }
    void* grown = platform::sys::HeapReAlloc(RuntimeHeap(), array->data, bytes);
    if (!grown) return false;
    array->data = static_cast<char*>(grown);
    SetUpElements(array->data, array->count, count, array->elementBytes, array->descriptor);
    array->count = count;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Maps keyed by text, kept sorted by key
// ---------------------------------------------------------------------------------------------

struct MapEntry {
    char* key;    // string heap
    void* value;  // runtime heap
};

struct StringMap {
    std::int32_t valueBytes;
    StructureDescriptor descriptor;
    std::int32_t count;
    std::int32_t capacity;
    MapEntry* entries;
};

namespace {

// The index of "key", or the index where it would be inserted with "*found" false.
std::int32_t FindSlot(const StringMap* map, const char* key, bool* found) {
    std::int32_t low = 0, high = map->count;
    while (low < high) {
        const std::int32_t mid = low + (high - low) / 2;
        const int order = std::strcmp(map->entries[mid].key, key);
        if (order == 0) {
            *found = true;
            return mid;
        }
        if (order < 0) low = mid + 1; else high = mid;
    }
    *found = false;
    return low;
}

void FreeEntry(StringMap* map, MapEntry& entry) {
    if (map->descriptor) ReleaseStructure(entry.value, map->descriptor);
    RuntimeFree(entry.value);
    FreeStringMemory(entry.key);
}

}  // namespace

StringMap* CreateStringMap(std::int32_t valueBytes, StructureDescriptor valueDescriptor) {
    if (valueBytes < 0 || static_cast<std::size_t>(valueBytes) > kMaxContainerBytes) return nullptr;
    auto* map = static_cast<StringMap*>(RuntimeAlloc(sizeof(StringMap)));
    if (!map) return nullptr;
    map->valueBytes = valueBytes;
    map->descriptor = valueDescriptor;
    return map;
}

void FreeStringMap(StringMap* map) {
    if (!map) return;
    for (std::int32_t i = 0; i < map->count; ++i) FreeEntry(map, map->entries[i]);
    RuntimeFree(map->entries);
    RuntimeFree(map);
}

std::int32_t MapCount(const StringMap* map) { return map ? map->count : 0; }

void* MapFind(StringMap* map, const char* key) {
    if (!map || !key) return nullptr;
    bool found;
    const std::int32_t at = FindSlot(map, key, &found);
    return found ? map->entries[at].value : nullptr;
}

void* MapInsert(StringMap* map, const char* key) {
    if (!map || !key) return nullptr;
    bool found;
    const std::int32_t at = FindSlot(map, key, &found);
    if (found) return map->entries[at].value;
    if (map->count == map->capacity) {
        if (map->capacity > INT32_MAX / 2 - 8) return nullptr;
        const std::int32_t capacity = map->capacity * 2 + 8;
        void* grown = platform::sys::HeapReAlloc(RuntimeHeap(), map->entries,
                                                 static_cast<std::size_t>(capacity) * sizeof(MapEntry));
        if (!grown) return nullptr;
        map->entries = static_cast<MapEntry*>(grown);
        map->capacity = capacity;
    }
    MapEntry entry{nullptr, RuntimeAlloc(static_cast<std::size_t>(map->valueBytes))};
    if (!entry.value || SetStringVariable(&entry.key, key) == 0) {
        RuntimeFree(entry.value);
        return nullptr;
    }
    if (map->descriptor) InitialiseStructure(entry.value, map->descriptor);
    std::memmove(&map->entries[at + 1], &map->entries[at],
                 static_cast<std::size_t>(map->count - at) * sizeof(MapEntry));
    map->entries[at] = entry;
    ++map->count;
    return entry.value;
}

bool MapRemove(StringMap* map, const char* key) {
    if (!map || !key) return false;
    bool found;
    const std::int32_t at = FindSlot(map, key, &found);
    if (!found) return false;
    FreeEntry(map, map->entries[at]);
    std::memmove(&map->entries[at], &map->entries[at + 1],
                 static_cast<std::size_t>(map->count - at - 1) * sizeof(MapEntry));
    --map->count;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Fixed arrays
// ---------------------------------------------------------------------------------------------

struct FixedArray {
    std::int32_t elementBytes;
    std::int32_t dimensionCount;
    std::int32_t dimensions[kMaxFixedDimensions];
    std::int32_t elementCount;
    StructureDescriptor descriptor;
    char* data;
};

FixedArray* CreateFixedArray(std::int32_t elementBytes, std::int32_t dimensionCount,
                             const std::int32_t* dimensions, StructureDescriptor elementDescriptor) {
    if (dimensionCount < 1 || dimensionCount > kMaxFixedDimensions || !dimensions) return nullptr;
    std::int64_t elements = 1;
    for (std::int32_t i = 0; i < dimensionCount; ++i) {
        if (dimensions[i] < 1) return nullptr;
        elements *= dimensions[i];
        if (elements > INT32_MAX) return nullptr;
    }
    std::size_t bytes;
    if (!SizeFits(elements, elementBytes, &bytes)) return nullptr;
    auto* array = static_cast<FixedArray*>(RuntimeAlloc(sizeof(FixedArray)));
    if (!array) return nullptr;
    array->data = static_cast<char*>(RuntimeAlloc(bytes));
    if (!array->data) {
        RuntimeFree(array);
        return nullptr;
    }
    array->elementBytes = elementBytes;
    array->dimensionCount = dimensionCount;
    std::memcpy(array->dimensions, dimensions, sizeof(std::int32_t) * static_cast<std::size_t>(dimensionCount));
    array->elementCount = static_cast<std::int32_t>(elements);
    array->descriptor = elementDescriptor;
    SetUpElements(array->data, 0, array->elementCount, elementBytes, elementDescriptor);
    return array;
}

void FreeFixedArray(FixedArray* array) {
    if (!array) return;
    ReleaseElements(array->data, 0, array->elementCount, array->elementBytes, array->descriptor);
    RuntimeFree(array->data);
    RuntimeFree(array);
}

std::int32_t FixedArrayDimensions(const FixedArray* array) { return array ? array->dimensionCount : 0; }

std::int32_t FixedArrayDimension(const FixedArray* array, std::int32_t which) {
    if (!array || which < 0 || which >= array->dimensionCount) return 0;
    return array->dimensions[which];
}

void* FixedArrayElement(FixedArray* array, const std::int32_t* indices) {
    if (!array || !indices) return nullptr;
    std::int64_t flat = 0;
    for (std::int32_t i = 0; i < array->dimensionCount; ++i) {
        if (indices[i] < 0 || indices[i] >= array->dimensions[i]) return nullptr;
        flat = flat * array->dimensions[i] + indices[i];
    }
    return array->data + static_cast<std::size_t>(flat) * array->elementBytes;
}

}  // namespace runtime
