// runtime/object_table.h: tables of numbered objects, one table per object kind.
//
// A library addresses its objects by number. A number is either a slot index (0 and up) or,
// for a record created with number -1 ("automatic"), the address of the record's data, which
// AllocateObject returns. Records are zero-filled blocks of the table's record size on the
// runtime heap; a record is live while its first pointer-sized field is non-zero (every object
// kind keeps its handle there).
//
// The free callback destroys the object of a number: it releases the object's resources and
// then the number (ReleaseObject). Tables live until the runtime heap is destroyed.
//
// Threads: main thread only; no locks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace runtime {

// A slot index 0.., -1 for "automatic" when allocating, or an automatic record's address.
using ObjectNumber = std::intptr_t;

// Destroys the object of "number" and releases the number.
using ObjectFreeCallback = void (*)(ObjectNumber number);

// The link words that sit ahead of the data of every automatic record.
struct AutomaticLink {
    AutomaticLink* next;      // towards older records
    AutomaticLink* previous;  // towards newer records
};

struct ObjectTable {
    std::int32_t recordSize;         // bytes of one record
    std::int32_t growthStep;         // slots added beyond a new highest number
    std::int32_t capacity;           // number of slots
    void** slots;                    // slot n holds the record of number n, or null
    AutomaticLink* automaticNewest;  // head of the automatic records, newest first
    AutomaticLink* automaticOldest;  // tail of the same list
    ObjectFreeCallback freeCallback;  // may be null
    std::int32_t walkIndex;          // next slot of the walk; capacity once the slots are done
    AutomaticLink* walkCursor;       // next automatic record of the walk (walking to newer)
};

// The largest slot count a table may grow to; numbers that would need more are refused.
inline constexpr std::int32_t kMaxObjectSlots = 1 << 20;

// Creates a table of "capacity" slots (also the growth step). "recordSize" must be at least
// one pointer (the live field); "capacity" at least 1. Returns null on bad arguments, without
// a runtime heap, or without memory.
ObjectTable* CreateObjectTable(std::int32_t recordSize, std::int32_t capacity,
                               ObjectFreeCallback freeCallback);

// Allocates the record of "number" and returns it zero-filled.
//   -1: a new automatic record; its address is its number.
//   n >= capacity: the slots first grow to growth step + n.
//   A slot that already holds a record: the free callback destroys the old object first and
//   the record is reused (cleared).
// Returns null, changing nothing, for numbers below -1, numbers beyond kMaxObjectSlots, a null
// table, or when memory runs out.
void* AllocateObject(ObjectTable* table, ObjectNumber number);

// The live record of "number", or null. A number that is not a slot stands for an automatic
// record's address; it is looked up in the table's list, never dereferenced.
void* LookupObject(const ObjectTable* table, ObjectNumber number);

// Releases "number": a slot record is zero-filled in place (its memory stays for reuse), an
// automatic record is unlinked and freed. Unknown numbers are ignored.
void ReleaseObject(ObjectTable* table, ObjectNumber number);

// Destroys every object through the free callback (nothing happens without one): the live slots
// from 0 upwards, then the automatic records newest first until none is left.
void FreeAllObjects(ObjectTable* table);

// Walks the live records: slots in ascending order, then the automatic records from the oldest
// to the newest. NextObject returns the next live record and stores its number in "*number"
// (when not null), or returns null at the end. Releasing records during a walk is safe.
void ResetObjectWalk(ObjectTable* table);
void* NextObject(ObjectTable* table, ObjectNumber* number);

}  // namespace runtime
