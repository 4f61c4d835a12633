// runtime/display.h: the display library's start-up step.
//
// The display library keeps a table of display-surface records (capacity 64), created only
// when the graphics system offers at least one display mode in a 15-, 16- or 32-bit desktop
// format (X1R5G5B5, R5G6B5, X8R8G8B8). Its other operations, and its end step (which only
// acts on a display that was opened), are not part of this system. The program runs
// StartDisplayLibrary at start-up position 27, after making the hidden multimedia window the
// display library shares with the sound device.
//
// Threads: main thread only.
#pragma once

#include <cstdint>

#include "runtime/object_table.h"

namespace runtime {

inline constexpr std::int32_t kDisplayTableCapacity = 64;

// One display surface: the first field is the live field.
struct DisplayRecord {
    void* surface;
};

// Makes the graphics factory, counts the desktop modes in the three formats and, with at least
// one, creates the display table; otherwise the factory is released and no table is made.
void StartDisplayLibrary();

// The display table (null before the step or when no mode was found) and the mode count seen.
ObjectTable* DisplayTable();
std::int32_t DisplayModeCount();

}  // namespace runtime
