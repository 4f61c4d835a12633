// runtime/event.cpp: the EventQueue, the current event, polling and the post-event window.
#include "runtime/event.h"

#include <atomic>

#include "platform/window/window.h"
#include "runtime/block_pool.h"
#include "runtime/heap.h"

namespace runtime {
namespace {

namespace pw = platform::window;

constexpr const char* kPostEventClass = "PostEventClass";
constexpr const char* kPostEventMessage = "RK_PostEventMessage";
constexpr std::int32_t kMergeLimit = 0x10000;  // codes from here on are never merged

struct EventQueue {
    EventNode* head;
    EventNode* tail;
    BlockPool* pool;
    int count;
};

EventQueue* queue = nullptr;
CurrentEvent current{0, 0, 0, -1, 0, nullptr};

// Read by PostEvent on other threads.
std::atomic<std::uint32_t> postWindow{0};
std::atomic<std::uint32_t> postMessage{0};

bool Matches(const EventNode& n, std::int32_t code, ObjectNumber object, ObjectNumber window,
             std::int32_t type) {
    return (code == -1 || n.code == code) && (object == -1 || n.object == object) &&
           (window == -1 || n.window == window) && (type == -1 || n.type == type);
}

// Queues the event carried by a posted block and frees the block.
pw::LResult PostEventProc(pw::WindowHandle window, std::uint32_t message, pw::WParam wParam,
                          pw::LParam lParam) {
    if (message == postMessage.load() && message != 0 && lParam != 0) {
        auto* block = reinterpret_cast<EventNode*>(lParam);
        QueueEvent(block->code, block->object, block->window, block->type, block->data, nullptr,
                   kEventPosted);
        RuntimeFree(block);
    }
    return pw::DefWindowProc(window, message, wParam, lParam);
}

}  // namespace

void InitEventLibrary() {
    pw::RegisterClass({.name = kPostEventClass, .style = pw::CS_DBLCLKS, .proc = PostEventProc,
                       .background = pw::BrushHandle{pw::COLOR_BTNFACE + 1}});
    const pw::WindowHandle window =
        pw::CreateWindow({.className = kPostEventClass, .title = "", .style = pw::WS_CAPTION,
                          .x = 0, .y = 0, .width = 1, .height = 1});
    postMessage.store(pw::RegisterWindowMessage(kPostEventMessage));
    postWindow.store(window.value);

    auto* q = static_cast<EventQueue*>(RuntimeAlloc(sizeof(EventQueue)));
    if (q == nullptr) return;
    q->pool = CreateBlockPool(static_cast<std::int32_t>(sizeof(EventNode)), 16, 256, 0);
    if (q->pool == nullptr) {
        RuntimeFree(q);
        return;
    }
    queue = q;
    current = CurrentEvent{0, 0, 0, -1, 0, nullptr};
}

void EndEventLibrary() {
    const pw::WindowHandle window{postWindow.exchange(0)};
    if (window) pw::DestroyWindow(window);
    pw::UnregisterClass(kPostEventClass);
    if (queue != nullptr) {
        DestroyBlockPool(queue->pool);
        RuntimeFree(queue);
        queue = nullptr;
    }
    if (current.data != 0 && current.release != nullptr) current.release(current.data);
    current = CurrentEvent{0, 0, 0, -1, 0, nullptr};
}

bool QueueEvent(std::int32_t code, ObjectNumber object, ObjectNumber window, std::int32_t type,
                std::uintptr_t data, EventDataRelease release, std::int32_t flags) {
    if (queue == nullptr) return false;
    const EventNode* last = queue->tail;
    if (last != nullptr && last->code == code && last->object == object &&
        last->window == window && last->type == type && code < kMergeLimit &&
        (flags & kEventNeverMerge) == 0)
        return true;
    auto* node = static_cast<EventNode*>(TakeBlock(queue->pool));
    if (node == nullptr) return false;
    *node = EventNode{nullptr, code, flags, object, window, type, data, release};
    if (queue->tail != nullptr) queue->tail->next = node;
    else queue->head = node;
    queue->tail = node;
    ++queue->count;
    return true;
}

std::int32_t TakeQueuedEvent() {
    if (current.data != 0 && current.release != nullptr) {
        const EventDataRelease release = current.release;
        const std::uintptr_t data = current.data;
        current.data = 0;
        current.release = nullptr;
        release(data);
    }
    current.code = 0;
    current.type = -1;
    if (queue == nullptr || queue->head == nullptr) return 0;
    EventNode* node = queue->head;
    current = CurrentEvent{node->code, node->window, node->object, node->type, node->data,
                           node->release};
    queue->head = node->next;
    if (queue->head == nullptr) queue->tail = nullptr;
    --queue->count;
    ReturnBlock(queue->pool, node);
    return current.code;
}

void RemoveQueuedEvents(std::int32_t code, ObjectNumber object, ObjectNumber window,
                        std::int32_t type) {
    if (queue == nullptr) return;
    EventNode* previous = nullptr;
    EventNode* node = queue->head;
    while (node != nullptr) {
        EventNode* next = node->next;
        if (Matches(*node, code, object, window, type)) {
            if (previous != nullptr) previous->next = next;
            else queue->head = next;
            if (queue->tail == node) queue->tail = previous;
            --queue->count;
            ReturnBlock(queue->pool, node);
        } else {
            previous = node;
        }
        node = next;
    }
}

int QueuedEventCount() { return queue != nullptr ? queue->count : 0; }

const CurrentEvent& CurrentEventRecord() { return current; }

ObjectNumber CurrentEventObject() { return current.object; }

bool PostEvent(std::int32_t code, ObjectNumber object, ObjectNumber window, std::int32_t type,
               std::uintptr_t data) {
    const pw::WindowHandle target{postWindow.load()};
    const std::uint32_t message = postMessage.load();
    if (!target || message == 0) return false;
    auto* block = static_cast<EventNode*>(RuntimeAlloc(sizeof(EventNode)));
    if (block == nullptr) return false;
    *block = EventNode{nullptr, code, kEventPosted, object, window, type, data, nullptr};
    if (!pw::PostMessage(target, message, 0, reinterpret_cast<pw::LParam>(block))) {
        RuntimeFree(block);
        return false;
    }
    return true;
}

std::int32_t PollWindowEvent(std::int32_t timeout_ms) {
    if (const std::int32_t code = TakeQueuedEvent()) return code;
    pw::Message message;
    const pw::WindowHandle any{};
    if (timeout_ms == -1) {
        if (!pw::GetMessage(&message, any, 0, 0)) return 0;
    } else if (!pw::PeekMessage(&message, any, 0, 0, pw::PM_REMOVE | pw::PM_NOYIELD)) {
        if (timeout_ms <= 0) return 0;
        if (!pw::WaitMessage(timeout_ms)) return 0;
        if (!pw::PeekMessage(&message, any, 0, 0, pw::PM_REMOVE | pw::PM_NOYIELD)) return 0;
    }
    pw::TranslateMessage(&message);
    pw::DispatchMessage(&message);
    return static_cast<std::int32_t>(message.message);
}

bool TerminationRequested() { return pw::TerminationRequested(); }

}  // namespace runtime
