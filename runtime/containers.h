// runtime/containers.h: the small containers that structure descriptors embed in records:
// growable arrays, maps keyed by text, and fixed-size multi-dimensional arrays.
//
// All memory comes from the runtime heap. Element records are zero-filled; when a container has
// an element descriptor, every element is set up with InitialiseStructure and freed with
// ReleaseStructure. Null containers are accepted everywhere and behave as empty.
//
// Threads: main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/list.h"

namespace runtime {

struct DynamicArray;
struct StringMap;
struct FixedArray;

// --- growable arrays ---
DynamicArray* CreateDynamicArray(std::int32_t elementBytes, std::int32_t initialCount,
                                 StructureDescriptor elementDescriptor);
void FreeDynamicArray(DynamicArray* array);
std::int32_t ArrayCount(const DynamicArray* array);
// The element at "index", or null outside 0..count-1.
void* ArrayElement(DynamicArray* array, std::int32_t index);
// Grows or shrinks to "count" elements (new ones zero-filled and set up). False without memory
// or for a negative count; the array is then unchanged.
bool ResizeArray(DynamicArray* array, std::int32_t count);

// --- maps from text keys to value records ---
StringMap* CreateStringMap(std::int32_t valueBytes, StructureDescriptor valueDescriptor);
void FreeStringMap(StringMap* map);
std::int32_t MapCount(const StringMap* map);
// The value of "key", or null.
void* MapFind(StringMap* map, const char* key);
// The value of "key", created zero-filled when missing; null without memory or for a null key.
void* MapInsert(StringMap* map, const char* key);
// Removes "key"; returns false when it was not there.
bool MapRemove(StringMap* map, const char* key);

// --- fixed arrays ---
// "dimensions" holds "dimensionCount" sizes, each at least 1.
FixedArray* CreateFixedArray(std::int32_t elementBytes, std::int32_t dimensionCount,
                             const std::int32_t* dimensions, StructureDescriptor elementDescriptor);
void FreeFixedArray(FixedArray* array);
std::int32_t FixedArrayDimensions(const FixedArray* array);
std::int32_t FixedArrayDimension(const FixedArray* array, std::int32_t which);
// The element at the "indices" (one per dimension), or null when any index is out of range.
void* FixedArrayElement(FixedArray* array, const std::int32_t* indices);

}  // namespace runtime
