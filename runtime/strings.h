// runtime/strings.h: string variables, the scratch string and text comparison.
//
// A string variable (StringVariable) holds a NUL-terminated text on the string heap, or null for
// the empty text. A text of length L occupies L + 5 bytes. String expressions are assembled in
// the one process-wide ScratchString (initial capacity 16 bytes) and then assigned from it.
// The string heap and the scratch string are made by the "strings" start-up step and freed by
// its end step; before that, operations that allocate fail cleanly.
//
// Threads: main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace runtime {

using StringVariable = char*;

// Sets "*variable" to a copy of "text". Null text frees the old text, stores null and returns 1;
// otherwise returns the length + 1. Returns 0, changing nothing, when memory runs out or
// "variable" is null.
std::size_t SetStringVariable(StringVariable* variable, const char* text);

// Frees a text of the string heap; null is ignored.
void FreeStringMemory(char* text);

// 1 when both texts are equal (null counts as the empty text), else 0.
int StringsEqual(const char* a, const char* b);

// --- the scratch string -----------------------------------------------------------------------

// Creates the scratch string (16 bytes, position 0) if it does not exist. False without memory.
bool CreateScratchString();
// Frees the scratch string.
void FreeScratchString();

// Reserves "bytes" at the position and advances the position past them. When position + bytes
// reaches capacity - 4, the capacity becomes position + bytes + 16384 first. Returns the start
// of the reserved space, or null (nothing changes) without memory or scratch string.
char* ReserveScratch(std::size_t bytes);

// Appends "text" with a terminator (the position ends on the terminator). Null writes only a
// terminator at the position.
void AppendToScratch(const char* text);

// Copies the scratch text from "start" to the position into "*variable" and moves the position
// back to "start". A start beyond the position is refused.
void AssignFromScratch(StringVariable* variable, std::size_t start);

// Position and capacity of the scratch string (0 when it does not exist).
std::size_t ScratchPosition();
std::size_t ScratchCapacity();
// The scratch buffer itself (null when it does not exist); valid until the next reserve.
const char* ScratchText();

}  // namespace runtime
