// runtime/strings.cpp: string variables on the string heap and the scratch string.
#include "runtime/strings.h"

#include <cstring>

#include "runtime/heap.h"

namespace runtime {

namespace sys = platform::sys;

namespace {

// Texts take L + 5 bytes: room for copying whole 4-byte words past the end, plus the
// terminator.
constexpr std::size_t kTextSlack = 5;
constexpr std::size_t kScratchInitialBytes = 16;
constexpr std::size_t kScratchGrowth = 16384;

struct ScratchString {
    char* buffer = nullptr;
    std::size_t capacity = 0;
    std::size_t position = 0;
};
ScratchString g_scratch;

// Stores a copy of "length" bytes of "text" plus a terminator in "*variable". False, changing
// nothing, without memory.
bool StoreText(StringVariable* variable, const char* text, std::size_t length) {
    if (length > SIZE_MAX - kTextSlack) return false;
    // A fresh block, then the old one freed: the text may lie inside the old one.
    auto* copy = static_cast<char*>(sys::HeapAlloc(StringHeap(), length + kTextSlack));
    if (!copy) return false;
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    FreeStringMemory(*variable);
    *variable = copy;
    return true;
}

}  // namespace

std::size_t SetStringVariable(StringVariable* variable, const char* text) {
    if (!variable) return 0;
    if (!text) {
        FreeStringMemory(*variable);
        *variable = nullptr;
        return 1;
    }
    const std::size_t length = std::strlen(text);
    return StoreText(variable, text, length) ? length + 1 : 0;
}

void FreeStringMemory(char* text) {
    if (text) sys::HeapFree(StringHeap(), text);
}

int StringsEqual(const char* a, const char* b) {
    if (!a) a = "";
    if (!b) b = "";
    return std::strcmp(a, b) == 0 ? 1 : 0;
}

bool CreateScratchString() {
    if (g_scratch.buffer) return true;
    auto* buffer = static_cast<char*>(sys::HeapAlloc(StringHeap(), kScratchInitialBytes + kTextSlack));
    if (!buffer) return false;
    g_scratch = {buffer, kScratchInitialBytes, 0};
    return true;
}

void FreeScratchString() {
    FreeStringMemory(g_scratch.buffer);
    g_scratch = {};
}

char* ReserveScratch(std::size_t bytes) {
    if (!g_scratch.buffer) return nullptr;
    const std::size_t position = g_scratch.position;
    if (bytes > SIZE_MAX / 2 - position - kScratchGrowth) return nullptr;
    if (position + bytes >= g_scratch.capacity - 4) {
        const std::size_t capacity = position + bytes + kScratchGrowth;
        void* grown = sys::HeapReAlloc(StringHeap(), g_scratch.buffer, capacity + kTextSlack);
        if (!grown) return nullptr;
        g_scratch.buffer = static_cast<char*>(grown);
        g_scratch.capacity = capacity;
    }
    g_scratch.position = position + bytes;
    return g_scratch.buffer + position;
}

void AppendToScratch(const char* text) {
    if (!g_scratch.buffer) return;
    if (!text) {
        g_scratch.buffer[g_scratch.position] = '\0';
        return;
    }
    const std::size_t length = std::strlen(text);
    // The text may lie inside the scratch buffer, which a reserve can move.
    const char* buffer = g_scratch.buffer;
    const bool inside = text >= buffer && text < buffer + g_scratch.capacity + kTextSlack;
    const std::size_t offset = inside ? static_cast<std::size_t>(text - buffer) : 0;
    char* at = ReserveScratch(length);
    if (!at) return;
    if (inside) text = g_scratch.buffer + offset;
    std::memmove(at, text, length);
    at[length] = '\0';
}

void AssignFromScratch(StringVariable* variable, std::size_t start) {
    if (!variable || !g_scratch.buffer || start > g_scratch.position) return;
    if (StoreText(variable, g_scratch.buffer + start, g_scratch.position - start))
        g_scratch.position = start;
}

std::size_t ScratchPosition() { return g_scratch.position; }
std::size_t ScratchCapacity() { return g_scratch.capacity; }
const char* ScratchText() { return g_scratch.buffer; }

}  // namespace runtime
