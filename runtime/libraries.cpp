// runtime/libraries.cpp: start-up and end steps of the libraries this system only starts and
// ends: file write-back, dynamic libraries, threads, fonts, 2D vector drawing, image codecs,
// images, controls and files.
#include "runtime/libraries.h"

#include <pthread.h>

#include <cstdio>
#include <mutex>
#include <new>

#include "platform/sys/sys.h"
#include "runtime/decoders.h"
#include "runtime/heap.h"
#include "runtime/state_block.h"

namespace runtime {

namespace {

// A text file that the file library writes back when the program ends.
struct FileWriteBackState {
    std::FILE* file;
    char* pendingText;  // runtime heap
};
struct DynamicLibraryState {
    std::int32_t lastLoaded;
};
struct VectorDrawingState {
    std::uint32_t penColour;
    std::uint32_t fillColour;
};
struct ControlState {
    std::mutex* lock;
    std::int32_t nextIdentifier;
};

ObjectTable* g_files = nullptr;
ObjectTable* g_fonts = nullptr;
ObjectTable* g_images = nullptr;
ObjectTable* g_libraries = nullptr;
ObjectTable* g_controls = nullptr;
FileWriteBackState* g_writeBack = nullptr;
DynamicLibraryState* g_libraryState = nullptr;
VectorDrawingState* g_vectorState = nullptr;
ControlState* g_controlState = nullptr;
std::int32_t g_screenDpi = 0;

// The thread-local slot is made once per process: the key outlives the chains.
pthread_key_t g_threadKey;
bool g_threadKeyReady = false;

// --- free callbacks: release what the record holds, then the number ---

void CloseFile(ObjectNumber number) {
    auto* record = static_cast<FileRecord*>(LookupObject(g_files, number));
    if (!record) return;
    std::fclose(record->stream);
    RuntimeFree(record->buffer);
    ReleaseObject(g_files, number);
}

void DeleteFont(ObjectNumber number) {
    auto* record = static_cast<FontRecord*>(LookupObject(g_fonts, number));
    if (!record) return;
    RuntimeFree(record->face);
    ReleaseObject(g_fonts, number);
}

void DeleteImage(ObjectNumber number) {
    auto* record = static_cast<ImageRecord*>(LookupObject(g_images, number));
    if (!record) return;
    RuntimeFree(record->pixels);
    ReleaseObject(g_images, number);
}

void UnloadLibrary(ObjectNumber number) {
    auto* record = static_cast<LibraryRecord*>(LookupObject(g_libraries, number));
    if (!record) return;
    platform::sys::FreeDynamicLibrary(record->handle);
    ReleaseObject(g_libraries, number);
}

void DestroyControl(ObjectNumber number) {
    auto* record = static_cast<ControlRecord*>(LookupObject(g_controls, number));
    if (!record) return;
    RuntimeFree(record->control);
    ReleaseObject(g_controls, number);
}

void ConstructControlState(void* block) {
    auto* state = static_cast<ControlState*>(block);
    void* memory = RuntimeAlloc(sizeof(std::mutex));
    state->lock = memory ? new (memory) std::mutex : nullptr;
}

}  // namespace

ObjectTable* FileTable() { return g_files; }
ObjectTable* FontTable() { return g_fonts; }
ObjectTable* ImageTable() { return g_images; }
ObjectTable* LibraryTable() { return g_libraries; }
ObjectTable* ControlTable() { return g_controls; }
std::int32_t ScreenVerticalResolution() { return g_screenDpi; }

bool ThreadSlotReady() { return g_threadKeyReady; }
bool SetThreadSlot(void* value) { return g_threadKeyReady && pthread_setspecific(g_threadKey, value) == 0; }
void* GetThreadSlot() { return g_threadKeyReady ? pthread_getspecific(g_threadKey) : nullptr; }

void StartFileWriteBack() {
    g_writeBack = static_cast<FileWriteBackState*>(CreateStateBlock(sizeof(FileWriteBackState), nullptr));
}

void StartDynamicLibraries() {
    g_libraries = CreateObjectTable(sizeof(LibraryRecord), kLibraryTableCapacity, UnloadLibrary);
    g_libraryState = static_cast<DynamicLibraryState*>(CreateStateBlock(sizeof(DynamicLibraryState), nullptr));
}

void StartThreads() {
    if (!g_threadKeyReady) g_threadKeyReady = pthread_key_create(&g_threadKey, nullptr) == 0;
}

void StartFonts() {
    g_fonts = CreateObjectTable(sizeof(FontRecord), kFontTableCapacity, DeleteFont);
    // No display device context is asked for here; fonts are sized for the usual 96 dpi.
    g_screenDpi = kDefaultScreenDpi;
}

void StartVectorDrawing() {
    g_vectorState = static_cast<VectorDrawingState*>(CreateStateBlock(sizeof(VectorDrawingState), nullptr));
}

void StartImageCodecs() { CreateDecoderRegistry(); }

void StartImages() {
    g_images = CreateObjectTable(sizeof(ImageRecord), kImageTableCapacity, DeleteImage);
}

void StartControls() {
    g_controls = CreateObjectTable(sizeof(ControlRecord), kControlTableCapacity, DestroyControl);
    g_controlState = static_cast<ControlState*>(CreateStateBlock(sizeof(ControlState), ConstructControlState));
}

void StartFiles() {
    g_files = CreateObjectTable(sizeof(FileRecord), kFileTableCapacity, CloseFile);
}

void EndFiles() { FreeAllObjects(g_files); }
void EndImages() { FreeAllObjects(g_images); }
void EndFonts() { FreeAllObjects(g_fonts); }
void EndDynamicLibraries() { FreeAllObjects(g_libraries); }

void EndFileWriteBack() {
    if (!g_writeBack || !g_writeBack->file) return;
    if (g_writeBack->pendingText) std::fputs(g_writeBack->pendingText, g_writeBack->file);
    std::fclose(g_writeBack->file);
    RuntimeFree(g_writeBack->pendingText);
    *g_writeBack = {};
}

void ForgetLibraryState() {
    if (g_controlState && g_controlState->lock) g_controlState->lock->~mutex();
    g_files = g_fonts = g_images = g_libraries = g_controls = nullptr;
    g_writeBack = nullptr;
    g_libraryState = nullptr;
    g_vectorState = nullptr;
    g_controlState = nullptr;
    g_screenDpi = 0;
    ForgetDecoderRegistry();
}

}  // namespace runtime
