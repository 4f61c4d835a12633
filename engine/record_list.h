// engine/record_list.h: typed record lists over the runtime's linked list, for the engine's own
// files and its tests.
//
// Every engine collection (textures, sprites, effects, fonts, the draw queues) is a runtime list
// (runtime/list.h) with one cursor. RecordList<Record> keeps that list and its rules, and does
// the casts and the bookkeeping once:
//
//   Insert()      a zero-filled record right after the cursor (first when none is current); it
//                 becomes current. After a walk the cursor is on the last record, so inserting
//                 then appends; after a lookup it is on the record found.
//   Find(h)       walks from the head comparing handles (never dereferencing them); the record
//                 found becomes current, and a handle not in the list leaves the cursor on the
//                 last record, just as the walk left it.
//   Remove(h)     finds the record and deletes it; its predecessor becomes current (none when it
//                 was the first, so the next Insert puts a record first).
//   ForEach(f)    walks from the head; "f" may return WalkStep::kRemove to delete the record it
//                 was given, and the walk goes on with the next one.
//
// Walks and the single cursor. A walk advances the list's cursor, so an operation on the same
// list inside a walk would move it and end or derail the walk. Inside a walk, Find, Insert,
// Remove and nested walks therefore put the cursor back where the walk had it (moved for a
// removal before it): the walk visits every record that is in the list when it gets there.
// Moving the cursor on purpose (GoToFirst, GoToLast) or emptying the list during a walk of it is
// a programming error, caught by an assertion in debug builds, as is removing records in a walk
// nested in another walk of the same list.
//
// Threads: main thread only.
#pragma once

#include <cassert>
#include <cstdint>
#include <type_traits>

#include "runtime/list.h"

namespace engine {

// What a walk does with the record it just visited.
enum class WalkStep { kKeep, kRemove };

template <class Record>
class RecordList {
public:
    // Makes the runtime list of Record-sized items; a list that exists is kept. False without
    // memory.
    bool Create() {
        if (list_ == nullptr) {
            list_ = runtime::CreateLinkedList(static_cast<std::int32_t>(sizeof(Record)), nullptr,
                                              nullptr, 0);
        }
        return list_ != nullptr;
    }

    // Deletes every record and the list itself. The engine keeps its lists for the process's
    // life; this is for lists with a shorter one.
    void Destroy() {
        assert(walks_ == 0 && "a list was destroyed during a walk of it");
        runtime::DestroyLinkedList(list_);
        list_ = nullptr;
    }

    bool Exists() const { return list_ != nullptr; }
    std::int32_t Count() const { return runtime::CountListItems(list_); }

    // The record under the cursor, or null.
    Record* Current() const {
        return list_ != nullptr ? static_cast<Record*>(list_->variable->current) : nullptr;
    }

    // "handle" if it is a record of this list, else null (also before the list exists).
    Record* Find(const Record* handle) {
        const Cursor walk = Save();
        Record* found = Locate(handle);
        if (walks_ > 0) Restore(walk);
        return found;
    }

    // A new zero-filled record after the cursor, now current; null without memory or list.
    Record* Insert() {
        if (list_ == nullptr) return nullptr;
        const Cursor walk = Save();
        auto* record = static_cast<Record*>(runtime::InsertListItem(list_));
        // The new record follows the visited one, so the walk reaches it next.
        if (walks_ > 0 && record != nullptr) Restore(walk);
        return record;
    }

    // Deletes "record" if it is in the list. True when it was.
    bool Remove(Record* record) {
        const Cursor walk = Save();
        if (Locate(record) == nullptr) {
            if (walks_ > 0) Restore(walk);
            return false;
        }
        assert(walks_ <= 1 && "a walk nested in another walk of this list removed a record");
        const std::int32_t removed = list_->currentIndex;
        runtime::RemoveListItem(list_, 0);
        // Removing the visited record itself leaves its predecessor current, which is where the
        // walk continues from; any other removal keeps the walk on its record.
        if (walks_ > 0 && !(walk.onItem && walk.index == removed)) {
            Restore({walk.onItem, removed < walk.index ? walk.index - 1 : walk.index});
        }
        return true;
    }

    // Calls "visit(record)" for each record from the head. "visit" returns nothing, or a
    // WalkStep.
    template <class Visit>
    void ForEach(Visit&& visit) {
        if (list_ == nullptr) return;
        const Cursor outer = Save();
        ++walks_;
        runtime::RewindList(list_);
        while (void* item = runtime::AdvanceListItem(list_)) {
            auto& record = *static_cast<Record*>(item);
            if constexpr (std::is_same_v<std::invoke_result_t<Visit&, Record&>, WalkStep>) {
                // A visitor that removed the record itself already moved the cursor off it.
                if (visit(record) == WalkStep::kRemove && Current() == &record) {
                    assert(walks_ == 1 && "a walk nested in another walk of this list removed a record");
                    runtime::RemoveListItem(list_, 0);
                }
            } else {
                visit(record);
            }
        }
        --walks_;
        if (walks_ > 0) Restore(outer);
    }

    // Make the first / last record current and return it (null for an empty list).
    Record* GoToFirst() {
        assert(walks_ == 0 && "the cursor was moved during a walk of this list");
        return static_cast<Record*>(runtime::GoToFirstItem(list_));
    }
    Record* GoToLast() {
        assert(walks_ == 0 && "the cursor was moved during a walk of this list");
        return static_cast<Record*>(runtime::GoToLastItem(list_));
    }

    // Deletes every record.
    void Empty() {
        assert(walks_ == 0 && "a list was emptied during a walk of it");
        runtime::EmptyList(list_);
    }

private:
    // Where a walk stands: on the record at "index", or before the first one.
    struct Cursor {
        bool onItem;
        std::int32_t index;
    };

    // The walk from the head that stops on "handle" (the cursor stays there) or runs to the end.
    Record* Locate(const Record* handle) {
        if (list_ == nullptr || handle == nullptr) return nullptr;
        runtime::RewindList(list_);
        while (void* item = runtime::AdvanceListItem(list_)) {
            if (item == handle) return static_cast<Record*>(item);
        }
        return nullptr;
    }

    Cursor Save() const {
        if (list_ == nullptr || list_->current == nullptr) return {false, 0};
        return {true, list_->currentIndex};
    }

    void Restore(Cursor c) {
        if (c.onItem) {
            runtime::SeekListItem(list_, c.index);
        } else {
            runtime::RewindList(list_);
        }
    }

    runtime::LinkedList* list_ = nullptr;
    int walks_ = 0;  // walks of this list in progress
};

}  // namespace engine
