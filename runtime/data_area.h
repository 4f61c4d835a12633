// runtime/data_area.h: the embedded data area and the data read position.
//
// The program registers its embedded data area before the start-up chain runs; the chain's
// "data position" step points the read position at the area's first byte. Texts are read from
// the position into string variables, advancing past each text and its terminator.
//
// Threads: main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/strings.h"

namespace runtime {

// Registers the data area (may be called again to replace it). The position is not moved until
// ResetDataPosition or the start-up chain does so.
void SetDataArea(const void* start, std::size_t bytes);

// Moves the position to the first byte of the area.
void ResetDataPosition();

// The position as an offset from the area's start, and as an address (null without an area).
std::size_t DataOffset();
const std::uint8_t* DataCursor();

// Moves the position to "offset"; returns false, changing nothing, beyond the area's end.
bool SetDataOffset(std::size_t offset);

// Reads the NUL-terminated text at the position into "*variable" (SetStringVariable) and
// advances the position by its result. Returns that result, or 0 (nothing changes) when no
// terminator lies before the area's end or the text cannot be stored.
std::size_t ReadDataString(StringVariable* variable);

}  // namespace runtime
