// runtime/data_area.cpp: the embedded data area and its read position.
#include "runtime/data_area.h"

#include <cstring>

namespace runtime {

namespace {

const std::uint8_t* g_start = nullptr;
std::size_t g_bytes = 0;
std::size_t g_offset = 0;

}  // namespace

void SetDataArea(const void* start, std::size_t bytes) {
    g_start = static_cast<const std::uint8_t*>(start);
    g_bytes = start ? bytes : 0;
    if (g_offset > g_bytes) g_offset = 0;
}

void ResetDataPosition() { g_offset = 0; }

std::size_t DataOffset() { return g_offset; }

const std::uint8_t* DataCursor() { return g_start ? g_start + g_offset : nullptr; }

bool SetDataOffset(std::size_t offset) {
    if (offset > g_bytes) return false;
    g_offset = offset;
    return true;
}

std::size_t ReadDataString(StringVariable* variable) {
    if (!g_start || g_offset >= g_bytes) return 0;
    const auto* at = reinterpret_cast<const char*>(g_start + g_offset);
    // The text must end inside the area; a missing terminator is refused, not read past.
    if (!std::memchr(at, '\0', g_bytes - g_offset)) return 0;
    const std::size_t advance = SetStringVariable(variable, at);
    g_offset += advance;
    return advance;
}

}  // namespace runtime
