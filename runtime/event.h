// runtime/event.h: the runtime's event queue and the post-event path from other threads.
//
// Window messages that matter to a program become runtime events (codes 13100-13118, see
// runtime/window.h) in one process-wide FIFO, the EventQueue. PollWindowEvent hands out one
// queued event, or handles one platform message, per call. A queued event that equals the one
// queued last (code, object, window, type) is merged into it unless flag kEventNeverMerge is
// set, so a burst of identical notifications reaches the program once.
//
// Threads: the queue belongs to the main thread and takes no lock. Another thread hands an
// event to it only through PostEvent, which posts the registered message
// "RK_PostEventMessage" to the hidden post-event window; the event is queued on the main
// thread when that message is dispatched, in posting order.
#pragma once

#include <cstdint>

#include "runtime/object_table.h"

namespace runtime {

// Releases the data of an event when it stops being current.
using EventDataRelease = void (*)(std::uintptr_t data);

// Event flags.
inline constexpr std::int32_t kEventPosted = 1;      // came from another thread
inline constexpr std::int32_t kEventNeverMerge = 2;  // never merged with the previous event

// One queued event. Nodes come from the queue's block pool. A posted event travels as a
// block of the same layout on the runtime heap.
struct EventNode {
    EventNode* next;
    std::int32_t code;
    std::int32_t flags;
    ObjectNumber object;  // control, menu item, timer id, tray icon id or window number
    ObjectNumber window;  // window number
    std::int32_t type;
    std::uintptr_t data;
    EventDataRelease release;
};

// The event PollWindowEvent returned last.
struct CurrentEvent {
    std::int32_t code;
    ObjectNumber window;
    ObjectNumber object;
    std::int32_t type;
    std::uintptr_t data;
    EventDataRelease release;
};

// Start-up step 19: registers the class "PostEventClass", creates its hidden 1 x 1 window,
// registers "RK_PostEventMessage" and creates the queue with its node pool.
void InitEventLibrary();

// End step 5: destroys the post-event window and its class, then the queue (events still
// queued are dropped without release).
void EndEventLibrary();

// Appends an event unless it merges with the last one (same code, object, window and type,
// code below 0x10000, kEventNeverMerge clear). Returns false without a queue or memory.
bool QueueEvent(std::int32_t code, ObjectNumber object, ObjectNumber window, std::int32_t type,
                std::uintptr_t data, EventDataRelease release, std::int32_t flags);

// Releases the current event's data, then moves the oldest queued event into the current
// event and returns its code; 0 (current code 0, type -1) when the queue is empty.
std::int32_t TakeQueuedEvent();

// Removes every queued event matching all four fields; -1 matches anything.
void RemoveQueuedEvents(std::int32_t code, ObjectNumber object, ObjectNumber window,
                        std::int32_t type);

// The number of queued events (for tests and benchmarks).
int QueuedEventCount();

// The event taken last, and its object field.
const CurrentEvent& CurrentEventRecord();
ObjectNumber CurrentEventObject();

// Hands an event to the main thread's queue from any thread (flag kEventPosted, no release).
// Returns false when the event library is not running or the post fails.
bool PostEvent(std::int32_t code, ObjectNumber object, ObjectNumber window, std::int32_t type,
               std::uintptr_t data);

// Takes one queued event, else handles one platform message:
//   timeout_ms  0: never waits; -1: waits for a message without limit; n: waits at most n ms.
// Returns the event's code, else the number of the message just dispatched, else 0.
std::int32_t PollWindowEvent(std::int32_t timeout_ms);

// Whether the process has been asked to end (SIGTERM, or Ctrl+C in a terminal), as noticed
// while PollWindowEvent handled messages. Unlike a window's close request (CloseRequested),
// which a program may ignore, this asks the program to finish; it stays true once set.
bool TerminationRequested();

}  // namespace runtime
