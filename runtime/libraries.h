// runtime/libraries.h: the runtime libraries that this system only starts and ends.
//
// Files, fonts, images, dynamic libraries and controls each keep an ObjectTable of their
// records (capacity = growth step as below) whose free callback releases what a record holds
// and then its number; file write-back, dynamic libraries, 2D vector drawing, image codecs and
// controls keep a state block; threads keep one thread-local slot. Their other operations are
// not part of this system. Before the start-up chain the accessors return null / 0.
//
// Threads: main thread only.
#pragma once

#include <cstdint>
#include <cstdio>

#include "runtime/object_table.h"

namespace runtime {

inline constexpr std::int32_t kFileTableCapacity = 16;
inline constexpr std::int32_t kFontTableCapacity = 16;
inline constexpr std::int32_t kImageTableCapacity = 16;
inline constexpr std::int32_t kLibraryTableCapacity = 16;
inline constexpr std::int32_t kControlTableCapacity = 50;

// The screen's vertical resolution in dots per inch when no display is asked.
inline constexpr std::int32_t kDefaultScreenDpi = 96;

// Records: the first field is the live field.
struct FileRecord {
    std::FILE* stream;  // closed by the free callback
    char* buffer;       // runtime heap, freed by the free callback
};
struct FontRecord {
    void* face;  // the font's data on the runtime heap, freed by the free callback
};
struct ImageRecord {
    std::uint32_t* pixels;  // as DecodedImage::pixels, freed by the free callback
    std::int32_t width, height;
};
struct LibraryRecord {
    void* handle;  // a loaded shared object, unloaded by the free callback
};
struct ControlRecord {
    void* control;  // the control's state on the runtime heap, freed by the free callback
};

ObjectTable* FileTable();
ObjectTable* FontTable();
ObjectTable* ImageTable();
ObjectTable* LibraryTable();
ObjectTable* ControlTable();

// The vertical resolution found by the fonts step (0 before it).
std::int32_t ScreenVerticalResolution();

// True once the threads step has made its thread-local slot; the slot holds one pointer per
// thread.
bool ThreadSlotReady();
bool SetThreadSlot(void* value);
void* GetThreadSlot();

// The start-up and end steps of these libraries (run by runtime/chain.cpp).
void StartFileWriteBack();
void StartDynamicLibraries();
void StartThreads();
void StartFonts();
void StartVectorDrawing();
void StartImageCodecs();
void StartImages();
void StartControls();
void StartFiles();

void EndFiles();
void EndImages();
void EndFonts();
void EndDynamicLibraries();
void EndFileWriteBack();
// Forgets every table and state block of these libraries (their memory goes with the heap).
void ForgetLibraryState();

}  // namespace runtime
