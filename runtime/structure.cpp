// runtime/structure.cpp: setting up and freeing the strings and containers inside records,
// following a StructureDescriptor.
#include <cstring>

#include "runtime/containers.h"
#include "runtime/list.h"
#include "runtime/strings.h"

namespace runtime {

namespace {

// Deeper nesting than this is taken for a descriptor that refers to itself and is not followed.
constexpr int kMaxNesting = 16;

// The container operations the structure code calls, installed by the start-up steps of the
// libraries that own them. Without them a container member stays zero.
struct ContainerHooks {
    LinkedList* (*createList)(std::int32_t, ListVariable*, StructureDescriptor, std::int32_t);
    void (*destroyList)(LinkedList*);
    DynamicArray* (*createArray)(std::int32_t, std::int32_t, StructureDescriptor);
    void (*freeArray)(DynamicArray*);
    FixedArray* (*createFixedArray)(std::int32_t, std::int32_t, const std::int32_t*, StructureDescriptor);
    void (*freeFixedArray)(FixedArray*);
    StringMap* (*createMap)(std::int32_t, StructureDescriptor);
    void (*freeMap)(StringMap*);
};
ContainerHooks g_hooks{};

char* At(void* record, DescriptorWord offset) { return static_cast<char*>(record) + offset; }

template <typename T>
T* LoadPointer(void* record, DescriptorWord offset) {
    T* p;
    std::memcpy(&p, At(record, offset), sizeof p);
    return p;
}

template <typename T>
void StorePointer(void* record, DescriptorWord offset, T* p) {
    std::memcpy(At(record, offset), &p, sizeof p);
}

StructureDescriptor Nested(DescriptorWord word) { return reinterpret_cast<StructureDescriptor>(word); }

// The number of words of the entry starting at "d" (code included), or 0 for an unknown code.
int EntryWords(StructureDescriptor d) {
    const DescriptorWord code = d[0];
    if (code >= 0) return 1;
    switch (code) {
        case kDescRecords: return 5;
        case kDescRecord: return 4;
        case kDescArray: return 6;
        case kDescList: return 5;
        case kDescMap: return 6;
        case kDescFixedArray: return d[2] >= 0 && d[2] <= 64 ? 6 + static_cast<int>(d[2]) : 0;
        default: return 0;
    }
}

bool NeedsSetUp(StructureDescriptor d, int depth) {
    if (!d || depth > kMaxNesting) return false;
    for (int words; d[0] != kDescEnd && (words = EntryWords(d)) != 0; d += words) {
        switch (d[0]) {
            case kDescArray: case kDescList: case kDescMap: case kDescFixedArray: return true;
            case kDescRecords: if (NeedsSetUp(Nested(d[4]), depth + 1)) return true; break;
            case kDescRecord: if (NeedsSetUp(Nested(d[3]), depth + 1)) return true; break;
            default: break;
        }
    }
    return false;
}

void Initialise(void* record, StructureDescriptor d, int depth) {
    if (!record || !d || depth > kMaxNesting) return;
    for (int words; d[0] != kDescEnd && (words = EntryWords(d)) != 0; d += words) {
        switch (d[0]) {
            case kDescRecords:
                for (DescriptorWord i = 0; i < d[1]; ++i)
                    Initialise(At(record, d[2] + i * d[3]), Nested(d[4]), depth + 1);
                break;
            case kDescRecord:
                Initialise(At(record, d[1]), Nested(d[3]), depth + 1);
                break;
            case kDescArray:
                if (g_hooks.createArray)
                    StorePointer(record, d[1], g_hooks.createArray(static_cast<std::int32_t>(d[2]),
                                                                  static_cast<std::int32_t>(d[3]), Nested(d[4])));
                break;
            case kDescList:
                if (g_hooks.createList)
                    g_hooks.createList(static_cast<std::int32_t>(d[2]),
                                       reinterpret_cast<ListVariable*>(At(record, d[1])), Nested(d[3]),
                                       static_cast<std::int32_t>(d[4]));
                break;
            case kDescMap:
                if (g_hooks.createMap)
                    StorePointer(record, d[1], g_hooks.createMap(static_cast<std::int32_t>(d[2]), Nested(d[3])));
                break;
            case kDescFixedArray: {
                const auto n = static_cast<std::int32_t>(d[2]);
                std::int32_t dims[64];
                for (std::int32_t i = 0; i < n; ++i) dims[i] = static_cast<std::int32_t>(d[6 + i]);
                // The dimension sizes are kept behind the member.
                std::memcpy(At(record, d[1]) + sizeof(void*), dims, sizeof(std::int32_t) * static_cast<std::size_t>(n));
                if (g_hooks.createFixedArray)
                    StorePointer(record, d[1], g_hooks.createFixedArray(static_cast<std::int32_t>(d[3]), n, dims,
                                                                       Nested(d[4])));
                break;
            }
            default:  // strings: a zero member is the empty text
                break;
        }
    }
}

void Release(void* record, StructureDescriptor d, int depth) {
    if (!record || !d || depth > kMaxNesting) return;
    for (int words; d[0] != kDescEnd && (words = EntryWords(d)) != 0; d += words) {
        switch (d[0]) {
            case kDescRecords:
                for (DescriptorWord i = 0; i < d[1]; ++i)
                    Release(At(record, d[2] + i * d[3]), Nested(d[4]), depth + 1);
                break;
            case kDescRecord:
                Release(At(record, d[1]), Nested(d[3]), depth + 1);
                break;
            case kDescArray:
                if (auto* a = LoadPointer<DynamicArray>(record, d[1]); a && g_hooks.freeArray) g_hooks.freeArray(a);
                break;
            case kDescList:
                if (auto* l = LoadPointer<LinkedList>(record, d[1]); l && g_hooks.destroyList) g_hooks.destroyList(l);
                break;
            case kDescMap:
                if (auto* m = LoadPointer<StringMap>(record, d[1]); m && g_hooks.freeMap) g_hooks.freeMap(m);
                break;
            case kDescFixedArray:
                if (auto* f = LoadPointer<FixedArray>(record, d[1]); f && g_hooks.freeFixedArray)
                    g_hooks.freeFixedArray(f);
                break;
            default:
                FreeStringMemory(LoadPointer<char>(record, d[0]));
                break;
        }
    }
}

}  // namespace

bool DescriptorNeedsSetUp(StructureDescriptor descriptor) { return NeedsSetUp(descriptor, 0); }

void InitialiseStructure(void* record, StructureDescriptor descriptor) { Initialise(record, descriptor, 0); }

void ReleaseStructure(void* record, StructureDescriptor descriptor) { Release(record, descriptor, 0); }

void InstallListHooks() {
    g_hooks.createList = CreateLinkedList;
    g_hooks.destroyList = DestroyLinkedList;
}

void InstallMapHooks() {
    g_hooks.createMap = CreateStringMap;
    g_hooks.freeMap = FreeStringMap;
}

void InstallArrayHooks() {
    g_hooks.createArray = CreateDynamicArray;
    g_hooks.freeArray = FreeDynamicArray;
    g_hooks.createFixedArray = CreateFixedArray;
    g_hooks.freeFixedArray = FreeFixedArray;
}

void RemoveStructureHooks() { g_hooks = {}; }

}  // namespace runtime
