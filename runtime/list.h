// runtime/list.h: doubly linked lists of fixed-size records with one current item, and the
// structure descriptors that set up and free the strings and containers inside records.
//
// A list is attached to a ListVariable: two words owned by the list's user, the list itself and
// the current item's record (null when none). Every list operation rewrites the second word.
// Records are zero-filled when created; callers get the record's address. Items come from a
// shared BlockPool per item size (runtime/block_pool.h), so adding and deleting items does not
// reach the heap for each item.
//
// Walking: RewindList, then AdvanceListItem until it returns null. Appending: InsertListItem
// while the current item is the last. Deleting inside a walk: RemoveListItem(list, 0); the next
// AdvanceListItem continues with the item that followed the deleted one.
//
// Threads: a list belongs to the main thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/block_pool.h"

namespace runtime {

struct LinkedList;

// The two words through which a list's user sees it.
struct ListVariable {
    LinkedList* list;
    void* current;  // the current item's record, or null
};

// ---------------------------------------------------------------------------------------------
// Structure descriptors
// ---------------------------------------------------------------------------------------------
//
// A descriptor is a sequence of words ended by kDescEnd; each entry is a code and the words
// after it. Nested descriptors are stored as words (DescriptorWordOf).
//
//   k >= 0                                    a StringVariable at byte offset k
//   kDescRecords,  count, offset, stride, descriptor   count embedded records, stride apart
//   kDescRecord,   offset, size, descriptor            one embedded record
//   kDescArray,    offset, element size, initial count, element descriptor, 0
//                                                      a DynamicArray* (runtime/containers.h)
//   kDescList,     offset, item size, descriptor, type tag
//                                                      an embedded list; the member (two words)
//                                                      is its ListVariable
//   kDescMap,      offset, value size, value descriptor, 0, 0   a StringMap*
//   kDescFixedArray, offset, n, element size, element descriptor, 0, n dimension sizes
//                                                      a FixedArray*, followed in the record by
//                                                      n int32 dimension sizes
//
// A zero member means that no container was created.
using DescriptorWord = std::intptr_t;
using StructureDescriptor = const DescriptorWord*;

inline constexpr DescriptorWord kDescEnd = -1;
inline constexpr DescriptorWord kDescRecords = -2;
inline constexpr DescriptorWord kDescRecord = -3;
inline constexpr DescriptorWord kDescArray = -4;
inline constexpr DescriptorWord kDescList = -5;
inline constexpr DescriptorWord kDescMap = -6;
inline constexpr DescriptorWord kDescFixedArray = -7;

inline DescriptorWord DescriptorWordOf(StructureDescriptor d) {
    return reinterpret_cast<DescriptorWord>(d);
}

// Creates the containers that "descriptor" names inside "record" (strings need nothing).
// Containers whose library has not been started (see InstallListHooks and friends) stay zero.
void InitialiseStructure(void* record, StructureDescriptor descriptor);

// Frees the strings and containers that "descriptor" names inside "record". The members are
// not cleared: the record is about to be discarded.
void ReleaseStructure(void* record, StructureDescriptor descriptor);

// True when "descriptor" (or a nested one) holds a container entry (kDescArray..kDescFixedArray).
bool DescriptorNeedsSetUp(StructureDescriptor descriptor);

// The container hooks the structure code calls. The lists, maps and arrays start-up steps
// install them; RemoveStructureHooks (the runtime heap's end step) takes them out again.
void InstallListHooks();
void InstallMapHooks();
void InstallArrayHooks();
void RemoveStructureHooks();

// ---------------------------------------------------------------------------------------------
// Lists
// ---------------------------------------------------------------------------------------------

struct ListItem {
    ListItem* next;
    ListItem* previous;
    // the record follows, aligned to a word
};

struct LinkedList {
    ListItem* first;
    ListItem* last;
    ListItem* current;
    ListVariable* variable;       // the user's variable, or the internal one
    std::int32_t count;
    std::int32_t currentIndex;    // 0-based index of the current item
    StructureDescriptor descriptor;  // or null
    BlockPool* pool;              // shared pool for items of this size
    std::int32_t itemStride;      // record size + the two link words
    std::int32_t typeTag;
    bool beforeFirst;             // set by a rewind and whenever no item is current
    bool needsSetUp;              // the descriptor holds containers
    bool ownsVariable;            // the variable is internal
};

// Creates a list of records of "recordBytes" attached to "variable" (null: an internal one).
// Returns null for a negative size, without a runtime heap, or without memory.
LinkedList* CreateLinkedList(std::int32_t recordBytes, ListVariable* variable,
                             StructureDescriptor descriptor, std::int32_t typeTag);

// Empties the list, drops its pool reference, clears both words of the variable and frees the
// list. Null is ignored.
void DestroyLinkedList(LinkedList* list);

// Inserts a zero-filled record after the current item (or first, when none is current) and
// makes it current. Returns the record, or null (the list unchanged) without memory.
void* InsertListItem(LinkedList* list);

// No item is current; the next AdvanceListItem goes to the first item.
void RewindList(LinkedList* list);

// Moves to the next item and returns its record; at the last item returns null and stays.
void* AdvanceListItem(LinkedList* list);

std::int32_t CountListItems(const LinkedList* list);

inline constexpr std::int32_t kRemoveKeepsSuccessorCurrent = 1;

// Deletes the current item and returns the new current record or null: the predecessor becomes
// current; when the first item goes, its successor becomes current only with flag bit 0, else
// no item is current.
void* RemoveListItem(LinkedList* list, std::int32_t flags);

// Makes the item at "index" current (walking from the nearest of first, current and last) and
// returns its record; outside 0..count-1 no item is current and null is returned.
void* SeekListItem(LinkedList* list, std::int32_t index);

// Deletes every item.
void EmptyList(LinkedList* list);

// Makes the first / last item current and returns its record; null for an empty list.
void* GoToFirstItem(LinkedList* list);
void* GoToLastItem(LinkedList* list);

}  // namespace runtime
